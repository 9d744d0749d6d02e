#include "richprint/RichPrint.h"

#include "FakePrinter.h"
#include "platform/UserStore.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <bit>
#include <cmath>
#include <limits>

// QCOMPARE forgives the last digits of a double; these must be bit for bit.
#define COMPARE_EXACT(actual, expected)                                                            \
    QVERIFY2(                                                                                      \
        double(actual) == double(expected),                                                        \
        qPrintable(QString("%1 is not %2").arg(actual, 0, 'g', 17).arg(expected, 0, 'g', 17)))

namespace {

const QString Subkey = QStringLiteral("RichPrint.Settings\\MargesQLT");

// Every margin by its name, for the data tables.
double margin(const TRichPrinter &engine, const QString &edge)
{
    if (edge == "top")
        return engine.MarginTop();
    if (edge == "bottom")
        return engine.MarginBottom();
    if (edge == "left")
        return engine.MarginLeft();
    return engine.MarginRight();
}

void setMargin(TRichPrinter &engine, const QString &edge, double value)
{
    if (edge == "top")
        engine.setMarginTop(value);
    else if (edge == "bottom")
        engine.setMarginBottom(value);
    else if (edge == "left")
        engine.setMarginLeft(value);
    else
        engine.setMarginRight(value);
}

QByteArray le(double value)
{
    QByteArray bytes(8, '\0');
    qToLittleEndian(std::bit_cast<quint64>(value), bytes.data());
    return bytes;
}

// A Letter page at 600 dpi whose four gutters all differ: 0.5 in at the
// left, 0.25 in at the right, 0.125 in at the top and 0.625 in at the bottom.
void useUnevenLetter(FakePrinter &printer)
{
    printer.offsetX = 300;
    printer.printableWidth = 4650;
    printer.offsetY = 75;
    printer.printableHeight = 6150;
}

} // namespace

class tst_RichPrint : public QObject {
    Q_OBJECT
private slots:
    void init();

    void creationDefaults();
    void creationWithoutPrinter();
    void fallbacksWithoutPrinter_data();
    void fallbacksWithoutPrinter();
    void geometryFromPrinter();
    void geometryIsNeverCached();
    void unitsToPixelsRoundsHalfToEven_data();
    void unitsToPixelsRoundsHalfToEven();
    void axesUseTheirOwnResolution();
    void pixelsToTwipsTruncates_data();
    void pixelsToTwipsTruncates();
    void marginClamping_data();
    void marginClamping();
    void oppositeMarginsNotCrossChecked();
    void refusedWhilePrinting_data();
    void refusedWhilePrinting();
    void orientationAndTitleWithoutPrinter();
    void millimetresToInches();
    void inchesToMillimetresAndBack();
    void formatRewrite_data();
    void formatRewrite();
    void unitChangeClampsInNewUnit();
    void sameUnitConvertsNothing();
    void reapplyFitsNewPrinter();
    void hostSettings();

    void readWithoutSubkeyOnlyReclamps();
    void storedUnitCode_data();
    void storedUnitCode();
    void storedDirectionCode_data();
    void storedDirectionCode();
    void malformedStoredValue_data();
    void malformedStoredValue();
    void writeLayout();
    void writtenMarginsSurviveRestart();

private:
    QString storePath() const { return m_dir->filePath("user.reg"); }
    // A store holding the subkey with good values, then `edit` applied.
    void writeStored(const std::function<void(platform::UserStore &)> &edit = {});

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakePrinter> m_printer;
    std::unique_ptr<platform::UserStore> m_store;
};

void tst_RichPrint::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_printer = std::make_unique<FakePrinter>();
    m_store = std::make_unique<platform::UserStore>(storePath());
}

void tst_RichPrint::writeStored(const std::function<void(platform::UserStore &)> &edit)
{
    using platform::StoreValue;
    m_store->writeValues(
        Subkey,
        {StoreValue::binary("MarginLeft", le(20)), StoreValue::binary("MarginTop", le(21)),
         StoreValue::binary("MarginBottom", le(22)), StoreValue::binary("MarginRight", le(23)),
         StoreValue::string("CodeMeasurement", "1"), StoreValue::string("CodeDirection", "1")});
    if (edit)
        edit(*m_store);
}

