// The column-format language, the macros, and the steps of a print job on a
// printer whose device figures and failures the test sets.
#include "richprint/RichPrint.h"

#include "FakePrinter.h"
#include "platform/RichEdit.h"
#include "platform/UserStore.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using HeaderFooter::ParseColumnSpec;
using HeaderFooter::ReplaceMacro;
using HeaderFooter::SplitColumns;

Q_DECLARE_METATYPE(TColumnAlign)

class tst_PrintJob : public QObject {
    Q_OBJECT
private slots:
    void init();

    void splitColumns_data();
    void splitColumns();
    void parseColumnSpec_data();
    void parseColumnSpec();
    void replaceMacro_data();
    void replaceMacro();
    void expandMacrosInOrder();

    void dialogFlags_data();
    void dialogFlags();
    void whiteFontPrintsBlack();
    void fontIgnoredWithoutPrinter();
    void lineHeightWithoutPrinter();
    void logoRectangle();

    void jobSteps();
    void jobErrors_data();
    void jobErrors();
    void failureInPageLoopFreesPrinter();
    void jobAlreadyRunningIsLeftAlone();
    void progressWindow();
    void noProgressWindowWhenOff();

    void pageSetupCancelKeepsAndStoresMargins_data();
    void pageSetupCancelKeepsAndStoresMargins();
    void pageSetupOkTakesChoice();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<platform::UserStore> m_store;
    std::unique_ptr<FakePrinter> m_printer;
    std::unique_ptr<TRichPrinter> m_engine;
};

void tst_PrintJob::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<platform::UserStore>(m_dir->filePath("user.reg"));
    m_printer = std::make_unique<FakePrinter>();
    m_engine = std::make_unique<TRichPrinter>(*m_printer, *m_store);
}

void tst_PrintJob::splitColumns_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("parts");
    QTest::newRow("empty is one empty part") << "" << QStringList{""};
    QTest::newRow("no bar") << "abc" << QStringList{"abc"};
    QTest::newRow("two") << "a|b" << QStringList{"a", "b"};
    QTest::newRow("trailing bar") << "a|" << QStringList{"a", ""};
    QTest::newRow("only bars") << "||" << QStringList{"", "", ""};
    QTest::newRow("no escapes") << "a\\|b" << QStringList{"a\\", "b"};
}

void tst_PrintJob::splitColumns()
{
    QFETCH(QString, text);
    QFETCH(QStringList, parts);
    QCOMPARE(SplitColumns(text), parts);
}

void tst_PrintJob::parseColumnSpec_data()
{
    QTest::addColumn<QString>("spec");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<TColumnAlign>("align");
    QTest::addColumn<double>("width");
    const auto L = TColumnAlign::Left;
    const auto R = TColumnAlign::Right;
    const auto C = TColumnAlign::Center;
    QTest::newRow("host format") << ">   3.937"
                                 << "en_US" << R << 3.937;
    QTest::newRow("left mark") << "<2"
                               << "en_US" << L << 2.0;
    QTest::newRow("centred") << "^ 1.5 "
                             << "en_US" << C << 1.5;
    QTest::newRow("no mark") << "  4.25"
                             << "en_US" << L << 4.25;
    QTest::newRow("empty") << ""
                           << "en_US" << L << 7.0;
    QTest::newRow("mark alone") << ">"
                                << "en_US" << R << 7.0;
    QTest::newRow("not a number") << "^abc"
                                  << "en_US" << C << 7.0;
    QTest::newRow("two marks") << "<>3"
                               << "en_US" << L << 7.0;
    QTest::newRow("decimal comma locale rejects a point") << ">   3.937"
                                                          << "de_DE" << R << 7.0;
    QTest::newRow("decimal comma locale") << ">3,5"
                                          << "de_DE" << R << 3.5;
    QTest::newRow("comma in a point locale") << ">3,5"
                                             << "en_US" << R << 7.0;
}

void tst_PrintJob::parseColumnSpec()
{
    QFETCH(QString, spec);
    QFETCH(QString, locale);
    QFETCH(TColumnAlign, align);
    QFETCH(double, width);
    const TColumnSpec parsed = ParseColumnSpec(spec, 7.0, QLocale(locale));
    QCOMPARE(parsed.align, align);
    QCOMPARE(parsed.width, width);
}

