// "&Quillet!" in text mode on the test session's X server: the two-second
// "Printing ..." window and its cancel, the print dialog, the printed header
// and page numbers, "Text &Margins" and the editor's print buttons. The tray's
// own engine, as the tray sets it up, prints into a PDF file of the test
// services' printer, read back with poppler's tools.
#include "app/Startup.h"
#include "app/TrayT1.h"
#include "app/printing.h"
#include "editor/edits.h"
#include "platform/ProgramFolder.h"
#include "platform/RichEdit.h"
#include "richprint/RichPrint.h"
#include "settings/IniFile.h"
#include "settings/fVisible.h"
#include "tests/support/Answerer.h"
#include "tests/support/Desktop.h"
#include "tests/support/PdfText.h"
#include "tests/support/SelectionSource.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestServices.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

class tst_Prints : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void trayEngineAsSetUp();
    void printsAfterTwoSeconds_data();
    void printsAfterTwoSeconds();
    void cancelWithinTwoSeconds_data();
    void cancelWithinTwoSeconds();
    void printDialogCancelPrintsNothing();
    void quilletPrintsCapturedSelection();
    void nothingCapturedPrintsNothing();
    void scriptedCapturePrints_data();
    void scriptedCapturePrints();
    void pageSetupDialogPlacedAndCancelKeepsMargins();
    void pageSetupDisabledMargins();
    void editorButtons();

private:
    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
};

void tst_Prints::init()
{
    m_folder = std::make_unique<TestFolder>();
    platform::setProgramFolderForTesting(m_folder->path());
    CaptureStatus.clear();
    PrintCancel.clear();
    // A fresh PDF file and user store for each test; the tray's engine,
    // made by createForms(), prints there.
    m_dir = std::make_unique<QTemporaryDir>();
    m_file = m_dir->filePath(QStringLiteral("tray.pdf"));
    TestServices::instance().usePdfPrinter(m_file);
    TestServices::instance().useUserStore(m_dir->filePath(QStringLiteral("user.reg")));
    QCOMPARE(createForms(), -1);
    TrayForm->UsePrintDialog1->setChecked(false);
}

void tst_Prints::cleanup()
{
    destroyForms();
    TestServices::instance().useScriptedDesktop(false);
    platform::setProgramFolderForTesting({});
    m_folder.reset();
}

void tst_Prints::trayEngineAsSetUp()
{
    // The engine the tray made at start-up prints: margins of one inch,
    // header and footer right-aligned in a column of 3.937 inches from the
    // left margin, both in the tray's header font (Courier New of 13 screen
    // pixels), the body in the editor's font.
    ViewableForm->chkpagenumbers->setChecked(true);
    IniFile::programIni().writeString("Settings", "head", "Minutes");
    Editor->memo->setPlainText("Body");
    TrayForm->Prints();

    QFont trayFont(QStringLiteral("Courier New"));
    trayFont.setPixelSize(13);
    const QString family = QFontInfo(trayFont).family().remove(' ');
    // Screen pixels print as the whole point size they make on the screen.
    const int points = qRound(13 * 72.0 / QGuiApplication::primaryScreen()->logicalDotsPerInchY());
    const double columnRight = 72 + 3.937 * 72;

    QHash<QString, PdfText::Line> byText;
    for (const PdfText::Line &line : PdfText::lines(m_file))
        byText.insert(line.text, line);
    QCOMPARE(byText.keys().size(), 3);
    const PdfText::Line body = byText.value("Body");
    QVERIFY2(std::abs(body.box.left() - 72) <= 1 && std::abs(body.box.top() - 72) <= 1,
             qPrintable(QString("body at %1,%2").arg(body.box.left()).arg(body.box.top())));
    QVERIFY(body.fontFamily != family);
    for (const char *text : {"Minutes", "Page 1"}) {
        const PdfText::Line line = byText.value(text);
        QVERIFY2(line.page == 1, text);
        QCOMPARE(line.fontFamily, family);
        QCOMPARE(line.fontSize, points);
        QVERIFY2(std::abs(line.box.right() - columnRight) <= 1.5,
                 qPrintable(QString("%1 ends at %2").arg(text).arg(line.box.right())));
    }
    // The size to a fraction of a point, from the header word's advance.
    QFont large = trayFont;
    large.setPointSizeF(1000);
    large.setHintingPreference(QFont::PreferNoHinting);
    const double perPoint =
        QFontMetricsF(large).horizontalAdvance("Minutes") / QFontInfo(large).pixelSize();
    double printedWidth = 0;
    for (const PdfText::Word &word : PdfText::words(m_file)) {
        if (word.text == "Minutes")
            printedWidth = word.box.width();
    }
    QVERIFY2(
        std::abs(printedWidth - perPoint * points) <= 0.25,
        qPrintable(
            QString("header %1 pt wide, expected %2").arg(printedWidth).arg(perPoint * points)));
    // The header within the top margin, the footer within the bottom one.
    QVERIFY(byText.value("Minutes").box.bottom() < 72);
    QVERIFY(byText.value("Page 1").box.top() > 792 - 72);
}

