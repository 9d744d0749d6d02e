#include "About.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPainter>

TAboutBox *AboutBox = nullptr;

TAboutBox::TAboutBox(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(QStringLiteral("About Quillet!"));
    setFixedSize(306, 217);
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0, 128, 128));
    QFont title = font();
    title.setPointSize(22);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 30, width(), 50), Qt::AlignCenter, QStringLiteral("Quillet!"));
    QFont small = font();
    small.setBold(true);
    p.setFont(small);
    p.setPen(QColor(128, 0, 0));
    p.drawText(QRect(0, 100, width(), 20), Qt::AlignCenter,
               QStringLiteral("Version %1").arg(QCoreApplication::applicationVersion()));
}

void TAboutBox::mousePressEvent(QMouseEvent *)
{
    hide();
}

void TAboutBox::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        hide();
    QWidget::changeEvent(event);
}
