// "&Quillet!" in text mode on the test session's X server: the two-second
// "Printing ..." window and its cancel, the print dialog, the printed header
// and page numbers, "Text &Margins" and the editor's print buttons. The tray's
// engine prints into a PDF file here, read back with pdftotext.
#include "app/Startup.h"
#include "app/TrayT1.h"
#include "app/printing.h"
#include "editor/edits.h"
#include "platform/ProgramFolder.h"
#include "platform/RichEdit.h"
#include "platform/UserStore.h"
#include "platform/qt/QtPrinter.h"
#include "richprint/RichPrint.h"
#include "settings/IniFile.h"
#include "settings/fVisible.h"
#include "tests/support/Answerer.h"
#include "tests/support/PdfText.h"
#include "tests/support/SelectionSource.h"
#include "tests/support/TestFolder.h"

#include <QAction>
#include <QCheckBox>
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

    void printsAfterTwoSeconds_data();
    void printsAfterTwoSeconds();
    void cancelWithinTwoSeconds_data();
    void cancelWithinTwoSeconds();
    void printDialogCancelPrintsNothing();
    void quilletPrintsCapturedSelection();
    void nothingCapturedPrintsNothing();
    void pageSetupDialogPlacedAndCancelKeepsMargins();
    void pageSetupDisabledMargins();
    void editorButtons();

private:
    // The tray's engine, with the tray's settings, on a PDF printer.
    void printIntoPdf();

    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<platform::QtPrinter> m_printer;
    std::unique_ptr<platform::UserStore> m_store;
    QString m_file;
};

void tst_Prints::init()
{
    m_folder = std::make_unique<TestFolder>();
    platform::setProgramFolderForTesting(m_folder->path());
    CaptureStatus.clear();
    PrintCancel.clear();
    QCOMPARE(createForms(), -1);
    TrayForm->UsePrintDialog1->setChecked(false);
    printIntoPdf();
}

void tst_Prints::cleanup()
{
    destroyForms();
    m_printer.reset();
    platform::setProgramFolderForTesting({});
    m_folder.reset();
}

void tst_Prints::printIntoPdf()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_file = m_dir->filePath(QStringLiteral("tray.pdf"));
    m_printer = std::make_unique<platform::QtPrinter>(m_file, QPageSize(QPageSize::Letter),
                                                      QMarginsF(6.35, 6.35, 6.35, 6.35));
    m_store = std::make_unique<platform::UserStore>(m_dir->filePath(QStringLiteral("user.reg")));
    const TRichPrinter *tray = TrayForm->RichPrinter1;
    auto *engine = new TRichPrinter(*m_printer, *m_store, TrayForm);
    engine->setMeasureUnit(tray->MeasureUnit());
    engine->setSaveMargins(tray->SaveMargins());
    engine->setMarginTop(tray->MarginTop());
    engine->setMarginBottom(tray->MarginBottom());
    engine->setMarginLeft(tray->MarginLeft());
    engine->setMarginRight(tray->MarginRight());
    engine->setHeader(tray->Header());
    engine->setHeaderFormat(tray->HeaderFormat());
    engine->setFooter(tray->Footer());
    engine->setFooterFormat(tray->FooterFormat());
    engine->setShowProgress(tray->ShowProgress());
    engine->setOptions_Dialog(tray->Options_Dialog());
    TrayForm->RichPrinter1 = engine;
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
    bool onScreen = false;
    Answerer cancel("PrintDialog1", [&onScreen](QWidget *w) {
        // The editor is parked off screen; its dialog is not.
        onScreen = w->screen()->geometry().contains(w->geometry());
        static_cast<QDialog *>(w)->reject();
    });
    TrayForm->Prints();
    QVERIFY(cancel.answered());
    QVERIFY(onScreen);
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

void tst_Prints::pageSetupDialogPlacedAndCancelKeepsMargins()
{
    TRichPrinter *engine = TrayForm->RichPrinter1;
    engine->setMarginLeft(1.23456);
    bool placed = false;
    Answerer cancel("PageSetupDialog", [&](QWidget *w) {
        const auto close = qScopeGuard([w] { static_cast<QDialog *>(w)->reject(); });
        // Placed once it is shown and framed by the window manager.
        const QRect screen = w->screen()->geometry();
        QTRY_VERIFY(w->frameGeometry().size() != w->size());
        QTRY_COMPARE(w->frameGeometry().topLeft(),
                     QPoint((screen.width() - w->frameGeometry().width()) / 2,
                            (screen.height() - w->frameGeometry().height()) / 3));
        placed = true;
    });
    // Qt warns that a PDF file is no system printer; the dialog works all the same.
    QTest::ignoreMessage(QtWarningMsg, "QPageSetupDialog: Cannot be used on non-native printers");
    TrayForm->PageSetup1->trigger();
    QVERIFY(cancel.answered());
    QVERIFY(placed);
    QCOMPARE(engine->MarginLeft(), 1.235);
    // Stored after Cancel too.
    TRichPrinter reader(*m_printer, *m_store);
    reader.setSaveMargins(true);
    reader.ReadMargins();
    QCOMPARE(reader.MeasureUnit(), muInches);
    QCOMPARE(reader.MarginLeft(), 1.235);
    QVERIFY(std::abs(reader.MarginTop() - 1) < 1e-9);
}

void tst_Prints::pageSetupDisabledMargins()
{
    TRichPrinter *engine = TrayForm->RichPrinter1;
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
