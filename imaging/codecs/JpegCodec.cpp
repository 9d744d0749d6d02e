#include "imaging/codecs/JpegCodec.h"

#include "imaging/codecs/CodecError.h"
#include "imaging/codecs/RgbRows.h"

#include <QIODevice>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace codecs {

namespace {

constexpr qint64 MaxPictureBytes = qint64(1) << 28;
// More scans than any real progressive file has; bounds the work a crafted
// file can cause.
constexpr int MaxScans = 500;
constexpr size_t OutputChunk = 64 * 1024;

// libjpeg reports fatal errors through error_exit, which must not return:
// it jumps back to the call, which throws after the library's state is freed.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    QString deviceError;
};

[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    auto *manager = reinterpret_cast<ErrorManager *>(cinfo->err);
    std::longjmp(manager->jump, 1);
}

void noOutput(j_common_ptr) {}

void checkScans(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > MaxScans) {
        cinfo->err->msg_code = JERR_BAD_PROGRESSION;
        errorExit(cinfo);
    }
}

void initErrors(ErrorManager &manager)
{
    jpeg_std_error(&manager.pub);
    manager.pub.error_exit = errorExit;
    manager.pub.output_message = noOutput;
}

[[noreturn]] void throwJpegError(int code)
{
    throw CodecError(QStringLiteral("JPEG error #%1").arg(code));
}

// Writes the compressed stream to a QIODevice in chunks.
struct Destination {
    jpeg_destination_mgr pub;
    QIODevice *device;
    std::vector<JOCTET> buffer;
    ErrorManager *errors;
};

void initDestination(j_compress_ptr cinfo)
{
    auto *dest = reinterpret_cast<Destination *>(cinfo->dest);
    dest->pub.next_output_byte = dest->buffer.data();
    dest->pub.free_in_buffer = dest->buffer.size();
}

void flushTo(j_compress_ptr cinfo, size_t count)
{
    auto *dest = reinterpret_cast<Destination *>(cinfo->dest);
    if (count > 0 && dest->device->write(reinterpret_cast<const char *>(dest->buffer.data()),
                                         qint64(count)) != qint64(count)) {
        dest->errors->deviceError = dest->device->errorString();
        errorExit(reinterpret_cast<j_common_ptr>(cinfo));
    }
}

boolean emptyOutput(j_compress_ptr cinfo)
{
    auto *dest = reinterpret_cast<Destination *>(cinfo->dest);
    flushTo(cinfo, dest->buffer.size());
    dest->pub.next_output_byte = dest->buffer.data();
    dest->pub.free_in_buffer = dest->buffer.size();
    return TRUE;
}

void termDestination(j_compress_ptr cinfo)
{
    auto *dest = reinterpret_cast<Destination *>(cinfo->dest);
    flushTo(cinfo, dest->buffer.size() - dest->pub.free_in_buffer);
}

// Adobe's CMYK files store the components inverted; with that the colour is
// (c·k, m·k, y·k) / 255, else ((255 − c)(255 − k), …) / 255.
void cmykToRgb(const JSAMPLE *src, QRgb *out, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, src += 4) {
        int c = src[0], m = src[1], y = src[2], k = src[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[x] = qRgb(c * k / 255, m * k / 255, y * k / 255);
    }
}

// The decode proper; returns normally or jumps out through the error manager,
// so nothing here may own memory that needs a destructor.
bool decode(jpeg_decompress_struct &cinfo, const QByteArray &file, QImage &image, QString &tooLarge,
            std::vector<JSAMPLE> &cmykRow)
{
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(file.constData()),
                 static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    if (qint64(cinfo.image_width) * cinfo.image_height * 4 > MaxPictureBytes) {
        tooLarge = QStringLiteral("The JPEG picture is too large to open (%1 × %2 pixels)")
                       .arg(cinfo.image_width)
                       .arg(cinfo.image_height);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    image = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
    if (image.isNull()) {
        tooLarge = QStringLiteral("Not enough memory to open the JPEG picture");
        return false;
    }
    if (cmyk)
        cmykRow.resize(size_t(cinfo.output_width) * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = int(cinfo.output_scanline);
        JSAMPROW row = cmyk ? cmykRow.data() : image.scanLine(y);
        jpeg_read_scanlines(&cinfo, &row, 1);
        if (cmyk)
            cmykToRgb(row, reinterpret_cast<QRgb *>(image.scanLine(y)), cinfo.output_width,
                      cinfo.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

void encode(jpeg_compress_struct &cinfo, RgbRows &rows, int quality)
{
    cinfo.image_width = JDIMENSION(rows.width());
    cinfo.image_height = JDIMENSION(rows.height());
    cinfo.input_components = 4;
    // 0xffRRGGBB in memory order on a little-endian machine: B, G, R, X; the
    // library converts to YCbCr exactly as from three RGB components.
    cinfo.in_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        auto row = const_cast<JSAMPROW>(
            reinterpret_cast<const JSAMPLE *>(rows.row(int(cinfo.next_scanline))));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
}

} // namespace

QImage JpegCodec::read(const QByteArray &file)
{
    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    jpeg_progress_mgr progress{};
    QImage image;
    QString tooLarge;
    std::vector<JSAMPLE> cmykRow;
    cinfo.err = &errors.pub;
    initErrors(errors);
    if (setjmp(errors.jump)) {
        const int code = errors.pub.msg_code;
        jpeg_destroy_decompress(&cinfo);
        throwJpegError(code);
    }
    jpeg_create_decompress(&cinfo);
    progress.progress_monitor = checkScans;
    cinfo.progress = &progress;
    const bool done = decode(cinfo, file, image, tooLarge, cmykRow);
    jpeg_destroy_decompress(&cinfo);
    if (!done)
        throw CodecError(tooLarge);
    return image;
}

void JpegCodec::write(QIODevice &device, const QImage &image, int quality)
{
    if (image.width() > JPEG_MAX_DIMENSION || image.height() > JPEG_MAX_DIMENSION)
        throw CodecError(
            QStringLiteral("A JPEG file holds at most %1 × %1 pixels").arg(JPEG_MAX_DIMENSION));
    RgbRows rows(image);
    jpeg_compress_struct cinfo{};
    ErrorManager errors{};
    Destination dest{};
    dest.device = &device;
    dest.buffer.resize(OutputChunk);
    dest.errors = &errors;
    cinfo.err = &errors.pub;
    initErrors(errors);
    if (setjmp(errors.jump)) {
        const int code = errors.pub.msg_code;
        jpeg_destroy_compress(&cinfo);
        if (!errors.deviceError.isEmpty())
            throw CodecError(errors.deviceError);
        throwJpegError(code);
    }
    jpeg_create_compress(&cinfo);
    dest.pub.init_destination = initDestination;
    dest.pub.empty_output_buffer = emptyOutput;
    dest.pub.term_destination = termDestination;
    cinfo.dest = &dest.pub;
    encode(cinfo, rows, quality);
    jpeg_destroy_compress(&cinfo);
}

} // namespace codecs
