#pragma once

#include "platform/Clipboard.h"
#include "platform/DesktopWindows.h"
#include "platform/SyntheticInput.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

// Scripted stand-ins for the desktop a capture talks to: the clipboard, the
// synthetic key presses and the window list. Nothing reaches the X server;
// a test plays the other program by scripting what a key press does.

// The clipboard is this program's own QClipboard, so the rich-text control's
// paste reads whatever the script put there.
class FakeClipboard : public platform::Clipboard {
public:
    void clear() override;
    bool hasText() override;
    std::unique_ptr<QMimeData> save() override;
    void offer(const QMimeData &content) override;
    // Copies the program's own primary selection.
    bool copyPrimary(int timeoutMs) override;
    // Ends as soon as the clipboard offers text, else after the limit.
    void waitForCopy(int limitMs, int settleMs) override;

    int clears = 0;
};

struct SentKey {
    quint16 key = 0;
    quint8 modifiers = 0;
    bool operator==(const SentKey &) const = default;
};

class FakeInput : public platform::SyntheticInput {
public:
    void PostKeyEx32(quint16 key, quint8 modifiers, bool extended) override;
    bool modifiersDown() override { return heldModifiers && heldModifiers(); }

    QList<SentKey> sent;
    // Whether modifier keys are down now; none when unset.
    std::function<bool()> heldModifiers;
    // Run for every key press, after it is recorded: the other program's answer.
    std::function<void(const SentKey &)> onKey;
};

struct FakeWindow {
    platform::WindowHandle handle = 0;
    QString title;
    bool visible = true;
    bool minimized = false;
    bool owned = false;
    bool tool = false;
    bool own = false;
    QStringList wmClass = {}; // instance and class name
};

class FakeWindows : public platform::DesktopWindows {
public:
    QList<platform::WindowHandle> topLevelWindows() override;
    bool isVisible(platform::WindowHandle window) override;
    bool isMinimized(platform::WindowHandle window) override;
    bool hasOwner(platform::WindowHandle window) override;
    bool isToolWindow(platform::WindowHandle window) override;
    bool isOwnWindow(platform::WindowHandle window) override;
    QString title(platform::WindowHandle window) override;
    QStringList windowClass(platform::WindowHandle window) override;
    bool activate(platform::WindowHandle window) override;
    platform::WindowHandle activeWindow() override;

    // Topmost first. A handle not in the list answers as a window that has gone.
    QList<FakeWindow> windows;
    QList<platform::WindowHandle> activated;

private:
    const FakeWindow *find(platform::WindowHandle window) const;
    // False for a window that has gone.
    bool has(platform::WindowHandle window, bool FakeWindow::*property) const;
};
