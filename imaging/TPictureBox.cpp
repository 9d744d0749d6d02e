#include "TPictureBox.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

TPictureBox::TPictureBox(QWidget *parent) : QWidget(parent)
{
    // Every pixel is painted from the picture; nothing behind it shows.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void TPictureBox::setPicture(const QImage &picture)
{
    m_picture = picture;
    setFixedSize(m_picture.size());
    update();
}

void TPictureBox::changed(const std::vector<QRect> &areas)
{
    if (areas.empty())
        return;
    QRegion region;
    region.setRects(areas.data(), static_cast<int>(areas.size()));
    update(region);
}

void TPictureBox::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    for (const QRect &r : event->region())
        p.drawImage(r.topLeft(), m_picture, r);
}

void TPictureBox::mousePressEvent(QMouseEvent *event)
{
    emit mousePressed(event->button(), event->position().toPoint());
}

void TPictureBox::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMoved(event->position().toPoint());
}

void TPictureBox::mouseReleaseEvent(QMouseEvent *event)
{
    emit mouseReleased(event->button(), event->position().toPoint());
}
