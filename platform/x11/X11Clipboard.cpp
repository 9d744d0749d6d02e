#include "X11Clipboard.h"

#include "../MimeCopy.h"
#include "../WaitLoop.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMimeData>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <xcb/xcb.h>

// Xlib's macros (Bool, Status, ...) clash with Qt's headers: include it last.
#include "X11Display.h"
#include "X11SelectionReader.h"
#include <X11/Xatom.h>
#include <X11/extensions/Xfixes.h>

namespace platform {

namespace {

// How long the owner of the user's clipboard may take to hand over all
// its formats when they are saved before a capture.
constexpr int SaveTimeoutMs = 2000;

// Targets that are not data of their own: requests about the selection,
// facts about its owner, handles of server resources, and the text forms Qt
// derives itself from the plain text it offers.
bool derivedOrMeta(const QByteArray &target)
{
    static const char *const names[] = {"TARGETS",
                                        "MULTIPLE",
                                        "TIMESTAMP",
                                        "SAVE_TARGETS",
                                        "DELETE",
                                        "INSERT_SELECTION",
                                        "INSERT_PROPERTY",
                                        "LENGTH",
                                        "LIST_LENGTH",
                                        "HOSTNAME",
                                        "HOST_NAME",
                                        "IP_ADDRESS",
                                        "USER",
                                        "CLASS",
                                        "NAME",
                                        "CLIENT_WINDOW",
                                        "OWNER_OS",
                                        "PROCESS",
                                        "TASK",
                                        "TEXT",
                                        "COMPOUND_TEXT",
                                        "STRING",
                                        "UTF8_STRING",
                                        "text/plain",
                                        "PIXMAP",
                                        "BITMAP",
                                        "DRAWABLE",
                                        "COLORMAP",
                                        "WINDOW",
                                        "ATOM",
                                        "application/x-qt-image"};
    for (const char *name : names) {
        if (target == name)
            return true;
    }
    return false;
}

// The plain text of a selection: UTF-8 forms first, Latin-1 STRING last.
QString readText(x11::SelectionReader &reader, Atom selection, const QList<Atom> &targets,
                 const QDeadlineTimer &deadline)
{
    const struct {
        const char *target;
        bool utf8;
    } forms[] = {{"UTF8_STRING", true}, {"text/plain;charset=utf-8", true}, {"STRING", false}};
    for (const auto &form : forms) {
        const Atom target = x11::atom(form.target);
        // An owner that lists no targets may still answer the usual ones.
        if (!targets.isEmpty() && !targets.contains(target))
            continue;
        QByteArray data;
        if (reader.read(selection, target, deadline, SavedFormatLimit, data) && !data.isEmpty())
            return form.utf8 ? QString::fromUtf8(data) : QString::fromLatin1(data);
    }
    return {};
}

// A window of ours whose property changes Qt sees, or 0.
Window stampWindow()
{
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        if (window->handle())
            return static_cast<Window>(window->winId());
    }
    return 0;
}

// An empty change of a property of one of our windows: the server reports
// it with its time, and Qt takes that as its own latest time.
void stampTime(Display *dpy, Window window)
{
    XChangeProperty(dpy, window, x11::atom("_QUILLET_TIMESTAMP"), XA_STRING, 8, PropModeAppend,
                    nullptr, 0);
    XFlush(dpy);
}

// Quits `loop` once Qt handles the notification of stampTime(); Qt records
// the event's time right after the filters have seen it.
class StampFilter : public QAbstractNativeEventFilter {
public:
    StampFilter(Window window, Atom atom, QEventLoop &loop)
        : m_window(window), m_atom(atom), m_loop(loop)
    {
    }
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
            return false;
        const auto *change = static_cast<const xcb_property_notify_event_t *>(message);
        if (change->window == m_window && change->atom == m_atom)
            m_loop.quit();
        return false;
    }

private:
    Window m_window;
    Atom m_atom;
    QEventLoop &m_loop;
};

// Qt stamps its requests for the selection with the last server time it
// has seen, which can be older than the moment another program took the
// clipboard; the server ignores such a request. This brings Qt's time up
// to the server's before this program takes the clipboard.
void refreshQtTime(Display *dpy)
{
    const Window window = stampWindow();
    if (!window)
        return;
    QEventLoop loop;
    StampFilter filter(window, x11::atom("_QUILLET_TIMESTAMP"), loop);
    QCoreApplication::instance()->installNativeEventFilter(&filter);
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    stampTime(dpy, window);
    loop.exec();
    QCoreApplication::instance()->removeNativeEventFilter(&filter);
}

// Later than `since`, on the server's wrapping 32-bit millisecond clock.
bool later(unsigned long time, unsigned long since)
{
    return static_cast<qint32>(static_cast<quint32>(time) - static_cast<quint32>(since)) > 0;
}

} // namespace

X11Clipboard::X11Clipboard() = default;
X11Clipboard::~X11Clipboard() = default;

x11::SelectionReader &X11Clipboard::reader()
{
    if (!m_reader) {
        m_reader = std::make_unique<x11::SelectionReader>();
        m_watching = m_reader->watchClipboardOwner();
    }
    return *m_reader;
}

