#include "X11SelectionReader.h"

// Xlib's macros (Bool, Status, ...) clash with Qt's headers: include it last.
#include "X11Display.h"
#include <X11/Xatom.h>
#include <X11/extensions/Xfixes.h>

#include <poll.h>

#include <algorithm>

namespace platform::x11 {

namespace {

// Reads a whole property; `remaining` tells how many bytes were left unread
// when `maxBytes` was not enough.
struct Property {
    Atom type = None;
    int format = 0;
    QByteArray bytes;
    unsigned long remaining = 0;
};

Property readProperty(Display *dpy, Window window, Atom property, long maxBytes, bool remove)
{
    Property result;
    unsigned long items = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(dpy, window, property, 0, (maxBytes + 3) / 4, remove ? True : False,
                           AnyPropertyType, &result.type, &result.format, &items, &result.remaining,
                           &data) != Success)
        return {};
    if (data) {
        // Xlib hands out 32-bit items as longs.
        const int itemSize = result.format == 32 ? int(sizeof(long)) : result.format / 8;
        result.bytes =
            QByteArray(reinterpret_cast<const char *>(data), qsizetype(items) * itemSize);
        XFree(data);
    }
    return result;
}

} // namespace

SelectionReader::SelectionReader()
{
    Display *app = platform::x11::display();
    if (!app)
        return;
    m_dpy = XOpenDisplay(DisplayString(app));
    if (!m_dpy)
        return;
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    m_window = XCreateWindow(m_dpy, DefaultRootWindow(m_dpy), -10, -10, 1, 1, 0, 0, InputOnly,
                             CopyFromParent, CWEventMask, &attributes);
    m_property = XInternAtom(m_dpy, "_QUILLET_SELECTION", False);
}

SelectionReader::~SelectionReader()
{
    if (m_dpy) {
        XDestroyWindow(m_dpy, m_window);
        XCloseDisplay(m_dpy);
    }
}

QByteArray SelectionReader::atomName(Atom atom) const
{
    if (!m_dpy || atom == None)
        return {};
    char *name = XGetAtomName(m_dpy, atom);
    QByteArray result(name ? name : "");
    if (name)
        XFree(name);
    return result;
}

bool SelectionReader::waitForEvent(int type, XEvent &event, const QDeadlineTimer &deadline)
{
    for (;;) {
        if (XCheckTypedWindowEvent(m_dpy, m_window, type, &event))
            return true;
        const qint64 left = deadline.remainingTime();
        if (left == 0)
            return false;
        pollfd fd{ConnectionNumber(m_dpy), POLLIN, 0};
        poll(&fd, 1, left < 0 ? 100 : int(std::min<qint64>(left, 100)));
    }
}

bool SelectionReader::convert(Atom selection, Atom target, const QDeadlineTimer &deadline)
{
    if (!m_dpy || XGetSelectionOwner(m_dpy, selection) == None)
        return false;
    XDeleteProperty(m_dpy, m_window, m_property);
    XConvertSelection(m_dpy, selection, target, m_property, m_window, CurrentTime);
    XFlush(m_dpy);
    XEvent event{};
    while (waitForEvent(SelectionNotify, event, deadline)) {
        // An answer to an earlier request that ran out of time is passed over.
        if (event.xselection.selection != selection || event.xselection.target != target)
            continue;
        // The owner's writes so far came before its answer; only later ones
        // tell of the pieces of a transfer in parts.
        XEvent stale{};
        while (XCheckTypedWindowEvent(m_dpy, m_window, PropertyNotify, &stale)) {
        }
        return event.xselection.property != None;
    }
    return false;
}

bool SelectionReader::waitForNewValue(const QDeadlineTimer &deadline)
{
    XEvent event{};
    while (waitForEvent(PropertyNotify, event, deadline)) {
        if (event.xproperty.atom == m_property && event.xproperty.state == PropertyNewValue)
            return true;
    }
    return false;
}

QList<Atom> SelectionReader::targets(Atom selection, const QDeadlineTimer &deadline)
{
    QList<Atom> result;
    if (!convert(selection, XInternAtom(m_dpy, "TARGETS", False), deadline))
        return result;
    const Property p = readProperty(m_dpy, m_window, m_property, 1 << 16, true);
    if (p.format != 32)
        return result;
    const auto *atoms = reinterpret_cast<const long *>(p.bytes.constData());
    for (qsizetype i = 0; i < p.bytes.size() / qsizetype(sizeof(long)); ++i)
        result.append(static_cast<Atom>(atoms[i]));
    return result;
}

bool SelectionReader::read(Atom selection, Atom target, const QDeadlineTimer &deadline,
                           qint64 limit, QByteArray &data)
{
    data.clear();
    if (!convert(selection, target, deadline))
        return false;
    const Atom incr = XInternAtom(m_dpy, "INCR", False);
    Property head = readProperty(m_dpy, m_window, m_property, 0, false);
    if (head.type != incr) {
        if (head.format != 8 || qint64(head.remaining) > limit) {
            XDeleteProperty(m_dpy, m_window, m_property);
            return false;
        }
        data = readProperty(m_dpy, m_window, m_property, long(head.remaining), true).bytes;
        return true;
    }
    // Sent in pieces: the first property holds a lower bound of the size.
    head = readProperty(m_dpy, m_window, m_property, 4, true);
    const qint64 lowerBound = head.bytes.size() >= qsizetype(sizeof(long))
                                  ? *reinterpret_cast<const long *>(head.bytes.constData())
                                  : 0;
    if (lowerBound > limit)
        return false;
    for (;;) {
        if (!waitForNewValue(deadline))
            return false;
        const Property piece = readProperty(m_dpy, m_window, m_property, 1 << 24, true);
        if (piece.bytes.isEmpty())
            return true;
        if (piece.format != 8 || data.size() + piece.bytes.size() > limit) {
            data.clear();
            return false;
        }
        data += piece.bytes;
    }
}

bool SelectionReader::watchClipboardOwner()
{
    int errorBase = 0;
    if (!m_dpy || !XFixesQueryExtension(m_dpy, &m_fixesEventBase, &errorBase))
        return false;
    int major = 0;
    int minor = 0;
    XFixesQueryVersion(m_dpy, &major, &minor);
    XFixesSelectSelectionInput(m_dpy, m_window, XInternAtom(m_dpy, "CLIPBOARD", False),
                               XFixesSetSelectionOwnerNotifyMask |
                                   XFixesSelectionWindowDestroyNotifyMask |
                                   XFixesSelectionClientCloseNotifyMask);
    m_fixesEventBase += XFixesSelectionNotify;
    XSync(m_dpy, False);
    return true;
}

Time SelectionReader::serverTime()
{
    // An empty append to a property of our window: its notification carries
    // the server's time.
    const Atom stamp = XInternAtom(m_dpy, "_QUILLET_TIMESTAMP", False);
    XChangeProperty(m_dpy, m_window, stamp, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XFlush(m_dpy);
    XEvent event{};
    while (waitForEvent(PropertyNotify, event, QDeadlineTimer(1000))) {
        if (event.xproperty.atom == stamp)
            return event.xproperty.time;
    }
    return CurrentTime;
}

void SelectionReader::discardEvents()
{
    XEvent event{};
    while (m_dpy && XPending(m_dpy))
        XNextEvent(m_dpy, &event);
}

} // namespace platform::x11
