#pragma once

class QWidget;

namespace platform {

// The application's presence on the desktop: its taskbar entry and bringing its
// windows to the front.
//
// A tray program has no taskbar entry of its own while it is idle; the entry is
// made visible while a dialog or editor needs to be in front.
class AppWindows {
public:
    virtual ~AppWindows() = default;

    virtual void showTaskbarEntry() = 0;
    virtual void hideTaskbarEntry() = 0;
    virtual void minimizeTaskbarEntry() = 0;
    virtual void restoreTaskbarEntry() = 0;

    // Shows `window` if needed, raises it and asks the window manager to give it
    // the input focus, the way a pager or taskbar asks, so that focus-stealing
    // prevention lets it through.
    virtual void bringToFront(QWidget *window) = 0;

    // Asks the window manager for a title bar on `window` whose only button
    // is close: no minimise, no maximise. Call it before the window is first
    // shown; window managers read it when they take the window on.
    virtual void offerOnlyCloseButton(QWidget *window) = 0;

    // Brings the taskbar entry up (minimised, then restored, so that the
    // desktop shows it in front) and then `window`, when given, to the front.
    void bringForward(QWidget *window = nullptr)
    {
        minimizeTaskbarEntry();
        restoreTaskbarEntry();
        if (window)
            bringToFront(window);
    }
};

} // namespace platform
