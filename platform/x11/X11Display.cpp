#include <QGuiApplication>

// Xlib's macros (Bool, Status, ...) clash with Qt's headers: include it last.
#include "X11Display.h"

namespace platform::x11 {

Display *display()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

Atom atom(const char *name)
{
    Display *dpy = display();
    return dpy ? XInternAtom(dpy, name, False) : None;
}

} // namespace platform::x11
