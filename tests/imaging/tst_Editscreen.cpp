#include "imaging/Editscreen.h"

#include "imaging/TColorButton.h"
#include "imaging/TPictureBox.h"

#include "app/QuilletApplication.h"
#include "tests/support/Desktop.h"
#include "tests/support/TestFolder.h"

#include <QClipboard>
#include <QColorDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QRandomGenerator>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

QImage white(int w = 200, int h = 200)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

QImage noise(int w, int h, quint32 seed)
{
    QImage image(w, h, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, 0xff000000 | (random.generate() & 0xffffff));
    return image;
}

QImage drawn(QImage image, DrawSettings settings, QPoint from, QPoint to)
{
    drawShape(image, settings, from, to, PenMode::Copy);
    return image;
}

void xdotool(const QStringList &args)
{
    Desktop::run(QStringLiteral("xdotool"), args);
}

// Answers the modal dialogs as they come, one after the other: input
// queries with the next of `answers` (recording their texts), error boxes
// with OK (recording the message).
class DialogAnswers : public QObject {
public:
    explicit DialogAnswers(QStringList answers) : m_answers(std::move(answers))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible() || modal == m_last)
                return;
            m_last = modal;
            if (auto *query = qobject_cast<QInputDialog *>(modal)) {
                asked << query->windowTitle() + QLatin1Char('|') + query->labelText() +
                             QLatin1Char('|') + query->textValue();
                query->setTextValue(m_answers.value(asked.size() - 1));
                query->accept();
            } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                error = box->text();
                box->accept();
            }
        });
        m_timer.start(20);
    }
    QStringList asked;
    QString error;

private:
    QStringList m_answers;
    QPointer<QWidget> m_last;
    QTimer m_timer;
};

} // namespace

class tst_Editscreen : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void startsWhiteWithBlackPen();
    void toolsDrawBothWays_data();
    void toolsDrawBothWays();
    void toolbarSettingsReachTheDrawing_data();
    void toolbarSettingsReachTheDrawing();
    void hatchButtonsAndFillColour();
    void penWidthField_data();
    void penWidthField();
    void drawCutUndo();
    void undoBeforeAnyPressEmpties();
    void rightDragDrawsWithoutSnapshotAndOpensMenu();
    void pasteFromAnotherProgram_data();
    void pasteFromAnotherProgram();
    void newBlankImage_data();
    void newBlankImage();
    void statusPanels();
    void hidingKeepsThePicture_data();
    void hidingKeepsThePicture();
    void buttonHooks_data();
    void buttonHooks();
    void colourButton_data();
    void colourButton();

private:
    void showEditor(TEditScreen *editor);
    // A mouse drag on the picture through the X server, in picture pixels.
    void drag(QPoint from, QPoint to, int button = 1);
    void click(QWidget *control, int button = 1);
    void key(const char *keys) { xdotool({QStringLiteral("key"), QLatin1String(keys)}); }
    QImage readClipboardPng();

    TEditScreen *m_ed = nullptr;
    std::unique_ptr<TestFolder> m_folder;
};

void tst_Editscreen::initTestCase()
{
    m_folder = std::make_unique<TestFolder>();
    m_ed = new TEditScreen;
    EditScreen = m_ed;
    m_ed->move(30, 40);
    // Wide enough to show the whole toolbar.
    m_ed->resize(660, 420);
    showEditor(m_ed);
}

void tst_Editscreen::showEditor(TEditScreen *editor)
{
    editor->show();
    editor->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(editor));
    QTRY_VERIFY(editor->Image->hasFocus());
}

void tst_Editscreen::init()
{
    if (!m_ed->isVisible()) {
        showEditor(m_ed);
    } else if (!m_ed->isActiveWindow()) {
        // A closed dialog may leave the window inactive a moment.
        m_ed->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_ed));
    }
    m_ed->PopupMenu1->hide();
    m_ed->PenSize->setText(QStringLiteral("1"));
    m_ed->Image->setFocus();
}

void tst_Editscreen::cleanupTestCase()
{
    delete m_ed;
    EditScreen = nullptr;
}

