#include "RichPrint.h"

#include "platform/UserStore.h"

#include <QtEndian>

#include <bit>
#include <climits>
#include <optional>

namespace {

const QString SettingsKey = QStringLiteral("RichPrint.Settings");
const QString MarginsKey = QStringLiteral("RichPrint.Settings\\MargesQLT");

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

// --- Stored margins ------------------------------------------------------------

namespace {

// A stored value the engine cannot use stops the print or page setup it came
// from; the message says how to get back to a working store.
[[noreturn]] void rethrowWithRemedy(const platform::StoreError &e, const QString &storePath)
{
    using Kind = platform::StoreError::Kind;
    if (e.kind() == Kind::WriteFailed || e.kind() == Kind::InvalidName)
        throw e;
    throw platform::StoreError(
        e.kind(), QStringLiteral("%1\n\nDeleting the file \"%2\" restores the default margins.")
                      .arg(e.message(), storePath));
}

} // namespace

void TRichPrinter::ReadMargins()
{
    try {
        applyStoredMargins();
    } catch (const platform::StoreError &e) {
        rethrowWithRemedy(e, m_store.filePath());
    }
}

void TRichPrinter::applyStoredMargins()
{
    // One reading of the store answers every question below.
    const platform::StoreSnapshot stored = m_store.createKeyAndRead(SettingsKey);
    if (!stored.keyExists(MarginsKey)) {
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
    const auto code = [&stored](const QString &name) {
        if (!stored.valueExists(MarginsKey, name))
            return 1;
        return parseCode(stored.readString(MarginsKey, name)).value_or(1);
    };
    const auto margin = [&stored](const QString &name) {
        return decodeDouble(stored.readBinary(MarginsKey, name, 8));
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
    // Writing the subkey creates the settings key above it as well.
    try {
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
    } catch (const platform::StoreError &e) {
        rethrowWithRemedy(e, m_store.filePath());
    }
}