void tst_RichPrint::creationDefaults()
{
    // Gutters of 2 inches: the defaults are stored without clamping.
    m_printer->offsetX = m_printer->offsetY = 1200;
    TRichPrinter engine(*m_printer, *m_store);
    QCOMPARE(engine.MeasureUnit(), muMillimeters);
    QCOMPARE(engine.SaveMargins(), false);
    QCOMPARE(engine.MarginTop(), 30.0);
    QCOMPARE(engine.MarginBottom(), 25.0);
    QCOMPARE(engine.MarginLeft(), 25.0);
    QCOMPARE(engine.MarginRight(), 15.0);
    QCOMPARE(engine.LogoTop(), 0.0);
    QCOMPARE(engine.LogoLeft(), 0.0);
    QCOMPARE(engine.LogoWidth(), 25.0);
    QCOMPARE(engine.LogoHeight(), 20.0);
    QCOMPARE(engine.BorderOffset(), 2.0);
    QCOMPARE(engine.Header(), QString("{$TITLE}"));
    QCOMPARE(engine.HeaderFormat(), QString(">100"));
    QCOMPARE(engine.Footer(), QString("Page {$PAGE}"));
    QCOMPARE(engine.FooterFormat(), QString(">100"));
    QCOMPARE(engine.ShowProgress(), true);
    QVERIFY(engine.BitmapLogo().isNull());
    // The printer is reset to portrait and an empty job title.
    QCOMPARE(m_printer->currentOrientation, poPortrait);
    QCOMPARE(m_printer->jobTitle, QString());
    QCOMPARE(engine.Title(), QString());
    QVERIFY(!QFile::exists(storePath()));
}

void tst_RichPrint::creationWithoutPrinter()
{
    m_printer->reachable = false;
    TRichPrinter engine(*m_printer, *m_store);
    QCOMPARE(m_printer->currentOrientation, poLandscape);
    QCOMPARE(m_printer->jobTitle, QString("left over"));
    QCOMPARE(engine.Orientation(), poPortrait);
    QCOMPARE(engine.Title(), QString("<Unknown>"));
}

void tst_RichPrint::fallbacksWithoutPrinter_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<QList<double>>("gutters"); // left, top, right, bottom
    QTest::addColumn<QList<double>>("page");    // paper width, height, printable width, height
    QTest::addColumn<double>("oneInch");
    QTest::newRow("inches") << int(muInches) << QList<double>{0.25, 0.25, 0.25, 0.25}
                            << QList<double>{8.5, 11, 8, 10.5} << 1.0;
    QTest::newRow("millimetres") << int(muMillimeters) << QList<double>{6, 6, 6, 7}
                                 << QList<double>{210, 297, 198, 284} << 25.4;
}

void tst_RichPrint::fallbacksWithoutPrinter()
{
    QFETCH(int, unit);
    QFETCH(QList<double>, gutters);
    QFETCH(QList<double>, page);
    QFETCH(double, oneInch);
    m_printer->reachable = false;
    m_printer->dpiX = m_printer->dpiY = 1200; // not to be used
    TRichPrinter engine(*m_printer, *m_store);
    engine.setMeasureUnit(TMeasureUnit(unit));

    COMPARE_EXACT(engine.GutterLeft(), gutters[0]);
    COMPARE_EXACT(engine.GutterTop(), gutters[1]);
    COMPARE_EXACT(engine.GutterRight(), gutters[2]);
    COMPARE_EXACT(engine.GutterBottom(), gutters[3]);
    COMPARE_EXACT(engine.PhysicalPageWidth(), page[0]);
    COMPARE_EXACT(engine.PhysicalPageHeight(), page[1]);
    COMPARE_EXACT(engine.PrintableWidth(), page[2]);
    COMPARE_EXACT(engine.PrintableHeight(), page[3]);
    QCOMPARE(engine.UnitsToPixelsX(oneInch), 600);
    QCOMPARE(engine.UnitsToPixelsY(oneInch), 600);
    QCOMPARE(engine.PixelsToUnitsX(600), oneInch);
    QCOMPARE(engine.PixelsToUnitsY(300), oneInch / 2);
    QCOMPARE(engine.PixelsToTwipsX(600), 1440);
}

