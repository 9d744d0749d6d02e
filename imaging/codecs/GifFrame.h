#pragma once

#include <QImage>

namespace codecs {

// The frame the GIF writer stores for a picture: a picture of 1 to 8 bits per
// pixel keeps its own colour table; any other is read as 24-bit colour and
// gets a table of its distinct colours in the order they are first met (rows
// from the top, pixels from the left). A colour is looked for first among the
// last eight distinct colours met, most recent first, then in the table.
// More than 256 colours throw CodecError "Color table overflow".
QImage GifFrame(const QImage &picture);

} // namespace codecs
