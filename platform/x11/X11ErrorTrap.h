#pragma once

// Include after the Qt headers, with X11Display.h.

namespace platform::x11 {

// While it lives, X protocol errors of the application's Xlib requests are
// ignored instead of ending the program: a window may be destroyed by its
// owner between two requests about it. The destructor waits for the server
// to answer all requests made meanwhile, so their errors fall inside.
class ErrorTrap {
public:
    explicit ErrorTrap(Display *dpy) : m_dpy(dpy), m_previous(XSetErrorHandler(&ignore)) {}
    ~ErrorTrap()
    {
        XSync(m_dpy, False);
        XSetErrorHandler(m_previous);
    }
    ErrorTrap(const ErrorTrap &) = delete;
    ErrorTrap &operator=(const ErrorTrap &) = delete;

private:
    static int ignore(Display *, XErrorEvent *) { return 0; }

    Display *m_dpy;
    XErrorHandler m_previous;
};

} // namespace platform::x11