void tst_PrintJob::replaceMacro_data()
{
    QTest::addColumn<QString>("macro");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("every occurrence") << "{$PAGE}"
                                      << "3"
                                      << "{$PAGE}/{$PAGE}"
                                      << "3/3";
    QTest::newRow("absent") << "{$PAGE}"
                            << "3"
                            << "none"
                            << "none";
    QTest::newRow("value holds the macro") << "{$TITLE}"
                                           << "a {$TITLE}"
                                           << "x {$TITLE}"
                                           << "x {$TITLE}";
    QTest::newRow("case-sensitive") << "{$PAGE}"
                                    << "3"
                                    << "{$page}"
                                    << "{$page}";
    QTest::newRow("replacement re-forms the macro") << "{$PAGE}"
                                                    << "{$PAGE"
                                                    << "{$PAGE}}"
                                                    << "{$PAGE";
    QTest::newRow("empty value") << "{$LINE}"
                                 << ""
                                 << "a{$LINE}b"
                                 << "ab";
}

void tst_PrintJob::replaceMacro()
{
    QFETCH(QString, macro);
    QFETCH(QString, value);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(ReplaceMacro(macro, value, text), expected);
}

void tst_PrintJob::expandMacrosInOrder()
{
    // A title inserted last is not expanded further; one that brings in a
    // later macro is.
    m_printer->jobTitle = QStringLiteral("T {$DATE} {$PAGE}");
    QCOMPARE(m_engine->ExpandMacros("{$TITLE}"), QString("T {$DATE} {$PAGE}"));
    m_printer->jobTitle = QStringLiteral("Report");
    QCOMPARE(m_engine->ExpandMacros("{$LINE}{$TITLE}"), QString("0Report"));
    // The long time format, without a time zone.
    const QString time = m_engine->ExpandMacros("{$TIME}");
    QVERIFY2(QRegularExpression("^\\d{1,2}[:.]\\d{2}[:.]\\d{2}( ?[AaPp]\\.?[Mm]\\.?)?$")
                 .match(time)
                 .hasMatch(),
             qPrintable(time));
    m_printer->reachable = false;
    QCOMPARE(m_engine->ExpandMacros("{$TITLE}"), QString("<Unknown>"));
}

void tst_PrintJob::dialogFlags_data()
{
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("kept");
    QTest::addColumn<uint>("flags");
    QTest::newRow("host: margins in inches")
        << int(poMargins) << int(muInches) << int(poMargins) << uint(0x2 | 0x4);
    QTest::newRow("margins in millimetres")
        << int(poMargins) << int(muMillimeters) << int(poMargins) << uint(0x2 | 0x8);
    QTest::newRow("disabled wins") << int(poDisableMargins | poMargins) << int(muInches)
                                   << int(poDisableMargins) << uint(0x10 | 0x4);
    QTest::newRow("everything off")
        << int(poDisableOrientation | poDisablePaper | poDisablePrinter) << int(muMillimeters)
        << int(poDisableOrientation | poDisablePaper | poDisablePrinter)
        << uint(0x100 | 0x200 | 0x20 | 0x8);
}

void tst_PrintJob::dialogFlags()
{
    QFETCH(int, options);
    QFETCH(int, unit);
    QFETCH(int, kept);
    QFETCH(uint, flags);
    QCOMPARE(m_engine->DialogFlags(), 0u); // until the host assigns options
    m_engine->setMeasureUnit(TMeasureUnit(unit));
    m_engine->setOptions_Dialog(TPageOptions(options));
    QCOMPARE(int(m_engine->Options_Dialog()), kept);
    QCOMPARE(m_engine->DialogFlags(), flags);
}

