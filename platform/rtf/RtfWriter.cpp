#include "platform/rtf/RtfWriter.h"

#include "platform/rtf/RtfCommon.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace platform::rtf {

namespace {

QString familyOf(const QTextCharFormat &format, const QTextDocument &document)
{
    const QStringList families = format.fontFamilies().toStringList();
    if (!families.isEmpty() && !families.first().isEmpty())
        return families.first();
    return document.defaultFont().family();
}

int halfPointsOf(const QTextCharFormat &format, const QTextDocument &document)
{
    double points = 0;
    if (format.hasProperty(QTextFormat::FontPointSize))
        points = format.fontPointSize();
    else if (format.hasProperty(QTextFormat::FontPixelSize))
        points = format.intProperty(QTextFormat::FontPixelSize) * 72.0 / 96.0;
    if (points <= 0)
        points = document.defaultFont().pointSizeF();
    if (points <= 0)
        points = 12;
    return std::max(1, int(std::lround(points * 2)));
}

bool underlined(const QTextCharFormat &format)
{
    return format.fontUnderline() || format.underlineStyle() != QTextCharFormat::NoUnderline;
}

bool isPlainAscii(char16_t c)
{
    return c >= 0x20 && c < 0x80 && c != '\\' && c != '{' && c != '}';
}

// Appends the control word `word` to `dst`, returning the end.
template <std::size_t N> char *put(char *dst, const char (&word)[N])
{
    return std::copy_n(word, N - 1, dst);
}

// Written in place: room is made for the longest escape of every character
// ("\u-32768?"), then the bytes not used are given back.
constexpr qsizetype MaxPerChar = 9;

void appendEscapedSlice(QByteArray &out, QStringView text)
{
    const qsizetype at = out.size();
    out.resize(at + text.size() * MaxPerChar);
    char *const begin = out.data() + at;
    char *dst = begin;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (isPlainAscii(c)) {
            *dst++ = char(c);
            continue;
        }
        switch (c) {
        case '\\':
            dst = put(dst, "\\\\");
            continue;
        case '{':
            dst = put(dst, "\\{");
            continue;
        case '}':
            dst = put(dst, "\\}");
            continue;
        case '\t':
            dst = put(dst, "\\tab ");
            continue;
        case 0x2028: // line break inside a paragraph
        case '\n':
        case '\r':
        case 0x000B:
            dst = put(dst, "\\line ");
            continue;
        case 0x00A0:
            dst = put(dst, "\\~");
            continue;
        case 0x00AD:
            dst = put(dst, "\\-");
            continue;
        case 0x2011:
            dst = put(dst, "\\_");
            continue;
        case 0xFFFC:
            continue; // inline objects are not written
        default:
            break;
        }
        if (c < 0x20)
            continue;
        const int b = encodeCp1252(c);
        if (b >= 0) {
            static const char hex[] = "0123456789abcdef";
            dst = put(dst, "\\'");
            *dst++ = hex[b >> 4];
            *dst++ = hex[b & 15];
        } else {
            // \uN takes a signed 16-bit value; one '?' for readers without Unicode.
            dst = put(dst, "\\u");
            dst = std::to_chars(dst, dst + 6, int(std::int16_t(c))).ptr;
            *dst++ = '?';
        }
    }
    out.resize(at + (dst - begin));
}

void appendEscaped(QByteArray &out, QStringView text)
{
    // A slice at a time, so that a very long run never asks for nine times its size.
    constexpr qsizetype Slice = 4096;
    for (qsizetype from = 0; from < text.size(); from += Slice)
        appendEscapedSlice(out, text.mid(from, Slice));
}

struct Tables {
    QList<QString> fonts;
    QHash<QString, int> fontIndex;
    QList<QRgb> colors; // entry 0 of the colour table is the automatic colour
    QHash<QRgb, int> colorIndex;

    int font(const QString &family)
    {
        auto it = fontIndex.constFind(family);
        if (it != fontIndex.cend())
            return *it;
        fonts.append(family);
        return fontIndex[family] = int(fonts.size()) - 1;
    }
    int color(const QTextCharFormat &format)
    {
        if (format.foreground().style() == Qt::NoBrush)
            return 0;
        const QRgb rgb = format.foreground().color().rgb() | 0xff000000u;
        auto it = colorIndex.constFind(rgb);
        if (it != colorIndex.cend())
            return *it;
        colors.append(rgb);
        return colorIndex[rgb] = int(colors.size());
    }
};

void appendCharFormat(QByteArray &out, const QTextCharFormat &format, const QTextDocument &document,
                      Tables &tables)
{
    out += "\\f" + QByteArray::number(tables.font(familyOf(format, document)));
    out += "\\fs" + QByteArray::number(halfPointsOf(format, document));
    const int color = tables.color(format);
    if (color)
        out += "\\cf" + QByteArray::number(color);
    if (format.fontWeight() >= QFont::DemiBold)
        out += "\\b";
    if (format.fontItalic())
        out += "\\i";
    if (underlined(format))
        out += "\\ul";
    if (format.fontStrikeOut())
        out += "\\strike";
    out += ' ';
}

