#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>

#include <X11/Xlib.h>

namespace platform::x11 {

// A connection of its own to the application's X server, for reading
// selections that other programs own and for watching who owns the
// clipboard. Qt's connection stays untouched: the conversions here wait
// for their answers without running Qt's event loop, and the owner-change
// notifications queue here until the clipboard asks for them.
//
// A selection owned by this program must not be read through it: nobody
// would answer until the deadline.
class SelectionReader {
public:
    SelectionReader();
    ~SelectionReader();
    SelectionReader(const SelectionReader &) = delete;
    SelectionReader &operator=(const SelectionReader &) = delete;

    bool isOpen() const { return m_dpy != nullptr; }
    Display *display() const { return m_dpy; }

    // The targets the owner of `selection` offers (ATOM list); empty when
    // there is no owner or it did not answer in time.
    QList<Atom> targets(Atom selection, const QDeadlineTimer &deadline);
    // The data of one target; false when refused, when larger than `limit`
    // bytes, or when the owner did not finish before the deadline. Only
    // 8-bit data is taken.
    bool read(Atom selection, Atom target, const QDeadlineTimer &deadline, qint64 limit,
              QByteArray &data);

    QByteArray atomName(Atom atom) const;

    // Reports owner changes of the CLIPBOARD selection as events of type
    // ownerChangeEvent() on this connection. False without the XFixes
    // extension.
    bool watchClipboardOwner();
    int ownerChangeEvent() const { return m_fixesEventBase; }
    // The server's time now (a round trip).
    Time serverTime();
    // Drops every event received so far (owner changes no longer of interest).
    void discardEvents();

private:
    // Converts `target` into our property; the property's type and 8/32-bit
    // format once the owner has answered.
    bool convert(Atom selection, Atom target, const QDeadlineTimer &deadline);
    bool waitForEvent(int type, XEvent &event, const QDeadlineTimer &deadline);
    bool waitForNewValue(const QDeadlineTimer &deadline);

    Display *m_dpy = nullptr;
    Window m_window = 0;
    Atom m_property = 0;
    int m_fixesEventBase = -1;
};

} // namespace platform::x11