void tst_PrintJob::whiteFontPrintsBlack()
{
    QFont font(QStringLiteral("Liberation Mono"));
    font.setPointSize(14);
    m_engine->setFont_HeaderFooter(font, Qt::white);
    QCOMPARE(m_engine->FontColor_HeaderFooter(), QColor(Qt::black));
    QCOMPARE(m_printer->font().pointSize(), 14);
    m_engine->setFont_HeaderFooter(font, Qt::red);
    QCOMPARE(m_printer->fontColor(), QColor(Qt::red));
}

void tst_PrintJob::fontIgnoredWithoutPrinter()
{
    const QFont before = m_printer->font();
    QCOMPARE(before.family(), QString("Courier New"));
    QCOMPARE(before.pointSize(), 10);
    m_printer->reachable = false;
    QFont font(QStringLiteral("Liberation Serif"));
    m_engine->setFont_HeaderFooter(font, Qt::red);
    QCOMPARE(m_printer->font(), before);
}

void tst_PrintJob::lineHeightWithoutPrinter()
{
    m_printer->reachable = false;
    m_engine->UpdateLineHeight();
    QCOMPARE(m_engine->LineHeight(), 10);
    // Measuring fails without a printer: FitText gives the text back whole.
    QCOMPARE(m_engine->FitText("a long header text", 1), QString("a long header text"));
}

void tst_PrintJob::logoRectangle()
{
    // Letter at 600 dpi with a quarter-inch strip, in inches, one-inch margins:
    // the text area is 3900 x 5400 pixels on an 8.5 x 11 inch sheet.
    m_engine->setMeasureUnit(muInches);
    for (auto setter : {&TRichPrinter::setMarginTop, &TRichPrinter::setMarginBottom,
                        &TRichPrinter::setMarginLeft, &TRichPrinter::setMarginRight})
        (m_engine.get()->*setter)(1.0);
    m_engine->UpdateLineHeight();
    const int lh = m_engine->LineHeight();
    m_engine->setLogoTop(0);
    m_engine->setLogoLeft(0);
    m_engine->setLogoWidth(0.5);
    m_engine->setLogoHeight(1.1);
    const QRect r = m_engine->LogoRect();
    const int top = (450 - lh) / 2 + lh;
    QCOMPARE(r.top(), top);
    QCOMPARE(r.left(), 450);
    // Scaled by text area over paper: 0.5 / 8.5 * 3900 = 229.41; 1.1 / 11 * 5400 = 540.
    QCOMPARE(r.width(), 229);
    QCOMPARE(r.height(), 540);
}

void tst_PrintJob::jobSteps()
{
    platform::RichEdit memo;
    memo.setPlainText("one page");
    QStringList steps;
    connect(m_engine.get(), &TRichPrinter::OnBeginDoc, this, [&](TRichPrinter *sender) {
        QCOMPARE(sender, m_engine.get());
        steps << QStringLiteral("begin printing=%1").arg(m_printer->printing());
    });
    connect(m_engine.get(), &TRichPrinter::OnNewPage, this, [&](TRichPrinter *) {
        steps << QStringLiteral("page %1 cursor=%2,%3")
                     .arg(m_engine->CurrentPage())
                     .arg(m_engine->CursorX())
                     .arg(m_engine->CursorY());
    });
    connect(m_engine.get(), &TRichPrinter::OnEndDoc, this, [&](TRichPrinter *) {
        steps << QStringLiteral("end printing=%1").arg(m_printer->printing());
    });
    m_engine->setColumnFormat("kept");
    m_engine->PrintRichEdit(&memo, 7);
    QCOMPARE(steps, QStringList({"begin printing=0", "page 7 cursor=0,0", "end printing=0"}));
    QCOMPARE(m_engine->FirstPage(), 7);
    QCOMPARE(m_engine->ColumnFormat(), QString("kept"));
    QCOMPARE(m_printer->pages, 1);
}

void tst_PrintJob::jobErrors_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<bool>("io");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("endDocRan");
    QTest::newRow("start") << "begin" << false << "Not be able to start the printing." << false;
    QTest::newRow("start, output") << "begin" << true << "Disk full" << false;
    QTest::newRow("new page") << "page" << false << "Not be able to print a new page." << false;
    QTest::newRow("end") << "end" << false << "Not be able to end the printing." << true;
    QTest::newRow("end, output") << "end" << true << "Not be able to print to a file." << true;
}

