#include "X11InputGrab.h"

#include "../WaitLoop.h"

#include <QElapsedTimer>
#include <QWidget>

// Xlib's macros (Bool, Status, ...) clash with Qt's headers: include it last.
#include "X11Display.h"

namespace platform {

namespace {

// A grab on a window that is not yet mapped, or while another program (a
// closing menu) still holds its own, fails for now; it is tried again for
// this long.
constexpr int GrabPatienceMs = 1000;

} // namespace

bool X11InputGrab::grabInput(QWidget *window)
{
    Display *dpy = x11::display();
    if (!dpy || !window)
        return false;
    const auto target = static_cast<Window>(window->winId());
    constexpr unsigned int pointerEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    QElapsedTimer clock;
    clock.start();
    bool keyboard = false, pointer = false;
    for (;;) {
        if (!keyboard)
            keyboard = XGrabKeyboard(dpy, target, False, GrabModeAsync, GrabModeAsync,
                                     CurrentTime) == GrabSuccess;
        if (!pointer)
            pointer = XGrabPointer(dpy, target, False, pointerEvents, GrabModeAsync, GrabModeAsync,
                                   None, None, CurrentTime) == GrabSuccess;
        if ((keyboard && pointer) || clock.elapsed() > GrabPatienceMs)
            break;
        waitMs(5);
    }
    XFlush(dpy);
    return keyboard && pointer;
}

void X11InputGrab::releaseInput()
{
    Display *dpy = x11::display();
    if (!dpy)
        return;
    XUngrabKeyboard(dpy, CurrentTime);
    XUngrabPointer(dpy, CurrentTime);
    XFlush(dpy);
}

} // namespace platform
