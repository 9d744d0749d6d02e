#include "QtTrayIcon.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QWidget>

namespace platform {

namespace {
// Object name Qt gives the widget that it docks into an XEmbed notification area.
const char EmbeddedIconName[] = "QSystemTrayIconSys";
} // namespace

QtTrayIcon::QtTrayIcon(QObject *parent, std::function<void()> sendRequests)
    : TrayIcon(parent), m_sendRequests(std::move(sendRequests))
{
    connect(&m_icon, &QSystemTrayIcon::activated, this, &QtTrayIcon::onActivated);
    qApp->installEventFilter(this);
}

QtTrayIcon::~QtTrayIcon()
{
    qApp->removeEventFilter(this);
    m_icon.hide();
}

void QtTrayIcon::setIcon(const QIcon &icon)
{
    m_icon.setIcon(icon);
}

void QtTrayIcon::setToolTip(const QString &text)
{
    m_icon.setToolTip(text.left(MaxToolTip));
}

QString QtTrayIcon::toolTip() const
{
    return m_icon.toolTip();
}

void QtTrayIcon::setActive(bool active)
{
    m_icon.setVisible(active);
    // The dock request goes out now rather than when the event loop next
    // runs: the notification area docks and maps the icon while the program
    // goes on building its other windows.
    if (active && m_sendRequests)
        m_sendRequests();
}

bool QtTrayIcon::isActive() const
{
    return m_icon.isVisible();
}

QRect QtTrayIcon::geometry() const
{
    return m_icon.geometry();
}

bool QtTrayIcon::hostAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtTrayIcon::isEmbeddedIconWidget(QObject *object) const
{
    return object->isWidgetType() && object->objectName() == QLatin1String(EmbeddedIconName);
}

bool QtTrayIcon::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && isEmbeddedIconWidget(watched)) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        auto *widget = static_cast<QWidget *>(watched);
        // A release outside the icon (the user dragged away) is no click.
        if (widget->rect().contains(mouse->position().toPoint())) {
            if (mouse->button() == Qt::LeftButton)
                emit clicked();
            else if (mouse->button() == Qt::RightButton)
                emit contextMenuRequested(mouse->globalPosition().toPoint());
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void QtTrayIcon::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    // On the XEmbed icon the releases are handled in eventFilter(); Qt's own
    // activation (sent on press) is ignored there.
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (isEmbeddedIconWidget(w))
            return;
    }
    if (reason == QSystemTrayIcon::Trigger)
        emit clicked();
    else if (reason == QSystemTrayIcon::Context)
        emit contextMenuRequested(QCursor::pos());
}

} // namespace platform