void tst_Editscreen::drag(QPoint from, QPoint to, int button)
{
    const QPoint a = m_ed->Image->mapTo(m_ed, from);
    const QPoint b = m_ed->Image->mapTo(m_ed, to);
    const QString window = QString::number(m_ed->winId());
    const QString which = QString::number(button);
    m_ed->StatusOrigin->clear();
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
             QString::number(a.x()), QString::number(a.y()), QStringLiteral("mousedown"), which,
             QStringLiteral("mousemove"), QStringLiteral("--window"), window,
             QString::number(b.x()), QString::number(b.y()), QStringLiteral("mouseup"), which});
    // The release is the last event; the panels show the press and the move
    // before it.
    QTRY_COMPARE(m_ed->StatusOrigin->text(),
                 QStringLiteral("Origin: (%1, %2)").arg(from.x()).arg(from.y()));
    QTRY_COMPARE(m_ed->StatusCurrent->text(),
                 QStringLiteral("Current: (%1, %2)").arg(to.x()).arg(to.y()));
}

void tst_Editscreen::click(QWidget *control, int button)
{
    const QPoint at = control->mapTo(m_ed, control->rect().center());
    Desktop::click(m_ed->winId(), at.x(), at.y(), button);
}

QImage tst_Editscreen::readClipboardPng()
{
    // Read while our event loop runs: this program owns the clipboard and
    // must answer the reader.
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                 QStringLiteral("image/png"), QStringLiteral("-o")});
    QDeadlineTimer deadline(10000);
    while (xclip.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(10);
    return QImage::fromData(xclip.readAllStandardOutput(), "PNG");
}

void tst_Editscreen::startsWhiteWithBlackPen()
{
    TEditScreen fresh;
    QCOMPARE(fresh.picture(), white());
    QCOMPARE(fresh.windowTitle(), QStringLiteral("Quillet! Image Editor"));
    const DrawSettings &s = fresh.drawSettings();
    QCOMPARE(s.penColor, QColor(Qt::black).rgb());
    QCOMPARE(s.penWidth, 1);
    QCOMPARE(s.penStyle, PenStyle::Solid);
    QCOMPARE(s.brushStyle, BrushStyle::Clear);
    for (QToolButton *down : {fresh.LineButton, fresh.SolidPen, fresh.ClearBrush})
        QVERIFY(down->isChecked());
}

void tst_Editscreen::toolsDrawBothWays_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("tool");
    for (auto [name, tool] : {std::pair{"LineButton", DrawTool::Line},
                              {"RectangleButton", DrawTool::Rectangle},
                              {"EllipseButton", DrawTool::Ellipse},
                              {"RoundRectButton", DrawTool::RoundRect}})
        QTest::newRow(name) << QString::fromLatin1(name) << int(tool);
}

void tst_Editscreen::toolsDrawBothWays()
{
    QFETCH(QString, button);
    QFETCH(int, tool);
    click(m_ed->findChild<QToolButton *>(button));
    QTRY_VERIFY(m_ed->findChild<QToolButton *>(button)->isChecked());
    DrawSettings s;
    s.tool = DrawTool(tool);
    // The last drag ends outside the picture, which still gets the mouse.
    for (auto [from, to] : {std::pair{QPoint(20, 30), QPoint(120, 90)},
                            {QPoint(120, 90), QPoint(20, 30)},
                            {QPoint(150, 160), QPoint(260, 240)}}) {
        m_ed->setPicture(white());
        drag(from, to);
        QTRY_COMPARE(m_ed->picture(), drawn(white(), s, from, to));
        if (s.tool != DrawTool::Line)
            QCOMPARE(m_ed->picture(), drawn(white(), s, to, from));
    }
    click(m_ed->LineButton);
}

void tst_Editscreen::toolbarSettingsReachTheDrawing_data()
{
    QTest::addColumn<QString>("penButton");
    QTest::addColumn<QString>("width");
    QTest::addColumn<int>("expectedStyle");
    QTest::addColumn<int>("expectedWidth");
    QTest::newRow("dashed width 2 draws solid") << "DashPen"
                                                << "2" << int(PenStyle::Solid) << 2;
    QTest::newRow("dotted width 0 draws as width 1") << "DotPen"
                                                     << "0" << int(PenStyle::Dot) << 1;
    QTest::newRow("dashed width 1") << "DashPen"
                                    << "1" << int(PenStyle::Dash) << 1;
}

