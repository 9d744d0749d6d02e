#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace platform {

// A top-level window of the desktop, ours or another program's.
using WindowHandle = quint64;

// The desktop's top-level windows as a window manager or pager sees them: their
// order, the properties that tell an ordinary window from a minimised one, a
// dialog, a panel or a window of this program, and activation.
//
// A window may go away at any moment; asking about a window that no longer
// exists gives false (or an empty title) instead of an error.
class DesktopWindows {
public:
    virtual ~DesktopWindows() = default;

    // The top-level (client) windows in stacking order, topmost first.
    virtual QList<WindowHandle> topLevelWindows() = 0;

    // Shown on the screen: mapped, with all its ancestors mapped.
    virtual bool isVisible(WindowHandle window) = 0;
    // Minimised (iconified, or hidden by the window manager).
    virtual bool isMinimized(WindowHandle window) = 0;
    // Belongs to another top-level window (a dialog or palette of it).
    virtual bool hasOwner(WindowHandle window) = 0;
    // A panel, dock, menu, tooltip, splash or other window that is not one
    // of the user's ordinary windows.
    virtual bool isToolWindow(WindowHandle window) = 0;
    // A window of this program.
    virtual bool isOwnWindow(WindowHandle window) = 0;

    virtual QString title(WindowHandle window) = 0;
    // The window's class hint (on X11 WM_CLASS): the instance name, then the
    // class name; empty when it has none.
    virtual QStringList windowClass(WindowHandle window) = 0;

    // Makes `window` the active window with the keyboard focus, raising it.
    // Returns true when the focus is known to have arrived.
    virtual bool activate(WindowHandle window) = 0;
    // The window that has the keyboard focus now, or 0.
    virtual WindowHandle activeWindow() = 0;
};

} // namespace platform
