#pragma once

#include <QColor>
#include <QDebug>
#include <QList>
#include <QString>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <cmath>

// A document seen as paragraphs of runs with the attributes the RTF streams
// carry, so that tests compare documents attribute by attribute.
namespace TextRuns {

struct Run {
    QString text;
    QString face;
    int halfPoints = 0;
    QRgb color = 0; // 0: the automatic colour
    bool bold = false, italic = false, underline = false, strike = false;
    bool operator==(const Run &) const = default;
};

struct Paragraph {
    QList<Run> runs;
    Qt::Alignment align = Qt::AlignLeft;
    int firstTwips = 0;
    int leftTwips = 0;
    int rightTwips = 0;
    int beforeTwips = 0;
    int afterTwips = 0;
    bool bullet = false;
    QString text() const
    {
        QString t;
        for (const Run &r : runs)
            t += r.text;
        return t;
    }
    bool operator==(const Paragraph &) const = default;
};

inline int toTwips(double px)
{
    return int(std::lround(px * 72.0 / 96.0 * 20));
}

inline Run runOf(const QTextCharFormat &f, const QString &text, const QTextDocument &doc)
{
    Run r;
    r.text = text;
    const QStringList families = f.fontFamilies().toStringList();
    r.face = families.isEmpty() ? doc.defaultFont().family() : families.first();
    const double pt = f.fontPointSize() > 0 ? f.fontPointSize() : doc.defaultFont().pointSizeF();
    r.halfPoints = int(std::lround(pt * 2));
    r.color =
        f.foreground().style() == Qt::NoBrush ? 0 : (f.foreground().color().rgb() | 0xff000000u);
    r.bold = f.fontWeight() >= QFont::DemiBold;
    r.italic = f.fontItalic();
    r.underline = f.fontUnderline();
    r.strike = f.fontStrikeOut();
    return r;
}

inline QList<Paragraph> of(const QTextDocument &doc)
{
    QList<Paragraph> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        Paragraph p;
        const QTextBlockFormat bf = b.blockFormat();
        const Qt::Alignment a = bf.alignment() & Qt::AlignHorizontal_Mask;
        p.align = (a & Qt::AlignHCenter)   ? Qt::AlignHCenter
                  : (a & Qt::AlignJustify) ? Qt::AlignJustify
                  : (a & Qt::AlignRight)   ? Qt::AlignRight
                                           : Qt::AlignLeft;
        p.firstTwips = toTwips(bf.textIndent());
        p.leftTwips = toTwips(bf.leftMargin());
        p.rightTwips = toTwips(bf.rightMargin());
        p.beforeTwips = toTwips(bf.topMargin());
        p.afterTwips = toTwips(bf.bottomMargin());
        p.bullet = b.textList() != nullptr;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            Run r = runOf(f.charFormat(), f.text(), doc);
            if (!p.runs.isEmpty()) {
                Run &last = p.runs.last();
                Run probe = last;
                probe.text = r.text;
                if (probe == r) {
                    last.text += r.text;
                    continue;
                }
            }
            p.runs.append(r);
        }
        out.append(p);
    }
    return out;
}

inline QDebug operator<<(QDebug d, const Run &r)
{
    QDebugStateSaver s(d);
    d.nospace() << "Run(" << r.text << ", " << r.face << ", " << r.halfPoints << "hp, #" << Qt::hex
                << r.color << Qt::dec << (r.bold ? " b" : "") << (r.italic ? " i" : "")
                << (r.underline ? " u" : "") << (r.strike ? " s" : "") << ")";
    return d;
}

inline QDebug operator<<(QDebug d, const Paragraph &p)
{
    QDebugStateSaver s(d);
    d.nospace() << "Paragraph(align " << int(p.align) << ", fi " << p.firstTwips << ", li "
                << p.leftTwips << ", ri " << p.rightTwips << ", sb " << p.beforeTwips << ", sa "
                << p.afterTwips << (p.bullet ? ", bullet" : "") << ", " << p.runs << ")";
    return d;
}

} // namespace TextRuns