void X11Clipboard::clear()
{
    // Qt drops the content it offers itself...
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->clear(QClipboard::Clipboard);
    Display *dpy = x11::display();
    if (!dpy)
        return;
    // ...but its request may carry too old a time (see refreshQtTime()).
    // Giving the selection up "now" always takes effect.
    const Atom selection = x11::atom("CLIPBOARD");
    if (XGetSelectionOwner(dpy, selection) != None) {
        XSetSelectionOwner(dpy, selection, None, CurrentTime);
        // From now on a request stamped with Qt's old time would be ignored
        // too, so the program could not copy anything itself until the
        // user's next key press or click told Qt a newer time.
        if (const Window window = stampWindow())
            stampTime(dpy, window);
    }
    XSync(dpy, False);
    // Every owner after this moment is a copy.
    x11::SelectionReader &watch = reader();
    if (watch.isOpen()) {
        // Owner changes up to now are of no interest; without this they
        // would pile up between captures.
        watch.discardEvents();
        m_clearedAt = watch.serverTime();
    }
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

std::unique_ptr<QMimeData> X11Clipboard::save()
{
    Display *dpy = x11::display();
    QClipboard *clipboard = QGuiApplication::clipboard();
    const Atom selection = x11::atom("CLIPBOARD");
    if (!dpy || !clipboard || XGetSelectionOwner(dpy, selection) == None)
        return nullptr;
    if (clipboard->ownsClipboard()) {
        const QMimeData *own = clipboard->mimeData(QClipboard::Clipboard);
        return own ? copyMimeData(*own, SavedFormatLimit) : nullptr;
    }
    x11::SelectionReader &owner = reader();
    if (!owner.isOpen())
        return nullptr;
    const QDeadlineTimer deadline(SaveTimeoutMs);
    const QList<Atom> targets = owner.targets(selection, deadline);
    auto content = std::make_unique<QMimeData>();
    // The plain text once, in the form Qt offers every text form from.
    const QString text = readText(owner, selection, targets, deadline);
    if (!text.isEmpty())
        content->setText(text);
    for (const Atom target : targets) {
        const QByteArray name = owner.atomName(target);
        if (name.isEmpty() || derivedOrMeta(name))
            continue;
        if (deadline.hasExpired())
            break; // an owner this slow would hold up the capture further
        QByteArray data;
        if (owner.read(selection, target, deadline, SavedFormatLimit, data))
            content->setData(QString::fromLatin1(name), data);
    }
    if (content->formats().isEmpty())
        return nullptr;
    return content;
}

void X11Clipboard::offer(const QMimeData &content)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    if (Display *dpy = x11::display())
        refreshQtTime(dpy);
    clipboard->setMimeData(copyMimeData(content, SavedFormatLimit).release(),
                           QClipboard::Clipboard);
}

bool X11Clipboard::copyPrimary(int timeoutMs)
{
    Display *dpy = x11::display();
    QClipboard *clipboard = QGuiApplication::clipboard();
    const Atom selection = XA_PRIMARY;
    if (!dpy || !clipboard || XGetSelectionOwner(dpy, selection) == None)
        return false;
    QString text;
    if (clipboard->ownsSelection()) {
        const QMimeData *own = clipboard->mimeData(QClipboard::Selection);
        text = own ? own->text() : QString();
    } else if (x11::SelectionReader &owner = reader(); owner.isOpen()) {
        const QDeadlineTimer deadline(qMax(0, timeoutMs));
        text = readText(owner, selection, owner.targets(selection, deadline), deadline);
    }
    if (text.isEmpty())
        return false;
    QMimeData highlighted;
    highlighted.setText(text);
    offer(highlighted);
    return true;
}

bool X11Clipboard::ownerOffersText(int timeoutMs)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (clipboard && clipboard->ownsClipboard()) {
        const QMimeData *own = clipboard->mimeData(QClipboard::Clipboard);
        return own && own->hasText();
    }
    const QList<Atom> targets =
        reader().targets(x11::atom("CLIPBOARD"), QDeadlineTimer(qMax(0, timeoutMs)));
    for (const char *name : {"UTF8_STRING", "STRING", "TEXT", "text/plain",
                             "text/plain;charset=utf-8", "COMPOUND_TEXT"}) {
        if (targets.contains(x11::atom(name)))
            return true;
    }
    return false;
}

void X11Clipboard::waitForCopy(int limitMs, int settleMs)
{
    x11::SelectionReader &watch = reader();
    if (!m_watching) {
        // Without owner notifications the whole time is waited.
        waitMs(limitMs);
        return;
    }
    Display *dpy = watch.display();
    const qint64 limit = qMax(0, limitMs);
    QElapsedTimer clock;
    clock.start();

    QEventLoop loop;
    QTimer limitTimer;
    limitTimer.setSingleShot(true);
    limitTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&limitTimer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer settle;
    settle.setSingleShot(true);
    settle.setTimerType(Qt::PreciseTimer);

    // Each new owner since the clear starts the settle time afresh.
    const auto takeNotifications = [&] {
        while (XPending(dpy)) {
            XEvent event{};
            XNextEvent(dpy, &event);
            if (event.type != watch.ownerChangeEvent())
                continue;
            const auto &change = reinterpret_cast<const XFixesSelectionNotifyEvent &>(event);
            if (change.owner != None && later(change.selection_timestamp, m_clearedAt))
                settle.start(qMax(0, settleMs));
        }
    };
    bool copied = false;
    QObject::connect(&settle, &QTimer::timeout, [&] {
        copied = ownerOffersText(static_cast<int>(qMax<qint64>(1, limit - clock.elapsed())));
        if (copied)
            loop.quit();
        else
            takeNotifications(); // the round trips may have queued some
    });
    QSocketNotifier notifier(ConnectionNumber(dpy), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, takeNotifications);

    QCoreApplication::processEvents(QEventLoop::AllEvents);
    takeNotifications();
    qint64 elapsed = clock.elapsed();
    while (!copied && elapsed <= limit) {
        limitTimer.start(static_cast<int>(limit - elapsed + 1));
        loop.exec();
        elapsed = clock.elapsed();
    }
}

} // namespace platform
