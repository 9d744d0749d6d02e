#include "X11AppWindows.h"

#include <QWidget>

// Xlib's macros (Bool, Status, ...) clash with Qt's headers: include it last.
#include "X11Display.h"

namespace platform {

void X11AppWindows::bringToFront(QWidget *window)
{
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    else if (!window->isVisible())
        window->show();
    window->raise();
    window->activateWindow();

    Display *dpy = x11::display();
    if (!dpy)
        return;
    x11::requestActivation(dpy, static_cast<Window>(window->winId()));
}

} // namespace platform
