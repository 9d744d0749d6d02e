#pragma once

#include <QImage>
#include <QList>
#include <QVector>

// Slow, literal versions of the colour reduction, step by step as the
// algorithms are defined, without any shortcut: the fast code must give
// exactly their results.
namespace reference {

QVector<QRgb> BuildOptimizedPalette(const QList<QImage> &images, int colours, int bits);
QImage RemapToPalette(const QImage &image, const QVector<QRgb> &palette);

} // namespace reference
