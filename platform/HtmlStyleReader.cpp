#include "platform/HtmlStyleReader.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QList>

#include <algorithm>
#include <cmath>
#include <utility>

namespace platform {

namespace {

constexpr double kMaxPoints = 1638; // the largest size the control's streams carry

// Parts of `text` separated by `sep` outside quotes and parentheses.
QList<QStringView> splitOutside(QStringView text, QChar sep)
{
    QList<QStringView> parts;
    QChar quote;
    int depth = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            depth = std::max(0, depth - 1);
        } else if (c == sep && depth == 0) {
            parts.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    parts.append(text.mid(start));
    return parts;
}

QStringView unquoted(QStringView s)
{
    s = s.trimmed();
    if (s.size() >= 2 && (s.front() == u'"' || s.front() == u'\'') && s.back() == s.front())
        s = s.mid(1, s.size() - 2).trimmed();
    return s;
}

// A number with its unit, e.g. "1.5em" -> (1.5, "em").
bool splitLength(QStringView value, double &number, QString &unit)
{
    qsizetype i = 0;
    while (i < value.size() &&
           (value[i].isDigit() || value[i] == u'.' || value[i] == u'-' || value[i] == u'+'))
        ++i;
    bool ok = false;
    number = value.left(i).toDouble(&ok);
    unit = value.mid(i).trimmed().toString().toLower();
    return ok && std::isfinite(number);
}

double bounded(double points)
{
    return std::clamp(points, 1.0, kMaxPoints);
}

int colorComponent(QStringView s)
{
    s = s.trimmed();
    bool ok = false;
    double v = 0;
    if (s.endsWith(u'%'))
        v = s.chopped(1).toDouble(&ok) * 255 / 100;
    else
        v = s.toDouble(&ok);
    return ok && std::isfinite(v) ? int(std::lround(std::clamp(v, 0.0, 255.0))) : -1;
}

} // namespace

HtmlStyleReader::HtmlStyleReader(QString baseFace, double basePoints)
    : m_baseFace(std::move(baseFace)), m_basePoints(bounded(basePoints))
{
}

std::optional<double> HtmlStyleReader::fontSize(QStringView value, double parentPoints) const
{
    // The keywords are relative to "medium", which browsers take as their
    // default size and this control as the size at the insertion point.
    static const std::pair<const char16_t *, double> keywords[] = {
        {u"xx-small", 9.0 / 16}, {u"x-small", 10.0 / 16}, {u"small", 13.0 / 16},
        {u"medium", 1.0},        {u"large", 18.0 / 16},   {u"x-large", 24.0 / 16},
        {u"xx-large", 2.0},      {u"xxx-large", 3.0},     {u"initial", 1.0},
    };
    value = value.trimmed();
    for (const auto &[name, factor] : keywords) {
        if (value.compare(QStringView(name), Qt::CaseInsensitive) == 0)
            return bounded(m_basePoints * factor);
    }
    if (value.compare(u"larger", Qt::CaseInsensitive) == 0)
        return bounded(parentPoints * 1.2);
    if (value.compare(u"smaller", Qt::CaseInsensitive) == 0)
        return bounded(parentPoints / 1.2);
    if (value.compare(u"inherit", Qt::CaseInsensitive) == 0 ||
        value.compare(u"unset", Qt::CaseInsensitive) == 0)
        return parentPoints;
    double n = 0;
    QString unit;
    if (!splitLength(value, n, unit) || n <= 0)
        return std::nullopt;
    static const std::pair<const char16_t *, double> absolute[] = {
        {u"pt", 1.0},       {u"px", 0.75},      {u"pc", 12.0},      {u"in", 72.0},
        {u"cm", 72 / 2.54}, {u"mm", 72 / 25.4}, {u"q", 72 / 101.6},
    };
    for (const auto &[name, factor] : absolute) {
        if (unit == QStringView(name))
            return bounded(n * factor);
    }
    if (unit == u"em")
        return bounded(parentPoints * n);
    if (unit == u"ex" || unit == u"ch")
        return bounded(parentPoints * n / 2);
    if (unit == u"%")
        return bounded(parentPoints * n / 100);
    if (unit == u"rem")
        return bounded(m_basePoints * n);
    return std::nullopt;
}

std::optional<double> HtmlStyleReader::htmlFontSize(QStringView value) const
{
    static const char16_t *const sizes[] = {u"x-small", u"small",    u"medium",   u"large",
                                            u"x-large", u"xx-large", u"xxx-large"};
    value = value.trimmed();
    bool ok = false;
    int n = value.toInt(&ok);
    if (!ok)
        return std::nullopt;
    if (value.startsWith(u'+') || value.startsWith(u'-'))
        n += 3;
    return fontSize(QStringView(sizes[std::clamp(n, 1, 7) - 1]), m_basePoints);
}

bool HtmlStyleReader::installed(const QString &family)
{
    const QString key = family.toLower();
    auto it = m_installed.constFind(key);
    if (it == m_installed.constEnd())
        it = m_installed.insert(key, QFontDatabase::hasFamily(family));
    return *it;
}

QString HtmlStyleReader::genericFace(QStringView generic)
{
    static const std::pair<const char16_t *, QFont::StyleHint> generics[] = {
        {u"serif", QFont::Serif},
        {u"sans-serif", QFont::SansSerif},
        {u"monospace", QFont::Monospace},
        {u"cursive", QFont::Cursive},
        {u"fantasy", QFont::Fantasy},
        {u"system-ui", QFont::SansSerif},
        {u"ui-serif", QFont::Serif},
        {u"ui-sans-serif", QFont::SansSerif},
        {u"ui-monospace", QFont::Monospace},
    };
    for (const auto &[name, hint] : generics) {
        if (generic.compare(QStringView(name), Qt::CaseInsensitive) != 0)
            continue;
        const QString key = QString::fromUtf16(name);
        auto it = m_generic.constFind(key);
        if (it == m_generic.constEnd()) {
            // The system's font configuration knows which installed face
            // stands for a generic family.
            QFont font(key.startsWith(u"ui-") ? key.mid(3) : key);
            font.setStyleHint(hint);
            it = m_generic.insert(key, QFontInfo(font).family());
        }
        return *it;
    }
    return {};
}

QString HtmlStyleReader::family(QStringView list)
{
    const QList<QStringView> names = splitOutside(list, u',');
    for (const QStringView raw : names) {
        const QStringView name = unquoted(raw);
        if (name.isEmpty())
            continue;
        if (name.compare(m_baseFace, Qt::CaseInsensitive) == 0)
            return m_baseFace;
        const bool quoted = raw.trimmed().front() == u'"' || raw.trimmed().front() == u'\'';
        if (!quoted) {
            const QString generic = genericFace(name);
            if (!generic.isEmpty())
                return generic;
        }
        const QString family = name.toString();
        if (installed(family))
            return family;
    }
    // None installed: the face the system shows for the first name.
    const QStringView first = names.isEmpty() ? QStringView() : unquoted(names.first());
    if (first.isEmpty())
        return {};
    return QFontInfo(QFont(first.toString())).family();
}

QColor HtmlStyleReader::color(QStringView value)
{
    value = value.trimmed();
    if (value.startsWith(u"rgb", Qt::CaseInsensitive)) {
        const qsizetype open = value.indexOf(u'(');
        const qsizetype close = value.lastIndexOf(u')');
        if (open < 0 || close < open)
            return {};
        QStringView inside = value.mid(open + 1, close - open - 1);
        QList<QStringView> parts = splitOutside(inside, u',');
        if (parts.size() < 3)
            parts = inside.split(u' ', Qt::SkipEmptyParts); // rgb(0 0 0 / 50%)
        if (parts.size() < 3)
            return {};
        const int r = colorComponent(parts[0]), g = colorComponent(parts[1]),
                  b = colorComponent(parts[2]);
        if (r < 0 || g < 0 || b < 0)
            return {};
        return QColor(r, g, b);
    }
    // #rgb, #rrggbb and the colour names.
    QColor c = QColor::fromString(value);
    if (!c.isValid() && value.size() == 6 && !value.startsWith(u'#'))
        c = QColor::fromString(QString(u'#' + value.toString())); // legacy <font color=ff0000>
    if (c.isValid() && c.alpha() == 0)
        return {}; // "transparent" text keeps the base colour
    return c.isValid() ? QColor(c.rgb()) : QColor();
}

std::optional<Qt::Alignment> HtmlStyleReader::alignment(QStringView value)
{
    value = value.trimmed();
    if (value.compare(u"center", Qt::CaseInsensitive) == 0 ||
        value.compare(u"-webkit-center", Qt::CaseInsensitive) == 0)
        return Qt::AlignHCenter;
    if (value.compare(u"right", Qt::CaseInsensitive) == 0 ||
        value.compare(u"end", Qt::CaseInsensitive) == 0)
        return Qt::AlignRight;
    if (value.compare(u"justify", Qt::CaseInsensitive) == 0)
        return Qt::AlignJustify;
    if (value.compare(u"left", Qt::CaseInsensitive) == 0 ||
        value.compare(u"start", Qt::CaseInsensitive) == 0)
        return Qt::AlignLeft;
    return std::nullopt;
}

void HtmlStyleReader::applyDeclarations(QStringView css, HtmlStyle &style, double parentPoints)
{
    for (const QStringView declaration : splitOutside(css, u';')) {
        const qsizetype colon = declaration.indexOf(u':');
        if (colon < 0)
            continue;
        const QString property = declaration.left(colon).trimmed().toString().toLower();
        QStringView value = declaration.mid(colon + 1).trimmed();
        if (value.endsWith(u"!important", Qt::CaseInsensitive))
            value = value.chopped(10).trimmed();
        if (property == u"font-family") {
            const QString face = family(value);
            if (!face.isEmpty())
                style.face = face;
        } else if (property == u"font-size") {
            if (const auto points = fontSize(value, parentPoints))
                style.points = *points;
        } else if (property == u"font-weight") {
            if (value.compare(u"bold", Qt::CaseInsensitive) == 0 ||
                value.compare(u"bolder", Qt::CaseInsensitive) == 0)
                style.bold = true;
            else if (value.compare(u"normal", Qt::CaseInsensitive) == 0 ||
                     value.compare(u"lighter", Qt::CaseInsensitive) == 0)
                style.bold = false;
            else if (const int weight = value.toInt(); weight > 0)
                style.bold = weight >= 600;
        } else if (property == u"font-style") {
            style.italic = value.startsWith(u"italic", Qt::CaseInsensitive) ||
                           value.startsWith(u"oblique", Qt::CaseInsensitive);
        } else if (property == u"text-decoration" || property == u"text-decoration-line") {
            // A decoration drawn by an ancestor is not taken away by a
            // descendant's "none", as in browsers.
            if (value.contains(u"underline", Qt::CaseInsensitive))
                style.underline = true;
            if (value.contains(u"line-through", Qt::CaseInsensitive))
                style.strike = true;
        } else if (property == u"color") {
            const QColor c = color(value);
            if (c.isValid())
                style.color = c;
        } else if (property == u"text-align") {
            if (const auto a = alignment(value))
                style.align = *a;
        } else if (property == u"display" || property == u"visibility") {
            if (value.compare(u"none", Qt::CaseInsensitive) == 0 ||
                value.compare(u"hidden", Qt::CaseInsensitive) == 0)
                style.hidden = true;
        } else if (property == u"white-space") {
            style.pre = value.startsWith(u"pre", Qt::CaseInsensitive) ||
                        value.compare(u"break-spaces", Qt::CaseInsensitive) == 0;
        }
    }
}

} // namespace platform
