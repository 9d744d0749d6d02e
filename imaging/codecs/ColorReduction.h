#pragma once

#include <QImage>
#include <QList>
#include <QVector>

namespace codecs {

// The 256-colour reduction of a true-colour picture: an optimised palette
// from an octree quantiser, then a re-mapping onto that palette with
// Floyd–Steinberg error diffusion. Pictures of any format are read as 24-bit
// colour (alpha is dropped as QImage::convertToFormat(Format_RGB32) drops it);
// the inputs are never changed.
//
//     const QVector<QRgb> palette = BuildOptimizedPalette({picture}, 256, 8);
//     const QImage reduced = RemapToPalette(picture, palette); // Format_Indexed8

// A palette of `colours` entries (1 to 256) for all pixels of all images, in
// list order: an octree whose leaves lie at depth `bits` (0 to 8), reduced
// after each pixel while it has more than `colours` leaves (the most recently
// created inner node of the deepest reducible level first). Entry i is the
// truncated average colour of the i-th leaf in depth-first order; the entries
// after the last leaf are black. Throws CodecError "Invalid bitmap list" for an
// empty list, and for a colour count or depth out of range.
QVector<QRgb> BuildOptimizedPalette(const QList<QImage> &images, int colours, int bits);

// A Format_Indexed8 picture of the same size whose colour table is exactly
// `palette` (1 to 256 entries; all of them are candidates): rows alternate in
// direction, each pixel's colour corrected by the diffused error of its
// neighbours and mapped to the nearest entry (smallest sum of absolute
// differences, cached per 5-bit-per-component cell, the first entry of a cell
// taking it). Throws CodecError for an empty or oversized palette.
QImage RemapToPalette(const QImage &image, const QVector<QRgb> &palette);

} // namespace codecs
