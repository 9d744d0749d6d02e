#include "X11ScreenGrab.h"

#include "X11ScreenBackdrop.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QSysInfo>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <memory>
#include <vector>

// Xlib's macros (Bool, Status, ...) clash with Qt's headers: include it last.
#include "X11Display.h"
#include "X11ErrorTrap.h"
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>

namespace platform {

namespace {

// Areas of fewer bytes are read with a plain XGetImage.
constexpr std::size_t SharedMemoryFrom = 256 * 1024;

// A shared-memory segment attached to the program and to the X server. Its
// id is removed at once, so the memory goes when both have let go of it, even
// when the program ends abruptly.
struct Segment {
    XShmSegmentInfo info{};
    std::size_t size = 0;
};

std::unique_ptr<Segment> createSegment(Display *dpy, std::size_t size)
{
    auto segment = std::make_unique<Segment>();
    segment->info.shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (segment->info.shmid < 0)
        return nullptr;
    void *address = shmat(segment->info.shmid, nullptr, 0);
    if (address == reinterpret_cast<void *>(-1)) {
        shmctl(segment->info.shmid, IPC_RMID, nullptr);
        return nullptr;
    }
    segment->info.shmaddr = static_cast<char *>(address);
    segment->info.readOnly = False;
    segment->size = size;
    bool attached = false;
    {
        // A server on another machine cannot attach our memory.
        x11::ErrorTrap trap(dpy);
        attached = XShmAttach(dpy, &segment->info) && !trap.failed();
    }
    shmctl(segment->info.shmid, IPC_RMID, nullptr);
    if (!attached) {
        shmdt(segment->info.shmaddr);
        return nullptr;
    }
    return segment;
}

void destroySegment(Display *dpy, std::unique_ptr<Segment> segment)
{
    // Without the application's connection the server has let go already.
    if (dpy && x11::display() == dpy)
        XShmDetach(dpy, &segment->info);
    shmdt(segment->info.shmaddr);
}

// The image format that reads the server's pixels as they are, or Invalid.
QImage::Format formatOf(const XImage *image)
{
    const int nativeOrder = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? LSBFirst : MSBFirst;
    const unsigned long r = image->red_mask, g = image->green_mask, b = image->blue_mask;
    if (image->bits_per_pixel == 32 && image->byte_order == nativeOrder && image->depth >= 24) {
        if (r == 0xff0000 && g == 0xff00 && b == 0xff)
            return QImage::Format_RGB32;
        if (QSysInfo::ByteOrder == QSysInfo::LittleEndian && r == 0xff && g == 0xff00 &&
            b == 0xff0000)
            return QImage::Format_RGBX8888;
    }
    if (image->bits_per_pixel == 16 && image->byte_order == nativeOrder) {
        if (image->depth == 16 && r == 0xf800 && g == 0x07e0 && b == 0x1f)
            return QImage::Format_RGB16;
        if (image->depth == 15 && r == 0x7c00 && g == 0x03e0 && b == 0x1f)
            return QImage::Format_RGB555;
    }
    if (image->bits_per_pixel == 8 && image->depth == 8)
        return QImage::Format_Indexed8;
    return QImage::Format_Invalid;
}

// The colour table of a palette display: its colormap's 256 entries.
QList<QRgb> paletteOf(Display *dpy, int screen)
{
    XColor colors[256];
    for (int i = 0; i < 256; ++i)
        colors[i].pixel = static_cast<unsigned long>(i);
    XQueryColors(dpy, DefaultColormap(dpy, screen), colors, 256);
    QList<QRgb> table;
    table.reserve(256);
    for (const XColor &c : colors)
        table.append(qRgb(c.red >> 8, c.green >> 8, c.blue >> 8));
    return table;
}

// RandR's primary output, or the whole root window when it names none.
QRect queryPrimaryMonitor(Display *dpy)
{
    const Window root = DefaultRootWindow(dpy);
    const int screen = DefaultScreen(dpy);
    const QRect whole(0, 0, DisplayWidth(dpy, screen), DisplayHeight(dpy, screen));
    int eventBase = 0, errorBase = 0;
    if (!XRRQueryExtension(dpy, &eventBase, &errorBase))
        return whole;
    QRect monitor;
    const RROutput primary = XRRGetOutputPrimary(dpy, root);
    if (primary == None)
        return whole;
    if (XRRScreenResources *resources = XRRGetScreenResourcesCurrent(dpy, root)) {
        if (XRROutputInfo *output = XRRGetOutputInfo(dpy, resources, primary)) {
            if (output->crtc != None) {
                if (XRRCrtcInfo *crtc = XRRGetCrtcInfo(dpy, resources, output->crtc)) {
                    monitor = QRect(crtc->x, crtc->y, static_cast<int>(crtc->width),
                                    static_cast<int>(crtc->height));
                    XRRFreeCrtcInfo(crtc);
                }
            }
            XRRFreeOutputInfo(output);
        }
        XRRFreeScreenResources(resources);
    }
    return monitor.isEmpty() ? whole : monitor;
}

int ignoreError(Display *, XErrorEvent *)
{
    return 0;
}

void destroyXImage(void *image)
{
    XDestroyImage(static_cast<XImage *>(image));
}

} // namespace

struct X11ScreenGrab::SegmentPool {
    enum class Shm { Unknown, Yes, No };

