#include "X11DesktopWindows.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>

#include <unistd.h>

// Xlib's macros (Bool, Status, ...) clash with Qt's headers: include it last.
#include "X11Display.h"
#include "X11ErrorTrap.h"
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <xcb/xcb.h>

namespace platform {

namespace {

// How long activation waits for the window manager to move the focus before
// it moves the focus itself.
constexpr int FocusWaitMs = 250;

// A 32-bit property (window, atom or cardinal list). Empty when the window
// or the property does not exist.
QList<unsigned long> longs(Display *dpy, Window window, const char *property, Atom type)
{
    QList<unsigned long> result;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(dpy, window, x11::atom(property), 0, 65536, False, type, &actualType,
                           &format, &count, &after, &data) == Success &&
        data) {
        if (actualType == type && format == 32) {
            // Xlib hands 32-bit items over as longs.
            const auto *items = reinterpret_cast<const unsigned long *>(data);
            result = QList<unsigned long>(items, items + count);
        }
        XFree(data);
    }
    return result;
}

QByteArray bytes(Display *dpy, Window window, Atom property, Atom type)
{
    QByteArray result;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(dpy, window, property, 0, 65536, False, type, &actualType, &format,
                           &count, &after, &data) == Success &&
        data) {
        if (format == 8)
            result = QByteArray(reinterpret_cast<const char *>(data), static_cast<int>(count));
        XFree(data);
    }
    return result;
}

bool hasProperty(Display *dpy, Window window, Atom property)
{
    int count = 0;
    Atom *atoms = XListProperties(dpy, window, &count);
    bool found = false;
    for (int i = 0; i < count && !found; ++i)
        found = atoms[i] == property;
    if (atoms)
        XFree(atoms);
    return found;
}

// True when an EWMH window manager runs and supports `hint`.
bool managerSupports(Display *dpy, const char *hint)
{
    const Window root = DefaultRootWindow(dpy);
    const auto check = longs(dpy, root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
    if (check.isEmpty() ||
        longs(dpy, check.first(), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW) != check)
        return false;
    return longs(dpy, root, "_NET_SUPPORTED", XA_ATOM).contains(x11::atom(hint));
}

QList<Window> children(Display *dpy, Window window, Window *parent = nullptr)
{
    Window root = None;
    Window up = None;
    Window *list = nullptr;
    unsigned int count = 0;
    QList<Window> result;
    if (XQueryTree(dpy, window, &root, &up, &list, &count)) {
        result = QList<Window>(list, list + count); // bottom to top
        if (list)
            XFree(list);
    }
    if (parent)
        *parent = up;
    return result;
}

Window parentOf(Display *dpy, Window window)
{
    Window parent = None;
    children(dpy, window, &parent);
    return parent;
}

// The client window inside a root child: the window itself or the
// descendant that carries WM_STATE (a window manager's frame holds its
// client a level or two down). Without a window manager there is no
// WM_STATE, and the root child is the client.
Window clientOf(Display *dpy, Window rootChild)
{
    const Atom wmState = x11::atom("WM_STATE");
    QList<Window> level{rootChild};
    for (int depth = 0; depth < 4 && !level.isEmpty(); ++depth) {
        QList<Window> next;
        for (Window w : level) {
            if (hasProperty(dpy, w, wmState))
                return w;
            next += children(dpy, w);
        }
        level = next;
    }
    return rootChild;
}

// True when `window` is `ancestor` or lies inside it.
bool isInside(Display *dpy, Window window, Window ancestor)
{
    const Window root = DefaultRootWindow(dpy);
    for (int depth = 0; depth < 64 && window != None && window != root; ++depth) {
        if (window == ancestor)
            return true;
        window = parentOf(dpy, window);
    }
    return false;
}

bool hasFocus(Display *dpy, Window window)
{
    Window focus = None;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    return focus != None && focus != PointerRoot && isInside(dpy, focus, window);
}

bool waitForFocus(Display *dpy, Window window, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!hasFocus(dpy, window)) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::msleep(2);
    }
    return true;
}

