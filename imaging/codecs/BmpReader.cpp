#include "imaging/codecs/BmpReader.h"

#include "imaging/codecs/CodecError.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace codecs {

namespace {

constexpr quint32 RgbCompression = 0;
constexpr quint32 Rle8Compression = 1;
constexpr quint32 Rle4Compression = 2;
constexpr quint32 BitFieldsCompression = 3;
constexpr quint32 AlphaBitFieldsCompression = 6;
constexpr qsizetype FileHeaderSize = 14;
// The largest picture we allocate, in bytes of QImage data.
constexpr qint64 MaxPictureBytes = qint64(1) << 28;

[[noreturn]] void invalid()
{
    throw CodecError(QStringLiteral("Bitmap image is not valid"));
}

// Bounds-checked little-endian reads from the file.
class Bytes {
public:
    explicit Bytes(const QByteArray &data)
        : m_data(reinterpret_cast<const uchar *>(data.constData())), m_size(data.size())
    {
    }
    qsizetype size() const { return m_size; }
    const uchar *at(qint64 offset, qint64 count) const
    {
        if (offset < 0 || count < 0 || offset > m_size || count > m_size - offset)
            invalid();
        return m_data + offset;
    }
    quint32 u8(qint64 offset) const { return *at(offset, 1); }
    quint32 u16(qint64 offset) const
    {
        const uchar *p = at(offset, 2);
        return quint32(p[0]) | quint32(p[1]) << 8;
    }
    quint32 u32(qint64 offset) const
    {
        const uchar *p = at(offset, 4);
        return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
    }

private:
    const uchar *m_data;
    qsizetype m_size;
};

struct Header {
    qint64 width = 0;
    qint64 height = 0; // rows; positive
    bool topDown = false;
    int bits = 0;
    quint32 compression = RgbCompression;
    quint32 coloursUsed = 0;
    std::array<quint32, 4> masks{}; // red, green, blue, alpha
    bool hasMasks = false;
    qint64 tableOffset = 0;
    int tableEntrySize = 4;
};

// One component of a bit-field mask: shift and width, scaled to 8 bits.
struct Channel {
    quint32 mask = 0;
    int shift = 0;
    int width = 0;
    explicit Channel(quint32 m) : mask(m)
    {
        if (mask == 0)
            return;
        shift = std::countr_zero(mask);
        // A mask with holes is taken as its whole span.
        width = 32 - std::countl_zero(mask) - shift;
    }
    uint value(quint32 pixel) const
    {
        if (mask == 0)
            return 0;
        const quint32 v = (pixel & mask) >> shift;
        if (width >= 8)
            return uint(v >> (width - 8));
        // Repeat the bits to fill 8 bits, so the largest value is 255.
        const quint32 max = (quint32(1) << width) - 1;
        return uint((v * 255 + max / 2) / max);
    }
};

Header readHeader(const Bytes &bytes)
{
    if (bytes.u16(0) != 0x4d42) // "BM"
        invalid();
    Header h;
    const quint32 infoSize = bytes.u32(FileHeaderSize);
    const qint64 info = FileHeaderSize;
    if (infoSize == 12) {
        h.width = bytes.u16(info + 4);
        const qint64 height = qint16(bytes.u16(info + 6));
        h.topDown = height < 0;
        h.height = height < 0 ? -height : height;
        if (bytes.u16(info + 8) != 1)
            invalid();
        h.bits = int(bytes.u16(info + 10));
        h.tableOffset = info + 12;
        h.tableEntrySize = 3;
    } else if (infoSize >= 40 && infoSize <= 124) {
        h.width = qint32(bytes.u32(info + 4));
        const qint64 height = qint32(bytes.u32(info + 8));
        h.topDown = height < 0;
        h.height = height < 0 ? -height : height;
        if (bytes.u16(info + 12) != 1)
            invalid();
        h.bits = int(bytes.u16(info + 14));
        h.compression = bytes.u32(info + 16);
        h.coloursUsed = bytes.u32(info + 32);
        h.tableOffset = info + infoSize;
        if (h.compression == BitFieldsCompression || h.compression == AlphaBitFieldsCompression) {
            h.hasMasks = true;
            const int count = h.compression == AlphaBitFieldsCompression ? 4 : 3;
            // Masks lie inside the larger headers, after the 40-byte one otherwise.
            for (int i = 0; i < 4; ++i) {
                if (i < count || infoSize >= 56)
                    h.masks[size_t(i)] = bytes.u32(info + 40 + 4 * i);
            }
            if (infoSize == 40)
                h.tableOffset += 4 * count;
        }
    } else {
        invalid();
    }
    if (h.width <= 0 || h.height <= 0)
        invalid();
    switch (h.compression) {
    case RgbCompression:
        if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 &&
            h.bits != 32)
            invalid();
        break;
    case Rle8Compression:
        if (h.bits != 8)
            invalid();
        break;
    case Rle4Compression:
        if (h.bits != 4)
            invalid();
        break;
    case BitFieldsCompression:
    case AlphaBitFieldsCompression:
        if (h.bits != 16 && h.bits != 32)
            invalid();
        break;
    default:
        invalid();
    }
    if (!h.hasMasks && h.bits == 16)
        h.masks = {0x7c00, 0x03e0, 0x001f, 0};
    if (!h.hasMasks && h.bits == 32)
        h.masks = {0xff0000, 0x00ff00, 0x0000ff, 0};
    return h;
}

