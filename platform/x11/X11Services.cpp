#include "X11Services.h"

#include "../DesktopHelp.h"
#include "../UserStore.h"
#include "../qt/QtPrinter.h"
#include "../qt/QtTrayIcon.h"
#include "X11AppWindows.h"
#include "X11Clipboard.h"
#include "X11DesktopWindows.h"
#include "X11InputGrab.h"
#include "X11ScreenGrab.h"
#include "X11SyntheticInput.h"

// Xlib's macros clash with Qt's headers: included last.
#include "X11Display.h"

namespace platform {

X11Services::X11Services()
    : m_appWindows(std::make_unique<X11AppWindows>()), m_help(std::make_unique<DesktopHelp>()),
      m_input(std::make_unique<X11SyntheticInput>()),
      m_windows(std::make_unique<X11DesktopWindows>()),
      m_clipboard(std::make_unique<X11Clipboard>()),
      m_screenGrab(std::make_unique<X11ScreenGrab>()), m_inputGrab(std::make_unique<X11InputGrab>())
{
}

X11Services::~X11Services() = default;

AppWindows &X11Services::appWindows()
{
    return *m_appWindows;
}

Help &X11Services::help()
{
    return *m_help;
}

std::unique_ptr<TrayIcon> X11Services::createTrayIcon(QObject *parent)
{
    return std::make_unique<QtTrayIcon>(parent, [] {
        if (Display *dpy = x11::display())
            XFlush(dpy);
    });
}

SyntheticInput &X11Services::input()
{
    return *m_input;
}

DesktopWindows &X11Services::windows()
{
    return *m_windows;
}

Clipboard &X11Services::clipboard()
{
    return *m_clipboard;
}

Printer &X11Services::printer()
{
    // QPrinter needs the application object; it is made at first use.
    if (!m_printer)
        m_printer = std::make_unique<QtPrinter>();
    return *m_printer;
}

UserStore &X11Services::userStore()
{
    if (!m_userStore)
        m_userStore = std::make_unique<UserStore>(UserStore::defaultPath());
    return *m_userStore;
}

ScreenGrab &X11Services::screenGrab()
{
    return *m_screenGrab;
}

InputGrab &X11Services::inputGrab()
{
    return *m_inputGrab;
}

} // namespace platform