void tst_RichPrint::geometryFromPrinter()
{
    TRichPrinter engine(*m_printer, *m_store);
    engine.setMeasureUnit(muInches);
    for (auto set : {&TRichPrinter::setMarginTop, &TRichPrinter::setMarginBottom,
                     &TRichPrinter::setMarginLeft, &TRichPrinter::setMarginRight})
        (engine.*set)(1);
    COMPARE_EXACT(engine.PhysicalPageWidth(), 8.5);
    COMPARE_EXACT(engine.PrintableHeight(), 10.5);
    COMPARE_EXACT(engine.GutterRight(), 0.25);
    QCOMPARE(engine.LeftOffset(), 450);
    QCOMPARE(engine.RightOffset(), 450);
    QCOMPARE(engine.TopOffset(), 450);
    QCOMPARE(engine.BottomOffset(), 450);
    QCOMPARE(engine.TextAreaWidth(), 4800 - 900);
    QCOMPARE(engine.TextAreaHeight(), 6300 - 900);

    engine.setMeasureUnit(muMillimeters);
    COMPARE_EXACT(engine.GutterLeft(), 6.35);
    COMPARE_EXACT(engine.PhysicalPageWidth(), 215.9);
    QCOMPARE(engine.LeftOffset(), 450); // the same paper edge distances in pixels
}

void tst_RichPrint::geometryIsNeverCached()
{
    TRichPrinter engine(*m_printer, *m_store);
    engine.setMeasureUnit(muInches);
    QCOMPARE(engine.GutterLeft(), 0.25);
    m_printer->offsetX = 300;
    m_printer->printableWidth = 4500;
    QCOMPARE(engine.GutterLeft(), 0.5);
    QCOMPARE(engine.GutterRight(), 0.5);
    m_printer->dpiX = 300;
    QCOMPARE(engine.GutterLeft(), 1.0);
    QCOMPARE(engine.UnitsToPixelsX(1), 300);
}

void tst_RichPrint::unitsToPixelsRoundsHalfToEven_data()
{
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("unit");
    QTest::addColumn<double>("length");
    QTest::addColumn<int>("pixels");
    QTest::newRow("2.5 -> 2") << 4 << int(muInches) << 0.625 << 2;
    QTest::newRow("3.5 -> 4") << 4 << int(muInches) << 0.875 << 4;
    QTest::newRow("4.5 -> 4") << 4 << int(muInches) << 1.125 << 4;
    QTest::newRow("2.75 -> 3") << 4 << int(muInches) << 0.6875 << 3;
    QTest::newRow("-2.5 -> -2") << 4 << int(muInches) << -0.625 << -2;
    QTest::newRow("-3.5 -> -4") << 4 << int(muInches) << -0.875 << -4;
    QTest::newRow("host margin") << 600 << int(muInches) << 0.9999999999999999 << 600;
    QTest::newRow("25.4 mm") << 600 << int(muMillimeters) << 25.4 << 600;
    QTest::newRow("1 mm at 600") << 600 << int(muMillimeters) << 1.0 << 24; // 23.62
    QTest::newRow("huge") << 600 << int(muInches) << 1e300 << std::numeric_limits<int>::max();
    QTest::newRow("not a number") << 600 << int(muInches) << std::nan("") << 0;
}

void tst_RichPrint::unitsToPixelsRoundsHalfToEven()
{
    QFETCH(int, dpi);
    QFETCH(int, unit);
    QFETCH(double, length);
    QFETCH(int, pixels);
    m_printer->dpiX = m_printer->dpiY = dpi;
    TRichPrinter engine(*m_printer, *m_store);
    engine.setMeasureUnit(TMeasureUnit(unit));
    QCOMPARE(engine.UnitsToPixelsX(length), pixels);
    QCOMPARE(engine.UnitsToPixelsY(length), pixels);
}

void tst_RichPrint::axesUseTheirOwnResolution()
{
    m_printer->dpiX = 300;
    m_printer->dpiY = 600;
    TRichPrinter engine(*m_printer, *m_store);
    engine.setMeasureUnit(muInches);
    QCOMPARE(engine.UnitsToPixelsX(1), 300);
    QCOMPARE(engine.UnitsToPixelsY(1), 600);
    QCOMPARE(engine.PixelsToUnitsX(300), 1.0);
    QCOMPARE(engine.PixelsToUnitsY(300), 0.5);
    QCOMPARE(engine.PixelsToTwipsX(300), 1440);
    QCOMPARE(engine.PixelsToTwipsY(300), 720);
    // Without a resolution the conversion back assumes 600 dpi.
    m_printer->dpiX = 0;
    QCOMPARE(engine.PixelsToUnitsX(300), 0.5);
}

void tst_RichPrint::pixelsToTwipsTruncates_data()
{
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<int>("twips");
    QTest::newRow("2.4 -> 2") << 600 << 1 << 2;
    QTest::newRow("33.6 -> 33") << 300 << 7 << 33;
    QTest::newRow("toward zero") << 600 << -1 << -2;
    QTest::newRow("exact") << 1200 << 4800 << 5760;
    QTest::newRow("product beyond 32 bits") << 600 << 5000000 << 12000000;
}

