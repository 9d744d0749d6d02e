#include "AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QImage appIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    // The page.
    p.setPen(QPen(QColor(0, 0, 128), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 1.5, 9, 13));
    p.setPen(QPen(QColor(128, 128, 128), 1));
    for (double y = 4.5; y < 13; y += 2)
        p.drawLine(QPointF(4, y), QPointF(10, y));
    // The quill.
    QPainterPath quill;
    quill.moveTo(15, 1);
    quill.cubicTo(11, 2, 8, 7, 7, 12);
    quill.lineTo(9, 11);
    quill.cubicTo(12, 8, 14, 5, 15, 1);
    p.setPen(QPen(QColor(128, 0, 0), 0.8));
    p.setBrush(QColor(255, 200, 0));
    p.drawPath(quill);
    return image;
}

QIcon appIcon()
{
    QIcon icon;
    for (int size : {16, 22, 32})
        icon.addPixmap(QPixmap::fromImage(appIconImage(size)));
    return icon;
}
