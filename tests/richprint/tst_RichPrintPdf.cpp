// The engine on real QPrinter devices: one that writes PDF files, and the
// system's printer on a machine without print destinations.
#include "richprint/RichPrint.h"

#include "platform/UserStore.h"
#include "platform/qt/QtPrinter.h"

#include <QPainter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// What pdfinfo says about a PDF file: "Pages", "Title", "Page size".
QString pdfInfo(const QString &file, const QString &field)
{
    QProcess pdfinfo;
    pdfinfo.start(QStringLiteral("pdfinfo"), {file});
    if (!pdfinfo.waitForFinished(30000) || pdfinfo.exitCode() != 0)
        return QStringLiteral("(pdfinfo failed)");
    const QRegularExpression line(QStringLiteral("^%1:\\s*(.*)$").arg(field),
                                  QRegularExpression::MultilineOption);
    return line.match(QString::fromUtf8(pdfinfo.readAllStandardOutput())).captured(1).trimmed();
}

} // namespace

class tst_RichPrintPdf : public QObject {
    Q_OBJECT
private slots:
    void init();
    void geometryOfPaper_data();
    void geometryOfPaper();
    void marginsClampToUnprintableStrip();
    void jobWritesPagesAndRefusesChanges();
    void printerStepsOutsideJob();
    void systemPrinterWithoutDestinations();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<platform::UserStore> m_store;
};

void tst_RichPrintPdf::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<platform::UserStore>(m_dir->filePath("user.reg"));
}

void tst_RichPrintPdf::geometryOfPaper_data()
{
    QTest::addColumn<int>("paper");
    QTest::addColumn<double>("strip"); // unprintable, mm
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("unit");
    QTest::addColumn<double>("width"); // paper, in the unit
    QTest::addColumn<double>("height");
    QTest::addColumn<double>("gutter");
    QTest::newRow("A4 mm") << int(QPageSize::A4) << 5.0 << int(poPortrait) << int(muMillimeters)
                           << 210.0 << 297.0 << 5.0;
    QTest::newRow("A4 landscape") << int(QPageSize::A4) << 5.0 << int(poLandscape)
                                  << int(muMillimeters) << 297.0 << 210.0 << 5.0;
    QTest::newRow("Letter in") << int(QPageSize::Letter) << 6.35 << int(poPortrait) << int(muInches)
                               << 8.5 << 11.0 << 0.25;
    QTest::newRow("no strip") << int(QPageSize::Letter) << 0.0 << int(poPortrait) << int(muInches)
                              << 8.5 << 11.0 << 0.0;
}

void tst_RichPrintPdf::geometryOfPaper()
{
    QFETCH(int, paper);
    QFETCH(double, strip);
    QFETCH(int, orientation);
    QFETCH(int, unit);
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(double, gutter);
    platform::QtPrinter printer(m_dir->filePath("out.pdf"), QPageSize(QPageSize::PageSizeId(paper)),
                                QMarginsF(strip, strip, strip, strip));
    TRichPrinter engine(printer, *m_store);
    engine.setMeasureUnit(TMeasureUnit(unit));
    engine.setOrientation(TPrinterOrientation(orientation));
    QCOMPARE(engine.Orientation(), TPrinterOrientation(orientation));

    QCOMPARE(printer.logPixelsX(), 1200);
    // Qt keeps paper sizes and PDF margins in whole points; allow one point.
    const double point = unit == muInches ? 1 / 72.0 : 25.4 / 72;
    QVERIFY2(std::abs(engine.PhysicalPageWidth() - width) <= point,
             qPrintable(QString::number(engine.PhysicalPageWidth())));
    QVERIFY(std::abs(engine.PhysicalPageHeight() - height) <= point);
    for (double g :
         {engine.GutterLeft(), engine.GutterTop(), engine.GutterRight(), engine.GutterBottom()})
        QVERIFY2(std::abs(g - gutter) <= point, qPrintable(QString::number(g)));
    QCOMPARE(engine.UnitsToPixelsX(engine.PrintableWidth()), printer.pageWidth());
    QCOMPARE(engine.UnitsToPixelsY(engine.PrintableHeight()), printer.pageHeight());
}

