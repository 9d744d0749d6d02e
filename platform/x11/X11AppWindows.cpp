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
    // Ask as a pager does (source indication 2): window managers honour that
    // request even when they would refuse a plain application's.
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = static_cast<Window>(window->winId());
    event.xclient.message_type = x11::atom("_NET_ACTIVE_WINDOW");
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2;
    event.xclient.data.l[1] = CurrentTime;
    event.xclient.data.l[2] = 0;
    XSendEvent(dpy, DefaultRootWindow(dpy), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(dpy);
}

} // namespace platform
