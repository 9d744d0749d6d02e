// The screen grab and the frozen-screen selection on the test session's X
// server. A window of the test's own covers the screen with a known pattern;
// the mouse and the keyboard are driven through the server (xdotool), and the
// screen is read back both by the program and by ImageMagick's import.
#include "imaging/Editscreen.h"
#include "imaging/thescreen.h"
#include "platform/ScreenGrab.h"
#include "platform/Services.h"
#include "tests/support/Desktop.h"

#include <QColorSpace>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The pattern's pixel at (x, y), in screen pixels: every neighbour differs.
// Two blocks are plain white and plain black, for the outline's colours.
const QRect WhiteBlock(100, 600, 200, 200);
const QRect BlackBlock(400, 600, 200, 200);

QRgb patternAt(int x, int y)
{
    if (WhiteBlock.contains(x, y))
        return qRgb(255, 255, 255);
    if (BlackBlock.contains(x, y))
        return qRgb(0, 0, 0);
    return qRgb(x & 255, y & 255, (x * 7 + y * 13) & 255);
}

QImage pattern(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = patternAt(x, y);
    }
    return image;
}

// Shows the pattern over the whole screen, one image pixel per screen pixel.
class PatternWindow : public QWidget {
public:
    explicit PatternWindow(const QImage &image)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint),
          m_image(image)
    {
        setGeometry(QGuiApplication::primaryScreen()->geometry());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        QImage shown = m_image;
        shown.setDevicePixelRatio(devicePixelRatio());
        painter.drawImage(0, 0, shown);
    }

private:
    QImage m_image;
};

// A plain window of one colour over `rect` (screen pixels), above the others.
std::unique_ptr<QWidget> coverWith(const QRect &rect, const QColor &colour)
{
    auto cover = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint |
                                                        Qt::X11BypassWindowManagerHint |
                                                        Qt::WindowStaysOnTopHint);
    const qreal ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
    cover->setGeometry(
        QRectF(rect.x() / ratio, rect.y() / ratio, rect.width() / ratio, rect.height() / ratio)
            .toAlignedRect());
    QPalette palette = cover->palette();
    palette.setColor(QPalette::Window, colour);
    cover->setPalette(palette);
    cover->setAutoFillBackground(true);
    cover->show();
    return cover;
}

// Pixels only: a file read back also carries its colour space.
QImage rgb(const QImage &image)
{
    QImage pixels = image.convertToFormat(QImage::Format_RGB32);
    pixels.setColorSpace({});
    return pixels;
}

QImage grabNow(const QRect &rect)
{
    QImage image;
    ScreenShot(rect.x(), rect.y(), rect.width(), rect.height(), image);
    return rgb(image);
}

// The same screen area read by ImageMagick, independently of the program.
QImage importRegion(const QRect &rect)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("cut.png"));
    const QString crop = QStringLiteral("%1x%2+%3+%4")
                             .arg(rect.width())
                             .arg(rect.height())
                             .arg(rect.x())
                             .arg(rect.y());
    QProcess::execute(QStringLiteral("/usr/bin/import"),
                      {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"),
                       crop, QStringLiteral("+repage"), file});
    return rgb(QImage(file));
}

void xdotool(const QStringList &args)
{
    Desktop::run(QStringLiteral("xdotool"), args);
}

void moveTo(QPoint p)
{
    xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
}

void clickAt(QPoint p, int button = 1)
{
    xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y()),
             QStringLiteral("click"), QString::number(button)});
}

int countOf(const QImage &image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xffffff) == (colour & 0xffffff);
    return n;
}

} // namespace

class tst_thescreen : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void screenShot_data();
    void screenShot();
    void cutOut_data();
    void cutOut();
    void label();
    void frozenImageShown_data();
    void frozenImageShown();
    void outlineShowsOnAnyBackground();
    void purpose_data();
    void purpose();

private:
    // Starts a capture; first, unless told not to, hides the editor and
    // waits until the screen shows the pattern alone.
    TScreenLock *startCapture(bool settle = true);
    // Marks the rectangle from `from` to `to` on the frozen screen and waits
    // until the selection window is gone.
    void mark(TScreenLock *lock, QPoint from, QPoint to);

    QSize m_screen;
    QImage m_pattern;
    std::unique_ptr<PatternWindow> m_patternWindow;
    std::unique_ptr<TEditScreen> m_editor;
    QString m_captureStatus;
    QString m_pendingAction;
    QStringList m_ran;
};