QImage allocate(const Header &h, QImage::Format format)
{
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 rowBytes = (h.width * depth + 31) / 32 * 4;
    if (h.width > 65535 * 4 || h.height > 65535 * 4 || rowBytes * h.height > MaxPictureBytes)
        invalid();
    QImage image(int(h.width), int(h.height), format);
    if (image.isNull())
        invalid();
    image.fill(0);
    return image;
}

QList<QRgb> readTable(const Bytes &bytes, const Header &h, qint64 pixelOffset)
{
    const int full = 1 << h.bits;
    qint64 count = h.coloursUsed == 0 ? full : qint64(h.coloursUsed);
    if (count > full)
        count = full;
    // The table lies between the header and the pixels; files that claim more
    // entries than fit are common, so read what is there.
    const qint64 room =
        (std::min<qint64>(pixelOffset, bytes.size()) - h.tableOffset) / h.tableEntrySize;
    count = std::max<qint64>(0, std::min(count, room));
    QList<QRgb> table;
    table.reserve(full);
    for (qint64 i = 0; i < count; ++i) {
        const uchar *p = bytes.at(h.tableOffset + i * h.tableEntrySize, 3);
        table.append(qRgb(p[2], p[1], p[0]));
    }
    while (table.size() < full)
        table.append(qRgb(0, 0, 0));
    return table;
}

uchar *rowAt(QImage &image, const Header &h, qint64 fileRow)
{
    return image.scanLine(int(h.topDown ? fileRow : h.height - 1 - fileRow));
}

void readIndexed(const Bytes &bytes, const Header &h, qint64 pixelOffset, QImage &image)
{
    const qint64 stride = (h.width * h.bits + 31) / 32 * 4;
    for (qint64 r = 0; r < h.height; ++r) {
        const uchar *src = bytes.at(pixelOffset + r * stride, stride);
        uchar *dst = rowAt(image, h, r);
        if (h.bits == 1) {
            std::memcpy(dst, src, size_t((h.width + 7) / 8));
        } else if (h.bits == 8) {
            std::memcpy(dst, src, size_t(h.width));
        } else {
            for (qint64 x = 0; x < h.width; ++x)
                dst[x] = (x & 1) ? (src[x / 2] & 0x0f) : (src[x / 2] >> 4);
        }
    }
}

// RLE8 and RLE4: pairs (count, index) repeat an index, (0, n >= 3) copies n
// literal indices (padded to a 16-bit boundary), (0, 0) ends a row, (0, 1)
// ends the picture, (0, 2, dx, dy) moves the position.
void readRle(const Bytes &bytes, const Header &h, qint64 pixelOffset, QImage &image)
{
    const bool four = h.compression == Rle4Compression;
    qint64 pos = pixelOffset;
    const qint64 end = bytes.size();
    qint64 x = 0;
    qint64 row = 0;
    auto put = [&](uint index) {
        if (x < h.width && row < h.height)
            rowAt(image, h, row)[x] = uchar(index);
        ++x;
    };
    while (pos + 2 <= end && row < h.height) {
        const uint count = bytes.u8(pos);
        const uint value = bytes.u8(pos + 1);
        pos += 2;
        if (count > 0) {
            for (uint i = 0; i < count && x < h.width; ++i)
                put(four ? ((i & 1) ? (value & 0x0f) : (value >> 4)) : value);
            continue;
        }
        if (value == 0) {
            x = 0;
            ++row;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (pos + 2 > end)
                break;
            x += bytes.u8(pos);
            row += bytes.u8(pos + 1);
            pos += 2;
        } else {
            const qint64 dataBytes = four ? (value + 1) / 2 : value;
            if (pos + dataBytes > end)
                break;
            for (uint i = 0; i < value; ++i) {
                const uint b = bytes.u8(pos + (four ? i / 2 : i));
                put(four ? ((i & 1) ? (b & 0x0f) : (b >> 4)) : b);
            }
            pos += (dataBytes + 1) & ~qint64(1);
        }
    }
}