void tst_PrintJob::jobErrors()
{
    QFETCH(QString, step);
    QFETCH(bool, io);
    QFETCH(QString, message);
    QFETCH(bool, endDocRan);
    platform::RichEdit memo;
    QString text;
    for (int i = 0; i < 400; ++i)
        text += QStringLiteral("line %1\n").arg(i);
    memo.setPlainText(text); // several pages
    m_printer->failBegin = step == "begin";
    m_printer->failNewPage = step == "page";
    m_printer->failEnd = step == "end";
    m_printer->ioFailure = io;
    QSignalSpy ended(m_engine.get(), &TRichPrinter::OnEndDoc);
    try {
        m_engine->PrintRichEdit(&memo, 1);
        QFAIL("no error");
    } catch (const ELinePrinter &error) {
        QCOMPARE(error.message(), message);
    }
    QCOMPARE(ended.count(), endDocRan ? 1 : 0);
    QVERIFY(!m_printer->printing());
    // The printer is free again: the next job prints.
    m_printer->failBegin = m_printer->failNewPage = m_printer->failEnd = false;
    m_engine->PrintRichEdit(&memo, 1);
    QVERIFY(m_printer->pages > 1);
}

void tst_PrintJob::failureInPageLoopFreesPrinter()
{
    platform::RichEdit memo;
    memo.setPlainText(QString(5000, 'x').replace(QRegularExpression("x{50}"), "\\0\n"));
    m_printer->failNewPage = true;
    QVERIFY_THROWS_EXCEPTION(ELinePrinter, m_engine->PrintRichEdit(&memo, 1));
    QCOMPARE(m_printer->aborted, 1);
    QVERIFY(!m_printer->printing());
}

void tst_PrintJob::jobAlreadyRunningIsLeftAlone()
{
    platform::RichEdit memo;
    memo.setPlainText("text");
    m_printer->beginDoc();
    try {
        m_engine->PrintRichEdit(&memo, 1);
        QFAIL("a second job started");
    } catch (const ELinePrinter &error) {
        QCOMPARE(error.message(), QString("Not be able to start the printing."));
    }
    QVERIFY(m_printer->printing());
    QCOMPARE(m_printer->aborted, 0);
    m_printer->endDoc();
}

void tst_PrintJob::progressWindow()
{
    platform::RichEdit memo;
    QString text;
    for (int i = 0; i < 300; ++i)
        text += QStringLiteral("line %1\n").arg(i);
    memo.setPlainText(text);
    m_engine->setShowProgress(true);
    m_printer->jobTitle = QStringLiteral("Progress job");
    QStringList seen;
    const auto look = [&] {
        TRichPrntProgDlg *w = m_engine->ProgressWindow();
        if (!w || !w->isVisible()) {
            seen << QStringLiteral("none");
            return;
        }
        seen << QStringLiteral("%1|%2|%3|%4")
                    .arg(w->windowTitle(), w->lblStatus->text(), w->lblTitle->text(),
                         w->lblPageNumber->text());
    };
    connect(m_engine.get(), &TRichPrinter::OnBeginDoc, this, look);
    connect(m_engine.get(), &TRichPrinter::OnNewPage, this, look);
    connect(m_engine.get(), &TRichPrinter::OnEndDoc, this, look);
    m_engine->PrintRichEdit(&memo, 1);
    QVERIFY(m_printer->pages >= 2);
    QCOMPARE(seen.first(), QString("none"));
    QCOMPARE(seen[1], QString("Print Progress|Currently Printing|Progress job|1"));
    QCOMPARE(seen[2], QString("Print Progress|Currently Printing|Progress job|2"));
    QCOMPARE(seen.last(), QString("none"));
    QCOMPARE(m_engine->ProgressWindow(), nullptr);
    // Before any page is decorated the window says it prepares.
    m_engine->setHeader(QString());
    m_engine->setFooter(QString());
    m_printer->beginDoc();
    m_engine->ShowProgressStatus(QStringLiteral("Preparing to Print"));
    QVERIFY(m_engine->ProgressWindow());
    QCOMPARE(m_engine->ProgressWindow()->lblPageNumDesc->text(), QString("Page Number:"));
    QCOMPARE(m_engine->ProgressWindow()->size(), QSize(284, 85));
    m_printer->endDoc();
    m_engine->ShowProgressStatus();
    QCOMPARE(m_engine->ProgressWindow(), nullptr);
}

