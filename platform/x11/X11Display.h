#pragma once

#include <X11/Xlib.h>

namespace platform::x11 {

// The X connection Qt opened for the application, or nullptr when Qt does not
// run on X11.
Display *display();

// Interns an atom on the application's connection.
Atom atom(const char *name);

// Asks the window manager to activate `window` as a pager does (source
// indication 2): window managers honour that request even when they would
// refuse a plain application's, and they restore a minimised window.
void requestActivation(Display *dpy, Window window);

} // namespace platform::x11