// The window of a root child that holds it: the frame a window manager put
// around the client, or the client itself.
Window frameOf(Display *dpy, Window window)
{
    const Window root = DefaultRootWindow(dpy);
    for (int depth = 0; depth < 64; ++depth) {
        const Window parent = parentOf(dpy, window);
        if (parent == None || parent == root)
            break;
        window = parent;
    }
    return window;
}

// True when the X resource `id` was created by this program's connection.
bool createdByUs(unsigned long id)
{
    auto *x11App =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11App ? x11App->connection() : nullptr;
    if (!connection || !id)
        return false;
    const xcb_setup_t *setup = xcb_get_setup(connection);
    return (id & ~static_cast<unsigned long>(setup->resource_id_mask)) == setup->resource_id_base;
}

} // namespace

QList<WindowHandle> X11DesktopWindows::topLevelWindows()
{
    QList<WindowHandle> result;
    Display *dpy = x11::display();
    if (!dpy)
        return result;
    x11::ErrorTrap trap(dpy);
    const Window root = DefaultRootWindow(dpy);

    QList<unsigned long> bottomUp;
    if (m_order == Order::Automatic && managerSupports(dpy, "_NET_CLIENT_LIST_STACKING"))
        bottomUp = longs(dpy, root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
    if (bottomUp.isEmpty()) {
        for (Window child : children(dpy, root))
            bottomUp.append(clientOf(dpy, child));
    }
    for (auto it = bottomUp.crbegin(); it != bottomUp.crend(); ++it) {
        if (!result.contains(*it))
            result.append(*it);
    }
    return result;
}

bool X11DesktopWindows::isVisible(WindowHandle window)
{
    Display *dpy = x11::display();
    if (!dpy || !window)
        return false;
    x11::ErrorTrap trap(dpy);
    XWindowAttributes attributes{};
    return XGetWindowAttributes(dpy, window, &attributes) && attributes.map_state == IsViewable;
}

bool X11DesktopWindows::isMinimized(WindowHandle window)
{
    Display *dpy = x11::display();
    if (!dpy || !window)
        return false;
    x11::ErrorTrap trap(dpy);
    if (longs(dpy, window, "_NET_WM_STATE", XA_ATOM).contains(x11::atom("_NET_WM_STATE_HIDDEN")))
        return true;
    const Atom wmState = x11::atom("WM_STATE");
    const auto state = longs(dpy, window, "WM_STATE", wmState);
    return !state.isEmpty() && state.first() == IconicState;
}

bool X11DesktopWindows::hasOwner(WindowHandle window)
{
    Display *dpy = x11::display();
    if (!dpy || !window)
        return false;
    x11::ErrorTrap trap(dpy);
    Window owner = None;
    return XGetTransientForHint(dpy, window, &owner) && owner != None &&
           owner != DefaultRootWindow(dpy);
}

bool X11DesktopWindows::isToolWindow(WindowHandle window)
{
    Display *dpy = x11::display();
    if (!dpy || !window)
        return false;
    x11::ErrorTrap trap(dpy);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(dpy, window, &attributes) && attributes.override_redirect)
        return true; // menus, tooltips and popups, placed by their program itself
    if (longs(dpy, window, "_NET_WM_STATE", XA_ATOM)
            .contains(x11::atom("_NET_WM_STATE_SKIP_TASKBAR")))
        return true;
    // The types are listed in order of preference; the first one this desktop
    // knows decides. Normal windows and free-standing dialogs (an owned
    // dialog is skipped for its owner) are the user's ordinary windows.
    static const char *const basicTypes[] = {
        "_NET_WM_WINDOW_TYPE_NORMAL",        "_NET_WM_WINDOW_TYPE_DIALOG",
        "_NET_WM_WINDOW_TYPE_DESKTOP",       "_NET_WM_WINDOW_TYPE_DOCK",
        "_NET_WM_WINDOW_TYPE_TOOLBAR",       "_NET_WM_WINDOW_TYPE_MENU",
        "_NET_WM_WINDOW_TYPE_UTILITY",       "_NET_WM_WINDOW_TYPE_SPLASH",
        "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", "_NET_WM_WINDOW_TYPE_POPUP_MENU",
        "_NET_WM_WINDOW_TYPE_TOOLTIP",       "_NET_WM_WINDOW_TYPE_NOTIFICATION",
        "_NET_WM_WINDOW_TYPE_COMBO",         "_NET_WM_WINDOW_TYPE_DND",
    };
    const Atom normal = x11::atom(basicTypes[0]);
    const Atom dialog = x11::atom(basicTypes[1]);
    for (unsigned long type : longs(dpy, window, "_NET_WM_WINDOW_TYPE", XA_ATOM)) {
        for (const char *name : basicTypes) {
            if (type == x11::atom(name))
                return type != normal && type != dialog;
        }
    }
    return false;
}

