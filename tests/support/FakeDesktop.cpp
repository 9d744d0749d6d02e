#include "FakeDesktop.h"

#include "platform/MimeCopy.h"
#include "platform/WaitLoop.h"

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

std::unique_ptr<QMimeData> FakeClipboard::save()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (!data || data->formats().isEmpty())
        return nullptr;
    return platform::copyMimeData(*data, platform::SavedFormatLimit);
}

void FakeClipboard::offer(const QMimeData &content)
{
    QGuiApplication::clipboard()->setMimeData(
        platform::copyMimeData(content, platform::SavedFormatLimit).release());
}

bool FakeClipboard::copyPrimary(int timeoutMs)
{
    Q_UNUSED(timeoutMs);
    const QMimeData *data = QGuiApplication::clipboard()->mimeData(QClipboard::Selection);
    if (!data || !data->hasText())
        return false;
    QGuiApplication::clipboard()->setText(data->text());
    return true;
}

void FakeClipboard::waitForCopy(int limitMs, int settleMs)
{
    Q_UNUSED(settleMs);
    platform::waitUntil(
        limitMs, [this] { return hasText(); }, 10);
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

QStringList FakeWindows::windowClass(platform::WindowHandle window)
{
    const FakeWindow *w = find(window);
    return w ? w->wmClass : QStringList();
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
