#include "imaging/PictureDrawing.h"

#include <QRandomGenerator>
#include <QRegion>
#include <QtTest>

#include <set>

namespace {

constexpr QRgb White = 0xffffffff;
constexpr QRgb Black = 0xff000000;
constexpr QRgb Red = 0xffff0000;

QImage blank(int w = 40, int h = 30)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(White);
    return image;
}

// Pixels that differ from white.
std::set<std::pair<int, int>> inked(const QImage &image)
{
    std::set<std::pair<int, int>> result;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != White)
                result.insert({x, y});
    return result;
}

using PixelSet = std::set<std::pair<int, int>>;

PixelSet rectOutline(int l, int t, int r, int b)
{
    PixelSet s;
    for (int x = l; x <= r; ++x)
        s.insert({x, t}), s.insert({x, b});
    for (int y = t; y <= b; ++y)
        s.insert({l, y}), s.insert({r, y});
    return s;
}

DrawSettings settingsFor(DrawTool tool, int width = 1, PenStyle pen = PenStyle::Solid,
                         BrushStyle brush = BrushStyle::Clear, QRgb brushColor = White)
{
    DrawSettings s;
    s.tool = tool;
    s.penWidth = width;
    s.penStyle = pen;
    s.brushStyle = brush;
    s.brushColor = brushColor;
    return s;
}

} // namespace

Q_DECLARE_METATYPE(DrawTool)
Q_DECLARE_METATYPE(PenStyle)
Q_DECLARE_METATYPE(BrushStyle)

class tst_PictureDrawing : public QObject {
    Q_OBJECT
private slots:
    void exactShapes_data();
    void exactShapes();
    void sameBothWays_data();
    void sameBothWays();
    void roundedCornersAreQuarterEllipses();
    void notXorTwiceRestores_data();
    void notXorTwiceRestores();
    void equivalentPens_data();
    void equivalentPens();
    void hatchAndGaps();
    void changedAreasCoverChanges();
};

void tst_PictureDrawing::exactShapes_data()
{
    QTest::addColumn<DrawTool>("tool");
    QTest::addColumn<int>("width");
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<PixelSet>("expected");

    PixelSet horizontal;
    for (int x = 2; x < 9; ++x)
        horizontal.insert({x, 5});
    QTest::newRow("line, end pixel left out")
        << DrawTool::Line << 1 << QPoint(2, 5) << QPoint(9, 5) << horizontal;
    PixelSet diagonal;
    for (int i = 0; i < 4; ++i)
        diagonal.insert({10 - i, 10 - i});
    QTest::newRow("diagonal line up-left")
        << DrawTool::Line << 1 << QPoint(10, 10) << QPoint(6, 6) << diagonal;
    QTest::newRow("line to itself")
        << DrawTool::Line << 5 << QPoint(7, 7) << QPoint(7, 7) << PixelSet{};
    QTest::newRow("rectangle, right and bottom left out")
        << DrawTool::Rectangle << 1 << QPoint(3, 4) << QPoint(13, 10) << rectOutline(3, 4, 12, 9);
    PixelSet thick = rectOutline(2, 3, 13, 10);
    for (const auto &p : rectOutline(3, 4, 12, 9))
        thick.insert(p);
    QTest::newRow("rectangle, width 2")
        << DrawTool::Rectangle << 2 << QPoint(3, 4) << QPoint(13, 10) << thick;
    PixelSet wide;
    for (int y = 4; y <= 6; ++y)
        for (int x = 2; x <= 12; ++x)
            wide.insert({x, y});
    // Round ends of radius 1.5 reach one pixel past both ends.
    QTest::newRow("line, width 3") << DrawTool::Line << 3 << QPoint(3, 5) << QPoint(11, 5) << wide;
    QTest::newRow("rectangle one pixel wide")
        << DrawTool::Rectangle << 1 << QPoint(5, 5) << QPoint(6, 9) << rectOutline(5, 5, 5, 8);
    QTest::newRow("empty rectangle")
        << DrawTool::Rectangle << 1 << QPoint(5, 5) << QPoint(5, 9) << PixelSet{};
    QTest::newRow("clipped rectangle") << DrawTool::Rectangle << 1 << QPoint(-5, -5) << QPoint(3, 2)
                                       << PixelSet{{2, 0}, {2, 1}, {0, 1}, {1, 1}};
}

