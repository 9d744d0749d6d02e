#pragma once

#include <QIcon>

// Pictures of the image editor's own toolbar buttons (the file, print and
// close buttons share the text editor's): the desktop icon theme's icon when
// it has one that fits, otherwise a small picture drawn here.
enum class ImageGlyph {
    NewImage,
    Capture,
    Line,
    Rectangle,
    Ellipse,
    RoundRect,
    SolidPen,
    DashPen,
    DotPen,
    ClearBrush,
    VerticalLines,   // shown on the button that fills with horizontal lines
    HorizontalLines, // and the other way round
    FDiagonal,
    BDiagonal,
    Cross,
    SolidBrush,
};

QIcon imageToolbarIcon(ImageGlyph glyph);

// The image editor window's own icon: a framed picture.
QIcon imageEditorWindowIcon();
