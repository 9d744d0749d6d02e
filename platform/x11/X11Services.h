#pragma once

#include "../Services.h"

#include <memory>

namespace platform {

class X11AppWindows;
class X11Clipboard;
class X11DesktopWindows;
class X11InputGrab;
class X11ScreenGrab;
class X11SyntheticInput;
class DesktopHelp;
class QtPrinter;
class UserStore;

// The services on an X11 desktop with an EWMH window manager.
class X11Services : public Services {
public:
    X11Services();
    ~X11Services() override;

    AppWindows &appWindows() override;
    Help &help() override;
    std::unique_ptr<TrayIcon> createTrayIcon(QObject *parent) override;
    SyntheticInput &input() override;
    DesktopWindows &windows() override;
    Clipboard &clipboard() override;
    Printer &printer() override;
    UserStore &userStore() override;
    ScreenGrab &screenGrab() override;
    InputGrab &inputGrab() override;

private:
    std::unique_ptr<X11AppWindows> m_appWindows;
    std::unique_ptr<DesktopHelp> m_help;
    std::unique_ptr<X11SyntheticInput> m_input;
    std::unique_ptr<X11DesktopWindows> m_windows;
    std::unique_ptr<X11Clipboard> m_clipboard;
    std::unique_ptr<QtPrinter> m_printer;
    std::unique_ptr<UserStore> m_userStore;
    std::unique_ptr<X11ScreenGrab> m_screenGrab;
    std::unique_ptr<X11InputGrab> m_inputGrab;
};

} // namespace platform