void tst_RichPrint::pixelsToTwipsTruncates()
{
    QFETCH(int, dpi);
    QFETCH(int, pixels);
    QFETCH(int, twips);
    m_printer->dpiX = m_printer->dpiY = dpi;
    TRichPrinter engine(*m_printer, *m_store);
    QCOMPARE(engine.PixelsToTwipsX(pixels), twips);
    QCOMPARE(engine.PixelsToTwipsY(pixels), twips);
}

void tst_RichPrint::marginClamping_data()
{
    QTest::addColumn<QString>("edge");
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("stored");
    // Inches on the uneven Letter page (gutters L 0.5, R 0.25, T 0.125, B 0.625).
    QTest::newRow("top below gutter") << "top" << 0.1 << 0.125;
    QTest::newRow("top on gutter") << "top" << 0.125 << 0.125;
    QTest::newRow("top inside") << "top" << 3.0 << 3.0;
    QTest::newRow("top on far edge") << "top" << 10.375 << 10.375;
    QTest::newRow("top beyond far edge") << "top" << 10.5 << 10.375;
    QTest::newRow("bottom below gutter") << "bottom" << 0.5 << 0.625;
    QTest::newRow("bottom beyond far edge") << "bottom" << 12.0 << 10.875;
    QTest::newRow("left below gutter") << "left" << 0.25 << 0.5;
    QTest::newRow("left beyond far edge") << "left" << 9.0 << 8.25;
    QTest::newRow("right below gutter") << "right" << 0.1 << 0.25;
    QTest::newRow("right beyond far edge") << "right" << 8.4 << 8.0;
    QTest::newRow("negative") << "left" << -1.0 << 0.5;
    QTest::newRow("infinite") << "bottom" << std::numeric_limits<double>::infinity() << 10.875;
    QTest::newRow("not a number") << "right" << std::nan("") << 0.25;
}

void tst_RichPrint::marginClamping()
{
    QFETCH(QString, edge);
    QFETCH(double, value);
    QFETCH(double, stored);
    useUnevenLetter(*m_printer);
    TRichPrinter engine(*m_printer, *m_store);
    engine.setMeasureUnit(muInches);
    setMargin(engine, edge, value);
    QCOMPARE(margin(engine, edge), stored);
}

void tst_RichPrint::oppositeMarginsNotCrossChecked()
{
    TRichPrinter engine(*m_printer, *m_store);
    engine.setMeasureUnit(muInches);
    engine.setMarginTop(7);
    engine.setMarginBottom(7);
    engine.setMarginLeft(6);
    engine.setMarginRight(6);
    QCOMPARE(engine.MarginTop(), 7.0);
    QCOMPARE(engine.MarginBottom(), 7.0);
    QCOMPARE(engine.MarginRight(), 6.0);
    QCOMPARE(engine.TextAreaHeight(), 6300 - 2 * 6.75 * 600);
    QCOMPARE(engine.TextAreaWidth(), 4800 - 2 * 5.75 * 600);
}

void tst_RichPrint::refusedWhilePrinting_data()
{
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("message");
    QTest::newRow("top") << "top"
                         << "Unable to change top margin while printing";
    QTest::newRow("bottom") << "bottom"
                            << "Unable to change bottom margin while printing";
    QTest::newRow("left") << "left"
                          << "Unable to change left margin while printing";
    QTest::newRow("right") << "right"
                           << "Unable to change right margin while printing";
    QTest::newRow("orientation") << "orientation"
                                 << "Unable to change orientation while printing";
    QTest::newRow("title") << "title"
                           << "Unable to change title while printing";
}

void tst_RichPrint::refusedWhilePrinting()
{
    QFETCH(QString, property);
    QFETCH(QString, message);
    TRichPrinter engine(*m_printer, *m_store);
    m_printer->jobTitle = "job";
    m_printer->beginDoc();
    try {
        if (property == "orientation")
            engine.setOrientation(poLandscape);
        else if (property == "title")
            engine.setTitle("other");
        else
            setMargin(engine, property, 40);
        QFAIL("the change was accepted while printing");
    } catch (const ELinePrinter &e) {
        QCOMPARE(e.message(), message);
    }
    QCOMPARE(engine.MarginTop(), 30.0);
    QCOMPARE(engine.MarginBottom(), 25.0);
    QCOMPARE(engine.MarginLeft(), 25.0);
    QCOMPARE(engine.MarginRight(), 15.0);
    QCOMPARE(m_printer->currentOrientation, poPortrait);
    QCOMPARE(m_printer->jobTitle, QString("job"));
    // Re-applying is skipped while printing rather than refused.
    engine.ReapplySettings();
    m_printer->endDoc();
    engine.setTitle("other");
    QCOMPARE(engine.Title(), QString("other"));
}

