#pragma once

#include <QIcon>

// The program's icon: a page with a quill, drawn at the sizes trays ask for.
QIcon appIcon();