void appendParagraphFormat(QByteArray &out, const QTextBlock &block, int bulletFont)
{
    const QTextBlockFormat format = block.blockFormat();
    out += "\\pard";
    int first = pixelsToTwips(format.textIndent());
    int left = pixelsToTwips(format.leftMargin());
    if (block.textList()) {
        // The bullet as readers of list tables and older readers both see it.
        const QByteArray font = QByteArray::number(bulletFont);
        out += "{\\pntext\\f" + font + "\\'b7\\tab}";
        out += "{\\*\\pn\\pnlvlblt\\pnf" + font + "\\pnindent0{\\pntxtb\\'b7}}";
        left += kListIndentTwips;
        first -= kBulletHangTwips;
    }
    const Qt::Alignment align = format.alignment() & Qt::AlignHorizontal_Mask;
    if (align & Qt::AlignHCenter)
        out += "\\qc";
    else if (align & Qt::AlignJustify)
        out += "\\qj";
    else if (align & Qt::AlignRight)
        out += "\\qr";
    else
        out += "\\ql";
    if (first)
        out += "\\fi" + QByteArray::number(first);
    if (left)
        out += "\\li" + QByteArray::number(left);
    const auto length = [&](const char *word, double pixels) {
        if (const int twips = pixelsToTwips(pixels))
            out += word + QByteArray::number(twips);
    };
    length("\\ri", format.rightMargin());
    length("\\sb", std::max(0.0, format.topMargin()));
    length("\\sa", std::max(0.0, format.bottomMargin()));
    out += ' ';
}

} // namespace

QByteArray RtfWriter::write(const QTextDocument &document, int from, int to)
{
    const int end = document.characterCount() - 1; // without the final paragraph mark
    if (to < 0 || to > end)
        to = end;
    from = std::clamp(from, 0, to);

    Tables tables;
    // The control words of each character format, made when the format is
    // first met (which keeps the tables in order of first use) and then reused.
    QHash<int, QByteArray> charWords;
    const auto appendFormatOf = [&](QByteArray &out, const QTextFragment &fragment) {
        const int index = fragment.charFormatIndex();
        auto it = charWords.constFind(index);
        if (it == charWords.cend()) {
            QByteArray words;
            appendCharFormat(words, fragment.charFormat(), document, tables);
            it = charWords.insert(index, words);
        }
        out += *it;
    };
    QByteArray body;
    body.reserve((to - from) * 2 + 256);
    // The document's own font comes first, so that \deff0 names it.
    tables.font(document.defaultFont().family());
    int bulletFont = -1;
    for (QTextBlock b = document.findBlock(from); b.isValid() && b.position() <= to; b = b.next()) {
        if (b.textList()) {
            bulletFont = tables.font(QStringLiteral("Symbol"));
            break;
        }
    }

    // Positions are counted along, not asked of the document: each question
    // walks its tree.
    QTextBlock block = document.findBlock(from);
    for (int blockPos = block.isValid() ? block.position() : 0; block.isValid() && blockPos <= to;
         blockPos += block.length(), block = block.next()) {
        const int blockEnd = blockPos + block.length() - 1; // its paragraph mark
        if (blockEnd < from)
            continue;
        appendParagraphFormat(body, block, bulletFont);
        bool wroteRun = false;
        int fragmentPos = blockPos;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int length = fragment.length();
            const int fStart = std::max(from, fragmentPos);
            const int fEnd = std::min(to, fragmentPos + length);
            const int start = fragmentPos;
            fragmentPos += length;
            if (fStart >= fEnd)
                continue;
            body += '{';
            appendFormatOf(body, fragment);
            const QString text = fragment.text();
            appendEscaped(body, QStringView(text).mid(fStart - start, fEnd - fStart));
            body += '}';
            wroteRun = true;
        }
        const bool lastOfRange = blockEnd >= to;
        if (!wroteRun) {
            // An empty paragraph keeps its character format, so its height survives.
            body += '{';
            appendCharFormat(body, block.charFormat(), document, tables);
            body += "\\par}\n";
        } else if (!lastOfRange || to == end) {
            body += "\\par\n";
        }
        if (lastOfRange)
            break;
    }
    // A selection that ends inside a paragraph ends without a paragraph mark.

    QByteArray out;
    out.reserve(body.size() + 512);
    out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl";
    for (int i = 0; i < tables.fonts.size(); ++i) {
        out += "{\\f" + QByteArray::number(i);
        out += i == bulletFont ? "\\ftech\\fcharset2 " : "\\fnil\\fcharset0 ";
        appendEscaped(out, tables.fonts[i]);
        out += ";}";
    }
    out += "}\n{\\colortbl ;";
    for (const QRgb rgb : tables.colors) {
        out += "\\red" + QByteArray::number(qRed(rgb)) + "\\green" +
               QByteArray::number(qGreen(rgb)) + "\\blue" + QByteArray::number(qBlue(rgb)) + ';';
    }
    out += "}\n\\viewkind4\n";
    out += body;
    out += "}\n";
    return out;
}

} // namespace platform::rtf
