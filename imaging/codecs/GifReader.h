#pragma once

#include <QByteArray>
#include <QImage>

namespace codecs {

// Reads the first image of a GIF file (87a or 89a) held in memory; further
// images are ignored. The picture has the size of the logical screen (or, when
// the screen is declared smaller, of what holds the frame). An image that fills
// the screen is returned as Format_Indexed8 with its colour table (the local
// one, else the global one, padded with black to the size the file declares);
// a smaller image is drawn at its position over the screen's background
// colour, still indexed when it uses the global table, as Format_RGB32 when it
// has a table of its own. Transparent pixels of a smaller image leave the
// background. Interlaced images are put in display order.
//
// Image data that ends early (a truncated file) gives the picture decoded so
// far, the rest at the background. Anything else that is not a GIF (bad
// signature, no image before the end, an LZW code that is not yet defined, a
// picture too large to hold) throws CodecError "Invalid GIF data". Every read
// is checked against the buffer.
class GifReader {
public:
    static QImage read(const QByteArray &file);
};

} // namespace codecs