void tst_thescreen::initTestCase()
{
    m_screen = platform::services().screenGrab().screenSize();
    QVERIFY(!m_screen.isEmpty());
    m_pattern = pattern(m_screen);
    m_patternWindow = std::make_unique<PatternWindow>(m_pattern);
    m_patternWindow->show();
    // The pattern is on screen once the grab reads it back.
    QTRY_COMPARE(grabNow(QRect(QPoint(0, 0), m_screen)), m_pattern);

    CaptureTrayLink &tray = captureTray();
    tray.captureStatus = &m_captureStatus;
    tray.pendingAction = &m_pendingAction;
    tray.saver = [this] { m_ran << QStringLiteral("save"); };
    tray.prints = [this] { m_ran << QStringLiteral("print"); };
}

void tst_thescreen::init()
{
    m_editor = std::make_unique<TEditScreen>();
    m_captureStatus.clear();
    m_pendingAction.clear();
    m_ran.clear();
}

void tst_thescreen::cleanup()
{
    m_editor.reset();
    QTRY_COMPARE(grabNow(QRect(QPoint(0, 0), m_screen)), m_pattern);
}

void tst_thescreen::screenShot_data()
{
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QRect>("inside"); // the part on the desktop; the rest is white
    QTest::addColumn<bool>("untouched");

    QTest::newRow("inside") << QRect(37, 41, 300, 200) << QRect(37, 41, 300, 200) << false;
    QTest::newRow("one pixel") << QRect(5, 7, 1, 1) << QRect(5, 7, 1, 1) << false;
    QTest::newRow("large") << QRect(10, 20, 900, 700) << QRect(10, 20, 900, 700) << false;
    QTest::newRow("zero width") << QRect(10, 10, 0, 5) << QRect() << true;
    QTest::newRow("negative height") << QRect(10, 10, 5, -3) << QRect() << true;
    QTest::newRow("over the left edge") << QRect(-20, 30, 50, 10) << QRect(0, 30, 30, 10) << false;
    QTest::newRow("beyond the screen") << QRect(5000, 5000, 4, 4) << QRect() << false;
}

void tst_thescreen::screenShot()
{
    QFETCH(QRect, rect);
    QFETCH(QRect, inside);
    QFETCH(bool, untouched);

    QImage bitmap(3, 3, QImage::Format_RGB32);
    bitmap.fill(Qt::green);
    const QImage before = bitmap;
    ScreenShot(rect.x(), rect.y(), rect.width(), rect.height(), bitmap);
    if (untouched) {
        QCOMPARE(bitmap, before);
        return;
    }
    QCOMPARE(bitmap.size(), rect.size());
    // The display's depth: 32-bit pixels on the 24-bit test server.
    QCOMPARE(bitmap.format(), QImage::Format_RGB32);
    QImage expected(rect.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    if (!inside.isEmpty()) {
        QPainter painter(&expected);
        painter.drawImage(inside.topLeft() - rect.topLeft(), m_pattern.copy(inside));
    }
    QCOMPARE(rgb(bitmap), expected);
}

TScreenLock *tst_thescreen::startCapture(bool settle)
{
    if (settle)
        m_editor->hide();
    // Windows gone from the screen leave their pixels until the pattern
    // window repaints; the capture freezes whatever is there.
    const QRect screen(QPoint(0, 0), m_screen);
    QElapsedTimer clock;
    clock.start();
    while (settle && grabNow(screen) != m_pattern && clock.elapsed() < 5000)
        QTest::qWait(10);
    m_editor->CaptureButClick();
    auto *lock = m_editor->findChild<TScreenLock *>();
    if (!lock || !lock->isVisible())
        return nullptr;
    // On screen once its instructions are.
    const QRect label(lock->Label1->mapToGlobal(QPoint(0, 0)) * lock->devicePixelRatio(),
                      QSize(4, 4));
    clock.restart();
    while (countOf(grabNow(label), qRgb(255, 255, 0)) != 16 && clock.elapsed() < 5000)
        QTest::qWait(10);
    return lock;
}

void tst_thescreen::mark(TScreenLock *lock, QPoint from, QPoint to)
{
    QPointer<TScreenLock> alive(lock);
    clickAt(from);
    QTRY_VERIFY(lock->selecting());
    moveTo(to);
    const QRect expected(std::min(from.x(), to.x()), std::min(from.y(), to.y()),
                         std::abs(to.x() - from.x()), std::abs(to.y() - from.y()));
    QTRY_COMPARE(lock->bevel1(), expected);
    clickAt(to);
    QTRY_VERIFY(alive.isNull());
}

void tst_thescreen::cutOut_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRect>("inside");

    QTest::newRow("3 x 3: the pixel inside")
        << QPoint(200, 100) << QPoint(203, 103) << QRect(201, 101, 1, 1);
    QTest::newRow("no move") << QPoint(200, 100) << QPoint(200, 100) << QRect();
    QTest::newRow("2 wide") << QPoint(200, 100) << QPoint(202, 160) << QRect();
    QTest::newRow("1 high") << QPoint(200, 100) << QPoint(260, 101) << QRect();
    QTest::newRow("top-left to bottom-right")
        << QPoint(150, 120) << QPoint(260, 200) << QRect(151, 121, 108, 78);
    QTest::newRow("bottom-right to top-left")
        << QPoint(260, 200) << QPoint(150, 120) << QRect(151, 121, 108, 78);
    QTest::newRow("top-right to bottom-left")
        << QPoint(260, 120) << QPoint(150, 200) << QRect(151, 121, 108, 78);
}

