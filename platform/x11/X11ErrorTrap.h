#pragma once

// Include after the Qt headers, with X11Display.h.

namespace platform::x11 {

// While it lives, X protocol errors of the application's Xlib requests are
// ignored instead of ending the program: a window may be destroyed by its
// owner between two requests about it. The destructor waits for the server
// to answer all requests made meanwhile, so their errors fall inside.
class ErrorTrap {
public:
    explicit ErrorTrap(Display *dpy)
        : m_dpy(dpy), m_previous(XSetErrorHandler(&ignore)), m_errorsBefore(s_errors)
    {
    }
    ~ErrorTrap()
    {
        XSync(m_dpy, False);
        XSetErrorHandler(m_previous);
    }
    // Waits for the server's answers so far and tells whether any request
    // made since the trap was set failed.
    bool failed()
    {
        XSync(m_dpy, False);
        return s_errors != m_errorsBefore;
    }
    ErrorTrap(const ErrorTrap &) = delete;
    ErrorTrap &operator=(const ErrorTrap &) = delete;

private:
    static int ignore(Display *, XErrorEvent *)
    {
        ++s_errors;
        return 0;
    }

    static inline unsigned s_errors = 0;
    Display *m_dpy;
    XErrorHandler m_previous;
    unsigned m_errorsBefore;
};

} // namespace platform::x11
