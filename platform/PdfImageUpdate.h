#pragma once

#include <QByteArray>
#include <QImage>

// Puts an 8-bit indexed picture into a finished PDF file as an incremental
// update: the update appended to the file gives one of its image objects a
// new version that holds the picture as an /Indexed image, one byte a pixel,
// deflated. The page keeps drawing that object where it drew the old one, so
// a placeholder drawn into the target rectangle becomes the picture, scaled
// by the PDF reader. The file must use a classic cross-reference table.
// Errors throw platform::PrinterError.
namespace platform::PdfImageUpdate {

// The number of the last image object written in `pdf`.
int lastImageObject(const QByteArray &pdf);

// The bytes to append to `pdf` so that object `object` becomes `indexed`
// (QImage::Format_Indexed8, 1 to 256 colours; alpha is ignored), compressed
// at zlib level `level` (1 fastest .. 9 smallest).
QByteArray indexedImage(const QByteArray &pdf, int object, const QImage &indexed, int level);

} // namespace platform::PdfImageUpdate
