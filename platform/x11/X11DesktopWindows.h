#pragma once

#include "../DesktopWindows.h"

namespace platform {

// Top-level windows on an X11 desktop, as an EWMH pager sees them.
class X11DesktopWindows : public DesktopWindows {
public:
    // Where the stacking order comes from: the window manager's
    // _NET_CLIENT_LIST_STACKING when it keeps one, else the root window's
    // children (their client windows, where a window manager frames them).
    enum class Order { Automatic, RootChildren };

    explicit X11DesktopWindows(Order order = Order::Automatic) : m_order(order) {}

    QList<WindowHandle> topLevelWindows() override;
    bool isVisible(WindowHandle window) override;
    bool isMinimized(WindowHandle window) override;
    bool hasOwner(WindowHandle window) override;
    bool isToolWindow(WindowHandle window) override;
    bool isOwnWindow(WindowHandle window) override;
    QString title(WindowHandle window) override;
    QStringList windowClass(WindowHandle window) override;
    bool activate(WindowHandle window) override;
    WindowHandle activeWindow() override;

private:
    Order m_order;
};

} // namespace platform
