#pragma once

#include <QIcon>

#include <functional>
#include <initializer_list>

class QPainter;

// Pictures of the editor's toolbar buttons: the desktop icon theme's icon when
// it has one, otherwise a small picture drawn here.
enum class ToolbarGlyph {
    Clear,
    Open,
    Save,
    Print,
    PrinterSetup,
    Close,
    Bold,
    Italic,
    Underline,
    AlignLeft,
    AlignCenter,
    AlignRight,
    Bullets,
    MakeDefault,
};

QIcon toolbarIcon(ToolbarGlyph glyph);

// The editor window's own icon: a sheet with lines of text.
QIcon editorWindowIcon();

// The drawn picture alone, without consulting the icon theme.
QIcon drawnToolbarIcon(ToolbarGlyph glyph);

// An icon drawn by `paint` on a 16 x 16 grid, rendered at each of `sizes`
// with smoothing when it is first painted.
QIcon paintedIcon(const std::function<void(QPainter &)> &paint,
                  std::initializer_list<int> sizes = {16, 32});

// The desktop icon theme's icon of that name, else `fallback`; looked up in
// the theme only when first painted.
QIcon themedIcon(const QString &themeName, const QIcon &fallback);