void tst_RichPrint::orientationAndTitleWithoutPrinter()
{
    m_printer->reachable = false;
    TRichPrinter engine(*m_printer, *m_store);
    engine.setOrientation(poLandscape);
    engine.setTitle("Report");
    QCOMPARE(engine.Orientation(), poPortrait);
    QCOMPARE(engine.Title(), QString("<Unknown>"));
    QCOMPARE(m_printer->jobTitle, QString("left over"));
    m_printer->reachable = true;
    engine.setOrientation(poLandscape);
    engine.setTitle("Report");
    QCOMPARE(engine.Orientation(), poLandscape);
    QCOMPARE(engine.Title(), QString("Report"));
}

void tst_RichPrint::millimetresToInches()
{
    m_printer->reachable = false;
    TRichPrinter engine(*m_printer, *m_store);
    engine.setMeasureUnit(muInches);
    QCOMPARE(engine.MeasureUnit(), muInches);
    // The nearest doubles to the exact products.
    COMPARE_EXACT(engine.MarginTop(), 1.1811023622047243);
    COMPARE_EXACT(engine.MarginBottom(), 0.984251968503937);
    COMPARE_EXACT(engine.MarginLeft(), 0.984251968503937);
    COMPARE_EXACT(engine.MarginRight(), 0.5905511811023622);
    COMPARE_EXACT(engine.BorderOffset(), 0.07874015748031496);
    COMPARE_EXACT(engine.LogoWidth(), 0.984251968503937);
    COMPARE_EXACT(engine.LogoHeight(), 0.7874015748031497);
    COMPARE_EXACT(engine.LogoTop(), 0.0);
    COMPARE_EXACT(engine.LogoLeft(), 0.0);
    QCOMPARE(engine.HeaderFormat(), QString(">   3.937"));
    QCOMPARE(engine.FooterFormat(), QString(">   3.937"));
}

void tst_RichPrint::inchesToMillimetresAndBack()
{
    m_printer->reachable = false;
    TRichPrinter engine(*m_printer, *m_store);
    engine.setLogoTop(10);
    engine.setMeasureUnit(muInches);
    engine.setMeasureUnit(muMillimeters);
    QCOMPARE(engine.HeaderFormat(), QString("> 100.000"));
    QCOMPARE(engine.FooterFormat(), QString("> 100.000"));
    QVERIFY(std::abs(engine.MarginTop() - 30) < 1e-12);
    QVERIFY(std::abs(engine.MarginRight() - 15) < 1e-12);
    QVERIFY(std::abs(engine.LogoTop() - 10) < 1e-12);
    QVERIFY(std::abs(engine.BorderOffset() - 2) < 1e-12);
}

void tst_RichPrint::formatRewrite_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("rewritten");
    QTest::newRow("host default") << ">100" << int(muInches) << ">   3.937";
    QTest::newRow("back to mm") << ">   3.937" << int(muMillimeters) << "> 100.000";
    QTest::newRow("left becomes right") << "<25.4" << int(muInches) << ">   1.000";
    QTest::newRow("centred") << "^50.8" << int(muInches) << ">   2.000";
    QTest::newRow("no mark") << "254" << int(muInches) << ">  10.000";
    QTest::newRow("first column only") << "<50.8|>30|^20" << int(muInches) << ">   2.000";
    QTest::newRow("wide") << ">100" << int(muMillimeters) << ">2540.000";
    QTest::newRow("empty") << "" << int(muInches) << ">   0.000";
    QTest::newRow("mark alone") << ">" << int(muInches) << ">   0.000";
    QTest::newRow("not a number") << ">abc" << int(muInches) << ">   0.000";
    QTest::newRow("decimal comma") << ">2,54" << int(muInches) << ">   0.000";
}

void tst_RichPrint::formatRewrite()
{
    QFETCH(QString, format);
    QFETCH(int, to);
    QFETCH(QString, rewritten);
    TRichPrinter engine(*m_printer, *m_store);
    if (to == muMillimeters)
        engine.setMeasureUnit(muInches);
    engine.setHeaderFormat(format);
    engine.setFooterFormat(format);
    engine.setMeasureUnit(TMeasureUnit(to));
    QCOMPARE(engine.HeaderFormat(), rewritten);
    QCOMPARE(engine.FooterFormat(), rewritten);
}

