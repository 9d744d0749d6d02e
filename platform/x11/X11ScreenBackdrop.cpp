#include "X11ScreenBackdrop.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QImage>
#include <QSysInfo>
#include <QWidget>

#include <xcb/xcb.h>

// Xlib's macros (Bool, Status, ...) clash with Qt's headers: include it last.
#include "X11Display.h"
#include "X11ErrorTrap.h"
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

namespace platform::x11 {

namespace {

class Backdrop : public ScreenBackdrop, public QAbstractNativeEventFilter {
public:
    Backdrop(Display *dpy, Window window, Pixmap pixmap, GC gc, const QImage &image)
        : m_dpy(dpy), m_window(window), m_pixmap(pixmap), m_gc(gc), m_image(image)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    ~Backdrop() override
    {
        if (QCoreApplication *application = QCoreApplication::instance())
            application->removeNativeEventFilter(this);
        // Only while the application's connection is open: closing it freed
        // all of these on the server.
        if (display() == m_dpy) {
            // The window goes with its parent, should that have gone first.
            ErrorTrap trap(m_dpy);
            XDestroyWindow(m_dpy, m_window);
            XFreePixmap(m_dpy, m_pixmap);
            XFreeGC(m_dpy, m_gc);
        }
        // The image's memory may be the pixmap's: it is let go after the
        // pixmap, and the server handles the requests above first.
    }

    void setOutline(const QRect &rect) override
    {
        if (rect == m_outline)
            return;
        // The old outline's edges show the picture again, then the new one is
        // drawn over the picture alone.
        if (!m_outline.isEmpty()) {
            const QRect &o = m_outline;
            clear(QRect(o.left(), o.top(), o.width(), 1));
            clear(QRect(o.left(), o.bottom(), o.width(), 1));
            clear(QRect(o.left(), o.top(), 1, o.height()));
            clear(QRect(o.right(), o.top(), 1, o.height()));
        }
        m_outline = rect;
        drawOutline();
        XFlush(m_dpy);
    }

    // An uncovered part of the window: the server has shown the picture
    // there; the outline's part in it is drawn again.
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_EXPOSE)
            return false;
        const auto *expose = static_cast<const xcb_expose_event_t *>(message);
        if (expose->window != m_window || m_outline.isEmpty())
            return false;
        const QRect area(expose->x, expose->y, expose->width, expose->height);
        // Cleared first, so a part drawn since the server showed the picture
        // is not inverted twice.
        clear(area);
        XRectangle clip{static_cast<short>(area.x()), static_cast<short>(area.y()),
                        static_cast<unsigned short>(area.width()),
                        static_cast<unsigned short>(area.height())};
        XSetClipRectangles(m_dpy, m_gc, 0, 0, &clip, 1, Unsorted);
        drawOutline();
        XSetClipMask(m_dpy, m_gc, None);
        XFlush(m_dpy);
        return false;
    }

private:
    void clear(const QRect &area)
    {
        XClearArea(m_dpy, m_window, area.x(), area.y(), static_cast<unsigned>(area.width()),
                   static_cast<unsigned>(area.height()), False);
    }

    void drawOutline()
    {
        if (m_outline.isEmpty())
            return;
        // A rectangle of width w - 1 covers w pixels.
        XDrawRectangle(m_dpy, m_window, m_gc, m_outline.x(), m_outline.y(),
                       static_cast<unsigned>(m_outline.width() - 1),
                       static_cast<unsigned>(m_outline.height() - 1));
    }

    Display *m_dpy;
    Window m_window;
    Pixmap m_pixmap;
    GC m_gc;
    QImage m_image;
    QRect m_outline;
};

// Whether the image's pixels are the window's own: 32-bit words of 0xRRGGBB
// in the machine's byte order, rows without padding.
bool sameFormat(Display *dpy, const XWindowAttributes &window, const QImage &image)
{
    const Visual *visual = window.visual;
    if (image.format() != QImage::Format_RGB32 || window.depth != 24 ||
        visual->c_class != TrueColor || visual->red_mask != 0xff0000 ||
        visual->green_mask != 0xff00 || visual->blue_mask != 0xff ||
        image.bytesPerLine() != 4 * static_cast<qsizetype>(image.width()))
        return false;
    const int nativeOrder = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? LSBFirst : MSBFirst;
    if (ImageByteOrder(dpy) != nativeOrder)
        return false;
    int count = 0;
    XPixmapFormatValues *formats = XListPixmapFormats(dpy, &count);
    bool thirtyTwo = false;
    for (int i = 0; i < count; ++i)
        if (formats[i].depth == 24)
            thirtyTwo = formats[i].bits_per_pixel == 32;
    XFree(formats);
    return thirtyTwo;
}

