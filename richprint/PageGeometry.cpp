#include "RichPrint.h"

#include "UnitConversion.h"

#include <QLocale>

using namespace richprint;

// --- Conversions ---------------------------------------------------------

int TRichPrinter::unitsToPixels(double length, int logPixels) const
{
    const double inches = m_measureUnit == muInches ? length : scaled(length, InchesPerMillimetre);
    const int dpi = reachable() ? logPixels : FallbackDpi;
    return roundHalfEven(static_cast<long double>(dpi) * inches);
}

double TRichPrinter::pixelsToUnits(int pixels, int logPixels) const
{
    const long double inches = reachable() && logPixels != 0
                                   ? static_cast<long double>(pixels) / logPixels
                                   : pixels * (1.0L / FallbackDpi);
    return double(m_measureUnit == muInches ? inches : inches * MillimetresPerInch);
}

int TRichPrinter::pixelsToTwips(int pixels, int logPixels) const
{
    const int dpi = reachable() && logPixels != 0 ? logPixels : FallbackDpi;
    const qint64 product = qint64(pixels) * 1440;
    return truncated(static_cast<long double>(product) / dpi);
}

int TRichPrinter::UnitsToPixelsX(double length) const
{
    return unitsToPixels(length, m_printer.logPixelsX());
}

int TRichPrinter::UnitsToPixelsY(double length) const
{
    return unitsToPixels(length, m_printer.logPixelsY());
}

double TRichPrinter::PixelsToUnitsX(int pixels) const
{
    return pixelsToUnits(pixels, m_printer.logPixelsX());
}

double TRichPrinter::PixelsToUnitsY(int pixels) const
{
    return pixelsToUnits(pixels, m_printer.logPixelsY());
}

int TRichPrinter::PixelsToTwipsX(int pixels) const
{
    return pixelsToTwips(pixels, m_printer.logPixelsX());
}

int TRichPrinter::PixelsToTwipsY(int pixels) const
{
    return pixelsToTwips(pixels, m_printer.logPixelsY());
}

// --- Page geometry ---------------------------------------------------------
// Without a printer: a Letter page in inches, an A4 page in millimetres.

double TRichPrinter::fromPrinter(int (platform::Printer::*pixels)() const, bool vertical,
                                 double inches, double millimetres) const
{
    if (!reachable())
        return m_measureUnit == muInches ? inches : millimetres;
    const int value = (m_printer.*pixels)();
    return vertical ? PixelsToUnitsY(value) : PixelsToUnitsX(value);
}

double TRichPrinter::PhysicalPageWidth() const
{
    return fromPrinter(&platform::Printer::physicalWidth, false, 8.5, 210);
}

double TRichPrinter::PhysicalPageHeight() const
{
    return fromPrinter(&platform::Printer::physicalHeight, true, 11, 297);
}

double TRichPrinter::PrintableWidth() const
{
    return fromPrinter(&platform::Printer::pageWidth, false, 8, 198);
}

double TRichPrinter::PrintableHeight() const
{
    return fromPrinter(&platform::Printer::pageHeight, true, 10.5, 284);
}

double TRichPrinter::GutterLeft() const
{
    return fromPrinter(&platform::Printer::physicalOffsetX, false, 0.25, 6);
}

double TRichPrinter::GutterTop() const
{
    return fromPrinter(&platform::Printer::physicalOffsetY, true, 0.25, 6);
}

double TRichPrinter::GutterRight() const
{
    return double(static_cast<long double>(PhysicalPageWidth()) - PrintableWidth() - GutterLeft());
}

double TRichPrinter::GutterBottom() const
{
    return double(static_cast<long double>(PhysicalPageHeight()) - PrintableHeight() - GutterTop());
}

int TRichPrinter::LeftOffset() const
{
    return UnitsToPixelsX(m_marginLeft - GutterLeft());
}

int TRichPrinter::RightOffset() const
{
    return UnitsToPixelsX(m_marginRight - GutterRight());
}

int TRichPrinter::TopOffset() const
{
    return UnitsToPixelsY(m_marginTop - GutterTop());
}

int TRichPrinter::BottomOffset() const
{
    // The footer band is never lower than one footer line.
    return std::max(UnitsToPixelsY(m_marginBottom - GutterBottom()), m_lineHeight);
}

int TRichPrinter::TextAreaWidth() const
{
    return UnitsToPixelsX(PrintableWidth()) - LeftOffset() - RightOffset();
}

int TRichPrinter::TextAreaHeight() const
{
    return UnitsToPixelsY(PrintableHeight()) - TopOffset() - BottomOffset();
}

// --- Unit change -------------------------------------------------------------

QString TRichPrinter::convertedFormat(const QString &format, long double factor) const
{
    // The alignment mark goes; the first column's width is converted and
    // becomes the width of one right-aligned column.
    QString width = format;
    if (width.startsWith(QLatin1Char('<')) || width.startsWith(QLatin1Char('>')) ||
        width.startsWith(QLatin1Char('^')))
        width.remove(0, 1);
    width = width.section(QLatin1Char('|'), 0, 0).trimmed();
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(width, &ok);
    // A column without a valid width has the default width, converted already.
    const double converted =
        ok && std::isfinite(value) ? scaled(value, factor) : m_defaultColumnWidth;
    return QLatin1Char('>') + QString::asprintf("%8.3f", converted);
}

void TRichPrinter::setMeasureUnit(TMeasureUnit unit)
{
    if (unit == m_measureUnit)
        return;
    m_measureUnit = unit;
    if (m_constructing)
        return;
    const long double factor = unit == muInches ? InchesPerMillimetre : MillimetresPerInch;
    // The margins are clamped against gutters already given in the new unit.
    setMarginTop(scaled(m_marginTop, factor));
    setMarginBottom(scaled(m_marginBottom, factor));
    setMarginLeft(scaled(m_marginLeft, factor));
    setMarginRight(scaled(m_marginRight, factor));
    m_borderOffset = scaled(m_borderOffset, factor);
    m_defaultColumnWidth = scaled(m_defaultColumnWidth, factor);
    m_logoHeight = scaled(m_logoHeight, factor);
    m_logoLeft = scaled(m_logoLeft, factor);
    m_logoTop = scaled(m_logoTop, factor);
    m_logoWidth = scaled(m_logoWidth, factor);
    m_footerFormat = convertedFormat(m_footerFormat, factor);
    m_headerFormat = convertedFormat(m_headerFormat, factor);
    ReapplySettings();
}