void tst_RichPrintPdf::marginsClampToUnprintableStrip()
{
    platform::QtPrinter printer(m_dir->filePath("out.pdf"), QPageSize(QPageSize::A4),
                                QMarginsF(10, 10, 10, 10));
    TRichPrinter engine(printer, *m_store);
    engine.setMarginLeft(3);
    QCOMPARE(engine.MarginLeft(), engine.GutterLeft());
    QVERIFY(std::abs(engine.MarginLeft() - 10) <= 25.4 / 72);
    engine.setMarginRight(500);
    QCOMPARE(engine.MarginRight(), engine.PhysicalPageWidth() - engine.GutterLeft());
    // A top margin that fits portrait A4 is beyond the far edge in landscape.
    engine.setMarginTop(250);
    QCOMPARE(engine.MarginTop(), 250.0);
    engine.setOrientation(poLandscape);
    engine.ReapplySettings();
    QCOMPARE(engine.MarginTop(), engine.PhysicalPageHeight() - engine.GutterBottom());
    QVERIFY(engine.MarginTop() < 201);
}

void tst_RichPrintPdf::jobWritesPagesAndRefusesChanges()
{
    const QString file = m_dir->filePath("job.pdf");
    platform::QtPrinter printer(file, QPageSize(QPageSize::A4), QMarginsF(5, 5, 5, 5));
    TRichPrinter engine(printer, *m_store);
    engine.setTitle("Geometry check");
    QCOMPARE(engine.Title(), QString("Geometry check"));

    printer.beginDoc();
    QVERIFY(printer.printing());
    QVERIFY(printer.canvas());
    QVERIFY_THROWS_EXCEPTION(ELinePrinter, engine.setMarginTop(40));
    QVERIFY_THROWS_EXCEPTION(ELinePrinter, engine.setOrientation(poLandscape));
    QVERIFY_THROWS_EXCEPTION(ELinePrinter, engine.setTitle("Other"));
    QCOMPARE(engine.MarginTop(), 30.0);
    const QRect textArea(engine.LeftOffset(), engine.TopOffset(), engine.TextAreaWidth(),
                         engine.TextAreaHeight());
    printer.canvas()->drawRect(textArea);
    printer.newPage();
    printer.canvas()->drawRect(textArea);
    printer.endDoc();
    QVERIFY(!printer.printing());
    QVERIFY(!printer.canvas());

    QCOMPARE(pdfInfo(file, "Pages"), QString("2"));
    QCOMPARE(pdfInfo(file, "Title"), QString("Geometry check"));
    QVERIFY2(pdfInfo(file, "Page size").contains("(A4)"), qPrintable(pdfInfo(file, "Page size")));
    engine.setMarginTop(40); // allowed again
    QCOMPARE(engine.MarginTop(), 40.0);
}

void tst_RichPrintPdf::printerStepsOutsideJob()
{
    platform::QtPrinter printer(m_dir->filePath("out.pdf"), QPageSize(QPageSize::A4), {});
    QVERIFY_THROWS_EXCEPTION(platform::PrinterError, printer.newPage());
    QVERIFY_THROWS_EXCEPTION(platform::PrinterError, printer.endDoc());
    printer.beginDoc();
    QVERIFY_THROWS_EXCEPTION(platform::PrinterError, printer.beginDoc());
    printer.abort();
    QVERIFY(!printer.printing());
    // A folder that does not exist cannot take the file.
    platform::QtPrinter nowhere(m_dir->filePath("missing/out.pdf"), QPageSize(QPageSize::A4), {});
    QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
    QVERIFY_THROWS_EXCEPTION(platform::PrinterError, nowhere.beginDoc());
    QVERIFY(!nowhere.printing());
}

void tst_RichPrintPdf::systemPrinterWithoutDestinations()
{
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        QSKIP("this machine has print destinations");
    platform::QtPrinter printer;
    QVERIFY(!printer.isReachable());
    QCOMPARE(printer.printerName(), QString());
    QVERIFY(!printer.device());
    QVERIFY_THROWS_EXCEPTION(platform::PrinterError, printer.beginDoc());
    QVERIFY_THROWS_EXCEPTION(platform::PrinterError, printer.selectPrinter("Nowhere"));

    TRichPrinter engine(printer, *m_store);
    engine.setMeasureUnit(muInches);
    QCOMPARE(engine.PhysicalPageWidth(), 8.5);
    QCOMPARE(engine.PrintableHeight(), 10.5);
    QCOMPARE(engine.GutterBottom(), 0.25);
    QCOMPARE(engine.UnitsToPixelsX(1), 600);
    QCOMPARE(engine.Title(), QString("<Unknown>"));
    engine.setOrientation(poLandscape);
    QCOMPARE(engine.Orientation(), poPortrait);
}

QTEST_MAIN(tst_RichPrintPdf)
#include "tst_RichPrintPdf.moc"