void tst_PrintJob::noProgressWindowWhenOff()
{
    platform::RichEdit memo;
    memo.setPlainText("text");
    m_engine->setShowProgress(false);
    bool shown = false;
    connect(m_engine.get(), &TRichPrinter::OnNewPage, this,
            [&] { shown = m_engine->ProgressWindow() != nullptr; });
    m_engine->PrintRichEdit(&memo, 1);
    QVERIFY(!shown);
}

void tst_PrintJob::pageSetupCancelKeepsAndStoresMargins_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<double>("margin");
    QTest::addColumn<int>("given"); // in 1/1000 in or 1/100 mm
    QTest::addColumn<double>("after");
    QTest::newRow("inches") << int(muInches) << 1.23456 << 1235 << 1.235;
    QTest::newRow("inches, half to even") << int(muInches) << 1.0625 << 1062 << 1.062;
    QTest::newRow("millimetres") << int(muMillimeters) << 25.4 << 2540 << 25.4;
    QTest::newRow("millimetres rounded") << int(muMillimeters) << 20.0049 << 2000 << 20.0;
    QTest::newRow("millimetres, half to even") << int(muMillimeters) << 25.125 << 2512 << 25.12;
}

void tst_PrintJob::pageSetupCancelKeepsAndStoresMargins()
{
    QFETCH(int, unit);
    QFETCH(double, margin);
    QFETCH(int, given);
    QFETCH(double, after);
    m_printer->currentOrientation = poPortrait;
    m_engine->setMeasureUnit(TMeasureUnit(unit));
    m_engine->setSaveMargins(true);
    m_engine->setMarginLeft(margin);
    m_engine->setMarginTop(margin);
    m_engine->setMarginRight(margin);
    m_engine->setMarginBottom(margin);
    m_printer->setupAnswer = false;
    QVERIFY(!m_engine->PageSetup());
    QCOMPARE(m_printer->setupGiven, QMargins(given, given, given, given));
    QVERIFY(m_printer->setupFlags & platform::PsdEnablePageSetupHook);
    QVERIFY(m_printer->setupFlags & (unit == muInches ? platform::PsdInThousandthsOfInches
                                                      : platform::PsdInHundredthsOfMillimeters));
    QCOMPARE(m_engine->MarginLeft(), after);
    QCOMPARE(m_engine->MarginBottom(), after);
    // Stored although the user cancelled: a fresh engine reads them back.
    TRichPrinter other(*m_printer, *m_store);
    other.setSaveMargins(true);
    other.ReadMargins();
    QCOMPARE(other.MeasureUnit(), TMeasureUnit(unit));
    QCOMPARE(other.MarginTop(), after);
    QCOMPARE(other.MarginRight(), after);
}

void tst_PrintJob::pageSetupOkTakesChoice()
{
    m_engine->setMeasureUnit(muInches);
    m_printer->setupAnswer = true;
    m_printer->setupChoice = QMargins(500, 750, 1000, 2000);
    QVERIFY(m_engine->PageSetup());
    QCOMPARE(m_engine->MarginLeft(), 0.5);
    QCOMPARE(m_engine->MarginTop(), 0.75);
    QCOMPARE(m_engine->MarginRight(), 1.0);
    QCOMPARE(m_engine->MarginBottom(), 2.0);
    // A choice inside the unprintable strip is clamped to it.
    m_printer->setupChoice = QMargins(0, 0, 0, 0);
    m_engine->PageSetup();
    QCOMPARE(m_engine->MarginLeft(), 0.25);
    m_printer->reachable = false;
    QVERIFY_THROWS_EXCEPTION(platform::PrinterError, m_engine->PageSetup());
}

QTEST_MAIN(tst_PrintJob)
#include "tst_PrintJob.moc"
