#include "DesktopSession.h"

#include "platform/AppTitle.h"
#include "platform/AppWindows.h"
#include "platform/Services.h"
#include "platform/TrayIcon.h"

#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <cstdio>

namespace {

// How long a notification area may take to appear at start-up: at login the
// panel often starts after the programs of the autostart folder.
constexpr int TrayGraceMs = 3000;

const char WaylandText[] =
    "This is a Wayland session. Quillet! runs here through XWayland, and its copy "
    "keystroke reaches only programs that run under XWayland too (X11 programs). "
    "Selections in native Wayland programs cannot be captured, and a screen capture "
    "shows only the windows of X11 programs.\n\n"
    "To capture from a program, start it as an X11 program (many accept the "
    "environment variable GDK_BACKEND=x11 or QT_QPA_PLATFORM=xcb), or log in to an "
    "X11 session.";

const char NoTrayText[] =
    "There is no notification area (system tray) on this desktop, so the Quillet! "
    "icon cannot be shown. Quillet! keeps running: its commands work without the "
    "icon. Bind them to keys in your desktop's keyboard settings:\n\n"
    "    quillet --print: print the selection (\"Quillet!\")\n"
    "    quillet --save: save the selection (\"Save this now!\")\n"
    "    quillet --edit: open the selection in the editor\n"
    "    quillet --view: show the editor\n"
    "    quillet --options: show the options\n\n"
    "The icon appears as soon as a notification area is started. On GNOME a tray "
    "extension (such as AppIndicator and KStatusNotifierItem Support) provides one; "
    "log in again after adding it. The help file tells how to bind the keys on each "
    "desktop.";

QPointer<QMessageBox> &waylandNotice()
{
    static QPointer<QMessageBox> box;
    return box;
}

QPointer<QMessageBox> &noTrayNotice()
{
    static QPointer<QMessageBox> box;
    return box;
}

void showNotice(QPointer<QMessageBox> &slot, const char *name, const char *text)
{
    if (slot)
        return;
    // Not modal: a command from a hotkey must still run while it is shown.
    auto *box = new QMessageBox(QMessageBox::Information, platform::appTitle(),
                                QString::fromUtf8(text), QMessageBox::Ok);
    box->setObjectName(QLatin1String(name));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    slot = box;
    platform::services().appWindows().bringToFront(box);
}

} // namespace

bool isWaylandSession()
{
    return qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

bool chooseX11Platform()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    // A Wayland session may ask Qt programs for its own platform; Quillet
    // needs the X11 one. A platform chosen otherwise (offscreen, xcb) stays.
    if (isWaylandSession() && (platform.isEmpty() || platform.contains("wayland")))
        qputenv("QT_QPA_PLATFORM", "xcb");
    if (!qgetenv("QT_QPA_PLATFORM").isEmpty() && !qgetenv("QT_QPA_PLATFORM").startsWith("xcb"))
        return true;
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        return true;
    std::fputs("quillet: no X display (DISPLAY is not set). Quillet! needs an X11 session, "
               "or XWayland in a Wayland session.\n",
               stderr);
    return false;
}

void showStartupNotices(const platform::TrayIcon &icon)
{
    if (isWaylandSession()) {
        QTimer::singleShot(0, &icon,
                           [] { showNotice(waylandNotice(), "WaylandNotice", WaylandText); });
    }
    if (!icon.hostAvailable()) {
        QTimer::singleShot(TrayGraceMs, &icon, [&icon] {
            if (!icon.hostAvailable())
                showNotice(noTrayNotice(), "NoTrayNotice", NoTrayText);
        });
    }
}

void closeStartupNotices()
{
    delete waylandNotice();
    delete noTrayNotice();
}
