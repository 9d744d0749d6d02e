#pragma once

#include <functional>
#include <memory>

class QObject;
class QString;

namespace platform {

class AppWindows;
class Clipboard;
class DesktopWindows;
class Help;
class InputGrab;
class Printer;
class ScreenGrab;
class SyntheticInput;
class TrayIcon;
class UserStore;

// The desktop services the program uses. One backend is chosen for the running
// desktop in Services.cpp; nothing outside platform/ knows which.
class Services {
public:
    virtual ~Services() = default;

    virtual AppWindows &appWindows() = 0;
    virtual Help &help() = 0;
    virtual std::unique_ptr<TrayIcon> createTrayIcon(QObject *parent) = 0;
    // Key presses into the desktop's input stream.
    virtual SyntheticInput &input() = 0;
    // The desktop's top-level windows: order, kinds, activation.
    virtual DesktopWindows &windows() = 0;
    virtual Clipboard &clipboard() = 0;
    // The program's one printer, on the system's print service.
    virtual Printer &printer() = 0;
    // The user's own settings store (in the place of the registry).
    virtual UserStore &userStore() = 0;
    // The pixels of the screen.
    virtual ScreenGrab &screenGrab() = 0;
    // All keys and mouse events to one window of ours.
    virtual InputGrab &inputGrab() = 0;
};

// The services of the running desktop, created at first use. Needs a QGuiApplication.
//
// The backend is chosen once, here: the X11 one, unless the environment
// variable QUILLET_SERVICES names another backend registered before the first
// use (the tests register theirs). A name that no backend has is reported
// and the X11 backend is used.
Services &services();

using ServicesFactory = std::function<std::unique_ptr<Services>()>;

// Makes a backend available under `name` to the choice above. Registering
// after the services have been created changes nothing.
void registerServicesBackend(const QString &name, ServicesFactory factory);

} // namespace platform
