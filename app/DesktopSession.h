#pragma once

namespace platform {
class TrayIcon;
} // namespace platform

// What the desktop session offers Quillet, and the messages that say what
// it lacks.

// True in a Wayland session (XDG_SESSION_TYPE is "wayland" or WAYLAND_DISPLAY
// is set): Quillet then runs as an X11 program through XWayland.
bool isWaylandSession();

// Chooses the X11 display platform before the application object exists:
// Quillet needs X11, also in a Wayland session. False, after a message on
// standard error, when there is no X display to connect to.
bool chooseX11Platform();

// Shows, each once and without waiting for an answer, the message about a
// Wayland session and, when no notification area has appeared a few
// seconds after start-up, the message that says how to work without the
// tray icon. The messages queue behind events already posted, so a command
// given at start-up runs first.
void showStartupNotices(const platform::TrayIcon &icon);

// Closes the messages still shown.
void closeStartupNotices();
