#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>

#include <vector>

// Drawing of the image editor's shapes straight into a 32-bit picture, pixel
// by pixel, so that the result is exact and the same on every display: a
// not-xor preview drawn twice restores the picture, and every pixel of a shape
// is changed once only.

enum class DrawTool { Line = 0, Rectangle = 1, Ellipse = 2, RoundRect = 3 };
enum class PenStyle { Solid, Dash, Dot };
enum class BrushStyle { Solid, Clear, Horizontal, Vertical, FDiagonal, BDiagonal, Cross };
// Copy: the pen and brush colours replace the pixels. NotXor: each pixel
// becomes the inverse of the exclusive-or of itself and the colour.
enum class PenMode { Copy, NotXor };

struct DrawSettings {
    DrawTool tool = DrawTool::Line;
    PenStyle penStyle = PenStyle::Solid;
    int penWidth = 1; // 0 draws like 1
    QRgb penColor = 0xff000000;
    BrushStyle brushStyle = BrushStyle::Clear;
    QRgb brushColor = 0xffffffff;
};

// Draws the current tool's shape between `from` and `to` into `picture`
// (Format_RGB32 or Format_ARGB32; other formats are left alone), clipped to
// the picture. Lines leave out their end pixel; rectangle-like shapes leave
// out the right and bottom edges of the box the two corners span. Returns
// rectangles that cover every pixel that may have changed, in y-x banded
// order (see QRegion::setRects), empty when nothing was drawn.
std::vector<QRect> drawShape(QImage &picture, const DrawSettings &settings, QPoint from, QPoint to,
                             PenMode mode);