void tst_RichPrint::unitChangeClampsInNewUnit()
{
    // A top gutter of 1.5 inches is above the converted 30 mm (1.18 in).
    m_printer->offsetY = 900;
    m_printer->printableHeight = 5700;
    TRichPrinter engine(*m_printer, *m_store);
    COMPARE_EXACT(engine.MarginTop(), 30.0);
    engine.setMeasureUnit(muInches);
    COMPARE_EXACT(engine.MarginTop(), 1.5);
    COMPARE_EXACT(engine.MarginBottom(), 0.984251968503937);
}

void tst_RichPrint::sameUnitConvertsNothing()
{
    TRichPrinter engine(*m_printer, *m_store);
    engine.setMeasureUnit(muMillimeters);
    QCOMPARE(engine.MarginTop(), 30.0);
    QCOMPARE(engine.HeaderFormat(), QString(">100"));
    // Not even a re-clamp against a printer whose gutters grew.
    m_printer->offsetY = 2400;
    engine.setMeasureUnit(muMillimeters);
    QCOMPARE(engine.MarginTop(), 30.0);
}

void tst_RichPrint::reapplyFitsNewPrinter()
{
    TRichPrinter engine(*m_printer, *m_store);
    engine.setMeasureUnit(muInches);
    engine.setMarginLeft(0.3);
    engine.setMarginRight(8);
    m_printer->offsetX = 300; // the new printer's gutters: 0.5 in left, 0.5 in right
    m_printer->printableWidth = 4500;
    COMPARE_EXACT(engine.MarginLeft(), 0.3);
    engine.ReapplySettings();
    COMPARE_EXACT(engine.MarginLeft(), 0.5);
    COMPARE_EXACT(engine.MarginRight(), 8.0); // 8.5 - 0.5
    COMPARE_EXACT(engine.LogoWidth(), 0.984251968503937);
}

void tst_RichPrint::hostSettings()
{
    // The tray form's order: the unit first, then its own values.
    m_printer->reachable = false;
    TRichPrinter engine(*m_printer, *m_store);
    const double justBelowOne = std::nextafter(1.0, 0.0);
    QCOMPARE(0.9999999999999999, justBelowOne);
    engine.setMeasureUnit(muInches);
    engine.setMarginTop(justBelowOne);
    engine.setMarginBottom(justBelowOne);
    engine.setMarginLeft(justBelowOne);
    engine.setMarginRight(justBelowOne);
    COMPARE_EXACT(engine.MarginTop(), justBelowOne);
    COMPARE_EXACT(engine.MarginRight(), justBelowOne);
    QCOMPARE(engine.LeftOffset(), 450);
    QCOMPARE(engine.TextAreaWidth(), 4800 - 900);
    QCOMPARE(engine.TextAreaHeight(), 6300 - 900);
}

// --- Stored margins ----------------------------------------------------------

void tst_RichPrint::readWithoutSubkeyOnlyReclamps()
{
    TRichPrinter engine(*m_printer, *m_store);
    engine.setMeasureUnit(muInches);
    engine.setMarginTop(0.3);
    m_printer->offsetY = 300; // top gutter now 0.5 in
    m_printer->printableHeight = 6000;
    m_printer->currentOrientation = poLandscape;

    engine.ReadMargins();
    COMPARE_EXACT(engine.MarginTop(), 0.5);
    COMPARE_EXACT(engine.MarginLeft(), 0.984251968503937);
    QCOMPARE(engine.MeasureUnit(), muInches);
    QCOMPARE(engine.Orientation(), poLandscape);
    QVERIFY(m_store->keyExists("RichPrint.Settings"));
    QVERIFY(!m_store->keyExists(Subkey));
}

