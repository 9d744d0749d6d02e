#pragma once

#include <QImage>

class QIODevice;

namespace codecs {

// Writes a picture as a Windows BMP file (40-byte info header, rows bottom-up)
// at the picture's own depth: Format_Mono and MonoLSB as 1 bit and
// Format_Indexed8 as 8 bits, each with its colour table; Format_RGB16 as
// 16 bits with 5-6-5 masks and Format_RGB555 as 16 bits; pictures with an alpha
// channel as 32 bits (blue, green, red, alpha); every other format as 24 bits.
// Device errors are thrown as CodecError with the device's text.
class BmpWriter {
public:
    static void write(QIODevice &device, const QImage &image);
};

} // namespace codecs
