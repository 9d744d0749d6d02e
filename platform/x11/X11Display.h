#pragma once

#include <X11/Xlib.h>

namespace platform::x11 {

// The X connection Qt opened for the application, or nullptr when Qt does not
// run on X11.
Display *display();

// Interns an atom on the application's connection.
Atom atom(const char *name);

} // namespace platform::x11
