#include "RichPrint.h"

#include "platform/Services.h"
#include "platform/UserStore.h"

#include <QLocale>
#include <QtEndian>

#include <bit>
#include <climits>
#include <cmath>
#include <optional>

namespace {

// Conversions are done in extended precision and rounded to a double at the
// end, so converted lengths are the nearest doubles to the exact products.
constexpr long double InchesPerMillimetre = 0.0393700787401574803L;
constexpr long double MillimetresPerInch = 25.4L;
// The resolution assumed when the printer cannot be reached.
constexpr int FallbackDpi = 600;

const QString SettingsKey = QStringLiteral("RichPrint.Settings");
const QString MarginsKey = QStringLiteral("RichPrint.Settings\\MargesQLT");

double scaled(double value, long double factor)
{
    return double(value * factor);
}

// To the nearest integer, halves to the even neighbour, limited to int.
int roundHalfEven(long double x)
{
    if (std::isnan(x))
        return 0;
    if (x >= INT_MAX)
        return INT_MAX;
    if (x <= INT_MIN)
        return INT_MIN;
    long double r = std::floor(x);
    const long double fraction = x - r;
    if (fraction > 0.5L || (fraction == 0.5L && std::fmod(r, 2.0L) != 0))
        r += 1;
    return int(r);
}

int truncated(long double x)
{
    if (std::isnan(x))
        return 0;
    if (x >= INT_MAX)
        return INT_MAX;
    if (x <= INT_MIN)
        return INT_MIN;
    return int(std::trunc(x));
}

QByteArray encodeDouble(double value)
{
    QByteArray bytes(8, '\0');
    qToLittleEndian(std::bit_cast<quint64>(value), bytes.data());
    return bytes;
}

double decodeDouble(const QByteArray &bytes)
{
    return std::bit_cast<double>(qFromLittleEndian<quint64>(bytes.constData()));
}

// A stored code: decimal text, or hexadecimal after "0x" or "0X", with an
// optional sign. Nothing else is a number.
std::optional<int> parseCode(const QString &text)
{
    QString digits = text;
    bool negative = false;
    if (digits.startsWith(QLatin1Char('-')) || digits.startsWith(QLatin1Char('+'))) {
        negative = digits.startsWith(QLatin1Char('-'));
        digits.remove(0, 1);
    }
    int base = 10;
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        digits.remove(0, 2);
    }
    if (digits.isEmpty())
        return std::nullopt;
    for (QChar c : digits) {
        const bool isDigit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const bool isHexLetter = (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
                                 (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        if (!isDigit && !(base == 16 && isHexLetter))
            return std::nullopt;
    }
    bool ok = false;
    const qulonglong magnitude = digits.toULongLong(&ok, base);
    const qlonglong value = negative ? -qlonglong(magnitude) : qlonglong(magnitude);
    if (!ok || magnitude > qulonglong(INT_MAX) + 1 || value > INT_MAX)
        return std::nullopt;
    return int(value);
}

} // namespace

TRichPrinter::TRichPrinter(QObject *parent)
    : TRichPrinter(platform::services().printer(), platform::services().userStore(), parent)
{
}

TRichPrinter::TRichPrinter(platform::Printer &printer, platform::UserStore &store, QObject *parent)
    : QObject(parent), m_printer(printer), m_store(store)
{
    // The header and footer texts and the lengths start at their defaults as
    // they are, without clamping.
    if (reachable() && !m_printer.printing()) {
        m_printer.setOrientation(poPortrait);
        m_printer.setTitle(QString());
    }
    setMeasureUnit(muMillimeters); // converts nothing yet
    m_saveMargins = false;
    m_constructing = false;
}

TRichPrinter::~TRichPrinter() = default;

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

// --- Margins -------------------------------------------------------------

void TRichPrinter::setMargin(Edge edge, double value)
{
    static const char *const names[] = {"top", "bottom", "left", "right"};
    if (m_printer.printing())
        throw ELinePrinter(QStringLiteral("Unable to change %1 margin while printing")
                               .arg(QLatin1String(names[int(edge)])));
    // A margin lies between its own gutter and the far edge of the printable
    // area; opposite margins are not checked against each other.
    double low = 0;
    double high = 0;
    double *margin = nullptr;
    switch (edge) {
    case Edge::Top:
        low = GutterTop();
        high = PhysicalPageHeight() - GutterBottom();
        margin = &m_marginTop;
        break;
    case Edge::Bottom:
        low = GutterBottom();
        high = PhysicalPageHeight() - GutterTop();
        margin = &m_marginBottom;
        break;
    case Edge::Left:
        low = GutterLeft();
        high = PhysicalPageWidth() - GutterRight();
        margin = &m_marginLeft;
        break;
    case Edge::Right:
        low = GutterRight();
        high = PhysicalPageWidth() - GutterLeft();
        margin = &m_marginRight;
        break;
    }
    // A value that is not a number (a damaged stored margin) counts as too small.
    if (std::isnan(value) || low > value)
        *margin = low;
    else if (value > high)
        *margin = high;
    else
        *margin = value;
}

void TRichPrinter::setMarginTop(double value)
{
    setMargin(Edge::Top, value);
}

void TRichPrinter::setMarginBottom(double value)
{
    setMargin(Edge::Bottom, value);
}

void TRichPrinter::setMarginLeft(double value)
{
    setMargin(Edge::Left, value);
}

void TRichPrinter::setMarginRight(double value)
{
    setMargin(Edge::Right, value);
}

void TRichPrinter::ReapplySettings()
{
    if (m_printer.printing())
        return;
    setMarginTop(m_marginTop);
    setMarginBottom(m_marginBottom);
    setMarginLeft(m_marginLeft);
    setMarginRight(m_marginRight);
}

// --- Orientation and title -------------------------------------------------

TPrinterOrientation TRichPrinter::Orientation() const
{
    return reachable() ? m_printer.orientation() : poPortrait;
}

void TRichPrinter::setOrientation(TPrinterOrientation orientation)
{
    if (m_printer.printing())
        throw ELinePrinter(QStringLiteral("Unable to change orientation while printing"));
    if (reachable())
        m_printer.setOrientation(orientation);
}

QString TRichPrinter::Title() const
{
    return reachable() ? m_printer.title() : QStringLiteral("<Unknown>");
}

void TRichPrinter::setTitle(const QString &title)
{
    if (m_printer.printing())
        throw ELinePrinter(QStringLiteral("Unable to change title while printing"));
    if (reachable())
        m_printer.setTitle(title);
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

// --- Stored margins ------------------------------------------------------------

void TRichPrinter::ReadMargins()
{
    m_store.createKey(SettingsKey);
    if (!m_store.keyExists(MarginsKey)) {
        // Nothing stored yet: keep the values, fitted to the printer now selected.
        setMarginLeft(m_marginLeft);
        setMarginTop(m_marginTop);
        setMarginBottom(m_marginBottom);
        setMarginRight(m_marginRight);
        setMeasureUnit(m_measureUnit);
        setOrientation(Orientation());
        return;
    }
    // A missing or unreadable code counts as 1; text that is no number too.
    const auto code = [this](const QString &name) {
        if (!m_store.valueExists(MarginsKey, name))
            return 1;
        return parseCode(m_store.readString(MarginsKey, name)).value_or(1);
    };
    const auto margin = [this](const QString &name) {
        return decodeDouble(m_store.readBinary(MarginsKey, name, 8));
    };
    // Every value is read before any is applied, so a malformed one leaves
    // the engine as it was.
    const TMeasureUnit unit =
        code(QStringLiteral("CodeMeasurement")) == 1 ? muMillimeters : muInches;
    const double left = margin(QStringLiteral("MarginLeft"));
    const double top = margin(QStringLiteral("MarginTop"));
    const double bottom = margin(QStringLiteral("MarginBottom"));
    const double right = margin(QStringLiteral("MarginRight"));
    const TPrinterOrientation orientation =
        code(QStringLiteral("CodeDirection")) == 1 ? poPortrait : poLandscape;

    setMeasureUnit(unit);
    setMarginLeft(left);
    setMarginTop(top);
    setMarginBottom(bottom);
    setMarginRight(right);
    setOrientation(orientation);
}

void TRichPrinter::WriteMargins()
{
    using platform::StoreValue;
    m_store.createKey(SettingsKey);
    m_store.writeValues(
        MarginsKey,
        {
            StoreValue::binary(QStringLiteral("MarginLeft"), encodeDouble(m_marginLeft)),
            StoreValue::binary(QStringLiteral("MarginTop"), encodeDouble(m_marginTop)),
            StoreValue::binary(QStringLiteral("MarginBottom"), encodeDouble(m_marginBottom)),
            StoreValue::binary(QStringLiteral("MarginRight"), encodeDouble(m_marginRight)),
            StoreValue::string(QStringLiteral("CodeMeasurement"), m_measureUnit == muMillimeters
                                                                      ? QStringLiteral("1")
                                                                      : QStringLiteral("0")),
            StoreValue::string(QStringLiteral("CodeDirection"), Orientation() == poPortrait
                                                                    ? QStringLiteral("1")
                                                                    : QStringLiteral("0")),
        });
}