void tst_Editscreen::toolbarSettingsReachTheDrawing()
{
    QFETCH(QString, penButton);
    QFETCH(QString, width);
    QFETCH(int, expectedStyle);
    QFETCH(int, expectedWidth);
    click(m_ed->RectangleButton);
    click(m_ed->findChild<QToolButton *>(penButton));
    m_ed->PenSize->setText(width);
    m_ed->setPicture(white());
    drag(QPoint(10, 10), QPoint(150, 120));
    DrawSettings s;
    s.tool = DrawTool::Rectangle;
    s.penStyle = PenStyle(expectedStyle);
    s.penWidth = expectedWidth;
    QTRY_COMPARE(m_ed->picture(), drawn(white(), s, QPoint(10, 10), QPoint(150, 120)));
    m_ed->PenSize->setText(QStringLiteral("1"));
    click(m_ed->SolidPen);
    click(m_ed->LineButton);
    QTRY_VERIFY(m_ed->LineButton->isChecked());
}

void tst_Editscreen::hatchButtonsAndFillColour()
{
    click(m_ed->RectangleButton);
    click(m_ed->HorizontalBrush); // "Vert Lines"
    QTRY_VERIFY(m_ed->HorizontalBrush->isChecked());
    QVERIFY(!m_ed->ClearBrush->isChecked());
    // White hatch on white shows nothing but the outline.
    m_ed->setPicture(white());
    drag(QPoint(10, 10), QPoint(100, 100));
    DrawSettings outline;
    outline.tool = DrawTool::Rectangle;
    QTRY_COMPARE(m_ed->picture(), drawn(white(), outline, QPoint(10, 10), QPoint(100, 100)));

    // The colour dialog offers the button's colour; the chosen one fills.
    QColor offered;
    auto pick = std::make_unique<QTimer>();
    connect(pick.get(), &QTimer::timeout, this, [&] {
        if (auto *d = qobject_cast<QColorDialog *>(QApplication::activeModalWidget())) {
            offered = d->currentColor();
            d->setCurrentColor(Qt::red);
            d->accept();
        }
    });
    pick->start(20);
    click(m_ed->BrushColor);
    QTRY_COMPARE(m_ed->BrushColor->color(), QColor(Qt::red));
    pick.reset();
    QCOMPARE(offered, QColor(Qt::white));
    m_ed->setPicture(white());
    drag(QPoint(10, 10), QPoint(100, 100));
    QTRY_COMPARE(m_ed->picture().pixel(50, 10), QColor(Qt::black).rgb());
    // Lines run horizontally, every eighth row, inside the outline.
    for (int y = 11; y < 99; ++y)
        for (int x : {11, 40, 98})
            QCOMPARE(m_ed->picture().pixel(x, y),
                     (y % 8 == 0 ? QColor(Qt::red) : QColor(Qt::white)).rgb());
    m_ed->BrushColor->setColor(Qt::white);
    click(m_ed->ClearBrush);
    click(m_ed->LineButton);
    QTRY_VERIFY(m_ed->LineButton->isChecked());
}

void tst_Editscreen::penWidthField_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("then");
    QTest::addColumn<int>("expected");
    QTest::newRow("whole number") << "37"
                                  << "" << 37;
    QTest::newRow("zero") << "0"
                          << "" << 0;
    // Typed key by key: each text that is a whole number in range applies.
    QTest::newRow("above range keeps the last") << "101"
                                                << "" << 10;
    QTest::newRow("negative keeps the last") << "-3"
                                             << "" << 1;
    QTest::newRow("letters keep the last") << "4a"
                                           << "" << 4;
    QTest::newRow("letters only") << "abc"
                                  << "" << 1;
    QTest::newRow("up stops at 100") << "100"
                                     << "PenWidthUp" << 100;
    QTest::newRow("down stops at 0") << "0"
                                     << "PenWidthDown" << 0;
    QTest::newRow("up steps") << "7"
                              << "PenWidthUp" << 8;
    QTest::newRow("arrow key does not step") << "7"
                                             << "Up" << 7;
}