void tst_thescreen::cutOut()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QRect, inside);

    m_editor->setPicture(QImage(7, 7, QImage::Format_RGB32));
    TScreenLock *lock = startCapture();
    QVERIFY(lock);
    QVERIFY(!m_editor->isVisible());
    mark(lock, from, to);

    // Purpose edit: the editor shows the cut-out.
    QTRY_VERIFY(m_editor->isVisible());
    const QImage picture = m_editor->picture();
    if (inside.isEmpty()) {
        QVERIFY(picture.isNull());
        return;
    }
    QCOMPARE(rgb(picture), m_pattern.copy(inside));
    m_editor->hide();
    QTRY_COMPARE(importRegion(inside), rgb(picture));
}

void tst_thescreen::label()
{
    // A rectangle around the screen's centre, where the instructions are.
    const QPoint centre(m_screen.width() / 2, m_screen.height() / 2);
    const QPoint from = centre - QPoint(150, 200), to = centre + QPoint(150, 20);
    const QRect inside(from + QPoint(1, 1), QSize(to.x() - from.x() - 2, to.y() - from.y() - 2));
    const QRgb yellow = qRgb(255, 255, 0);

    TScreenLock *lock = startCapture();
    QVERIFY(lock);
    mark(lock, from, to);
    const QImage withLabel = rgb(m_editor->picture());
    QCOMPARE(withLabel.size(), inside.size());
    QVERIFY(countOf(withLabel, yellow) > inside.width() * 20);

    lock = startCapture();
    QVERIFY(lock);
    clickAt(centre, 3);
    QTRY_VERIFY(!lock->Label1->isVisible());
    mark(lock, from, to);
    QCOMPARE(rgb(m_editor->picture()), m_pattern.copy(inside));
}

void tst_thescreen::frozenImageShown_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("byServer");

    QTest::newRow("the grab itself") << "grab" << true;
    QTest::newRow("a 32-bit picture") << "rgb32" << true;
    QTest::newRow("a 24-bit picture (painted by the window)") << "rgb888" << false;
}

// The frozen window shows its image, pixel for pixel, whatever the screen
// under it shows meanwhile; uncovered by the instructions, the image is there.
void tst_thescreen::frozenImageShown()
{
    QFETCH(QString, source);
    QFETCH(bool, byServer);

    const QRect screen(QPoint(0, 0), m_screen);
    QImage frozen;
    if (source == QLatin1String("grab")) {
        ScreenShot(0, 0, m_screen.width(), m_screen.height(), frozen);
        QCOMPARE(rgb(frozen), m_pattern);
    } else {
        frozen = m_pattern;
        frozen.invertPixels();
        if (source == QLatin1String("rgb888"))
            frozen = frozen.convertToFormat(QImage::Format_RGB888);
    }
    // Something else on the screen, so only a window that shows the image
    // brings it back.
    const auto cover = coverWith(screen, Qt::magenta);
    QTRY_COMPARE(grabNow(QRect(0, 0, 8, 8)).pixel(3, 3), qRgb(255, 0, 255));

    QPointer<TScreenLock> lock = new TScreenLock(m_editor.get());
    lock->setFrozenImage(frozen);
    lock->show();
    QCOMPARE(lock->serverShowsFrozenImage(), byServer);
    lock->Image1MouseDown(Qt::RightButton, QPoint());
    QVERIFY(!lock->Label1->isVisible());
    QTRY_COMPARE(grabNow(screen), rgb(frozen));

    lock->FormKeyDown();
    QTRY_VERIFY(lock.isNull());
}

