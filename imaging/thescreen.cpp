#include "thescreen.h"

#include "Editscreen.h"
#include "platform/AppWindows.h"
#include "platform/InputGrab.h"
#include "platform/ScreenBackdrop.h"
#include "platform/ScreenGrab.h"
#include "platform/Services.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QStringList>

#include <cstdlib>

namespace {

constexpr int LabelWidth = 241;
constexpr int LabelHeight = 144;

const QStringList &labelLines()
{
    static const QStringList lines{
        QStringLiteral(" "),
        QStringLiteral("   Click the right button to hide this text."),
        QStringLiteral(" "),
        QStringLiteral("   1. Click the left button to begin selection."),
        QStringLiteral("   2. Move mouse to mark selection."),
        QStringLiteral("   3. Click the left button to end selection."),
        QStringLiteral("           -- or --"),
        QStringLiteral("       Click the right button to start new selection."),
        QStringLiteral(" "),
        QStringLiteral("   Press any key to cancel."),
    };
    return lines;
}

QString &marker(QString *value)
{
    static QString unlinked;
    return value ? *value : unlinked;
}

} // namespace

CaptureTrayLink &captureTray()
{
    static CaptureTrayLink link;
    return link;
}

void ScreenShot(int x, int y, int width, int height, QImage &bitmap)
{
    if (width <= 0 || height <= 0)
        return;
    if (!platform::services().screenGrab().grab(QRect(x, y, width, height), bitmap)) {
        bitmap = QImage(width, height, QImage::Format_RGB32);
        bitmap.fill(Qt::white);
    }
}

void TEditScreen::CaptureButClick()
{
    hide();
    QImage frozen;
    auto *lock = new TScreenLock(this);
    const QSize screen = platform::services().screenGrab().screenSize();
    ScreenShot(0, 0, screen.width(), screen.height(), frozen);
    lock->setFrozenImage(frozen);
    lock->show();
    // Keys typed from now on cancel, whichever window had the focus.
    lock->grabInput();
}

TScreenLock::TScreenLock(TEditScreen *owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                         Qt::WindowStaysOnTopHint),
      m_editor(owner)
{
    setObjectName(QStringLiteral("ScreenLock"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setCursor(Qt::ArrowCursor);
    // Sized before it is first shown, so it is painted once, at its size.
    setGeometry(QGuiApplication::primaryScreen()->geometry());

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setText(labelLines().join(u'\n'));
    Label1->setFixedSize(LabelWidth, LabelHeight);
    QFont font = Label1->font();
    font.setPixelSize(11);
    Label1->setFont(font);
    QPalette palette = Label1->palette();
    palette.setColor(QPalette::Window, Qt::yellow);
    palette.setColor(QPalette::WindowText, QGuiApplication::palette().color(QPalette::WindowText));
    Label1->setPalette(palette);
    Label1->setAutoFillBackground(true);
    // Clicks and moves on the label are the window's own: positions are read
    // in screen pixels, wherever they land.
    Label1->setAttribute(Qt::WA_TransparentForMouseEvents);
    // A window of its own, so it shows over the frozen image when the display
    // server draws that image.
    Label1->setAttribute(Qt::WA_NativeWindow);
    Label1->hide();
}

TScreenLock::~TScreenLock()
{
    if (m_grabbed)
        platform::services().inputGrab().releaseInput();
}

void TScreenLock::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    m_frozen.setDevicePixelRatio(1);
    // The server shows the frozen image from the moment the window appears,
    // and again wherever it is uncovered: nothing of it is painted here.
    m_backdrop = platform::services().screenGrab().createBackdrop(this, m_frozen);
    setBevel(QRect(m_bevel.topLeft(), QSize(0, 0)), m_bevelVisible);
    // The label's bottom edge on the window's horizontal centre line, centred
    // left to right.
    Label1->move(width() / 2 - LabelWidth / 2, height() / 2 - LabelHeight);
    Label1->show();
}

void TScreenLock::grabInput()
{
    // No window manager gives this window the focus: take the keyboard and
    // the pointer, and route Qt's key events here too.
    m_grabbed = platform::services().inputGrab().grabInput(this);
    grabKeyboard();
}

void TScreenLock::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_backdrop.reset();
    releaseKeyboard();
    if (m_grabbed)
        platform::services().inputGrab().releaseInput();
    m_grabbed = false;
}

QRegion TScreenLock::outlineRegion(const QRect &rect) const
{
    // The outline's four one-pixel edges, in the window's own (scaled)
    // coordinates, widened to whole units.
    if (rect.width() <= 0 || rect.height() <= 0)
        return {};
    const qreal ratio = devicePixelRatio();
    const auto toWidget = [ratio](const QRect &r) {
        return QRectF(r.x() / ratio, r.y() / ratio, r.width() / ratio, r.height() / ratio)
            .toAlignedRect();
    };
    QRegion region;
    region += toWidget(QRect(rect.left(), rect.top(), rect.width(), 1));
    region += toWidget(QRect(rect.left(), rect.bottom(), rect.width(), 1));
    region += toWidget(QRect(rect.left(), rect.top(), 1, rect.height()));
    region += toWidget(QRect(rect.right(), rect.top(), 1, rect.height()));
    return region;
}