void tst_PictureDrawing::exactShapes()
{
    QFETCH(DrawTool, tool);
    QFETCH(int, width);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(PixelSet, expected);
    QImage image = blank();
    drawShape(image, settingsFor(tool, width), from, to, PenMode::Copy);
    const PixelSet got = inked(image);
    QCOMPARE(got, expected);
    for (const auto &[x, y] : got)
        QCOMPARE(image.pixel(x, y), Black);
}

void tst_PictureDrawing::sameBothWays_data()
{
    QTest::addColumn<DrawTool>("tool");
    QTest::addColumn<int>("width");
    QTest::addColumn<BrushStyle>("brush");
    for (DrawTool tool : {DrawTool::Rectangle, DrawTool::Ellipse, DrawTool::RoundRect}) {
        for (int width : {1, 4}) {
            for (BrushStyle brush : {BrushStyle::Clear, BrushStyle::Cross, BrushStyle::Solid}) {
                QTest::addRow("tool %d width %d brush %d", int(tool), width, int(brush))
                    << tool << width << brush;
            }
        }
    }
}

void tst_PictureDrawing::sameBothWays()
{
    // Dragging up-left gives the same shape as down-right; the shape keeps
    // to the box the corners span, less its right and bottom edges.
    QFETCH(DrawTool, tool);
    QFETCH(int, width);
    QFETCH(BrushStyle, brush);
    const DrawSettings s = settingsFor(tool, width, PenStyle::Solid, brush, Red);
    QImage down = blank(60, 50);
    QImage up = blank(60, 50);
    drawShape(down, s, QPoint(10, 8), QPoint(47, 35), PenMode::Copy);
    drawShape(up, s, QPoint(47, 35), QPoint(10, 8), PenMode::Copy);
    QCOMPARE(up, down);
    const int out = width / 2;
    const PixelSet px = inked(down);
    QVERIFY(!px.empty());
    int l = 1000, t = 1000, r = -1, b = -1;
    for (const auto &[x, y] : px)
        l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), b = std::max(b, y);
    QCOMPARE(QRect(QPoint(l, t), QPoint(r, b)),
             QRect(QPoint(10 - out, 8 - out), QPoint(46 + out, 34 + out)));
    // Mirror symmetric about the box's centre lines (hatch lines keep to
    // the picture's grid, so only outline and solid fill are).
    if (brush == BrushStyle::Cross)
        return;
    for (const auto &[x, y] : px) {
        QVERIFY(px.count({56 - x, y}));
        QVERIFY(px.count({x, 42 - y}));
    }
}

void tst_PictureDrawing::roundedCornersAreQuarterEllipses()
{
    // A 41 x 21 drag rounds its corners by an ellipse of 41 div 2 by 21 div 2,
    // the ellipse a 21 x 11 drag gives.
    QImage round = blank(60, 40);
    QImage ellipse = blank(60, 40);
    drawShape(round, settingsFor(DrawTool::RoundRect), QPoint(0, 0), QPoint(41, 21), PenMode::Copy);
    drawShape(ellipse, settingsFor(DrawTool::Ellipse), QPoint(0, 0), QPoint(21, 11), PenMode::Copy);
    QCOMPARE(round.copy(0, 0, 11, 6), ellipse.copy(0, 0, 11, 6));
    // Between the corners the edges are straight.
    for (int y = 6; y <= 14; ++y)
        QCOMPARE(round.pixel(0, y), Black);
    for (int x = 11; x <= 29; ++x)
        QCOMPARE(round.pixel(x, 0), Black);
    QCOMPARE(round.pixel(0, 2), White);
}

void tst_PictureDrawing::notXorTwiceRestores_data()
{
    QTest::addColumn<DrawTool>("tool");
    QTest::addColumn<int>("width");
    QTest::addColumn<PenStyle>("pen");
    QTest::addColumn<BrushStyle>("brush");
    for (DrawTool tool :
         {DrawTool::Line, DrawTool::Rectangle, DrawTool::Ellipse, DrawTool::RoundRect}) {
        QTest::addRow("tool %d thin dashed solid fill", int(tool))
            << tool << 1 << PenStyle::Dash << BrushStyle::Solid;
        QTest::addRow("tool %d dotted hatch", int(tool))
            << tool << 0 << PenStyle::Dot << BrushStyle::FDiagonal;
        QTest::addRow("tool %d wide cross", int(tool))
            << tool << 7 << PenStyle::Solid << BrushStyle::Cross;
    }
}

