#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

// The test session's desktop, seen from outside as a user or another program
// would: windows are found and clicked with xdotool and read with xprop.
namespace Desktop {

// Runs a program and returns its standard output (trimmed); empty on failure.
QString run(const QString &program, const QStringList &args, int timeoutMs = 10000);

// Visible windows whose title matches `title` exactly.
QList<qulonglong> windowsNamed(const QString &title);
// Visible windows of the given WM_CLASS class (e.g. "quillet").
QList<qulonglong> windowsOfClass(const QString &windowClass);

// Waits up to `timeoutMs` for a visible window titled `title`; 0 when none came.
qulonglong waitForWindow(const QString &title, int timeoutMs = 15000);

// Visible pop-up menus of the given WM_CLASS class.
QList<qulonglong> popupMenus(const QString &windowClass);

QRect geometry(qulonglong window); // outer geometry in root coordinates
// The window manager's frame around `window`: left, right, top, bottom
// (_NET_FRAME_EXTENTS); all zero when it has none.
QList<int> frameExtents(qulonglong window);
// What the window manager lets the user do with `window`
// (_NET_WM_ALLOWED_ACTIONS), e.g. "_NET_WM_ACTION_CLOSE".
QStringList allowedActions(qulonglong window);
// The title-bar buttons the window manager shows on `window`: its mapped
// square windows in the frame above the client area, right of the client's
// middle (where the session's window manager puts its buttons).
QList<QRect> titleBarButtons(qulonglong window);
qulonglong activeWindow();
QString windowName(qulonglong window);
QSize screenSize();

void click(qulonglong window, int x, int y, int button = 1);
// Activates the window and presses the keys there, e.g. "ctrl+a", with any
// modifier held on the keyboard let go around them.
void pressKeys(qulonglong window, const QString &keys);
void moveMouse(int x, int y);

// The tray icon windows docked in the session's notification area.
QList<qulonglong> trayIcons();
// Waits up to 15 s for an icon to dock and settle on screen; 0 when none did.
qulonglong waitForTrayIcon();

} // namespace Desktop
