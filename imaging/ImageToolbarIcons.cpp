#include "ImageToolbarIcons.h"

#include "editor/ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>

namespace {

const QColor Ink(0x30, 0x30, 0x30);
const QColor Paper(0xfa, 0xfa, 0xfa);
const QColor Accent(0x40, 0x60, 0xb0);

const char *themeName(ImageGlyph glyph)
{
    switch (glyph) {
    case ImageGlyph::NewImage:
        return "document-new";
    case ImageGlyph::Capture:
        return "camera-photo";
    default:
        return ""; // drawing tools and styles have no standard theme names
    }
}

// A square box of hatch or fill inside an outline.
void fillBox(QPainter &p, ImageGlyph glyph)
{
    const QRectF box(2.5, 2.5, 11, 11);
    p.setPen(QPen(Ink, 1));
    p.setBrush(Paper);
    p.drawRect(box);
    p.save();
    p.setClipRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
    p.setPen(QPen(Accent, 1));
    for (int i = -16; i <= 32; i += 3) {
        const qreal c = i + 0.5;
        switch (glyph) {
        case ImageGlyph::VerticalLines:
            p.drawLine(QPointF(c, 0), QPointF(c, 16));
            break;
        case ImageGlyph::HorizontalLines:
            p.drawLine(QPointF(0, c), QPointF(16, c));
            break;
        case ImageGlyph::FDiagonal:
            p.drawLine(QPointF(c, 0), QPointF(c + 16, 16));
            break;
        case ImageGlyph::BDiagonal:
            p.drawLine(QPointF(c, 16), QPointF(c + 16, 0));
            break;
        case ImageGlyph::Cross:
            p.drawLine(QPointF(c, 0), QPointF(c, 16));
            p.drawLine(QPointF(0, c), QPointF(16, c));
            break;
        default:
            break;
        }
    }
    if (glyph == ImageGlyph::SolidBrush)
        p.fillRect(box, Accent);
    p.restore();
}

void draw(QPainter &p, ImageGlyph glyph)
{
    p.setBrush(Qt::NoBrush);
    switch (glyph) {
    case ImageGlyph::NewImage:
        p.setPen(QPen(Ink, 1));
        p.setBrush(Paper);
        p.drawRect(QRectF(3.5, 1.5, 9, 13));
        p.setPen(QPen(QColor(0xe0, 0xa0, 0x10), 2));
        p.drawLine(QPointF(12, 1), QPointF(12, 6));
        p.drawLine(QPointF(9.5, 3.5), QPointF(14.5, 3.5));
        break;
    case ImageGlyph::Capture:
        p.setPen(QPen(Ink, 1));
        p.setBrush(QColor(0x90, 0x90, 0x98));
        p.drawRoundedRect(QRectF(1.5, 4.5, 13, 9), 1.5, 1.5);
        p.drawRect(QRectF(5.5, 2.5, 4, 2));
        p.setBrush(Paper);
        p.drawEllipse(QPointF(8, 9), 2.5, 2.5);
        break;
    case ImageGlyph::Line:
        p.setPen(QPen(Ink, 1.5));
        p.drawLine(QPointF(2.5, 13.5), QPointF(13.5, 2.5));
        break;
    case ImageGlyph::Rectangle:
        p.setPen(QPen(Ink, 1));
        p.drawRect(QRectF(2.5, 3.5, 11, 9));
        break;
    case ImageGlyph::Ellipse:
        p.setPen(QPen(Ink, 1));
        p.drawEllipse(QRectF(1.5, 3.5, 13, 9));
        break;
    case ImageGlyph::RoundRect:
        p.setPen(QPen(Ink, 1));
        p.drawRoundedRect(QRectF(2.5, 3.5, 11, 9), 3, 3);
        break;
    case ImageGlyph::SolidPen:
        p.setPen(QPen(Ink, 1.5));
        p.drawLine(QPointF(1, 8), QPointF(15, 8));
        break;
    case ImageGlyph::DashPen:
        p.setPen(QPen(Ink, 1.5));
        for (qreal x = 1; x < 15; x += 5)
            p.drawLine(QPointF(x, 8), QPointF(x + 3, 8));
        break;
    case ImageGlyph::DotPen:
        p.setPen(QPen(Ink, 1.5));
        for (qreal x = 1.5; x < 15; x += 3)
            p.drawLine(QPointF(x, 8), QPointF(x + 1, 8));
        break;
    default:
        fillBox(p, glyph);
        break;
    }
}

} // namespace

QIcon imageToolbarIcon(ImageGlyph glyph)
{
    const QIcon drawn = paintedIcon([glyph](QPainter &p) { draw(p, glyph); });
    const QLatin1String name(themeName(glyph));
    return name.isEmpty() ? drawn : themedIcon(name, drawn);
}

QIcon imageEditorWindowIcon()
{
    const QIcon drawn = paintedIcon(
        [](QPainter &p) {
            p.setPen(QPen(Ink, 1));
            p.setBrush(Paper);
            p.drawRect(QRectF(0.5, 2.5, 15, 11));
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x50, 0xa0, 0x50));
            QPainterPath hill;
            hill.moveTo(1, 13);
            hill.lineTo(6, 7);
            hill.lineTo(10, 11);
            hill.lineTo(12, 9);
            hill.lineTo(15, 13);
            hill.closeSubpath();
            p.drawPath(hill);
            p.setBrush(QColor(0xe0, 0xa0, 0x10));
            p.drawEllipse(QPointF(11.5, 5.5), 1.5, 1.5);
        },
        {16, 32, 48});
    return themedIcon(QStringLiteral("applications-graphics"), drawn);
}
