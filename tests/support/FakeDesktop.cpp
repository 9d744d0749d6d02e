#include "FakeDesktop.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

void FakeClipboard::clear()
{
    ++clears;
    QGuiApplication::clipboard()->clear();
}

bool FakeClipboard::hasText()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

void FakeInput::PostKeyEx32(quint16 key, quint8 modifiers, bool extended)
{
    Q_UNUSED(extended);
    sent.append({key, modifiers});
    if (onKey)
        onKey(sent.constLast());
}

const FakeWindow *FakeWindows::find(platform::WindowHandle window) const
{
    for (const FakeWindow &w : windows) {
        if (w.handle == window)
            return &w;
    }
    return nullptr;
}

bool FakeWindows::has(platform::WindowHandle window, bool FakeWindow::*property) const
{
    const FakeWindow *w = find(window);
    return w && w->*property;
}

QList<platform::WindowHandle> FakeWindows::topLevelWindows()
{
    QList<platform::WindowHandle> handles;
    for (const FakeWindow &w : windows)
        handles.append(w.handle);
    return handles;
}

bool FakeWindows::isVisible(platform::WindowHandle window)
{
    return has(window, &FakeWindow::visible);
}

bool FakeWindows::isMinimized(platform::WindowHandle window)
{
    return has(window, &FakeWindow::minimized);
}

bool FakeWindows::hasOwner(platform::WindowHandle window)
{
    return has(window, &FakeWindow::owned);
}

bool FakeWindows::isToolWindow(platform::WindowHandle window)
{
    return has(window, &FakeWindow::tool);
}

bool FakeWindows::isOwnWindow(platform::WindowHandle window)
{
    return has(window, &FakeWindow::own);
}

QString FakeWindows::title(platform::WindowHandle window)
{
    const FakeWindow *w = find(window);
    return w ? w->title : QString();
}

bool FakeWindows::activate(platform::WindowHandle window)
{
    if (!find(window))
        return false;
    activated.append(window);
    return true;
}

platform::WindowHandle FakeWindows::activeWindow()
{
    return activated.isEmpty() ? 0 : activated.constLast();
}
