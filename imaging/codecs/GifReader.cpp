#include "imaging/codecs/GifReader.h"

#include "imaging/codecs/CodecError.h"

#include <algorithm>
#include <array>
#include <vector>

namespace codecs {

namespace {

constexpr qint64 MaxPictureBytes = qint64(1) << 28;
constexpr int MaxCodes = 4096;

[[noreturn]] void invalid()
{
    throw CodecError(QStringLiteral("Invalid GIF data"));
}

class Bytes {
public:
    explicit Bytes(const QByteArray &data)
        : m_data(reinterpret_cast<const uchar *>(data.constData())), m_size(data.size())
    {
    }
    qsizetype size() const { return m_size; }
    bool has(qint64 offset, qint64 count) const
    {
        return offset >= 0 && count >= 0 && offset <= m_size && count <= m_size - offset;
    }
    uint u8(qint64 offset) const
    {
        if (!has(offset, 1))
            invalid();
        return m_data[offset];
    }
    uint u16(qint64 offset) const { return u8(offset) | u8(offset + 1) << 8; }

private:
    const uchar *m_data;
    qsizetype m_size;
};

QList<QRgb> readTable(const Bytes &bytes, qint64 offset, int count)
{
    if (!bytes.has(offset, 3 * qint64(count)))
        invalid();
    QList<QRgb> table;
    table.reserve(count);
    for (int i = 0; i < count; ++i)
        table.append(qRgb(int(bytes.u8(offset + 3 * i)), int(bytes.u8(offset + 3 * i + 1)),
                          int(bytes.u8(offset + 3 * i + 2))));
    return table;
}

// Skips data sub-blocks; returns the offset after the terminator, or the end
// of the file when it is missing.
qint64 skipSubBlocks(const Bytes &bytes, qint64 pos)
{
    while (bytes.has(pos, 1)) {
        const uint size = bytes.u8(pos);
        pos += 1 + size;
        if (size == 0)
            return pos;
    }
    return bytes.size();
}

// The LZW decoder: reads codes from the image's data sub-blocks and hands out
// the pixel indices in order; stops at the end code, at the end of the data or
// when all pixels are out.
class LzwDecoder {
public:
    LzwDecoder(const Bytes &bytes, qint64 pos, int minCodeSize)
        : m_bytes(bytes), m_pos(pos), m_clear(1 << minCodeSize), m_minCodeSize(minCodeSize)
    {
        for (int i = 0; i < m_clear; ++i) {
            m_prefix[size_t(i)] = -1;
            m_suffix[size_t(i)] = uchar(i);
        }
        reset();
    }

    // Fills out with up to count indices; returns how many were produced.
    qint64 decode(uchar *out, qint64 count)
    {
        qint64 done = 0;
        while (done < count && !m_finished) {
            if (m_pending > 0) {
                const qint64 n = std::min<qint64>(m_pending, count - done);
                // The current string is kept reversed on the stack.
                for (qint64 i = 0; i < n; ++i)
                    out[done + i] = m_stack[size_t(--m_pending)];
                done += n;
                continue;
            }
            nextString();
        }
        return done;
    }

private:
    void reset()
    {
        m_codeSize = m_minCodeSize + 1;
        m_next = m_clear + 2;
        m_previous = -1;
    }

    int readCode()
    {
        while (m_bitCount < m_codeSize) {
            if (m_blockLeft == 0) {
                if (!m_bytes.has(m_pos, 1))
                    return -1;
                m_blockLeft = m_bytes.u8(m_pos++);
                if (m_blockLeft == 0)
                    return -1;
            }
            if (!m_bytes.has(m_pos, 1))
                return -1;
            m_bits |= quint32(m_bytes.u8(m_pos++)) << m_bitCount;
            m_bitCount += 8;
            --m_blockLeft;
        }
        const int code = int(m_bits & ((1u << m_codeSize) - 1));
        m_bits >>= m_codeSize;
        m_bitCount -= m_codeSize;
        return code;
    }

