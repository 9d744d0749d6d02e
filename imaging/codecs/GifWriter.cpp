#include "imaging/codecs/GifWriter.h"

#include "imaging/codecs/CodecError.h"

#include <QFileDevice>
#include <QIODevice>

#include <algorithm>

namespace codecs {

namespace {

constexpr qsizetype DeviceChunk = 64 * 1024;
constexpr int MaxSide = 65535;
constexpr int MaxColours = 256;

// The smallest b >= 1 with 2^b >= n; 0 for an empty table.
int bitsPerPixel(int colourCount)
{
    if (colourCount == 0)
        return 0;
    int bits = 1;
    while ((1 << bits) < colourCount)
        ++bits;
    return bits;
}

void appendWord(QByteArray &out, int value)
{
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

[[noreturn]] void colourNotInTable()
{
    throw CodecError(QStringLiteral("Color not in color table"));
}

} // namespace

GifWriter::GifWriter(QIODevice &device, int colourCount)
    : m_device(device), m_colourCount(colourCount), m_bpp(bitsPerPixel(colourCount))
{
    m_buffer.reserve(DeviceChunk + 512);
}

void GifWriter::write(QIODevice &device, const QImage &indexed8)
{
    if (indexed8.format() != QImage::Format_Indexed8)
        throw CodecError(QStringLiteral("A GIF frame must be an 8-bit indexed picture"));
    write(device, indexed8.width(), indexed8.height(), indexed8.constBits(),
          indexed8.bytesPerLine(), indexed8.colorTable());
}

void GifWriter::write(QIODevice &device, int width, int height, const uchar *pixels,
                      qsizetype bytesPerLine, const QVector<QRgb> &colours)
{
    if (width < 0 || height < 0 || width > MaxSide || height > MaxSide)
        throw CodecError(
            QStringLiteral("A GIF frame cannot be %1 × %2 pixels").arg(width).arg(height));
    if (colours.size() > MaxColours)
        throw CodecError(QStringLiteral("Color table overflow"));
    const bool empty = width == 0 || height == 0;
    if (!empty && (pixels == nullptr || bytesPerLine < width))
        throw CodecError(QStringLiteral("No pixels given for the GIF frame"));
    // Every pixel of a frame without colours lies outside the table; say so
    // before anything is written.
    if (!empty && colours.isEmpty())
        colourNotInTable();

    GifWriter writer(device, int(colours.size()));
    writer.writeHeader(width, height, colours);
    if (!empty)
        writer.writeImageData(width, height, pixels, bytesPerLine);
    const char trailer = 0x3b;
    writer.putBytes(&trailer, 1);
    writer.flushBuffer();
    // A file keeps written data in its own buffer; its errors show on flush.
    if (auto *file = qobject_cast<QFileDevice *>(&device); file && !file->flush())
        throw CodecError(file->errorString());
}

void GifWriter::writeHeader(int width, int height, const QVector<QRgb> &colours)
{
    QByteArray head("GIF87a");
    // Logical screen: no global table; colour resolution and the (unused)
    // table size field both bpp - 1. An empty table still gives a valid field.
    const int sizeField = std::max(m_bpp, 1) - 1;
    appendWord(head, width);
    appendWord(head, height);
    head.append(char((sizeField << 4) | sizeField));
    head.append('\0'); // background colour index
    head.append('\0'); // pixel aspect ratio
    if (width > 0 && height > 0) {
        head.append(char(0x2c));
        appendWord(head, 0);
        appendWord(head, 0);
        appendWord(head, width);
        appendWord(head, height);
        head.append(char(0x80 | (m_bpp - 1))); // local table, not interlaced, not sorted
        const int entries = 1 << m_bpp;
        for (int i = 0; i < entries; ++i) {
            const QRgb c = i < colours.size() ? colours[i] : qRgb(0, 0, 0);
            head.append(char(qRed(c)));
            head.append(char(qGreen(c)));
            head.append(char(qBlue(c)));
        }
    }
    putBytes(head.constData(), head.size());
}

void GifWriter::writeImageData(int width, int height, const uchar *pixels, qsizetype bytesPerLine)
{
    const int m = std::max(2, m_bpp);
    const char minCodeSize = char(m);
    putBytes(&minCodeSize, 1);

    m_clearCode = 1 << m;
    m_endCode = m_clearCode + 1;
    m_baseCode = m_clearCode + 2;
    m_initialBits = m + 1;
    m_bumpInit = m_clearCode - 1;
    m_clearInit = m <= 3 ? 9 : m_clearCode - 2;
    m_maxCodes = 4095 - m_baseCode;

    m_codeBits = m_initialBits;
    Clear();
    m_runPixel = -1;
    qint64 runLength = 0;

    for (int y = 0; y < height; ++y) {
        const uchar *row = pixels + y * bytesPerLine;
        int x = 0;
        while (x < width) {
            const int p = row[x];
            if (p == m_runPixel) {
                // The rest of the run within this row: these pixels were checked
                // when the run began.
                int end = x + 1;
                while (end < width && row[end] == p)
                    ++end;
                runLength += end - x;
                x = end;
                continue;
            }
            if (p >= m_colourCount)
                colourNotInTable();
            if (runLength > 0)
                FlushRun(runLength);
            m_runPixel = p;
            runLength = 1;
            ++x;
        }
    }
    FlushRun(runLength);

    putCode(m_endCode);
    endImageData();
}

void GifWriter::Clear()
{
    putCode(m_clearCode);
    m_bumpAt = m_bumpInit;
    m_clearAt = m_clearInit;
    m_codeCount = 0;
    m_tableMax = 0;
    m_justCleared = true;
    m_codeBits = m_initialBits;
}

void GifWriter::SendCode(int code)
{
    m_justCleared = false;
    putCode(code);
    ++m_codeCount;
    if (m_codeCount >= m_bumpAt) {
        m_bumpAt += qint64(1) << m_codeBits;
        ++m_codeBits;
    }
    if (m_codeCount >= m_clearAt)
        Clear();
}

qint64 GifWriter::IntegerSqrt(qint64 value)
{
    if (value < 2)
        return value;
    int digits = 0; // base-4 digits of value
    for (qint64 v = value; v > 0; v >>= 2)
        ++digits;
    qint64 root = qint64(1) << digits;
    for (;;) {
        const qint64 next = (root + value / root) / 2;
        if (next == root || next == root + 1)
            return root;
        root = next;
    }
}

qint64 GifWriter::RunCodeCost(qint64 count, qint64 limit)
{
    // A fresh table sends the pixel and then codes for 2, 3, ... pixels: k codes
    // cover k(k + 1)/2 pixels, at most limit codes per table.
    const qint64 perTable = limit * (limit + 1) / 2;
    qint64 cost = count / perTable * limit;
    count %= perTable;
    if (count > 0) {
        qint64 k = IntegerSqrt(count);
        while (k > 0 && k * (k + 1) >= 2 * count)
            --k;
        while (k * (k + 1) < 2 * count)
            ++k;
        cost += k;
    }
    return cost;
}

void GifWriter::FlushFromClear(qint64 count)
{
    m_clearAt = m_maxCodes;
    m_tablePixel = m_runPixel;
    qint64 step = 1;
    while (count > 0) {
        if (step == 1) {
            m_tableMax = 1;
            SendCode(m_runPixel);
            --count;
        } else if (count >= step) {
            // The decoder's next free code: it stands for the previous string
            // plus its first pixel, that is step pixels.
            m_tableMax = step;
            SendCode(int(m_baseCode + step - 2));
            count -= step;
        } else {
            // A known shorter string; the decoder adds the one for step pixels.
            ++m_tableMax;
            SendCode(count == 1 ? m_runPixel : int(m_baseCode + count - 2));
            break;
        }
        step = m_codeCount == 0 ? 1 : step + 1;
    }
    m_clearAt = m_clearInit;
    if (m_codeCount >= m_clearAt)
        Clear();
}

void GifWriter::FlushClearOrRepeat(qint64 count)
{
    if (1 + RunCodeCost(count, m_maxCodes) < count) {
        Clear();
        FlushFromClear(count);
        return;
    }
    for (qint64 i = 0; i < count; ++i)
        SendCode(m_runPixel);
}

void GifWriter::FlushWithTable(qint64 count)
{
    qint64 reps = count / m_tableMax;
    qint64 rest = count % m_tableMax;
    qint64 restCost = rest > 0 ? 1 : 0;
    if (m_codeCount + reps + restCost > m_maxCodes) {
        reps = m_maxCodes - m_codeCount;
        rest = count - reps * m_tableMax;
        restCost = 1 + RunCodeCost(rest, m_maxCodes);
    }
    if (1 + RunCodeCost(count, m_maxCodes) < reps + restCost) {
        Clear();
        FlushFromClear(count);
        return;
    }
    m_clearAt = m_maxCodes;
    const int longest = int(m_baseCode + m_tableMax - 2);
    for (qint64 i = 0; i < reps; ++i)
        SendCode(longest);
    if (rest > 0) {
        if (m_justCleared)
            FlushFromClear(rest);
        else if (rest == 1)
            SendCode(m_runPixel);
        else
            SendCode(int(m_baseCode + rest - 2));
    }
    m_clearAt = m_clearInit;
    if (m_codeCount >= m_clearAt)
        Clear();
}

void GifWriter::FlushRun(qint64 count)
{
    if (count == 1)
        SendCode(m_runPixel);
    else if (m_justCleared)
        FlushFromClear(count);
    else if (m_tableMax >= 2 && m_tablePixel == m_runPixel)
        FlushWithTable(count);
    else
        FlushClearOrRepeat(count);
}

void GifWriter::putCode(int code)
{
    m_bits |= quint64(code) << m_bitCount;
    m_bitCount += m_codeBits;
    while (m_bitCount >= 8) {
        putDataByte(uchar(m_bits & 0xff));
        m_bits >>= 8;
        m_bitCount -= 8;
    }
}

void GifWriter::putDataByte(uchar byte)
{
    if (m_blockSize == int(sizeof m_block)) {
        const char size = char(m_blockSize);
        putBytes(&size, 1);
        putBytes(reinterpret_cast<const char *>(m_block), m_blockSize);
        m_blockSize = 0;
    }
    m_block[m_blockSize++] = byte;
}

void GifWriter::endImageData()
{
    if (m_bitCount > 0) {
        putDataByte(uchar(m_bits & 0xff));
        m_bits = 0;
        m_bitCount = 0;
    }
    const char size = char(m_blockSize);
    putBytes(&size, 1);
    putBytes(reinterpret_cast<const char *>(m_block), m_blockSize);
    m_blockSize = 0;
    const char terminator = 0;
    putBytes(&terminator, 1);
}

void GifWriter::putBytes(const char *data, qsizetype size)
{
    m_buffer.append(data, size);
    if (m_buffer.size() >= DeviceChunk)
        flushBuffer();
}

void GifWriter::flushBuffer()
{
    if (m_buffer.isEmpty())
        return;
    if (m_device.write(m_buffer) != m_buffer.size())
        throw CodecError(m_device.errorString());
    m_buffer.resize(0); // keeps the capacity
}

} // namespace codecs