    Display *dpy = nullptr;
    Shm shm = Shm::Unknown;
    // The primary monitor, asked of RandR once and again after Qt has seen
    // the screens change: each question costs the server several round trips.
    QRect monitor;
    bool watchingScreens = false;
    // The segment of the last image that was let go, kept for the next grab:
    // a full-screen grab then neither allocates nor touches fresh pages.
    std::unique_ptr<Segment> spare;
    // The segments images use now.
    std::vector<const Segment *> leased;

    ~SegmentPool()
    {
        if (spare)
            destroySegment(dpy, std::move(spare));
    }
};

namespace {

// Owns a segment while an image uses it as its buffer.
struct Lease {
    std::weak_ptr<X11ScreenGrab::SegmentPool> pool;
    std::unique_ptr<Segment> segment;
    Display *dpy = nullptr;
};

void endLease(void *info)
{
    std::unique_ptr<Lease> lease(static_cast<Lease *>(info));
    const auto pool = lease->pool.lock();
    if (pool)
        std::erase(pool->leased, lease->segment.get());
    if (pool && (!pool->spare || pool->spare->size < lease->segment->size)) {
        if (pool->spare)
            destroySegment(pool->dpy, std::move(pool->spare));
        pool->spare = std::move(lease->segment);
        return;
    }
    destroySegment(pool ? lease->dpy : nullptr, std::move(lease->segment));
}

} // namespace

X11ScreenGrab::X11ScreenGrab() : m_pool(std::make_shared<SegmentPool>()) {}

X11ScreenGrab::~X11ScreenGrab() = default;

bool X11ScreenGrab::usesSharedMemory() const
{
    return m_pool->shm == SegmentPool::Shm::Yes;
}

QRect X11ScreenGrab::primaryMonitor()
{
    Display *dpy = x11::display();
    if (!dpy)
        return {};
    if (m_pool->dpy == dpy && !m_pool->monitor.isEmpty())
        return m_pool->monitor;
    if (!m_pool->watchingScreens) {
        m_pool->watchingScreens = true;
        const std::weak_ptr<SegmentPool> pool = m_pool;
        const auto forget = [pool] {
            if (const auto alive = pool.lock())
                alive->monitor = QRect();
        };
        QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, qGuiApp, forget);
        QObject::connect(qGuiApp, &QGuiApplication::screenAdded, qGuiApp, forget);
        QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, qGuiApp, forget);
        for (QScreen *screen : QGuiApplication::screens())
            QObject::connect(screen, &QScreen::geometryChanged, qGuiApp, forget);
    }
    if (m_pool->dpy != dpy) {
        m_pool->spare.reset();
        m_pool->dpy = dpy;
        m_pool->shm = SegmentPool::Shm::Unknown;
    }
    m_pool->monitor = queryPrimaryMonitor(dpy);
    return m_pool->monitor;
}

QSize X11ScreenGrab::screenSize()
{
    return primaryMonitor().size();
}

QPoint X11ScreenGrab::cursorPos()
{
    Display *dpy = x11::display();
    if (!dpy)
        return {};
    Window rootReturn = None, child = None;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned int mask = 0;
    XQueryPointer(dpy, DefaultRootWindow(dpy), &rootReturn, &child, &rootX, &rootY, &winX, &winY,
                  &mask);
    return QPoint(rootX, rootY) - primaryMonitor().topLeft();
}

std::unique_ptr<ScreenBackdrop> X11ScreenGrab::createBackdrop(QWidget *window, const QImage &image)
{
    // An image of a grab still in its segment is handed to the server by
    // the segment's id, without sending its pixels.
    unsigned long shmSegment = 0;
    if (m_pool->dpy == x11::display()) {
        const auto *bits = reinterpret_cast<const char *>(image.constBits());
        for (const Segment *segment : m_pool->leased)
            if (segment->info.shmaddr == bits)
                shmSegment = segment->info.shmseg;
    }
    return x11::createScreenBackdrop(window, image, shmSegment);
}