    void nextString()
    {
        const int code = readCode();
        if (code < 0 || code == m_clear + 1) {
            m_finished = true;
            return;
        }
        if (code == m_clear) {
            reset();
            return;
        }
        if (m_previous < 0) {
            if (code >= m_clear)
                invalid();
            push(code);
            m_previous = code;
            return;
        }
        if (code > m_next || (code == m_next && m_next >= MaxCodes))
            invalid();
        int first;
        if (code == m_next) {
            // The string of the previous code plus its own first index.
            first = firstOf(m_previous);
            m_stack[size_t(m_pending++)] = uchar(first);
            push(m_previous);
        } else {
            push(code);
            first = m_stack[size_t(m_pending - 1)];
        }
        if (m_next < MaxCodes) {
            m_prefix[size_t(m_next)] = qint16(m_previous);
            m_suffix[size_t(m_next)] = uchar(first);
            ++m_next;
            if (m_next == (1 << m_codeSize) && m_codeSize < 12)
                ++m_codeSize;
        }
        m_previous = code;
    }

    int firstOf(int code) const
    {
        while (m_prefix[size_t(code)] >= 0)
            code = m_prefix[size_t(code)];
        return m_suffix[size_t(code)];
    }

    // Pushes the string of code last index first, so popping gives it in order.
    void push(int code)
    {
        while (code >= 0) {
            m_stack[size_t(m_pending++)] = m_suffix[size_t(code)];
            code = m_prefix[size_t(code)];
        }
    }

    const Bytes &m_bytes;
    qint64 m_pos;
    const int m_clear;
    const int m_minCodeSize;
    int m_codeSize = 0;
    int m_next = 0;
    int m_previous = -1;
    uint m_blockLeft = 0;
    quint32 m_bits = 0;
    int m_bitCount = 0;
    bool m_finished = false;
    std::array<qint16, MaxCodes> m_prefix{};
    std::array<uchar, MaxCodes> m_suffix{};
    // A string is at most MaxCodes long; one extra index for the code == next case.
    std::array<uchar, MaxCodes + 2> m_stack{};
    int m_pending = 0;
};

// Rows in the order an interlaced image stores them.
std::vector<int> rowOrder(int height, bool interlaced)
{
    std::vector<int> rows;
    rows.reserve(size_t(height));
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            rows.push_back(y);
        return rows;
    }
    const int starts[] = {0, 4, 2, 1};
    const int steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = starts[pass]; y < height; y += steps[pass])
            rows.push_back(y);
    return rows;
}

// The colour table an indexed picture keeps: the size the file declares, or
// more when a pixel lies beyond it (those indices show black).
QList<QRgb> fittedTable(const QImage &image, QList<QRgb> table, int declared)
{
    int used = 0;
    for (int y = 0; y < image.height(); ++y) {
        const uchar *row = image.constScanLine(y);
        if (image.width() > 0)
            used = std::max<int>(used, *std::max_element(row, row + image.width()) + 1);
    }
    table.resize(std::clamp(std::max(declared, used), 1, 256));
    return table;
}

} // namespace