void tst_Prints::printsAfterTwoSeconds_data()
{
    QTest::addColumn<bool>("numbers");
    QTest::addColumn<QString>("head");
    QTest::addColumn<QString>("expectedHeader");
    QTest::newRow("page numbers, plain header") << true << "Minutes"
                                                << "Minutes";
    QTest::newRow("no page numbers, title macro") << false << "{$TITLE}"
                                                  << "Quillet!";
    QTest::newRow("no header") << true << ""
                               << "";
}

void tst_Prints::printsAfterTwoSeconds()
{
    QFETCH(bool, numbers);
    QFETCH(QString, head);
    QFETCH(QString, expectedHeader);
    ViewableForm->chkpagenumbers->setChecked(numbers);
    IniFile::programIni().writeString("Settings", "head", head);
    Editor->memo->setPlainText("First paragraph\nSecond paragraph");
    QTextCursor cursor = Editor->memo->textCursor();
    cursor.setPosition(7);
    Editor->memo->setTextCursor(cursor);

    bool windowSeen = false;
    Answerer watch("printit", [&](QWidget *w) {
        windowSeen = w->windowTitle() == "Printing ..." && !QFile::exists(m_file);
    });
    TrayForm->Prints();
    QVERIFY(windowSeen);
    QVERIFY(!printit->isVisible());
    QCOMPARE(Editor->memo->textCursor().position(), 7);
    QCOMPARE(PdfText::info(m_file, "Title"), QString("Quillet!"));
    const QStringList pages = PdfText::pages(m_file);
    QCOMPARE(pages.size(), 1);
    QStringList lines = pages[0].split('\n', Qt::SkipEmptyParts);
    for (QString &l : lines)
        l = l.trimmed();
    QStringList expected;
    if (!expectedHeader.isEmpty())
        expected << expectedHeader;
    expected << "First paragraph"
             << "Second paragraph";
    if (numbers)
        expected << "Page 1";
    QCOMPARE(lines, expected);
}

void tst_Prints::cancelWithinTwoSeconds_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Cancel Print Job") << false;
    QTest::newRow("Esc") << true;
}

void tst_Prints::cancelWithinTwoSeconds()
{
    QFETCH(bool, escape);
    Editor->memo->setPlainText("not to be printed");
    Answerer cancel("printit", [escape](QWidget *w) {
        auto *button = w->findChild<QPushButton *>("CancelButton");
        QCOMPARE(button->text(), QString("Cancel Print Job"));
        if (escape)
            QTest::keyClick(w, Qt::Key_Escape);
        else
            button->click();
    });
    TrayForm->Prints();
    QVERIFY(cancel.answered());
    QVERIFY(!printit->isVisible());
    QCOMPARE(PrintCancel, QString());
    QVERIFY(!QFile::exists(m_file));
}