void TScreenLock::setBevel(const QRect &rect, bool visible)
{
    if (rect == m_bevel && visible == m_bevelVisible)
        return;
    if (m_backdrop) {
        m_bevel = rect;
        m_bevelVisible = visible;
        m_backdrop->setOutline(visible ? rect : QRect());
        return;
    }
    const QRegion before = m_bevelVisible ? outlineRegion(m_bevel) : QRegion();
    m_bevel = rect;
    m_bevelVisible = visible;
    const QRegion after = m_bevelVisible ? outlineRegion(m_bevel) : QRegion();
    // Only the outline changes what is seen: where it was and where it is.
    const QRegion changed = before + after;
    if (!changed.isEmpty()) {
        m_unpainted += changed;
        update(changed);
    }
}

void TScreenLock::paintEvent(QPaintEvent *event)
{
    // The backdrop covers the whole window.
    if (m_backdrop)
        return;
    QPainter painter(this);
    // Draw in screen pixels: the frozen image one to one, the outline one
    // screen pixel wide.
    const qreal ratio = devicePixelRatio();
    painter.scale(1 / ratio, 1 / ratio);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect &area : event->region()) {
        const QRect pixels =
            QRectF(area.x() * ratio, area.y() * ratio, area.width() * ratio, area.height() * ratio)
                .toAlignedRect();
        painter.drawImage(pixels.topLeft(), m_frozen, pixels);
        // A screen larger than the frozen image (a failed grab) shows black.
        for (const QRect &beyond : QRegion(pixels) - QRegion(m_frozen.rect()))
            painter.fillRect(beyond, Qt::black);
    }
    if (m_bevelVisible && m_bevel.width() > 0 && m_bevel.height() > 0) {
        // Not-xor: each outline pixel becomes the inverse of (pixel xor red),
        // red on white and cyan on black, so it shows on any background. The
        // shape's white fill under the same mix changes nothing and is left
        // out; the frozen image itself is never drawn on.
        painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
        QPen pen(Qt::red, 0, Qt::DashLine);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(m_bevel.topLeft(), m_bevel.size() - QSize(1, 1)));
    }
    m_unpainted -= event->region();
}

void TScreenLock::mousePressEvent(QMouseEvent *event)
{
    const QPoint point = (event->position() * devicePixelRatio()).toPoint();
    Image1MouseDown(event->button(), point);
}

void TScreenLock::mouseMoveEvent(QMouseEvent *event)
{
    Q_UNUSED(event);
    Image1MouseMove();
}

void TScreenLock::keyPressEvent(QKeyEvent *event)
{
    Q_UNUSED(event);
    FormKeyDown();
}

void TScreenLock::Image1MouseDown(Qt::MouseButton button, QPoint point)
{
    if (button == Qt::RightButton) {
        m_selecting = false;
        Label1->hide();
        setBevel(QRect(m_bevel.topLeft(), QSize(0, 0)), m_bevelVisible);
        return;
    }
    if (!m_selecting) {
        m_selecting = true;
        m_anchor = point;
        setBevel(QRect(point, QSize(0, 0)), true);
        return;
    }
    completeSelection();
}

void TScreenLock::Image1MouseMove()
{
    if (!m_selecting)
        return;
    // The pointer's own position, not the event's: the event may come from
    // the label, in its coordinates.
    const QPoint cursor = platform::services().screenGrab().cursorPos();
    const int left = std::min(cursor.x(), m_anchor.x());
    const int top = std::min(cursor.y(), m_anchor.y());
    const int width = std::abs(cursor.x() - m_anchor.x());
    const int height = std::abs(cursor.y() - m_anchor.y());
    setBevel(QRect(left, top, width, height), true);
}

void TScreenLock::completeSelection()
{
    // The cut-out comes from the live screen, where this window still shows:
    // what is on screen must be the frozen image with the outline where it is
    // now, not where a pending repaint would remove it from.
    if (!m_unpainted.isEmpty())
        repaint(m_unpainted);
    QImage result;
    ScreenShot(m_bevel.left() + 1, m_bevel.top() + 1, m_bevel.width() - 2, m_bevel.height() - 2,
               result);
    m_editor->setPicture(result);
    if (m_editor->isVisible())
        m_editor->setWindowState(m_editor->windowState() &
                                 ~(Qt::WindowMinimized | Qt::WindowMaximized));

    auto &appWindows = platform::services().appWindows();
    appWindows.hideTaskbarEntry();
    hide();
    CaptureTrayLink &tray = captureTray();
    QString &captureStatus = marker(tray.captureStatus);
    QString &pendingAction = marker(tray.pendingAction);
    if (captureStatus != QLatin1String("no")) {
        appWindows.showTaskbarEntry();
        m_editor->show();
        captureStatus.clear();
        dismiss();
        return;
    }
    // Taken now: the save and the print handle events while they run.
    const QString action = pendingAction;
    m_selecting = false;
    pendingAction.clear();
    captureStatus.clear();
    dismiss();
    if (action == QLatin1String("savethis")) {
        if (tray.saver)
            tray.saver();
    } else if (action == QLatin1String("printthis")) {
        if (tray.prints)
            tray.prints();
    }
}

void TScreenLock::FormKeyDown()
{
    // The purpose is dropped, so the next capture starts with its own.
    CaptureTrayLink &tray = captureTray();
    marker(tray.pendingAction).clear();
    marker(tray.captureStatus).clear();
    hide();
    dismiss();
}

void TScreenLock::dismiss()
{
    deleteLater();
}
