#pragma once

#include <QColor>
#include <QHash>
#include <QString>
#include <QStringView>

#include <optional>

namespace platform {

// The character and paragraph look that HTML elements pass on to their
// content, worked out in points and installed faces.
struct HtmlStyle {
    QString face;
    double points = 12;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    QColor color; // invalid: the base format's colour
    Qt::Alignment align = Qt::AlignLeft;
    bool pre = false; // white space kept as written
    bool hidden = false;
};

// Reads CSS values and HTML attributes into an HtmlStyle. `basePoints` and
// `baseFace` are those of the insertion point: the size "medium" and the face
// of text the page gives none. Faces are checked against the installed fonts
// once per name.
class HtmlStyleReader {
public:
    HtmlStyleReader(QString baseFace, double basePoints);

    // Applies the declarations of a style attribute to `style`, whose sizes
    // relative to the parent's are taken from `parentPoints`.
    void applyDeclarations(QStringView css, HtmlStyle &style, double parentPoints);
    // A CSS font-size value, or nothing when it is not one.
    std::optional<double> fontSize(QStringView value, double parentPoints) const;
    // The size an HTML <font size> attribute (1..7, or +n/-n) gives.
    std::optional<double> htmlFontSize(QStringView value) const;
    // The first family of a CSS family list that can be shown.
    QString family(QStringView list);
    // The installed face a generic family (serif, sans-serif, monospace...) maps to.
    QString genericFace(QStringView generic);
    static QColor color(QStringView value);
    static std::optional<Qt::Alignment> alignment(QStringView value);

    double basePoints() const { return m_basePoints; }
    const QString &baseFace() const { return m_baseFace; }

private:
    bool installed(const QString &family);

    QString m_baseFace;
    double m_basePoints;
    QHash<QString, bool> m_installed;
    QHash<QString, QString> m_generic;
};

} // namespace platform