void tst_Prints::printDialogCancelPrintsNothing()
{
    TrayForm->UsePrintDialog1->setChecked(true);
    Editor->memo->setPlainText("not to be printed");
    bool printingShown = false;
    Answerer watch("printit", [&](QWidget *) { printingShown = true; });
    bool centred = false;
    Answerer cancel("PrintDialog1", [&centred](QWidget *w) {
        const auto close = qScopeGuard([w] { static_cast<QDialog *>(w)->reject(); });
        // The editor is parked off screen; its dialog is centred on the
        // screen, as the X server has it once the window manager framed it.
        const QSize screen = Desktop::screenSize();
        // Frame and place as the X server has them (a busy window manager
        // may take a while to frame it).
        QTRY_VERIFY_WITH_TIMEOUT(Desktop::frameExtents(w->winId()).value(2) > 0, 30000);
        const auto offCentre = [&] {
            const QRect frame = Desktop::geometry(w->winId());
            return frame.topLeft() - QPoint((screen.width() - frame.width()) / 2,
                                            (screen.height() - frame.height()) / 2);
        };
        QTRY_COMPARE(offCentre(), QPoint(0, 0));
        centred = true;
    });
    TrayForm->Prints();
    QVERIFY(cancel.answered());
    QVERIFY(centred);
    QVERIFY(!printingShown);
    QVERIFY(!QFile::exists(m_file));
}

void tst_Prints::quilletPrintsCapturedSelection()
{
    ViewableForm->chkpagenumbers->setChecked(true);
    IniFile::programIni().writeString("Settings", "head", "Captured {$PAGE}");
    SelectionSource source({"--title", "Source", "--text", "Selected words to print"});
    QVERIFY(source.waitForWindow());
    TrayForm->Quillet1->trigger();
    QCOMPARE(source.copies(), 1);
    QCOMPARE(PendingAction, QString("printthis"));
    QVERIFY(!Editor->isVisible());
    const QStringList pages = PdfText::pages(m_file);
    QCOMPARE(pages.size(), 1);
    QVERIFY2(pages[0].contains("Captured 1"), qPrintable(pages[0]));
    QVERIFY(pages[0].contains("Selected words to print"));
    QVERIFY(pages[0].contains("Page 1"));
}

void tst_Prints::nothingCapturedPrintsNothing()
{
    SelectionSource source({"--title", "Nothing", "--text", "unselected", "--no-selection"});
    QVERIFY(source.waitForWindow());
    bool printingShown = false;
    Answerer watch("printit", [&](QWidget *) { printingShown = true; });
    Answerer error("CaptureErrorBox", [](QWidget *w) { static_cast<QDialog *>(w)->accept(); });
    TrayForm->Quillet1->trigger();
    QVERIFY(error.answered());
    QCOMPARE(CaptureStatus, QString());
    QVERIFY(!printingShown);
    QVERIFY(!QFile::exists(m_file));
}

void tst_Prints::scriptedCapturePrints_data()
{
    QTest::addColumn<QList<FakeWindow>>("desktop");
    QTest::addColumn<platform::WindowHandle>("target"); // 0: none is activated
    const FakeWindow notes{.handle = 10, .title = "Notes"};
    const FakeWindow panel{.handle = 2, .title = "panel", .tool = true};
    QTest::newRow("topmost ordinary")
        << QList<FakeWindow>{notes, {.handle = 11, .title = "Below"}} << platform::WindowHandle(10);
    QTest::newRow("passed over")
        << QList<FakeWindow>{{.handle = 1, .title = "ours", .own = true},
                             panel,
                             {.handle = 3, .title = "dialog", .owned = true},
                             {.handle = 4, .title = "iconic", .minimized = true},
                             {.handle = 5, .title = "hidden", .visible = false},
                             notes}
        << platform::WindowHandle(10);
    QTest::newRow("no ordinary window") << QList<FakeWindow>{panel} << platform::WindowHandle(0);
}