void tst_Editscreen::penWidthField()
{
    QFETCH(QString, typed);
    QFETCH(QString, then);
    QFETCH(int, expected);
    click(m_ed->PenSize);
    QTRY_VERIFY(m_ed->PenSize->hasFocus());
    key("ctrl+a");
    xdotool({QStringLiteral("type"), QStringLiteral("--"), typed});
    QTRY_COMPARE(m_ed->PenSize->text(), typed);
    if (then == QLatin1String("Up"))
        key("Up");
    else if (!then.isEmpty())
        click(m_ed->findChild<QToolButton *>(then));
    QTRY_COMPARE(m_ed->penWidth(), expected);
    // A press on the picture applies it.
    drag(QPoint(5, 5), QPoint(5, 5));
    QCOMPARE(m_ed->drawSettings().penWidth, expected);
    m_ed->setPicture(white());
}

void tst_Editscreen::drawCutUndo()
{
    m_ed->setPicture(white());
    DrawSettings line;
    drag(QPoint(10, 10), QPoint(90, 60));
    const QImage afterFirst = drawn(white(), line, QPoint(10, 10), QPoint(90, 60));
    QTRY_COMPARE(m_ed->picture(), afterFirst);
    drag(QPoint(10, 100), QPoint(190, 20));
    const QImage afterSecond = drawn(afterFirst, line, QPoint(10, 100), QPoint(190, 20));
    QTRY_COMPARE(m_ed->picture(), afterSecond);

    key("ctrl+x");
    QTRY_COMPARE(m_ed->picture(), white());
    // What was cut is on the clipboard, for any program to read.
    QTRY_COMPARE(readClipboardPng().convertToFormat(QImage::Format_RGB32), afterSecond);

    // Undo goes back to the last left press, not to just before Cut; again
    // changes nothing.
    key("ctrl+z");
    QTRY_COMPARE(m_ed->picture(), afterFirst);
    key("ctrl+z");
    QTest::qWait(100);
    QCOMPARE(m_ed->picture(), afterFirst);

    key("ctrl+c");
    QTRY_COMPARE(readClipboardPng().convertToFormat(QImage::Format_RGB32), afterFirst);
}

void tst_Editscreen::undoBeforeAnyPressEmpties()
{
    TEditScreen fresh;
    fresh.move(60, 80);
    showEditor(&fresh);
    key("ctrl+z");
    QTRY_VERIFY(fresh.picture().isNull());
    QCOMPARE(fresh.Image->size(), QSize(0, 0));
}

void tst_Editscreen::rightDragDrawsWithoutSnapshotAndOpensMenu()
{
    m_ed->setPicture(white());
    DrawSettings line;
    drag(QPoint(10, 10), QPoint(90, 60));
    const QImage afterLeft = drawn(white(), line, QPoint(10, 10), QPoint(90, 60));
    QTRY_COMPARE(m_ed->picture(), afterLeft);

    drag(QPoint(30, 150), QPoint(170, 140), 3);
    QTRY_COMPARE(m_ed->picture(), drawn(afterLeft, line, QPoint(30, 150), QPoint(170, 140)));
    QCOMPARE(m_ed->StatusOrigin->text(), QStringLiteral("Origin: (30, 150)"));
    QTRY_VERIFY(m_ed->PopupMenu1->isVisible());
    QStringList shown;
    for (QAction *a : m_ed->PopupMenu1->actions())
        if (a->isVisible())
            shown << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(shown, QStringList({"Undo", "-", "Cut", "Copy", "Paste"}));
    key("Escape");
    QTRY_VERIFY(!m_ed->PopupMenu1->isVisible());

    // The snapshot is still the one of the left press.
    key("ctrl+z");
    QTRY_COMPARE(m_ed->picture(), white());
}

void tst_Editscreen::pasteFromAnotherProgram_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("larger") << QSize(300, 250);
    QTest::newRow("smaller") << QSize(50, 40);
    QTest::newRow("no picture") << QSize();
}

