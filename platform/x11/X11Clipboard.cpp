#include "X11Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QWindow>

// Xlib's macros (Bool, Status, ...) clash with Qt's headers: include it last.
#include "X11Display.h"
#include <X11/Xatom.h>

namespace platform {

void X11Clipboard::clear()
{
    // Qt drops the content it offers itself...
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->clear(QClipboard::Clipboard);
    // ...but it stamps its request with the last server time it has seen,
    // which can be older than the moment another program took the clipboard
    // (a copy triggered by a synthetic key press, say); the server ignores
    // such a request. Giving the selection up "now" always takes effect.
    Display *dpy = x11::display();
    if (!dpy)
        return;
    const Atom selection = x11::atom("CLIPBOARD");
    if (XGetSelectionOwner(dpy, selection) == None)
        return;
    XSetSelectionOwner(dpy, selection, None, CurrentTime);
    // From now on a request stamped with Qt's old time would be ignored too,
    // so the program could not copy anything itself until the user's next
    // key press or click told Qt a newer time. An empty change of a property
    // of one of our windows makes the server report its time to Qt at once.
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        if (window->handle()) {
            XChangeProperty(dpy, static_cast<Window>(window->winId()),
                            x11::atom("_QUILLET_TIMESTAMP"), XA_STRING, 8, PropModeAppend, nullptr,
                            0);
            break;
        }
    }
    XFlush(dpy);
}

bool X11Clipboard::hasText()
{
    // Without an owner there is nothing, whatever Qt may still have cached.
    if (Display *dpy = x11::display()) {
        if (XGetSelectionOwner(dpy, x11::atom("CLIPBOARD")) == None)
            return false;
    }
    QClipboard *clipboard = QGuiApplication::clipboard();
    const QMimeData *data = clipboard ? clipboard->mimeData(QClipboard::Clipboard) : nullptr;
    return data && data->hasText();
}

} // namespace platform