bool sharedPixmaps(Display *dpy)
{
    int major = 0, minor = 0;
    int pixmaps = False;
    return XShmQueryVersion(dpy, &major, &minor, &pixmaps) && pixmaps &&
           XShmPixmapFormat(dpy) == ZPixmap;
}

// A pixmap of the image: sharing its memory when the server can, else
// filled from shared memory or, without it, through the connection.
Pixmap pixmapOf(Display *dpy, Window parent, const XWindowAttributes &attributes,
                const QImage &image, unsigned long shmSegment, GC gc)
{
    const auto width = static_cast<unsigned>(image.width());
    const auto height = static_cast<unsigned>(image.height());
    char *bits = reinterpret_cast<char *>(const_cast<uchar *>(image.constBits()));
    XShmSegmentInfo segment{};
    segment.shmseg = shmSegment;
    segment.shmaddr = bits;
    segment.readOnly = True;
    if (shmSegment != 0 && sharedPixmaps(dpy))
        return XShmCreatePixmap(dpy, parent, bits, &segment, width, height, 24);
    const Pixmap pixmap = XCreatePixmap(dpy, parent, width, height, 24);
    XImage *header =
        shmSegment != 0
            ? XShmCreateImage(dpy, attributes.visual, 24, ZPixmap, bits, &segment, width, height)
            : XCreateImage(dpy, attributes.visual, 24, ZPixmap, 0, bits, width, height, 32,
                           static_cast<int>(image.bytesPerLine()));
    if (!header) {
        XFreePixmap(dpy, pixmap);
        return None;
    }
    if (shmSegment != 0)
        XShmPutImage(dpy, pixmap, gc, header, 0, 0, 0, 0, width, height, False);
    else
        XPutImage(dpy, pixmap, gc, header, 0, 0, 0, 0, width, height);
    header->data = nullptr;
    XDestroyImage(header);
    return pixmap;
}

} // namespace

std::unique_ptr<ScreenBackdrop> createScreenBackdrop(QWidget *window, const QImage &image,
                                                     unsigned long shmSegment)
{
    Display *dpy = display();
    if (!dpy || !window || image.isNull())
        return nullptr;
    const auto parent = static_cast<Window>(window->winId());
    ErrorTrap trap(dpy);
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(dpy, parent, &attributes) || !sameFormat(dpy, attributes, image))
        return nullptr;

    // The outline: dashes of four pixels and gaps of two, each pixel the
    // inverse of (red xor what is there).
    XGCValues values{};
    values.function = GXequiv;
    values.foreground = attributes.visual->red_mask;
    values.line_width = 0;
    values.line_style = LineOnOffDash;
    values.graphics_exposures = False;
    const GC gc = XCreateGC(
        dpy, parent, GCFunction | GCForeground | GCLineWidth | GCLineStyle | GCGraphicsExposures,
        &values);
    const char dashes[] = {4, 2};
    XSetDashes(dpy, gc, 0, dashes, 2);

    XGCValues copyValues{};
    copyValues.graphics_exposures = False;
    const GC copy = XCreateGC(dpy, parent, GCGraphicsExposures, &copyValues);
    const Pixmap pixmap = pixmapOf(dpy, parent, attributes, image, shmSegment, copy);
    XFreeGC(dpy, copy);

    XSetWindowAttributes settings{};
    settings.background_pixmap = pixmap;
    settings.event_mask = ExposureMask;
    const Window backdrop = XCreateWindow(dpy, parent, 0, 0, static_cast<unsigned>(image.width()),
                                          static_cast<unsigned>(image.height()), 0, 24, InputOutput,
                                          attributes.visual, CWBackPixmap | CWEventMask, &settings);
    // Under the window's other children (the instructions).
    XLowerWindow(dpy, backdrop);
    XMapWindow(dpy, backdrop);
    if (pixmap == None || trap.failed()) {
        if (backdrop != None)
            XDestroyWindow(dpy, backdrop);
        if (pixmap != None)
            XFreePixmap(dpy, pixmap);
        XFreeGC(dpy, gc);
        return nullptr;
    }
    return std::make_unique<Backdrop>(dpy, backdrop, pixmap, gc, image);
}

} // namespace platform::x11
