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

const QImage &TPictureBox::picture() const
{
    if (m_blankSize.isValid()) {
        m_picture = QImage(m_blankSize, QImage::Format_RGB32);
        m_picture.fill(m_blankColor);
        m_blankSize = QSize();
    }
    return m_picture;
}

QImage &TPictureBox::canvas()
{
    picture();
    return m_picture;
}

void TPictureBox::setPicture(const QImage &picture)
{
    m_blankSize = QSize();
    m_picture = picture;
    setFixedSize(m_picture.size());
    update();
}

void TPictureBox::setBlank(QSize size, QColor color)
{
    m_picture = QImage();
    m_blankSize = size;
    m_blankColor = color;
    setFixedSize(size);
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
    const QImage &shown = picture();
    QPainter p(this);
    for (const QRect &r : event->region())
        p.drawImage(r.topLeft(), shown, r);
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
