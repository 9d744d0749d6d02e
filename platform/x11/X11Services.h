#pragma once

#include "../Services.h"

#include <memory>

namespace platform {

class X11AppWindows;
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
    Printer &printer() override;
    UserStore &userStore() override;

private:
    std::unique_ptr<X11AppWindows> m_appWindows;
    std::unique_ptr<DesktopHelp> m_help;
    std::unique_ptr<QtPrinter> m_printer;
    std::unique_ptr<UserStore> m_userStore;
};

} // namespace platform