void readDirect(const Bytes &bytes, const Header &h, qint64 pixelOffset, QImage &image)
{
    const qint64 stride = (h.width * h.bits + 31) / 32 * 4;
    const bool raw16 =
        image.format() == QImage::Format_RGB16 || image.format() == QImage::Format_RGB555;
    const Channel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]), alpha(h.masks[3]);
    for (qint64 r = 0; r < h.height; ++r) {
        const uchar *src = bytes.at(pixelOffset + r * stride, stride);
        uchar *dst = rowAt(image, h, r);
        if (raw16) {
            auto *out = reinterpret_cast<quint16 *>(dst);
            for (qint64 x = 0; x < h.width; ++x)
                out[x] = quint16(src[2 * x] | src[2 * x + 1] << 8);
            continue;
        }
        auto *out = reinterpret_cast<QRgb *>(dst);
        if (h.bits == 24) {
            for (qint64 x = 0; x < h.width; ++x, src += 3)
                out[x] = qRgb(src[2], src[1], src[0]);
            continue;
        }
        if (h.bits == 32 && !h.hasMasks) {
            for (qint64 x = 0; x < h.width; ++x, src += 4)
                out[x] = qRgb(src[2], src[1], src[0]);
            continue;
        }
        for (qint64 x = 0; x < h.width; ++x) {
            quint32 pixel;
            if (h.bits == 16) {
                pixel = quint32(src[0]) | quint32(src[1]) << 8;
                src += 2;
            } else {
                pixel = quint32(src[0]) | quint32(src[1]) << 8 | quint32(src[2]) << 16 |
                        quint32(src[3]) << 24;
                src += 4;
            }
            out[x] = qRgba(int(red.value(pixel)), int(green.value(pixel)), int(blue.value(pixel)),
                           h.masks[3] ? int(alpha.value(pixel)) : 255);
        }
    }
}

} // namespace

QImage BmpReader::read(const QByteArray &file)
{
    const Bytes bytes(file);
    const Header h = readHeader(bytes);
    const qint64 pixelOffset = bytes.u32(10);
    if (pixelOffset < h.tableOffset)
        invalid();

    QImage image;
    if (h.bits <= 8) {
        image = allocate(h, h.bits == 1 ? QImage::Format_Mono : QImage::Format_Indexed8);
        image.setColorTable(readTable(bytes, h, pixelOffset));
        if (h.compression == RgbCompression)
            readIndexed(bytes, h, pixelOffset, image);
        else
            readRle(bytes, h, pixelOffset, image);
    } else {
        QImage::Format format = QImage::Format_RGB32;
        if (h.bits == 16 && h.masks == std::array<quint32, 4>{0xf800, 0x07e0, 0x001f, 0})
            format = QImage::Format_RGB16;
        else if (h.bits == 16 && h.masks == std::array<quint32, 4>{0x7c00, 0x03e0, 0x001f, 0})
            format = QImage::Format_RGB555;
        else if (h.masks[3] != 0)
            format = QImage::Format_ARGB32;
        image = allocate(h, format);
        readDirect(bytes, h, pixelOffset, image);
    }
    // 1 / 39.37 m per inch; both headers store pixels per metre.
    if (bytes.u32(FileHeaderSize) >= 40) {
        const qint32 xppm = qint32(bytes.u32(FileHeaderSize + 24));
        const qint32 yppm = qint32(bytes.u32(FileHeaderSize + 28));
        if (xppm > 0 && yppm > 0) {
            image.setDotsPerMeterX(xppm);
            image.setDotsPerMeterY(yppm);
        }
    }
    return image;
}

} // namespace codecs
