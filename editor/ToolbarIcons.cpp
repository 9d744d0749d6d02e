#include "ToolbarIcons.h"

#include <QFont>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const char *themeName(ToolbarGlyph glyph)
{
    switch (glyph) {
    case ToolbarGlyph::Clear:
        return "edit-clear";
    case ToolbarGlyph::Open:
        return "document-open";
    case ToolbarGlyph::Save:
        return "document-save";
    case ToolbarGlyph::Print:
        return "document-print";
    case ToolbarGlyph::PrinterSetup:
        return "document-page-setup";
    case ToolbarGlyph::Close:
        return "window-close";
    case ToolbarGlyph::Bold:
        return "format-text-bold";
    case ToolbarGlyph::Italic:
        return "format-text-italic";
    case ToolbarGlyph::Underline:
        return "format-text-underline";
    case ToolbarGlyph::AlignLeft:
        return "format-justify-left";
    case ToolbarGlyph::AlignCenter:
        return "format-justify-center";
    case ToolbarGlyph::AlignRight:
        return "format-justify-right";
    case ToolbarGlyph::Bullets:
        return "format-list-unordered";
    case ToolbarGlyph::MakeDefault:
        return ""; // the theme has nothing that says "make this the default font"
    }
    return "";
}

const QColor Ink(0x30, 0x30, 0x30);
const QColor Paper(0xfa, 0xfa, 0xfa);

void letter(QPainter &p, const QString &text, bool bold, bool italic, bool underline)
{
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPixelSize(14);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    p.setFont(font);
    p.setPen(Ink);
    p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, text);
}

// Four text lines; `shift` 0 left, 1 centre, 2 right.
void lines(QPainter &p, int shift)
{
    p.setPen(QPen(Ink, 1.5));
    const int lengths[] = {12, 8, 12, 6};
    for (int i = 0; i < 4; ++i) {
        const int len = lengths[i];
        const qreal x = shift == 0 ? 2 : shift == 1 ? (16 - len) / 2.0 : 14 - len;
        const qreal y = 3.5 + i * 3;
        p.drawLine(QPointF(x, y), QPointF(x + len, y));
    }
}

void sheet(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(Ink, 1));
    p.setBrush(Paper);
    p.drawRect(r);
}

void printer(QPainter &p)
{
    sheet(p, QRectF(4.5, 1.5, 7, 5));
    p.setPen(QPen(Ink, 1));
    p.setBrush(QColor(0x90, 0x90, 0x98));
    p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
    sheet(p, QRectF(4.5, 10.5, 7, 4));
}

void draw(QPainter &p, ToolbarGlyph glyph)
{
    switch (glyph) {
    case ToolbarGlyph::Clear:
        sheet(p, QRectF(3.5, 1.5, 9, 13));
        p.setPen(QPen(QColor(0xc0, 0x20, 0x20), 2));
        p.drawLine(QPointF(5, 5), QPointF(11, 11));
        p.drawLine(QPointF(11, 5), QPointF(5, 11));
        break;
    case ToolbarGlyph::Open: {
        p.setPen(QPen(QColor(0x80, 0x60, 0x10), 1));
        p.setBrush(QColor(0xf0, 0xc8, 0x50));
        QPainterPath path;
        path.moveTo(1.5, 3.5);
        path.lineTo(6, 3.5);
        path.lineTo(7.5, 5);
        path.lineTo(14.5, 5);
        path.lineTo(14.5, 13.5);
        path.lineTo(1.5, 13.5);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    case ToolbarGlyph::Save:
        p.setPen(QPen(QColor(0x20, 0x30, 0x70), 1));
        p.setBrush(QColor(0x40, 0x60, 0xb0));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Paper);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.drawRect(QRectF(3.5, 9.5, 9, 5));
        break;
    case ToolbarGlyph::Print:
        printer(p);
        break;
    case ToolbarGlyph::PrinterSetup:
        sheet(p, QRectF(2.5, 1.5, 11, 13));
        p.setPen(QPen(QColor(0x40, 0x80, 0xd0), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(4.5, 3.5, 7, 9));
        break;
    case ToolbarGlyph::Close:
        p.setPen(QPen(Ink, 2.2));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case ToolbarGlyph::Bold:
        letter(p, QStringLiteral("B"), true, false, false);
        break;
    case ToolbarGlyph::Italic:
        letter(p, QStringLiteral("I"), false, true, false);
        break;
    case ToolbarGlyph::Underline:
        letter(p, QStringLiteral("U"), false, false, true);
        break;
    case ToolbarGlyph::AlignLeft:
        lines(p, 0);
        break;
    case ToolbarGlyph::AlignCenter:
        lines(p, 1);
        break;
    case ToolbarGlyph::AlignRight:
        lines(p, 2);
        break;
    case ToolbarGlyph::Bullets:
        for (int i = 0; i < 3; ++i) {
            const qreal y = 3.5 + i * 4.5;
            p.setPen(Qt::NoPen);
            p.setBrush(Ink);
            p.drawEllipse(QPointF(3, y), 1.5, 1.5);
            p.setPen(QPen(Ink, 1.5));
            p.drawLine(QPointF(6, y), QPointF(14, y));
        }
        break;
    case ToolbarGlyph::MakeDefault:
        letter(p, QStringLiteral("A"), true, false, false);
        p.setPen(QPen(QColor(0x20, 0x90, 0x30), 2));
        p.drawLine(QPointF(9, 12), QPointF(11, 14.5));
        p.drawLine(QPointF(11, 14.5), QPointF(15.5, 8.5));
        break;
    }
}

} // namespace

