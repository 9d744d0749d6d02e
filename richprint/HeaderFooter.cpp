#include "RichPrint.h"

#include <QDate>
#include <QDateTime>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QTime>

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
    s = replace(s, QStringLiteral("{$DATE}"), [this, &locale] { return dateText(locale); });
    s = replace(s, QStringLiteral("{$TIME}"), [&locale] {
        // The long time format without its time-zone field.
        static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b"));
        return locale.toString(QTime::currentTime(),
                               locale.timeFormat(QLocale::LongFormat).remove(zone));
    });
    return replace(s, QStringLiteral("{$TITLE}"), [this] { return Title(); });
}

QString TRichPrinter::dateText(const QLocale &locale) const
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now < m_dateFromMs || now >= m_dateUntilMs || locale != m_dateLocale) {
        const QDate today = QDate::currentDate();
        m_dateText = locale.toString(today, QLocale::ShortFormat);
        m_dateLocale = locale;
        m_dateFromMs = QDateTime(today, QTime(0, 0)).toMSecsSinceEpoch();
        m_dateUntilMs = QDateTime(today.addDays(1), QTime(0, 0)).toMSecsSinceEpoch();
    }
    return m_dateText;
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
        try {
            int w = textWidth(s);
            if (w > cw) {
                s = FitText(s, cw);
                w = textWidth(s);
            }
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
