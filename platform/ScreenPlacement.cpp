#include "ScreenPlacement.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace platform {

namespace {
// Two seconds of checks once framed, so that a late move by the window
// manager is undone but the user's own move later is not; at most ten
// seconds waiting for a frame (a window manager may draw none).
constexpr int MaxChecks = 40;
constexpr int MaxUnframedChecks = 200;

// The window's frame as the window system last reported it. The widget's own
// frame geometry is cached and may still lack a frame the window manager
// added later without moving the window.
QRect outerFrame(const QWidget *window)
{
    if (const QWindow *handle = window->windowHandle())
        return handle->geometry().marginsAdded(handle->frameMargins());
    return window->frameGeometry();
}
} // namespace

ScreenPlacement::ScreenPlacement(int heightDivisor, QObject *parent)
    : QObject(parent), m_heightDivisor(heightDivisor)
{
    m_recheck.setInterval(50);
    connect(&m_recheck, &QTimer::timeout, this, [this] {
        // Counting starts once the window manager has framed the window:
        // until then Qt does not know the frame, and a busy window manager
        // may take seconds to add it.
        const bool framed = m_window && outerFrame(m_window).size() != m_window->size();
        const bool done = framed ? ++m_checks > MaxChecks : ++m_unframedChecks > MaxUnframedChecks;
        if (!m_window || done) {
            m_recheck.stop();
            return;
        }
        if (outerFrame(m_window).topLeft() != target(m_window))
            place(m_window);
    });
}

void ScreenPlacement::watch(QWidget *window)
{
    window->installEventFilter(this);
}

void ScreenPlacement::placeNow(QWidget *window)
{
    start(window);
    place(window);
}

bool ScreenPlacement::eventFilter(QObject *watched, QEvent *event)
{
    const auto type = event->type();
    if (type != QEvent::Show && type != QEvent::Move && type != QEvent::Resize &&
        type != QEvent::Paint)
        return false;
    auto *window = static_cast<QWidget *>(watched);
    if (type == QEvent::Show)
        start(window);
    else if (window != m_window || !m_recheck.isActive() ||
             outerFrame(window).size() == m_placedFor)
        return false;
    place(window);
    return false;
}

void ScreenPlacement::start(QWidget *window)
{
    m_window = window;
    m_checks = 0;
    m_unframedChecks = 0;
    m_recheck.start();
}

QPoint ScreenPlacement::target(const QWidget *window) const
{
    const QRect outer = outerFrame(window);
    const QRect screen = window->screen()->geometry();
    const int x = screen.x() + (screen.width() - outer.width()) / 2;
    if (m_heightDivisor <= 0)
        return {x, outer.y()};
    return {x, screen.y() + (screen.height() - outer.height()) / m_heightDivisor};
}

void ScreenPlacement::place(QWidget *window)
{
    m_placedFor = outerFrame(window).size();
    window->move(target(window));
}

} // namespace platform