namespace {

// Renders every size at once, the first time any size is asked for.
QIcon renderedIcon(const std::function<void(QPainter &)> &paint, const QList<int> &sizes)
{
    QIcon icon;
    for (int size : sizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.scale(size / 16.0, size / 16.0);
        paint(p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// An icon made when it is first painted or asked about: the windows are
// built at start-up but most of them are never shown, and every picture drawn
// or looked up in the icon theme would stay in memory all along. Once made it
// answers exactly as the icon `make` returns.
class DeferredIconEngine : public QIconEngine {
public:
    explicit DeferredIconEngine(std::function<QIcon()> make) : m_make(std::move(make)) {}

    QIconEngine *clone() const override { return new DeferredIconEngine(*this); }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        made().paint(painter, rect, Qt::AlignCenter, mode, state);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return made().pixmap(size, 1.0, mode, state);
    }

    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return pixmap(size, mode, state).size();
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return made().availableSizes(mode, state);
    }

    QString iconName() override { return made().name(); }

private:
    DeferredIconEngine(const DeferredIconEngine &other) = default;

    const QIcon &made()
    {
        if (m_make) {
            m_icon = m_make();
            m_make = nullptr;
        }
        return m_icon;
    }

    std::function<QIcon()> m_make;
    QIcon m_icon;
};

QIcon deferredIcon(std::function<QIcon()> make)
{
    return QIcon(new DeferredIconEngine(std::move(make)));
}

} // namespace

QIcon themedIcon(const QString &themeName, const QIcon &fallback)
{
    return deferredIcon([themeName, fallback] { return QIcon::fromTheme(themeName, fallback); });
}

QIcon paintedIcon(const std::function<void(QPainter &)> &paint, std::initializer_list<int> sizes)
{
    return deferredIcon([paint, sizes = QList<int>(sizes)] { return renderedIcon(paint, sizes); });
}

QIcon drawnToolbarIcon(ToolbarGlyph glyph)
{
    return paintedIcon([glyph](QPainter &p) { draw(p, glyph); });
}

QIcon toolbarIcon(ToolbarGlyph glyph)
{
    const QLatin1String name(themeName(glyph));
    if (name.isEmpty())
        return drawnToolbarIcon(glyph);
    return themedIcon(name, drawnToolbarIcon(glyph));
}

QIcon editorWindowIcon()
{
    const QIcon drawn = paintedIcon(
        [](QPainter &p) {
            sheet(p, QRectF(2.5, 0.5, 11, 15));
            p.setPen(QPen(QColor(0x40, 0x60, 0xb0), 1));
            for (int i = 0; i < 5; ++i)
                p.drawLine(QPointF(4.5, 3.5 + i * 2.2),
                           QPointF(i == 4 ? 8.5 : 11.5, 3.5 + i * 2.2));
        },
        {16, 32, 48});
    return themedIcon(QStringLiteral("accessories-text-editor"), drawn);
}