void tst_Prints::scriptedCapturePrints()
{
    // The other program is played by the test services: the first ordinary
    // window is activated, the copy keystroke fills the clipboard, and the
    // tray prints what was pasted.
    QFETCH(QList<FakeWindow>, desktop);
    QFETCH(platform::WindowHandle, target);
    TestServices &services = TestServices::instance();
    services.useScriptedDesktop(true);
    services.fakeWindows.windows = desktop;
    services.fakeWindows.activated.clear();
    services.fakeInput.sent.clear();
    services.fakeInput.onKey = [](const SentKey &) {
        QGuiApplication::clipboard()->setText("Scripted selection");
    };
    TrayForm->Quillet1->trigger();
    services.fakeInput.onKey = nullptr;
    QCOMPARE(services.fakeWindows.activated,
             target ? QList<platform::WindowHandle>{target} : QList<platform::WindowHandle>{});
    QCOMPARE(services.fakeInput.sent, QList<SentKey>({{0x43, platform::CtrlBit}}));
    QVERIFY(PdfText::pages(m_file).value(0).contains("Scripted selection"));
}

void tst_Prints::pageSetupDialogPlacedAndCancelKeepsMargins()
{
    TRichPrinter *engine = TrayForm->RichPrinter1();
    engine->setMarginLeft(1.23456);
    bool placed = false;
    Answerer cancel("PageSetupDialog", [&](QWidget *w) {
        const auto close = qScopeGuard([w] { static_cast<QDialog *>(w)->reject(); });
        // Placed once it is shown and framed by the window manager.
        const QSize screen = Desktop::screenSize();
        QTRY_VERIFY_WITH_TIMEOUT(Desktop::frameExtents(w->winId()).value(2) > 0, 30000);
        QTRY_VERIFY(Desktop::geometry(w->winId()).topLeft() ==
                    QPoint((screen.width() - Desktop::geometry(w->winId()).width()) / 2,
                           (screen.height() - Desktop::geometry(w->winId()).height()) / 3));
        placed = true;
    });
    // Qt warns that a PDF file is no system printer; the dialog works all the same.
    QTest::ignoreMessage(QtWarningMsg, "QPageSetupDialog: Cannot be used on non-native printers");
    TrayForm->PageSetup1->trigger();
    QVERIFY(cancel.answered());
    QVERIFY(placed);
    QCOMPARE(engine->MarginLeft(), 1.235);
    // Stored after Cancel too.
    TRichPrinter reader;
    reader.setSaveMargins(true);
    reader.ReadMargins();
    QCOMPARE(reader.MeasureUnit(), muInches);
    QCOMPARE(reader.MarginLeft(), 1.235);
    QVERIFY(std::abs(reader.MarginTop() - 1) < 1e-9);
}

void tst_Prints::pageSetupDisabledMargins()
{
    TRichPrinter *engine = TrayForm->RichPrinter1();
    engine->setOptions_Dialog(poDisableMargins | poMargins);
    QCOMPARE(engine->Options_Dialog(), TPageOptions(poDisableMargins));
    QStringList margins;
    bool enabled = true;
    Answerer look("PageSetupDialog", [&](QWidget *w) {
        for (QDoubleSpinBox *box : w->findChildren<QDoubleSpinBox *>()) {
            if (box->objectName().endsWith("Margin")) {
                margins << box->objectName();
                enabled = enabled && box->isEnabled();
            }
        }
        static_cast<QDialog *>(w)->reject();
    });
    QTest::ignoreMessage(QtWarningMsg, "QPageSetupDialog: Cannot be used on non-native printers");
    TrayForm->PageSetup1->trigger();
    QVERIFY(look.answered());
    margins.sort();
    QCOMPARE(margins, QStringList({"bottomMargin", "leftMargin", "rightMargin", "topMargin"}));
    QVERIFY(!enabled);
}

void tst_Prints::editorButtons()
{
    Editor->memo->setPlainText("from the editor");
    Answerer cancel("printit",
                    [](QWidget *w) { w->findChild<QPushButton *>("CancelButton")->click(); });
    Editor->SpeedButton1->click();
    QVERIFY(cancel.answered());
    QVERIFY(!QFile::exists(m_file));

    QTest::ignoreMessage(QtWarningMsg, "QPageSetupDialog: Cannot be used on non-native printers");
    Answerer setup("PageSetupDialog", [](QWidget *w) { static_cast<QDialog *>(w)->reject(); });
    Editor->SpeedButton2->click();
    QVERIFY(setup.answered());
}

QTEST_MAIN(tst_Prints)
#include "tst_Prints.moc"