void tst_Editscreen::pasteFromAnotherProgram()
{
    QFETCH(QSize, size);
    const QImage before = noise(200, 200, 1);
    m_ed->setPicture(before);
    QImage expected = before;
    QProcess xclip;
    if (size.isValid()) {
        const QImage pasted = noise(size.width(), size.height(), 2);
        const QString file = m_folder->path() + QStringLiteral("/paste.png");
        QVERIFY(pasted.save(file));
        xclip.start(QStringLiteral("xclip"),
                    {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                     QStringLiteral("-t"), QStringLiteral("image/png"), QStringLiteral("-i"),
                     file});
        for (int y = 0; y < std::min(200, size.height()); ++y)
            for (int x = 0; x < std::min(200, size.width()); ++x)
                expected.setPixel(x, y, pasted.pixel(x, y));
    } else {
        QApplication::clipboard()->setText(QStringLiteral("only text"));
    }
    QTRY_VERIFY(xclip.state() == QProcess::NotRunning);
    QTRY_VERIFY(size.isValid() == QApplication::clipboard()->mimeData()->hasImage());
    key("ctrl+v");
    if (!size.isValid())
        QTest::qWait(200);
    QTRY_COMPARE(m_ed->picture(), expected);
}

void tst_Editscreen::newBlankImage_data()
{
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QSize>("expected"); // invalid: unchanged
    QTest::addColumn<QString>("error");
    QTest::newRow("presets") << "150"
                             << "150" << QSize(150, 150) << "";
    QTest::newRow("tall") << "120"
                          << "30" << QSize(30, 120) << "";
    QTest::newRow("zero height") << "0"
                                 << "150" << QSize(0, 0) << "";
    QTest::newRow("zero width") << "150"
                                << "0" << QSize(0, 0) << "";
    QTest::newRow("letters") << "abc"
                             << "150" << QSize() << "'abc' is not a valid integer value";
    QTest::newRow("letters in width") << "150"
                                      << "1.5" << QSize() << "'1.5' is not a valid integer value";
    QTest::newRow("negative") << "-5"
                              << "150" << QSize() << "-5";
    QTest::newRow("too large") << "150"
                               << "100000" << QSize() << "100000";
    QTest::newRow("too many bytes") << "30000"
                                    << "30000" << QSize() << "256 MB";
}

void tst_Editscreen::newBlankImage()
{
    QFETCH(QString, height);
    QFETCH(QString, width);
    QFETCH(QSize, expected);
    QFETCH(QString, error);
    const QImage before = noise(60, 50, 3);
    m_ed->setPicture(before);
    DialogAnswers answers({height, width});
    click(m_ed->SpeedButton12);
    QTRY_COMPARE(answers.asked.size(), 2);
    QCOMPARE(answers.asked, QStringList({"New Image|Height of new image?|150",
                                         "New Image|Width of new image?|150"}));
    if (!error.isEmpty()) {
        QTRY_VERIFY(!answers.error.isEmpty());
        QVERIFY2(answers.error.contains(error), qPrintable(answers.error));
        QCOMPARE(m_ed->picture(), before);
    } else if (expected.isEmpty()) {
        QTRY_VERIFY(m_ed->picture().isNull());
    } else {
        QTRY_COMPARE(m_ed->picture(), white(expected.width(), expected.height()));
        QCOMPARE(m_ed->Image->size(), expected);
    }
    QVERIFY(answers.error.isEmpty() == error.isEmpty());
}

void tst_Editscreen::statusPanels()
{
    m_ed->setPicture(white());
    drag(QPoint(10, 20), QPoint(50, 60));
    QCOMPARE(m_ed->StatusOrigin->text(), QStringLiteral("Origin: (10, 20)"));
    // Without a button the second panel still follows; the first keeps the press.
    const QPoint at = m_ed->Image->mapTo(m_ed, QPoint(70, 80));
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"),
             QString::number(m_ed->winId()), QString::number(at.x()), QString::number(at.y())});
    QTRY_COMPARE(m_ed->StatusCurrent->text(), QStringLiteral("Current: (70, 80)"));
    QCOMPARE(m_ed->StatusOrigin->text(), QStringLiteral("Origin: (10, 20)"));
    QCOMPARE(m_ed->StatusOrigin->width(), 150);
}

void tst_Editscreen::hidingKeepsThePicture_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Close Window button") << "button";
    QTest::newRow("window close") << "alt+F4";
    QTest::newRow("minimise") << "minimise";
}