void tst_RichPrint::storedUnitCode_data()
{
    QTest::addColumn<QString>("code"); // a null string: the value is absent
    QTest::addColumn<int>("unit");
    QTest::newRow("1") << "1" << int(muMillimeters);
    QTest::newRow("0") << "0" << int(muInches);
    QTest::newRow("2") << "2" << int(muInches);
    QTest::newRow("-1") << "-1" << int(muInches);
    QTest::newRow("0x1") << "0x1" << int(muMillimeters);
    QTest::newRow("0X01") << "0X01" << int(muMillimeters);
    QTest::newRow("0x10") << "0x10" << int(muInches);
    QTest::newRow("0x") << "0x" << int(muMillimeters);
    QTest::newRow("0xg") << "0xg" << int(muMillimeters);
    QTest::newRow("not a number") << "mm" << int(muMillimeters);
    QTest::newRow("empty") << "" << int(muMillimeters);
    QTest::newRow("beyond 32 bits") << "4294967296" << int(muMillimeters);
    QTest::newRow("absent") << QString() << int(muMillimeters);
}

void tst_RichPrint::storedUnitCode()
{
    QFETCH(QString, code);
    QFETCH(int, unit);
    writeStored([&](platform::UserStore &store) {
        if (!code.isNull())
            store.writeString(Subkey, "CodeMeasurement", code);
    });
    if (code.isNull()) {
        // Rewrite the subkey without the code.
        QFile::remove(storePath());
        m_store->writeValues(Subkey, {platform::StoreValue::binary("MarginLeft", le(20)),
                                      platform::StoreValue::binary("MarginTop", le(21)),
                                      platform::StoreValue::binary("MarginBottom", le(22)),
                                      platform::StoreValue::binary("MarginRight", le(23))});
    }
    TRichPrinter engine(*m_printer, *m_store);
    engine.setMeasureUnit(muInches);
    engine.ReadMargins();
    QCOMPARE(engine.MeasureUnit(), TMeasureUnit(unit));
    // The stored margins are taken in the stored unit, then clamped.
    if (unit == muMillimeters) {
        COMPARE_EXACT(engine.MarginLeft(), 20.0);
        COMPARE_EXACT(engine.MarginTop(), 21.0);
        COMPARE_EXACT(engine.MarginBottom(), 22.0);
        COMPARE_EXACT(engine.MarginRight(), 23.0);
    } else {
        COMPARE_EXACT(engine.MarginLeft(), 8.25);
        COMPARE_EXACT(engine.MarginTop(), 10.75);
    }
}

void tst_RichPrint::storedDirectionCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("orientation");
    QTest::newRow("1") << "1" << int(poPortrait);
    QTest::newRow("0") << "0" << int(poLandscape);
    QTest::newRow("7") << "7" << int(poLandscape);
    QTest::newRow("0x1") << "0x1" << int(poPortrait);
    QTest::newRow("0x0") << "0x0" << int(poLandscape);
    QTest::newRow("not a number") << "landscape" << int(poPortrait);
}

void tst_RichPrint::storedDirectionCode()
{
    QFETCH(QString, code);
    QFETCH(int, orientation);
    writeStored(
        [&](platform::UserStore &store) { store.writeString(Subkey, "CodeDirection", code); });
    TRichPrinter engine(*m_printer, *m_store);
    m_printer->currentOrientation = orientation == poPortrait ? poLandscape : poPortrait;
    engine.ReadMargins();
    QCOMPARE(m_printer->currentOrientation, TPrinterOrientation(orientation));
}

void tst_RichPrint::malformedStoredValue_data()
{
    using Kind = platform::StoreError::Kind;
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("content"); // the value's data in the store file
    QTest::addColumn<int>("kind");
    QTest::newRow("4-byte margin") << "MarginLeft"
                                   << "hex:00,00,80,3f" << int(Kind::WrongSize);
    QTest::newRow("9-byte margin") << "MarginRight"
                                   << "hex:00,00,00,00,00,00,00,00,00" << int(Kind::WrongSize);
    QTest::newRow("margin as text") << "MarginTop"
                                    << "\"25\"" << int(Kind::WrongType);
    QTest::newRow("margin as number") << "MarginBottom"
                                      << "dword:00000019" << int(Kind::WrongType);
    QTest::newRow("margin missing") << "MarginRight" << QString() << int(Kind::MissingValue);
    QTest::newRow("unit as binary") << "CodeMeasurement"
                                    << "hex:01" << int(Kind::WrongType);
    QTest::newRow("direction as number") << "CodeDirection"
                                         << "dword:00000001" << int(Kind::WrongType);
    QTest::newRow("damaged line") << "MarginTop"
                                  << "25 mm" << int(Kind::Damaged);
}

