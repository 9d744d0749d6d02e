#pragma once

#include <QByteArray>
#include <QImage>

class QIODevice;

namespace codecs {

// JPEG through libjpeg. Errors of the library end the call with CodecError
// "JPEG error #<n>", n being the library's message code, instead of ending the
// program; its warnings (such as data that ends early) are not shown.
class JpegCodec {
public:
    // Decodes at full size into a Format_RGB32 picture: colour and grey files
    // as they are, CMYK files converted to RGB. A picture too large to hold is
    // refused with a message.
    static QImage read(const QByteArray &file);

    // Encodes a picture of any format as 24-bit colour: baseline, the library's
    // defaults, the given quality. Write errors of the device are thrown with
    // its error text.
    static void write(QIODevice &device, const QImage &image, int quality = 90);
};

} // namespace codecs
