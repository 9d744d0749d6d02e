#pragma once

#include <QIcon>

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
