#pragma once

#include <QByteArray>
#include <QImage>

namespace codecs {

// Reads a Windows BMP file held in memory: the core (12-byte) header and the
// 40- to 124-byte info headers; 1, 4, 8, 16, 24 and 32 bits per pixel; RLE4
// and RLE8; bottom-up and top-down rows; bit-field masks. The picture keeps
// the file's kind where QImage has one: 1 bit gives Format_Mono, 4 and 8 bits
// Format_Indexed8 (the colour table padded with black to 2^bits entries, so
// every index a file can hold has a colour), 16 bits with the usual 5-6-5 or
// 5-5-5 masks Format_RGB16 or Format_RGB555, other pixels Format_RGB32 (or
// Format_ARGB32 when the file has an alpha mask).
//
// Every read is checked against the buffer; anything a BMP cannot be (a bad
// header, an unknown compression, pixels outside the file, a picture too large
// to hold) throws CodecError "Bitmap image is not valid". RLE data that ends
// early or places pixels outside the picture stops there; the pixels not set
// keep index 0.
class BmpReader {
public:
    static QImage read(const QByteArray &file);
};

} // namespace codecs