bool X11ScreenGrab::grab(const QRect &rect, QImage &image)
{
    Display *dpy = x11::display();
    if (!dpy || rect.isEmpty())
        return false;
    const int screen = DefaultScreen(dpy);
    const QRect root(0, 0, DisplayWidth(dpy, screen), DisplayHeight(dpy, screen));
    const QRect wanted = rect.translated(primaryMonitor().topLeft());
    const QRect inside = wanted & root;
    if (inside == wanted)
        return grabRootArea(wanted, image);

    // Partly or wholly beyond the desktop's edges: white there.
    QImage part;
    if (!inside.isEmpty() && !grabRootArea(inside, part))
        return false;
    QImage result(rect.size(), part.isNull() || part.format() == QImage::Format_Indexed8
                                   ? QImage::Format_RGB32
                                   : part.format());
    result.fill(Qt::white);
    if (!part.isNull()) {
        QPainter painter(&result);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(inside.topLeft() - wanted.topLeft(), part);
    }
    image = result;
    return true;
}

bool X11ScreenGrab::grabRootArea(const QRect &area, QImage &image)
{
    Display *dpy = x11::display();
    const int screen = DefaultScreen(dpy);
    const Window root = DefaultRootWindow(dpy);
    Visual *visual = DefaultVisual(dpy, screen);
    const auto depth = static_cast<unsigned>(DefaultDepth(dpy, screen));
    const auto width = static_cast<unsigned>(area.width());
    const auto height = static_cast<unsigned>(area.height());
    SegmentPool &pool = *m_pool;
    if (pool.shm == SegmentPool::Shm::Unknown && !XShmQueryExtension(dpy))
        pool.shm = SegmentPool::Shm::No;

    QImage result;
    if (pool.shm != SegmentPool::Shm::No) {
        XImage *header =
            XShmCreateImage(dpy, visual, depth, ZPixmap, nullptr, nullptr, width, height);
        const QImage::Format format = header ? formatOf(header) : QImage::Format_Invalid;
        const auto needed = header ? static_cast<std::size_t>(header->bytes_per_line) * height : 0;
        // A small area goes the plain way: a segment costs round trips to set
        // up, and a small picture must not keep a large spare segment alive.
        if (format != QImage::Format_Invalid && needed >= SharedMemoryFrom) {
            std::unique_ptr<Segment> segment;
            if (pool.spare && pool.spare->size >= needed && pool.spare->size / 2 <= needed)
                segment = std::move(pool.spare);
            else
                segment = createSegment(dpy, needed);
            pool.shm = segment ? SegmentPool::Shm::Yes : SegmentPool::Shm::No;
            if (segment) {
                header->data = segment->info.shmaddr;
                header->obdata = reinterpret_cast<char *>(&segment->info);
                // The request has a reply, so its error (if any) has come
                // and gone through the handler by the time it returns.
                const XErrorHandler previous = XSetErrorHandler(&ignoreError);
                const bool ok = XShmGetImage(dpy, root, header, area.x(), area.y(), AllPlanes);
                XSetErrorHandler(previous);
                if (ok) {
                    auto *lease = new Lease{m_pool, nullptr, dpy};
                    uchar *bits = reinterpret_cast<uchar *>(segment->info.shmaddr);
                    pool.leased.push_back(segment.get());
                    lease->segment = std::move(segment);
                    result = QImage(bits, area.width(), area.height(), header->bytes_per_line,
                                    format, &endLease, lease);
                } else {
                    pool.spare = std::move(segment);
                }
            }
        }
        if (header) {
            header->data = nullptr;
            XDestroyImage(header);
        }
    }
    if (result.isNull()) {
        XImage *got = nullptr;
        {
            x11::ErrorTrap trap(dpy);
            got = XGetImage(dpy, root, area.x(), area.y(), width, height, AllPlanes, ZPixmap);
            if (trap.failed() && got) {
                XDestroyImage(got);
                got = nullptr;
            }
        }
        if (!got)
            return false;
        const QImage::Format format = formatOf(got);
        if (format == QImage::Format_Invalid) {
            XDestroyImage(got);
            return false;
        }
        result = QImage(reinterpret_cast<uchar *>(got->data), area.width(), area.height(),
                        got->bytes_per_line, format, &destroyXImage, got);
    }
    if (result.format() == QImage::Format_Indexed8)
        result.setColorTable(paletteOf(dpy, screen));
    image = result;
    return true;
}

} // namespace platform