bool X11DesktopWindows::isOwnWindow(WindowHandle window)
{
    Display *dpy = x11::display();
    if (!dpy || !window)
        return false;
    if (createdByUs(window))
        return true;
    x11::ErrorTrap trap(dpy);
    // A window of a helper that shares our client leader or process.
    const auto leader = longs(dpy, window, "WM_CLIENT_LEADER", XA_WINDOW);
    if (!leader.isEmpty() && createdByUs(leader.first()))
        return true;
    const auto pid = longs(dpy, window, "_NET_WM_PID", XA_CARDINAL);
    if (pid.isEmpty() || pid.first() != static_cast<unsigned long>(getpid()))
        return false;
    // A process number means this process only on this machine.
    const QByteArray machine = bytes(dpy, window, XA_WM_CLIENT_MACHINE, XA_STRING);
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    return machine.isEmpty() || machine == QByteArray(host);
}

QString X11DesktopWindows::title(WindowHandle window)
{
    Display *dpy = x11::display();
    if (!dpy || !window)
        return {};
    x11::ErrorTrap trap(dpy);
    const QByteArray name = bytes(dpy, window, x11::atom("_NET_WM_NAME"), x11::atom("UTF8_STRING"));
    if (!name.isEmpty())
        return QString::fromUtf8(name);
    return QString::fromLatin1(bytes(dpy, window, XA_WM_NAME, XA_STRING));
}

QStringList X11DesktopWindows::windowClass(WindowHandle window)
{
    Display *dpy = x11::display();
    if (!dpy || !window)
        return {};
    x11::ErrorTrap trap(dpy);
    XClassHint hint{};
    if (!XGetClassHint(dpy, window, &hint))
        return {};
    QStringList names{QString::fromLocal8Bit(hint.res_name ? hint.res_name : ""),
                      QString::fromLocal8Bit(hint.res_class ? hint.res_class : "")};
    if (hint.res_name)
        XFree(hint.res_name);
    if (hint.res_class)
        XFree(hint.res_class);
    return names;
}

bool X11DesktopWindows::activate(WindowHandle window)
{
    Display *dpy = x11::display();
    if (!dpy || !window)
        return false;
    x11::ErrorTrap trap(dpy);
    if (managerSupports(dpy, "_NET_ACTIVE_WINDOW")) {
        // The manager also restores a minimised window and switches to its
        // desktop.
        x11::requestActivation(dpy, window);
        if (waitForFocus(dpy, window, FocusWaitMs))
            return true;
    }
    // No window manager that does it (or one that refused): raise the window
    // and give it the focus directly.
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(dpy, window, &attributes) && attributes.map_state != IsViewable)
        XMapWindow(dpy, window);
    XRaiseWindow(dpy, frameOf(dpy, window));
    XSync(dpy, False);
    XSetInputFocus(dpy, window, RevertToParent, CurrentTime);
    XFlush(dpy);
    return waitForFocus(dpy, window, FocusWaitMs);
}

WindowHandle X11DesktopWindows::activeWindow()
{
    Display *dpy = x11::display();
    if (!dpy)
        return 0;
    x11::ErrorTrap trap(dpy);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    if (focus == None || focus == PointerRoot)
        return 0;
    // The client window that holds the focus window.
    const QList<WindowHandle> clients = topLevelWindows();
    const Window root = DefaultRootWindow(dpy);
    for (int depth = 0; depth < 64 && focus != None && focus != root; ++depth) {
        if (clients.contains(focus))
            return focus;
        focus = parentOf(dpy, focus);
    }
    return 0;
}

} // namespace platform
