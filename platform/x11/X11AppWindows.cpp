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

void X11AppWindows::offerOnlyCloseButton(QWidget *window)
{
    // Qt already withholds the minimise and maximise functions in the Motif
    // hints, which most window managers turn into the title bar's buttons.
    // Openbox keeps its iconify button on every decorated window but menus
    // and toolbars, so the window is also typed a toolbar (ahead of the
    // utility type Qt gives tool windows); window managers treat such a
    // window as a decorated helper window without minimise and maximise.
    // The type reaches the X window only when the window already exists.
    window->winId();
    window->setAttribute(Qt::WA_X11NetWmWindowTypeToolBar);
}

} // namespace platform