QImage GifReader::read(const QByteArray &file)
{
    const Bytes bytes(file);
    if (!bytes.has(0, 13) || file.left(3) != "GIF" ||
        (file.mid(3, 3) != "87a" && file.mid(3, 3) != "89a"))
        invalid();
    int screenWidth = int(bytes.u16(6));
    int screenHeight = int(bytes.u16(8));
    const uint screenFlags = bytes.u8(10);
    const uint backgroundIndex = bytes.u8(11);
    qint64 pos = 13;
    QList<QRgb> globalTable;
    if (screenFlags & 0x80) {
        const int count = 2 << (screenFlags & 7);
        globalTable = readTable(bytes, pos, count);
        pos += 3 * count;
    }

    int transparent = -1;
    for (;;) {
        const uint block = bytes.u8(pos++);
        if (block == 0x21) {
            const uint label = bytes.u8(pos++);
            // Graphic control extension: its transparent index applies to the
            // next image.
            if (label == 0xf9 && bytes.u8(pos) >= 4 && (bytes.u8(pos + 1) & 1))
                transparent = int(bytes.u8(pos + 4));
            pos = skipSubBlocks(bytes, pos);
            continue;
        }
        if (block != 0x2c)
            invalid(); // the trailer, or not a block, before any image
        break;
    }

    const int left = int(bytes.u16(pos));
    const int top = int(bytes.u16(pos + 2));
    const int width = int(bytes.u16(pos + 4));
    const int height = int(bytes.u16(pos + 6));
    const uint flags = bytes.u8(pos + 8);
    pos += 9;
    QList<QRgb> table = globalTable;
    const bool local = flags & 0x80;
    if (local) {
        const int count = 2 << (flags & 7);
        table = readTable(bytes, pos, count);
        pos += 3 * count;
    }
    const int minCodeSize = int(bytes.u8(pos++));
    if (minCodeSize < 1 || minCodeSize > 8)
        invalid();

    // A screen declared too small to hold the image grows to hold it.
    const bool fills = left == 0 && top == 0 && width == screenWidth && height == screenHeight;
    screenWidth = std::max(screenWidth, left + width);
    screenHeight = std::max(screenHeight, top + height);
    if (screenWidth == 0 || screenHeight == 0)
        invalid();
    const bool direct = !fills && local;
    if (qint64(screenWidth) * screenHeight * (direct ? 4 : 1) > MaxPictureBytes)
        invalid();

    // Without any table, the indices show as grey levels.
    if (table.isEmpty()) {
        for (int i = 0; i < 256; ++i)
            table.append(qRgb(i, i, i));
    }
    while (table.size() < 256)
        table.append(qRgb(0, 0, 0));
    QList<QRgb> background = globalTable.isEmpty() ? table : globalTable;
    while (background.size() < 256)
        background.append(qRgb(0, 0, 0));
    const uint fillIndex = backgroundIndex < uint(background.size()) ? backgroundIndex : 0;
    const int declared =
        local ? (2 << (flags & 7)) : (globalTable.isEmpty() ? 256 : int(globalTable.size()));

    // The image in display order; decoded counts how many of its pixels the
    // data held, in the order the file stores them.
    QImage frame(width, height, QImage::Format_Indexed8);
    qint64 decoded = 0;
    const std::vector<int> rows = rowOrder(height, flags & 0x40);
    if (width > 0 && height > 0) {
        if (frame.isNull())
            invalid();
        frame.fill(fills ? fillIndex : 0);
        LzwDecoder decoder(bytes, pos, minCodeSize);
        for (int y : rows) {
            const qint64 got = decoder.decode(frame.scanLine(y), width);
            decoded += got;
            if (got < width)
                break;
        }
    }
    if (fills) {
        frame.setColorTable(fittedTable(frame, table, declared));
        return frame;
    }

    QImage screen(screenWidth, screenHeight,
                  direct ? QImage::Format_RGB32 : QImage::Format_Indexed8);
    if (screen.isNull())
        invalid();
    if (direct)
        screen.fill(background[qsizetype(fillIndex)]);
    else
        screen.fill(fillIndex);
    for (size_t k = 0; k < rows.size(); ++k) {
        const qint64 count = std::clamp<qint64>(decoded - qint64(k) * width, 0, width);
        const uchar *src = frame.constScanLine(rows[k]);
        uchar *dst = screen.scanLine(top + rows[k]);
        for (qint64 x = 0; x < count; ++x) {
            if (int(src[x]) == transparent)
                continue;
            if (direct)
                reinterpret_cast<QRgb *>(dst)[left + x] = table[src[x]];
            else
                dst[left + x] = src[x];
        }
    }
    if (!direct)
        screen.setColorTable(fittedTable(screen, background, declared));
    return screen;
}

} // namespace codecs