void tst_Editscreen::hidingKeepsThePicture()
{
    QFETCH(QString, how);
    const QImage picture = noise(80, 70, 4);
    m_ed->setPicture(picture);
    if (how == QLatin1String("button"))
        click(m_ed->SpeedButton3);
    else if (how == QLatin1String("minimise"))
        xdotool({QStringLiteral("windowminimize"), QString::number(m_ed->winId())});
    else
        key("alt+F4");
    QTRY_VERIFY(!m_ed->isVisible());
    QTRY_VERIFY(QGuiApplication::focusWindow() != m_ed->windowHandle());
    showEditor(m_ed);
    QVERIFY(!m_ed->isMinimized());
    QCOMPARE(m_ed->picture(), picture);
}

void tst_Editscreen::buttonHooks_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("mouseButton");
    QTest::addColumn<QString>("hook");
    QTest::newRow("print") << "SpeedButton1" << 1 << "print";
    QTest::newRow("save") << "cmdSave" << 1 << "save";
    QTest::newRow("right press on save opens") << "cmdSave" << 3 << "open";
    QTest::newRow("open") << "SpeedButton4" << 1 << "open";
    QTest::newRow("printer setup") << "SpeedButton2" << 1 << "setup";
}

void tst_Editscreen::buttonHooks()
{
    QFETCH(QString, button);
    QFETCH(int, mouseButton);
    QFETCH(QString, hook);
    QStringList ran;
    m_ed->onPrint = [&] { ran << QStringLiteral("print"); };
    m_ed->onSave = [&] { ran << QStringLiteral("save"); };
    m_ed->onOpen = [&] { ran << QStringLiteral("open"); };
    m_ed->onPrinterSetup = [&] { ran << QStringLiteral("setup"); };
    click(m_ed->findChild<QToolButton *>(button), mouseButton);
    QTRY_COMPARE(ran, QStringList{hook});
    m_ed->onPrint = m_ed->onSave = m_ed->onOpen = m_ed->onPrinterSetup = nullptr;
}

void tst_Editscreen::colourButton_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QStringList>("expectedSignals");
    QTest::newRow("confirmed") << true << QStringList{"change", "click"};
    QTest::newRow("cancelled") << false << QStringList{"click"};
}

void tst_Editscreen::colourButton()
{
    // A confirmed choice is announced before the click; the swatch shows the
    // colour, and the button face when disabled.
    QFETCH(bool, confirm);
    QFETCH(QStringList, expectedSignals);
    TColorButton *button = m_ed->PenColor;
    button->setColor(QColor(0x10, 0x60, 0xc0));
    QStringList seen;
    QColor offered;
    auto c1 = connect(button, &TColorButton::OnColorChange, this, [&] { seen << "change"; });
    auto c2 = connect(button, &TColorButton::OnClick, this, [&] { seen << "click"; });
    QTimer pick;
    connect(&pick, &QTimer::timeout, this, [&] {
        auto *d = button->findChild<QColorDialog *>(QStringLiteral("ColorDialog"));
        if (d && d->isVisible()) {
            offered = d->currentColor();
            d->setCurrentColor(QColor(0xe0, 0x30, 0x30));
            confirm ? d->accept() : d->reject();
        }
    });
    // The previous row's dialog may still be on the screen a moment, where
    // the click goes.
    QTRY_VERIFY_WITH_TIMEOUT(Desktop::windowsNamed(QStringLiteral("Select Color")).isEmpty(),
                             10000);
    pick.start(20);
    click(button);
    QTRY_COMPARE(seen, expectedSignals);
    disconnect(c1);
    disconnect(c2);
    QCOMPARE(offered, QColor(0x10, 0x60, 0xc0));
    const QColor now = confirm ? QColor(0xe0, 0x30, 0x30) : QColor(0x10, 0x60, 0xc0);
    QCOMPARE(button->color(), now);
    const QPoint middle = button->rect().center();
    QCOMPARE(button->grab().toImage().pixelColor(middle), now);
    button->setEnabled(false);
    QCOMPARE(button->grab().toImage().pixelColor(middle),
             button->palette().color(QPalette::Button));
    button->setEnabled(true);
    button->setColor(Qt::black);
}

int main(int argc, char **argv)
{
    QuilletApplication app(argc, argv);
    tst_Editscreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_Editscreen.moc"
