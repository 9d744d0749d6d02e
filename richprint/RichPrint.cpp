#include "RichPrint.h"

#include "RichPrntProgDlg.h"
#include "platform/RichEdit.h"
#include "platform/Services.h"
#include "platform/UserStore.h"

#include <QDate>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QTextDocument>
#include <QTime>
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
    // The header and footer font is the printer's drawing font.
    QFont font(QStringLiteral("Courier New"));
    font.setPointSize(10);
    m_printer.setFont(font);
    m_printer.setFontColor(Qt::black);
    m_constructing = false;
}

TRichPrinter::~TRichPrinter()
{
    delete m_progressWindow;
}

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

// --- Header and footer: the column-format language ----------------------------------

namespace HeaderFooter {

QStringList SplitColumns(const QString &text)
{
    return text.split(QLatin1Char('|'), Qt::KeepEmptyParts);
}

TColumnSpec ParseColumnSpec(const QString &spec, double defaultWidth, const QLocale &locale)
{
    TColumnSpec column;
    QString width = spec;
    if (!spec.isEmpty()) {
        const QChar mark = spec.front();
        if (mark == QLatin1Char('<') || mark == QLatin1Char('>') || mark == QLatin1Char('^')) {
            column.align = mark == QLatin1Char('>')   ? TColumnAlign::Right
                           : mark == QLatin1Char('^') ? TColumnAlign::Center
                                                      : TColumnAlign::Left;
            width.remove(0, 1);
        }
    }
    // Only the locale's decimal notation counts: no group separators, so a
    // point on a decimal-comma locale makes the width invalid.
    QLocale reader = locale;
    reader.setNumberOptions(reader.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = reader.toDouble(width.trimmed(), &ok);
    column.width = ok && std::isfinite(value) ? value : defaultWidth;
    return column;
}

QString ReplaceMacro(const QString &macro, const QString &value, const QString &text)
{
    if (macro.isEmpty() || value.contains(macro))
        return text;
    // The first occurrence is replaced until none is left. A replacement can
    // join with its neighbours into a new occurrence; each such round shortens
    // what follows the value, but a bound keeps a hostile text from looping.
    QString result = text;
    qsizetype rounds = text.size() + 1;
    for (qsizetype at = result.indexOf(macro); at >= 0 && rounds > 0;
         at = result.indexOf(macro), --rounds)
        result = result.left(at) + value + result.mid(at + macro.size());
    return result;
}

} // namespace HeaderFooter

// --- Header and footer: font, measuring, drawing --------------------------------------

QFont TRichPrinter::Font_HeaderFooter() const
{
    return m_printer.font();
}

QColor TRichPrinter::FontColor_HeaderFooter() const
{
    return m_printer.fontColor();
}

void TRichPrinter::setFont_HeaderFooter(const QFont &font, const QColor &color)
{
    if (!reachable())
        return;
    m_printer.setFont(font);
    // White text would vanish on the paper.
    m_printer.setFontColor(color.rgb() == qRgb(255, 255, 255) ? QColor(Qt::black) : color);
    UpdateLineHeight();
}

void TRichPrinter::refreshFont()
{
    setFont_HeaderFooter(Font_HeaderFooter(), FontColor_HeaderFooter());
    MatchFontToPrinter();
}

void TRichPrinter::MatchFontToPrinter()
{
    // A font given in pixels (of the screen) gets the whole point size those
    // pixels make there; a point size prints at its nominal size on any device.
    QFont font = m_printer.font();
    if (font.pixelSize() > 0) {
        const QScreen *screen = QGuiApplication::primaryScreen();
        const double screenDpi = screen ? screen->logicalDotsPerInchY() : 96.0;
        font.setPointSize(std::max(1, qRound(font.pixelSize() * 72.0 / screenDpi)));
        m_printer.setFont(font);
    }
}

void TRichPrinter::UpdateLineHeight()
{
    QPaintDevice *device = m_printer.device();
    if (!reachable() || !device) {
        m_lineHeight = 10;
        return;
    }
    const QFontMetrics metrics(m_printer.font(), device);
    // While printing: cell height and external leading; otherwise the height of "M".
    m_lineHeight = m_printer.printing() ? metrics.height() + metrics.leading()
                                        : metrics.size(0, QStringLiteral("M")).height();
}

int TRichPrinter::textWidth(const QString &text) const
{
    QPaintDevice *device = m_printer.device();
    if (!reachable() || !device)
        throw platform::PrinterError(QStringLiteral("There is no printer to measure text on"));
    return QFontMetrics(m_printer.font(), device).horizontalAdvance(text);
}

QPainter &TRichPrinter::canvas() const
{
    QPainter *painter = m_printer.canvas();
    if (!painter)
        throw platform::PrinterError(QStringLiteral("No print job is running"));
    return *painter;
}

QString TRichPrinter::ExpandMacros(const QString &text) const
{
    // Each value is made only when its macro is there to be replaced.
    const auto replace = [](const QString &s, const QString &macro, const auto &value) {
        return s.contains(macro) ? HeaderFooter::ReplaceMacro(macro, value(), s) : s;
    };
    const QLocale locale;
    QString s =
        replace(text, QStringLiteral("{$LINE}"), [this] { return QString::number(m_lineCounter); });
    s = replace(s, QStringLiteral("{$PAGE}"), [this] { return QString::number(m_currentPage); });
    s = replace(s, QStringLiteral("{$DATE}"),
                [&locale] { return locale.toString(QDate::currentDate(), QLocale::ShortFormat); });
    s = replace(s, QStringLiteral("{$TIME}"), [&locale] {
        // The long time format without its time-zone field.
        static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b"));
        return locale.toString(QTime::currentTime(),
                               locale.timeFormat(QLocale::LongFormat).remove(zone));
    });
    return replace(s, QStringLiteral("{$TITLE}"), [this] { return Title(); });
}

QString TRichPrinter::FitText(const QString &text, int maxWidth) const
{
    try {
        if (textWidth(text) <= maxWidth)
            return text;
        qsizetype hi = text.size();
        qsizetype lo = 1;
        qsizetype mid = 0;
        qsizetype prev = 0;
        do {
            prev = mid;
            mid = (lo + hi) / 2;
            const int w = textWidth(text.left(mid));
            if (w > maxWidth)
                hi = mid;
            else if (w < maxWidth)
                lo = mid;
            else
                lo = hi;
        } while (mid != prev && hi > lo);
        return text.left(mid);
    } catch (const platform::PrinterError &) {
        return text;
    }
}

void TRichPrinter::PrintColumns(const QString &text)
{
    const QStringList specs = HeaderFooter::SplitColumns(m_columnFormat);
    const QStringList texts = HeaderFooter::SplitColumns(text);
    const QLocale locale;
    m_cursorX = LeftOffset();
    for (qsizetype i = 0; i < specs.size(); ++i) {
        const TColumnSpec spec =
            HeaderFooter::ParseColumnSpec(specs[i], m_defaultColumnWidth, locale);
        const int cw = UnitsToPixelsX(spec.width);
        QString s = i < texts.size() ? texts[i] : QString();
        if (s.contains(QLatin1String("{$")))
            s = ExpandMacros(s);
        s = FitText(s, cw);
        try {
            const int w = textWidth(s);
            int offset = 0;
            if (spec.align == TColumnAlign::Right)
                offset = cw - w;
            else if (spec.align == TColumnAlign::Center)
                offset = int(std::floor((cw - w) / 2.0));
            // Text short of the column keeps a small distance from its edge.
            const int pad = (m_printer.logPixelsX() / 600) * 6;
            if (w < cw - pad) {
                if (spec.align == TColumnAlign::Right)
                    offset -= pad;
                else if (spec.align == TColumnAlign::Left)
                    offset += pad;
            }
            QPainter &painter = canvas();
            painter.setFont(m_printer.font());
            painter.setPen(m_printer.fontColor());
            const QFontMetrics metrics(m_printer.font(), painter.device());
            painter.drawText(QPoint(m_cursorX + offset, TopOffset() + m_cursorY + metrics.ascent()),
                             s);
        } catch (const platform::PrinterError &) {
            // A column the printer cannot take is left out.
        }
        m_cursorX += cw;
    }
}

QRect TRichPrinter::LogoRect() const
{
    const int cursorY = (TopOffset() - m_lineHeight) / 2 + m_lineHeight;
    const int cursorX = LeftOffset();
    const long double w = TextAreaWidth();
    const long double h = TextAreaHeight();
    const int top =
        roundHalfEven(m_logoTop / static_cast<long double>(PhysicalPageHeight()) * h) + cursorY;
    const int left =
        roundHalfEven(m_logoLeft / static_cast<long double>(PhysicalPageWidth()) * w) + cursorX;
    const int right =
        left + roundHalfEven(m_logoWidth / static_cast<long double>(PhysicalPageWidth()) * w);
    const int bottom =
        top + roundHalfEven(m_logoHeight / static_cast<long double>(PhysicalPageHeight()) * h);
    // Right and bottom are the first pixels outside.
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

void TRichPrinter::drawLogo()
{
    try {
        // Right under the header line, from the left margin.
        m_cursorY = (TopOffset() - m_lineHeight) / 2 + m_lineHeight;
        m_cursorX = LeftOffset();
        const QRect rect = LogoRect();
        QPainter &painter = canvas();
        painter.save();
        const auto restore = qScopeGuard([&painter] { painter.restore(); });
        painter.setPen(QPen(Qt::black, 0, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect);
        painter.drawImage(rect, m_bitmapLogo);
    } catch (const platform::PrinterError &) {
        // The page goes on without its logo.
    }
}

void TRichPrinter::drawBorders()
{
    if (!m_pageBorders)
        return;
    try {
        QPainter &painter = canvas();
        const int L = LeftOffset();
        const int T = TopOffset();
        const int W = TextAreaWidth();
        const int H = TextAreaHeight();
        const int b = UnitsToPixelsY(m_borderOffset);
        const int d = UnitsToPixelsX(m_borderOffset);
        // A width of 0 is the thinnest line the device draws.
        const int horizontal = (m_printer.logPixelsY() / 600) * 2;
        const int vertical = (m_printer.logPixelsX() / 600) * 2;
        painter.save();
        const auto restore = qScopeGuard([&painter] { painter.restore(); });
        const auto line = [&painter](int width, QPoint from, QPoint to) {
            painter.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::FlatCap));
            painter.drawLine(from, to);
        };
        if (m_pageBorders & pbTop)
            line(horizontal, {L - b, T - b}, {L + W + b, T - b});
        if (m_pageBorders & pbBottom)
            line(horizontal, {L - b, T + H + 2 * b}, {L + W + b, T + H + 2 * b});
        if (m_pageBorders & pbLeft)
            line(vertical, {L - d, T - d}, {L - d, T + H + 2 * d});
        if (m_pageBorders & pbRight)
            line(vertical, {L + W + d, T - d}, {L + W + d, T + H + 2 * d});
    } catch (const platform::PrinterError &) {
        // The page goes on without its borders.
    }
}

void TRichPrinter::DecoratePage()
{
    ShowProgressStatus(QStringLiteral("Currently Printing"));
    const QString format = m_columnFormat;
    const auto restoreFormat = qScopeGuard([this, format] { m_columnFormat = format; });
    if (!m_header.isEmpty()) {
        refreshFont();
        UpdateLineHeight();
        // Centred in the band between the printable edge and the top margin.
        const int top = roundHalfEven((TopOffset() - m_lineHeight) * 0.5L);
        m_cursorY = top - TopOffset();
        m_columnFormat = m_headerFormat;
        PrintColumns(m_header);
        if (!m_bitmapLogo.isNull())
            drawLogo();
    }
    if (!m_footer.isEmpty()) {
        refreshFont();
        UpdateLineHeight();
        // Centred in the band between the text area and the printable bottom edge.
        m_cursorY = TextAreaHeight() + (BottomOffset() - m_lineHeight) / 2;
        m_columnFormat = m_footerFormat;
        PrintColumns(m_footer);
    }
    m_cursorX = 0;
    m_cursorY = 0;
    m_lineCounter = 0;
    emit OnNewPage(this);
    drawBorders();
}

// --- The print job ----------------------------------------------------------------------

void TRichPrinter::setOptions_Dialog(TPageOptions options)
{
    using namespace platform;
    quint32 flags = 0;
    if (options & poDisableMargins) {
        flags |= PsdDisableMargins;
        options &= ~TPageOptions(poMargins);
    }
    if (options & poMargins) {
        flags |= PsdMargins;
        options &= ~TPageOptions(poDisableMargins);
    }
    if (options & poDisableOrientation)
        flags |= PsdDisableOrientation;
    if (options & poDisablePaper)
        flags |= PsdDisablePaper;
    if (options & poDisablePrinter)
        flags |= PsdDisablePrinter;
    flags |=
        m_measureUnit == muMillimeters ? PsdInHundredthsOfMillimeters : PsdInThousandthsOfInches;
    m_options = options;
    m_dialogFlags = flags;
}

void TRichPrinter::ShowProgressStatus(const QString &status)
{
    if (m_showProgress && m_printer.printing()) {
        if (!m_progressWindow)
            m_progressWindow = new TRichPrntProgDlg;
        if (m_progressWindow->isHidden())
            m_progressWindow->show();
        if (!status.isNull())
            m_progressWindow->lblStatus->setText(status);
        m_progressWindow->lblTitle->setText(Title());
        m_progressWindow->lblPageNumber->setText(QString::number(m_currentPage));
        m_progressWindow->repaint();
    } else if (m_progressWindow) {
        if (m_progressWindow->isVisible())
            m_progressWindow->close();
        delete m_progressWindow;
    }
}

void TRichPrinter::BeginDoc()
{
    if (m_saveMargins)
        ReadMargins();
    emit OnBeginDoc(this);
    bool started = false;
    try {
        m_printer.beginDoc();
        started = true;
        refreshFont();
        UpdateLineHeight();
    } catch (const platform::PrinterIoError &error) {
        if (started)
            m_printer.abort();
        throw ELinePrinter(error.message());
    } catch (const platform::PrinterError &) {
        // A job of someone else's that already runs is left alone.
        if (started)
            m_printer.abort();
        throw ELinePrinter(QStringLiteral("Not be able to start the printing."));
    }
    ShowProgressStatus(QStringLiteral("Preparing to Print"));
    m_lineCounter = 0;
    m_currentPage = m_firstPage;
    DecoratePage();
}

int TRichPrinter::NewPage()
{
    try {
        m_printer.newPage();
    } catch (const platform::PrinterError &) {
        throw ELinePrinter(QStringLiteral("Not be able to print a new page."));
    }
    ++m_currentPage;
    DecoratePage();
    return m_currentPage;
}

void TRichPrinter::EndDoc()
{
    std::exception_ptr failure;
    try {
        ShowProgressStatus(QStringLiteral("Finished Printing"));
        try {
            m_printer.endDoc();
        } catch (const platform::PrinterIoError &) {
            throw ELinePrinter(QStringLiteral("Not be able to print to a file."));
        } catch (const platform::PrinterError &) {
            throw ELinePrinter(QStringLiteral("Not be able to end the printing."));
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // The printer no longer prints, so this closes the progress window.
    ShowProgressStatus();
    emit OnEndDoc(this);
    if (failure)
        std::rethrow_exception(failure);
}

namespace {

// True when nothing but blanks and paragraph ends follows `from`: a page
// holding only that is not printed. A real character always gets its page.
bool onlyBlanksFrom(const platform::RichEdit *control, int from)
{
    const QTextDocument *document = control->document();
    const int end = document->characterCount();
    for (int i = from; i < end; ++i) {
        const QChar c = document->characterAt(i);
        if (!c.isSpace() && c != QChar::ParagraphSeparator && c != QChar::Null)
            return false;
    }
    return true;
}

} // namespace

void TRichPrinter::PrintRichEdit(platform::RichEdit *control, int firstPage)
{
    m_control = control;
    m_firstPage = firstPage;
    QRect rect; // the text rectangle in twips; the page rectangle is the same
    const bool busy = m_printer.printing();
    try {
        BeginDoc();
    } catch (...) {
        // A job this call started and could not get its first page ready is
        // thrown away; one that ran already is not ours to end.
        if (!busy)
            m_printer.abort();
        ShowProgressStatus();
        throw;
    }

    // Drawing in device pixels from here on, as the control expects; the
    // painter's previous transform comes back when the job ends.
    QPainter *painter = m_printer.canvas();
    const QTransform previous = painter ? painter->transform() : QTransform();
    const auto restore = [this, &previous] {
        if (QPainter *p = m_printer.canvas())
            p->setTransform(previous);
    };
    try {
        const auto fillRange = [this, &rect] {
            const int left = PixelsToTwipsX(LeftOffset());
            const int top = PixelsToTwipsY(TopOffset());
            const int right = PixelsToTwipsX(LeftOffset() + TextAreaWidth());
            const int bottom = PixelsToTwipsY(TopOffset() + TextAreaHeight());
            rect = QRect(left, top, right - left, bottom - top);
        };
        fillRange();
        QPaintDevice *device = m_printer.canvas() ? m_printer.canvas()->device() : nullptr;
        const int textLength = control->textLength();
        if (painter)
            painter->resetTransform();
        control->releaseFormatCache();
        int start = 0;
        bool done = false;
        int next = 0;
        do {
            next = control->formatRange(device, start, rect, true);
            const int measure = control->formatRange(device, next, rect, false);
            if (next < textLength && next != -1) {
                if (std::abs(next - measure) < 2 && onlyBlanksFrom(control, next))
                    done = true;
                else {
                    NewPage();
                    fillRange();
                }
            }
            const bool progress = next > start;
            start = next;
            if (!(next < textLength && next != -1 && progress && !done))
                break;
        } while (true);
        control->releaseFormatCache();
    } catch (...) {
        restore();
        // The job is thrown away, so that the printer is free for the next one.
        control->releaseFormatCache();
        m_printer.abort();
        ShowProgressStatus();
        throw;
    }
    EndDoc();
    restore();
}

bool TRichPrinter::PageSetup()
{
    if (!reachable())
        throw platform::PrinterError(QStringLiteral("There is no printer installed"));
    if (m_saveMargins)
        ReadMargins();
    setOrientation(Orientation());
    const bool millimetres = m_measureUnit == muMillimeters;
    const long double perUnit = millimetres ? 100 : 1000;
    QMargins rect(roundHalfEven(m_marginLeft * perUnit), roundHalfEven(m_marginTop * perUnit),
                  roundHalfEven(m_marginRight * perUnit), roundHalfEven(m_marginBottom * perUnit));
    quint32 flags = m_dialogFlags | platform::PsdEnablePageSetupHook;
    // The margins are given in the engine's unit, also before Options_Dialog
    // has been assigned.
    flags &= ~quint32(platform::PsdInHundredthsOfMillimeters | platform::PsdInThousandthsOfInches);
    flags |=
        millimetres ? platform::PsdInHundredthsOfMillimeters : platform::PsdInThousandthsOfInches;
    const bool accepted = m_printer.pageSetup(rect, flags);
    const double perValue = millimetres ? 0.01 : 0.001;
    setMarginLeft(rect.left() * perValue);
    setMarginTop(rect.top() * perValue);
    setMarginRight(rect.right() * perValue);
    setMarginBottom(rect.bottom() * perValue);
    ReapplySettings();
    if (m_saveMargins)
        WriteMargins();
    return accepted;
}
