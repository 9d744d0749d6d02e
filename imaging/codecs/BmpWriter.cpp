#include "imaging/codecs/BmpWriter.h"

#include "imaging/codecs/CodecError.h"

#include <QByteArray>
#include <QIODevice>

#include <cstring>

namespace codecs {

namespace {

constexpr qint64 MaxFileSize = 0x7fffffff;

void put16(uchar *p, quint32 v)
{
    p[0] = uchar(v);
    p[1] = uchar(v >> 8);
}

void put32(uchar *p, quint32 v)
{
    put16(p, v);
    put16(p + 2, v >> 16);
}

void writeAll(QIODevice &device, const QByteArray &bytes)
{
    if (device.write(bytes) != bytes.size())
        throw CodecError(device.errorString());
}

} // namespace

void BmpWriter::write(QIODevice &device, const QImage &source)
{
    QImage image = source;
    int bits = 24;
    bool masks = false;
    switch (source.format()) {
    case QImage::Format_Mono:
        bits = 1;
        break;
    case QImage::Format_MonoLSB:
        image = source.convertToFormat(QImage::Format_Mono);
        bits = 1;
        break;
    case QImage::Format_Indexed8:
        bits = 8;
        break;
    case QImage::Format_RGB16:
        bits = 16;
        masks = true;
        break;
    case QImage::Format_RGB555:
        bits = 16;
        break;
    default:
        if (source.hasAlphaChannel()) {
            image = source.convertToFormat(QImage::Format_ARGB32);
            bits = 32;
        }
        break;
    }
    QList<QRgb> table = bits <= 8 ? image.colorTable() : QList<QRgb>();
    // A picture without a table shows its indices as grey levels.
    if (bits <= 8 && table.isEmpty()) {
        const int count = 1 << bits;
        for (int i = 0; i < count; ++i)
            table.append(qRgb(i * 255 / (count - 1), i * 255 / (count - 1), i * 255 / (count - 1)));
    }
    const qint64 width = image.width();
    const qint64 height = image.height();
    const qint64 stride = (width * bits + 31) / 32 * 4;
    const qint64 headerSize = 14 + 40 + (masks ? 12 : 0) + 4 * qint64(table.size());
    if (headerSize + stride * height > MaxFileSize)
        throw CodecError(QStringLiteral("The picture is too large for a BMP file"));

    QByteArray header(headerSize, '\0');
    auto *h = reinterpret_cast<uchar *>(header.data());
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, quint32(headerSize + stride * height));
    put32(h + 10, quint32(headerSize));
    put32(h + 14, 40);
    put32(h + 18, quint32(width));
    put32(h + 22, quint32(height));
    put16(h + 26, 1);
    put16(h + 28, quint32(bits));
    put32(h + 30, masks ? 3 : 0);
    put32(h + 34, quint32(stride * height));
    put32(h + 38, quint32(qMax(0, image.dotsPerMeterX())));
    put32(h + 42, quint32(qMax(0, image.dotsPerMeterY())));
    put32(h + 46, quint32(table.size()));
    uchar *p = h + 54;
    if (masks) {
        put32(p, 0xf800);
        put32(p + 4, 0x07e0);
        put32(p + 8, 0x001f);
        p += 12;
    }
    for (QRgb c : table) {
        p[0] = uchar(qBlue(c));
        p[1] = uchar(qGreen(c));
        p[2] = uchar(qRed(c));
        p += 4;
    }
    writeAll(device, header);

    // Rows go out bottom-up, several at a time.
    const qint64 rowsPerChunk = qMax<qint64>(1, (256 * 1024) / qMax<qint64>(1, stride));
    QByteArray chunk;
    if (bits == 24) {
        const bool direct = image.format() == QImage::Format_RGB32;
        for (qint64 bottom = height; bottom > 0;) {
            const qint64 top = qMax<qint64>(0, bottom - rowsPerChunk);
            chunk.resize(stride * (bottom - top));
            // Other formats are converted a strip at a time.
            const QImage strip = direct ? QImage()
                                        : image.copy(0, int(top), int(width), int(bottom - top))
                                              .convertToFormat(QImage::Format_RGB32);
            for (qint64 y = top; y < bottom; ++y) {
                const auto *src = reinterpret_cast<const QRgb *>(
                    direct ? image.constScanLine(int(y)) : strip.constScanLine(int(y - top)));
                auto *dst = reinterpret_cast<uchar *>(chunk.data()) + (bottom - 1 - y) * stride;
                for (qint64 x = 0; x < width; ++x) {
                    dst[3 * x] = uchar(qBlue(src[x]));
                    dst[3 * x + 1] = uchar(qGreen(src[x]));
                    dst[3 * x + 2] = uchar(qRed(src[x]));
                }
                std::memset(dst + 3 * width, 0, size_t(stride - 3 * width));
            }
            writeAll(device, chunk);
            bottom = top;
        }
        return;
    }
    const qint64 used = (width * bits + 7) / 8;
    for (qint64 bottom = height; bottom > 0;) {
        const qint64 top = qMax<qint64>(0, bottom - rowsPerChunk);
        chunk.fill('\0', stride * (bottom - top));
        for (qint64 y = top; y < bottom; ++y) {
            auto *dst = reinterpret_cast<uchar *>(chunk.data()) + (bottom - 1 - y) * stride;
            const uchar *src = image.constScanLine(int(y));
            if (bits == 16) {
                const auto *in = reinterpret_cast<const quint16 *>(src);
                for (qint64 x = 0; x < width; ++x)
                    put16(dst + 2 * x, in[x]);
            } else if (bits == 32) {
                const auto *in = reinterpret_cast<const QRgb *>(src);
                for (qint64 x = 0; x < width; ++x)
                    put32(dst + 4 * x, in[x]);
            } else {
                std::memcpy(dst, src, size_t(used));
            }
        }
        writeAll(device, chunk);
        bottom = top;
    }
}

} // namespace codecs