void tst_RichPrint::malformedStoredValue()
{
    QFETCH(QString, name);
    QFETCH(QString, content);
    QFETCH(int, kind);
    writeStored();
    // Edit the value in the file, as a user with a text editor would.
    QFile file(storePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    file.close();
    const qsizetype at = lines.indexOf(QRegularExpression("^\"" + name + "\"=.*"));
    QVERIFY(at >= 0);
    if (content.isNull())
        lines.removeAt(at);
    else
        lines[at] = '"' + name + "\"=" + content;
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(lines.join('\n').toUtf8());
    file.close();

    TRichPrinter engine(*m_printer, *m_store);
    engine.setMeasureUnit(muInches);
    m_printer->currentOrientation = poLandscape;
    try {
        engine.ReadMargins();
        QFAIL("a malformed stored value was read");
    } catch (const platform::StoreError &e) {
        QCOMPARE(int(e.kind()), kind);
        QVERIFY2(
            e.message().contains(kind == int(platform::StoreError::Kind::Damaged) ? "line" : name),
            qPrintable(e.message()));
        // The way out: the file is named, and deleting it gives the defaults back.
        QVERIFY2(e.message().contains("Deleting the file \"" + storePath() +
                                      "\" restores the default margins."),
                 qPrintable(e.message()));
    }
    // Nothing of the stored settings was applied.
    QCOMPARE(engine.MeasureUnit(), muInches);
    COMPARE_EXACT(engine.MarginTop(), 1.1811023622047243);
    QCOMPARE(m_printer->currentOrientation, poLandscape);
}

void tst_RichPrint::writeLayout()
{
    TRichPrinter engine(*m_printer, *m_store);
    engine.setMeasureUnit(muInches);
    engine.setMarginLeft(1);
    engine.setOrientation(poLandscape);
    engine.WriteMargins();

    QFile file(storePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    const QString expected = "Windows Registry Editor Version 5.00\n"
                             "\n"
                             "[HKEY_CURRENT_USER\\RichPrint.Settings]\n"
                             "\n"
                             "[HKEY_CURRENT_USER\\RichPrint.Settings\\MargesQLT]\n"
                             "\"MarginLeft\"=hex:00,00,00,00,00,00,f0,3f\n"
                             "\"MarginTop\"=hex:" +
                             QString(le(engine.MarginTop()).toHex(',')) +
                             "\n"
                             "\"MarginBottom\"=hex:" +
                             QString(le(engine.MarginBottom()).toHex(',')) +
                             "\n"
                             "\"MarginRight\"=hex:" +
                             QString(le(engine.MarginRight()).toHex(',')) +
                             "\n"
                             "\"CodeMeasurement\"=\"0\"\n"
                             "\"CodeDirection\"=\"0\"\n";
    QCOMPARE(text, expected);

    engine.setMeasureUnit(muMillimeters);
    engine.setOrientation(poPortrait);
    engine.WriteMargins();
    QCOMPARE(m_store->readString(Subkey, "CodeMeasurement"), QString("1"));
    QCOMPARE(m_store->readString(Subkey, "CodeDirection"), QString("1"));
}

void tst_RichPrint::writtenMarginsSurviveRestart()
{
    // Margins that no decimal text would give back exactly.
    const double top = std::nextafter(1.0, 0.0);
    const double bottom = 1.0 / 3.0;
    const double left = std::acos(-1.0) / 4;
    const double right = 0.1 + 0.2;
    {
        TRichPrinter engine(*m_printer, *m_store);
        engine.setMeasureUnit(muInches);
        engine.setMarginTop(top);
        engine.setMarginBottom(bottom);
        engine.setMarginLeft(left);
        engine.setMarginRight(right);
        engine.setOrientation(poLandscape);
        engine.WriteMargins();
    }
    // The next run: a new printer object, a new store on the same file.
    FakePrinter printer;
    platform::UserStore store(storePath());
    TRichPrinter engine(printer, store);
    QCOMPARE(engine.MeasureUnit(), muMillimeters);
    engine.ReadMargins();
    QCOMPARE(engine.MeasureUnit(), muInches);
    QCOMPARE(std::bit_cast<quint64>(engine.MarginTop()), std::bit_cast<quint64>(top));
    QCOMPARE(std::bit_cast<quint64>(engine.MarginBottom()), std::bit_cast<quint64>(bottom));
    QCOMPARE(std::bit_cast<quint64>(engine.MarginLeft()), std::bit_cast<quint64>(left));
    QCOMPARE(std::bit_cast<quint64>(engine.MarginRight()), std::bit_cast<quint64>(right));
    QCOMPARE(engine.Orientation(), poLandscape);
}

QTEST_MAIN(tst_RichPrint)
#include "tst_RichPrint.moc"
