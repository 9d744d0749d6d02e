#pragma once

#include <memory>

class QObject;

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
Services &services();

} // namespace platform
