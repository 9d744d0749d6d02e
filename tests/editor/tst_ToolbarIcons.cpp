// Toolbar and window icons are drawn when first painted. Until then nothing
// is drawn; afterwards they answer exactly as plain icons made of the
// pictures drawn: at other sizes, in every mode, and painted.
#include "editor/ToolbarIcons.h"

#include <QPainter>
#include <QPixmap>
#include <QtTest>

namespace {

void glyph(QPainter &p)
{
    p.setPen(QPen(Qt::darkBlue, 1.5));
    p.drawEllipse(QRectF(2, 2, 12, 12));
    p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("B"));
}

// A plain icon of the pictures a drawn icon holds at its own sizes.
QIcon plainIcon(const QIcon &drawn)
{
    QIcon icon;
    for (int size : {16, 32})
        icon.addPixmap(drawn.pixmap(size));
    return icon;
}

// What the icon paints into a square of `size` pixels.
QImage paintedBy(const QIcon &icon, int size, QIcon::Mode mode)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    icon.paint(&p, QRect(0, 0, size, size), Qt::AlignCenter, mode);
    return image;
}

} // namespace

class tst_ToolbarIcons : public QObject {
    Q_OBJECT
private slots:
    void drawnOnFirstUse();
    void answersAsPlainIcon_data();
    void answersAsPlainIcon();
};

void tst_ToolbarIcons::drawnOnFirstUse()
{
    int drawings = 0;
    const QIcon icon = paintedIcon([&drawings](QPainter &p) {
        ++drawings;
        glyph(p);
    });
    const QIcon copy = icon;
    QVERIFY(!icon.isNull());
    QCOMPARE(drawings, 0);
    QVERIFY(!copy.pixmap(16).isNull());
    QCOMPARE(drawings, 2); // both sizes at once
    QVERIFY(!copy.pixmap(32, QIcon::Disabled).isNull());
    QCOMPARE(drawings, 2);
}

void tst_ToolbarIcons::answersAsPlainIcon_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QIcon::Mode>("mode");
    for (int size : {16, 32, 24, 64, 8}) {
        for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Active, QIcon::Selected})
            QTest::addRow("%d px, mode %d", size, int(mode)) << size << mode;
    }
}

void tst_ToolbarIcons::answersAsPlainIcon()
{
    QFETCH(int, size);
    QFETCH(QIcon::Mode, mode);
    const QIcon drawn = paintedIcon(glyph);
    const QIcon plain = plainIcon(paintedIcon(glyph));
    // A theme name no theme has: the drawn icon stands in.
    const QIcon themed = themedIcon(QStringLiteral("quillet-test-no-such-icon"), drawn);
    for (const QIcon &icon : {drawn, themed}) {
        QCOMPARE(icon.availableSizes(mode), plain.availableSizes(mode));
        QCOMPARE(icon.actualSize(QSize(size, size), mode),
                 plain.actualSize(QSize(size, size), mode));
        QCOMPARE(icon.pixmap(size, mode).toImage(), plain.pixmap(size, mode).toImage());

        QCOMPARE(paintedBy(icon, size, mode), paintedBy(plain, size, mode));
    }
}

QTEST_MAIN(tst_ToolbarIcons)
#include "tst_ToolbarIcons.moc"
