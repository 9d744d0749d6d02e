#pragma once

#include <QIcon>
#include <QImage>

// The program's icon: a page with a quill, drawn at the sizes trays ask for.
QIcon appIcon();

// The icon drawn `size` pixels square on a transparent ground; needs no
// application object (the installed icon files are drawn with it at build time).
QImage appIconImage(int size);