void tst_thescreen::outlineShowsOnAnyBackground()
{
    struct Case {
        QRect block;
        QRgb outline;
    };
    for (const Case &c : {Case{WhiteBlock, qRgb(255, 0, 0)}, Case{BlackBlock, qRgb(0, 255, 255)}}) {
        TScreenLock *lock = startCapture();
        QVERIFY(lock);
        const QPoint from = c.block.topLeft() + QPoint(10, 10);
        clickAt(from);
        QTRY_VERIFY(lock->selecting());
        moveTo(from + QPoint(150, 150));
        QTRY_COMPARE(lock->bevel1().size(), QSize(150, 150));
        // The left edge, read from the screen while marking: dashes in the
        // outline's colour, gaps in the block's own.
        const QRect edge(from, QSize(1, 150));
        QTRY_VERIFY(countOf(grabNow(edge), c.outline) > 50);
        const QImage marked = grabNow(edge);
        QCOMPARE(countOf(marked, c.outline) +
                     countOf(marked, c.block == WhiteBlock ? qRgb(255, 255, 255) : qRgb(0, 0, 0)),
                 150);
        // Covered for a while by another window, the outline is whole again.
        {
            const auto cover = coverWith(QRect(from - QPoint(20, 20), QSize(60, 60)), Qt::green);
            QTRY_COMPARE(grabNow(QRect(from, QSize(1, 1))).pixel(0, 0), qRgb(0, 255, 0));
        }
        QTRY_COMPARE(grabNow(edge), marked);
        // Moved away, the old outline leaves the frozen image as it was.
        moveTo(from + QPoint(40, 40));
        QTRY_COMPARE(lock->bevel1().size(), QSize(40, 40));
        const QRect old(from + QPoint(60, 0), QSize(91, 151));
        QTRY_COMPARE(grabNow(old), m_pattern.copy(old));
        // Any key cancels.
        QPointer<TScreenLock> alive(lock);
        xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
        QTRY_VERIFY(alive.isNull());
    }
}

void tst_thescreen::purpose_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("key"); // cancels, when given
    QTest::addColumn<QStringList>("ran");
    QTest::addColumn<bool>("editorShown");

    const QStringList none;
    QTest::newRow("edit") << ""
                          << ""
                          << "" << none << true;
    QTest::newRow("save") << "no"
                          << "savethis"
                          << "" << QStringList{"save"} << false;
    QTest::newRow("print") << "no"
                           << "printthis"
                           << "" << QStringList{"print"} << false;
    QTest::newRow("other action") << "no"
                                  << "other"
                                  << "" << none << false;
    QTest::newRow("save cancelled by Shift") << "no"
                                             << "savethis"
                                             << "shift" << none << false;
    QTest::newRow("edit cancelled by Ctrl") << ""
                                            << ""
                                            << "ctrl" << none << false;
    QTest::newRow("print cancelled by a letter") << "no"
                                                 << "printthis"
                                                 << "q" << none << false;
}

void tst_thescreen::purpose()
{
    QFETCH(QString, status);
    QFETCH(QString, action);
    QFETCH(QString, key);
    QFETCH(QStringList, ran);
    QFETCH(bool, editorShown);

    // The editor was showing an older picture when the capture started.
    QImage old(5, 5, QImage::Format_RGB32);
    old.fill(Qt::blue);
    m_editor->setPicture(old);
    // Away from the marked rectangle: it leaves its pixels when it hides.
    m_editor->move(700, 700);
    m_editor->show();
    m_captureStatus = status;
    m_pendingAction = action;

    TScreenLock *lock = startCapture(false);
    QVERIFY(lock);
    QVERIFY(!m_editor->isVisible());
    const QRect inside(301, 201, 38, 18);
    if (key.isEmpty()) {
        mark(lock, QPoint(300, 200), QPoint(340, 220));
        QCOMPARE(rgb(m_editor->picture()), m_pattern.copy(inside));
    } else {
        QPointer<TScreenLock> alive(lock);
        xdotool({QStringLiteral("key"), key});
        QTRY_VERIFY(alive.isNull());
        QCOMPARE(m_editor->picture(), old);
    }
    QCOMPARE(m_ran, ran);
    QCOMPARE(m_editor->isVisible(), editorShown);
    QCOMPARE(m_captureStatus, QString());
    QCOMPARE(m_pendingAction, QString());

    // The next capture, started as "Edit this now!" starts it, opens the
    // editor with its own picture and runs nothing else.
    m_ran.clear();
    lock = startCapture();
    QVERIFY(lock);
    mark(lock, QPoint(300, 200), QPoint(340, 220));
    QTRY_VERIFY(m_editor->isVisible());
    QCOMPARE(rgb(m_editor->picture()), m_pattern.copy(inside));
    QCOMPARE(m_ran, QStringList());
}

QTEST_MAIN(tst_thescreen)
#include "tst_thescreen.moc"