void tst_PictureDrawing::notXorTwiceRestores()
{
    QFETCH(DrawTool, tool);
    QFETCH(int, width);
    QFETCH(PenStyle, pen);
    QFETCH(BrushStyle, brush);
    QImage image(80, 60, QImage::Format_RGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, 0xff000000 | (random.generate() & 0xffffff));
    const QImage before = image;
    DrawSettings s = settingsFor(tool, width, pen, brush, 0xff3366cc);
    s.penColor = 0xff20a040;
    // Partly outside the picture, as a drag past its edge gives.
    drawShape(image, s, QPoint(70, 50), QPoint(-10, 5), PenMode::NotXor);
    QVERIFY(image != before);
    drawShape(image, s, QPoint(70, 50), QPoint(-10, 5), PenMode::NotXor);
    QCOMPARE(image, before);
}

void tst_PictureDrawing::equivalentPens_data()
{
    QTest::addColumn<DrawTool>("tool");
    QTest::addColumn<int>("widthA");
    QTest::addColumn<PenStyle>("styleA");
    QTest::addColumn<int>("widthB");
    QTest::addColumn<PenStyle>("styleB");
    for (DrawTool tool : {DrawTool::Line, DrawTool::Ellipse, DrawTool::RoundRect}) {
        QTest::addRow("tool %d dashed width 2 is solid", int(tool))
            << tool << 2 << PenStyle::Dash << 2 << PenStyle::Solid;
        QTest::addRow("tool %d dotted width 5 is solid", int(tool))
            << tool << 5 << PenStyle::Dot << 5 << PenStyle::Solid;
        QTest::addRow("tool %d width 0 is width 1", int(tool))
            << tool << 0 << PenStyle::Dash << 1 << PenStyle::Dash;
    }
}

void tst_PictureDrawing::equivalentPens()
{
    QFETCH(DrawTool, tool);
    QFETCH(int, widthA);
    QFETCH(PenStyle, styleA);
    QFETCH(int, widthB);
    QFETCH(PenStyle, styleB);
    QImage a = blank(80, 60);
    QImage b = blank(80, 60);
    drawShape(a, settingsFor(tool, widthA, styleA), QPoint(5, 50), QPoint(75, 4), PenMode::Copy);
    drawShape(b, settingsFor(tool, widthB, styleB), QPoint(5, 50), QPoint(75, 4), PenMode::Copy);
    QCOMPARE(a, b);
}

void tst_PictureDrawing::hatchAndGaps()
{
    // Hatch lines in the fill colour, the gaps transparent: white on white
    // leaves nothing; red shows every eighth row inside the outline only.
    QImage image = blank(40, 40);
    drawShape(image, settingsFor(DrawTool::Rectangle, 1, PenStyle::Solid, BrushStyle::Horizontal),
              QPoint(2, 2), QPoint(30, 30), PenMode::Copy);
    QCOMPARE(inked(image), rectOutline(2, 2, 29, 29));
    image = blank(40, 40);
    drawShape(image,
              settingsFor(DrawTool::Rectangle, 1, PenStyle::Solid, BrushStyle::Horizontal, Red),
              QPoint(2, 2), QPoint(30, 30), PenMode::Copy);
    for (int y = 3; y <= 28; ++y)
        for (int x = 3; x <= 28; ++x)
            QCOMPARE(image.pixel(x, y), y % 8 == 0 ? Red : White);

    // A dashed outline's gaps take the fill colour with a solid fill only.
    for (BrushStyle brush : {BrushStyle::Solid, BrushStyle::Cross}) {
        image = blank(40, 40);
        drawShape(image, settingsFor(DrawTool::Line, 1, PenStyle::Dash, brush, Red), QPoint(0, 5),
                  QPoint(40, 5), PenMode::Copy);
        QCOMPARE(image.pixel(17, 5), Black);
        QCOMPARE(image.pixel(18, 5), brush == BrushStyle::Solid ? Red : White);
        QCOMPARE(image.pixel(24, 5), Black);
    }
}

void tst_PictureDrawing::changedAreasCoverChanges()
{
    // What is reported as changed covers every changed pixel, without
    // covering the untouched middle of a large outline.
    QImage image = blank(400, 300);
    const QImage before = image;
    const auto areas = drawShape(image, settingsFor(DrawTool::Ellipse, 3), QPoint(10, 10),
                                 QPoint(390, 290), PenMode::NotXor);
    QRegion region;
    region.setRects(areas.data(), int(areas.size()));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != before.pixel(x, y))
                QVERIFY2(region.contains(QPoint(x, y)),
                         qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
    QVERIFY(!region.contains(QPoint(200, 150)));
}

QTEST_GUILESS_MAIN(tst_PictureDrawing)
#include "tst_PictureDrawing.moc"
