#include "platform/HtmlImport.h"

#include "platform/HtmlEntities.h"
#include "platform/HtmlStyleReader.h"
#include "platform/rtf/RtfCommon.h"

#include <QPointer>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <limits>
#include <vector>

namespace platform {

namespace {

// Elements nested deeper than this are read as part of their parent, which
// keeps the work for each tag bounded whatever the input's nesting.
constexpr std::size_t kMaxDepth = 256;

bool isOneOf(QStringView name, std::initializer_list<const char16_t *> names)
{
    return std::any_of(names.begin(), names.end(),
                       [&](const char16_t *n) { return name == QStringView(n); });
}

bool isVoid(QStringView tag)
{
    return isOneOf(tag, {u"br", u"img", u"hr", u"meta", u"link", u"input", u"wbr", u"col", u"area",
                         u"base", u"source", u"embed", u"param", u"track", u"keygen"});
}

// Elements whose content is not markup; it is skipped as a whole.
bool isRawText(QStringView tag)
{
    return isOneOf(tag, {u"script", u"style", u"title", u"textarea", u"xmp", u"noscript", u"iframe",
                         u"noembed", u"noframes", u"plaintext"});
}

// Elements whose content is not shown as text.
bool isHiddenContainer(QStringView tag)
{
    return isOneOf(tag, {u"head", u"svg", u"math", u"template", u"object", u"video", u"audio",
                         u"canvas", u"select", u"datalist", u"map", u"picture"});
}

bool isBlock(QStringView tag)
{
    return isOneOf(tag,
                   {u"p",       u"div",        u"h1",     u"h2",         u"h3",      u"h4",
                    u"h5",      u"h6",         u"li",     u"ul",         u"ol",      u"dl",
                    u"dt",      u"dd",         u"pre",    u"blockquote", u"address", u"section",
                    u"article", u"header",     u"footer", u"nav",        u"aside",   u"main",
                    u"figure",  u"figcaption", u"form",   u"fieldset",   u"legend",  u"center",
                    u"details", u"summary",    u"table",  u"tr",         u"caption", u"hr",
                    u"body",    u"html",       u"menu",   u"dir",        u"listing", u"hgroup"});
}

// Heading sizes as browsers draw them, relative to the surrounding text.
double headingFactor(QStringView tag)
{
    static const std::array<double, 6> factors = {2.0, 1.5, 1.17, 1.0, 0.83, 0.67};
    if (tag.size() == 2 && tag[0] == u'h' && tag[1] >= u'1' && tag[1] <= u'6')
        return factors[tag[1].unicode() - u'1'];
    return 0;
}

struct Attribute {
    QString name;
    QString value;
};

struct Frame {
    QString tag;
    HtmlStyle style;
    bool block = false;
    bool cell = false;
    int listKind = 0;         // 1 bulleted, 2 numbered
    int counter = 0;          // the number the next item of a numbered list gets
    QPointer<QTextList> list; // the document deletes a list when its last item leaves it
};

class Builder {
public:
    Builder(const QString &html, const QTextCharFormat &base, int maxParagraphs)
        : m_html(html), m_base(base),
          m_reader(base.fontFamilies().toStringList().value(0), base.fontPointSize())
    {
        m_maxParagraphs = maxParagraphs;
        m_doc.setUndoRedoEnabled(false);
        m_cursor = QTextCursor(&m_doc);
        // One edit block for the whole build: outside one, every insertion
        // lays out its paragraph again, which is quadratic in a long paragraph.
        m_cursor.beginEditBlock();
        Frame root;
        root.tag = QStringLiteral("#root");
        root.style.face = m_reader.baseFace();
        root.style.points = m_reader.basePoints();
        root.style.bold = base.fontWeight() >= QFont::DemiBold;
        root.style.italic = base.fontItalic();
        root.style.underline = base.fontUnderline();
        root.style.strike = base.fontStrikeOut();
        m_stack.push_back(root);
        m_cursor.setBlockCharFormat(formatOf(root.style));
    }

    QTextDocumentFragment run();
    bool tooLarge() const { return m_tooLarge; }

private:
    void startTag(QString tag, const std::vector<Attribute> &attributes);
    void endTag(const QString &tag);
    void pop();
    void text(QStringView raw);
    void insertText(const QString &text);
    void flushBreaks();
    // A blank is written only before more text in the same paragraph, in the
    // format of the text it follows.
    void holdSpace()
    {
        if (!m_pendingSpace)
            m_spaceFormat = formatOf(style());
        m_pendingSpace = true;
    }
    void breakBlock();
    void startListItem();
    QTextCharFormat formatOf(const HtmlStyle &style) const;
    const HtmlStyle &style() const { return m_stack.back().style; }
    Frame *innermost(std::initializer_list<const char16_t *> tags);

    const QString &m_html;
    QTextCharFormat m_base;
    HtmlStyleReader m_reader;
    QTextDocument m_doc;
    QTextCursor m_cursor;
    std::vector<Frame> m_stack;
    std::size_t m_overflow = 0; // open elements beyond kMaxDepth
    int m_cellDepth = 0;
    int m_rowCells = 0;
    bool m_blockHasText = false;
    bool m_pendingSpace = false;
    QTextCharFormat m_spaceFormat;
    bool m_afterTab = false; // a blank after a cell's tab is not written
    int m_pendingBreaks = 0;
    int m_maxParagraphs = -1;
    int m_paragraphs = 0;
    bool m_tooLarge = false;
};

QTextCharFormat Builder::formatOf(const HtmlStyle &s) const
{
    QTextCharFormat f = m_base;
    f.setFontFamilies(QStringList{s.face});
    f.setFontPointSize(std::max(1.0, std::round(s.points)));
    f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(s.italic);
    f.setFontUnderline(s.underline);
    f.setFontStrikeOut(s.strike);
    if (s.color.isValid())
        f.setForeground(s.color);
    return f;
}

Frame *Builder::innermost(std::initializer_list<const char16_t *> tags)
{
    for (auto it = m_stack.rbegin(); it != m_stack.rend(); ++it) {
        if (isOneOf(it->tag, tags))
            return &*it;
    }
    return nullptr;
}

// Line breaks are written once the line after them has text, so that a break
// ending a paragraph adds no empty line, as in browsers.
void Builder::flushBreaks()
{
    if (m_pendingBreaks > 0) {
        m_cursor.insertText(QString(m_pendingBreaks, QChar::LineSeparator), formatOf(style()));
        m_pendingBreaks = 0;
        m_blockHasText = true;
    }
}

void Builder::insertText(const QString &text)
{
    if (text.isEmpty())
        return;
    flushBreaks();
    const QTextCharFormat format = formatOf(style());
    if (m_pendingSpace && m_blockHasText && !m_afterTab)
        m_cursor.insertText(QStringLiteral(" "), m_spaceFormat);
    m_pendingSpace = false;
    m_afterTab = false;
    m_cursor.insertText(text, format);
    m_blockHasText = true;
}

// Ends the current paragraph; the next text starts a new one. An empty
// paragraph is reused, except one that only held line breaks: that one is a
// blank line of the page.
void Builder::breakBlock()
{
    m_pendingSpace = false;
    if (m_cellDepth > 0) {
        // Paragraphs inside a table cell stay on the row's line.
        holdSpace();
        m_pendingBreaks = 0;
        return;
    }
    if (m_pendingBreaks > 0) {
        --m_pendingBreaks; // the last break ends the paragraph
        if (m_pendingBreaks > 0 || !m_blockHasText) {
            if (m_pendingBreaks > 0)
                m_cursor.insertText(QString(m_pendingBreaks, QChar::LineSeparator),
                                    formatOf(style()));
            m_blockHasText = true;
        }
        m_pendingBreaks = 0;
    }
    QTextBlockFormat blockFormat;
    blockFormat.setAlignment(style().align);
    if (m_blockHasText) {
        m_cursor.insertBlock(blockFormat, formatOf(style()));
        if (m_maxParagraphs >= 0 && ++m_paragraphs > m_maxParagraphs)
            m_tooLarge = true;
    } else {
        if (QTextList *list = m_cursor.block().textList())
            list->remove(m_cursor.block());
        m_cursor.setBlockFormat(blockFormat);
        m_cursor.setBlockCharFormat(formatOf(style()));
    }
    m_blockHasText = false;
}

void Builder::startListItem()
{
    Frame *listFrame = nullptr;
    int depth = 0;
    for (auto it = m_stack.rbegin(); it != m_stack.rend(); ++it) {
        if (it->listKind != 0) {
            if (!listFrame)
                listFrame = &*it;
            ++depth;
        }
    }
    if (!listFrame)
        return;
    if (listFrame->listKind == 2) {
        // Numbers stay text, the way the control keeps them from RTF.
        const int number = listFrame->counter;
        if (listFrame->counter < std::numeric_limits<int>::max())
            ++listFrame->counter;
        insertText(QString::number(number) + QStringLiteral(".\t"));
        return;
    }
    if (m_cellDepth > 0)
        return;
    if (listFrame->list) {
        listFrame->list->add(m_cursor.block());
    } else {
        QTextListFormat listFormat;
        listFormat.setStyle(QTextListFormat::ListDisc);
        listFormat.setIndent(depth);
        listFrame->list = m_cursor.createList(listFormat);
    }
}

void Builder::startTag(QString tag, const std::vector<Attribute> &attributes)
{
    if (tag == u"br") {
        if (!style().hidden && m_cellDepth == 0)
            ++m_pendingBreaks;
        else if (!style().hidden)
            holdSpace();
        return;
    }
    if (tag == u"p" && !m_stack.empty() && m_stack.back().tag == u"p")
        pop(); // <p> closes an open paragraph
    if (tag == u"li") {
        if (Frame *open = innermost({u"li", u"ul", u"ol"}); open && open->tag == u"li")
            endTag(tag);
    } else if (tag == u"td" || tag == u"th") {
        if (Frame *open = innermost({u"td", u"th", u"tr"}); open && open->tag != u"tr")
            endTag(QString(open->tag));
    } else if (tag == u"tr") {
        if (Frame *open = innermost({u"tr", u"table"}); open && open->tag == u"tr")
            endTag(tag);
    }
    if (isVoid(tag)) {
        // Images and the like leave no text; a rule ends the paragraph.
        if (tag == u"hr" && !style().hidden)
            breakBlock();
        return;
    }
    if (m_stack.size() >= kMaxDepth) {
        ++m_overflow;
        return;
    }

    Frame frame;
    frame.tag = std::move(tag);
    frame.style = style();
    const double parentPoints = frame.style.points;
    HtmlStyle &s = frame.style;
    const QString &t = frame.tag;
    if (const double factor = headingFactor(t); factor > 0) {
        s.points = parentPoints * factor;
        s.bold = true;
    } else if (isOneOf(t, {u"b", u"strong", u"th"})) {
        s.bold = true;
    } else if (isOneOf(t, {u"i", u"em", u"cite", u"var", u"dfn", u"address"})) {
        s.italic = true;
    } else if (isOneOf(t, {u"u", u"ins"})) {
        s.underline = true;
    } else if (isOneOf(t, {u"s", u"strike", u"del"})) {
        s.strike = true;
    } else if (t == u"big") {
        s.points = *m_reader.fontSize(u"larger", parentPoints);
    } else if (t == u"small") {
        s.points = *m_reader.fontSize(u"smaller", parentPoints);
    } else if (isOneOf(t, {u"pre", u"code", u"tt", u"kbd", u"samp", u"listing", u"xmp"})) {
        s.face = m_reader.genericFace(u"monospace");
        s.pre = s.pre || t == u"pre" || t == u"listing";
    } else if (t == u"center") {
        s.align = Qt::AlignHCenter;
    } else if (isHiddenContainer(t)) {
        s.hidden = true;
    }
    frame.block = isBlock(t);
    frame.cell = t == u"td" || t == u"th";
    if (t == u"ul" || t == u"menu" || t == u"dir")
        frame.listKind = 1;
    else if (t == u"ol")
        frame.listKind = 2;
    frame.counter = 1;
    for (const Attribute &a : attributes) {
        if (a.name == u"style") {
            m_reader.applyDeclarations(a.value, s, parentPoints);
        } else if (a.name == u"align") {
            if (const auto align = HtmlStyleReader::alignment(a.value))
                s.align = *align;
        } else if (a.name == u"hidden") {
            s.hidden = true;
        } else if (t == u"font") {
            if (a.name == u"face") {
                if (const QString face = m_reader.family(a.value); !face.isEmpty())
                    s.face = face;
            } else if (a.name == u"size") {
                if (const auto points = m_reader.htmlFontSize(a.value))
                    s.points = *points;
            } else if (a.name == u"color") {
                if (const QColor c = HtmlStyleReader::color(a.value); c.isValid())
                    s.color = c;
            }
        } else if (t == u"ol" && a.name == u"start") {
            bool ok = false;
            if (const int start = a.value.toInt(&ok); ok)
                frame.counter = start;
        } else if (t == u"li" && a.name == u"value") {
            bool ok = false;
            const int value = a.value.toInt(&ok);
            Frame *list = innermost({u"ol"});
            if (ok && list)
                list->counter = value;
        }
    }
    if (t == u"tr") {
        frame.counter = m_rowCells; // the enclosing row's count, back when this one ends
        m_rowCells = 0;
    }
    m_stack.push_back(std::move(frame));
    const Frame &pushed = m_stack.back();
    if (pushed.block && !pushed.style.hidden)
        breakBlock();
    if (pushed.cell) {
        if (m_rowCells++ > 0 && !pushed.style.hidden) {
            flushBreaks();
            m_pendingSpace = false;
            m_cursor.insertText(QStringLiteral("\t"), formatOf(pushed.style));
            m_blockHasText = true;
            m_afterTab = true;
        }
        ++m_cellDepth;
    }
    if (pushed.tag == u"li" && !pushed.style.hidden)
        startListItem();
}

void Builder::pop()
{
    const Frame frame = std::move(m_stack.back());
    m_stack.pop_back();
    if (frame.cell)
        --m_cellDepth;
    if (frame.tag == u"tr")
        m_rowCells = frame.counter;
    if (frame.block && !frame.style.hidden)
        breakBlock();
}

void Builder::endTag(const QString &tag)
{
    if (m_overflow > 0) {
        --m_overflow;
        return;
    }
    if (tag == u"br") { // </br> reads as <br>
        startTag(QStringLiteral("br"), {});
        return;
    }
    // Close up to the matching element; an end tag that matches none is ignored.
    auto it = std::find_if(m_stack.rbegin(), std::prev(m_stack.rend()),
                           [&](const Frame &f) { return f.tag == tag; });
    if (it == std::prev(m_stack.rend()))
        return;
    const std::size_t keep = std::size_t(std::distance(it, m_stack.rend())) - 1;
    while (m_stack.size() > keep)
        pop();
}

void Builder::text(QStringView raw)
{
    if (style().hidden)
        return;
    const QString decoded = HtmlEntities::decode(raw);
    if (style().pre) {
        QString t = decoded;
        t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        t.replace(u'\r', u'\n');
        const QList<QStringView> lines = QStringView(t).split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0) {
                ++m_pendingBreaks;
                flushBreaks();
            }
            insertText(lines[i].toString());
        }
        return;
    }
    // White space collapses to one blank between words, none at a paragraph's ends.
    QString collapsed;
    collapsed.reserve(decoded.size());
    bool space = false;
    for (const QChar c : decoded) {
        if (c == u' ' || c == u'\n' || c == u'\t' || c == u'\r' || c == u'\f') {
            space = true;
            continue;
        }
        if (space) {
            if (collapsed.isEmpty())
                holdSpace();
            else
                collapsed += u' ';
            space = false;
        }
        collapsed += c;
    }
    insertText(collapsed);
    if (space)
        holdSpace();
}

QTextDocumentFragment Builder::run()
{
    const QString &s = m_html;
    const qsizetype n = s.size();
    qsizetype i = 0;
    const auto isNameChar = [](QChar c) {
        return c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u':' || c == u'.';
    };
    while (i < n && !m_tooLarge) {
        const qsizetype lt = s.indexOf(u'<', i);
        const qsizetype textEnd = lt < 0 ? n : lt;
        if (textEnd > i)
            text(QStringView(s).mid(i, textEnd - i));
        if (lt < 0)
            break;
        i = lt + 1;
        if (i >= n) {
            text(u"<");
            break;
        }
        const QChar c = s[i];
        if (QStringView(s).mid(i, 3) == u"!--") {
            const qsizetype end = s.indexOf(QStringLiteral("-->"), i + 3);
            i = end < 0 ? n : end + 3;
            continue;
        }
        if (c == u'!' || c == u'?') {
            const qsizetype end = s.indexOf(u'>', i);
            i = end < 0 ? n : end + 1;
            continue;
        }
        const bool closing = c == u'/';
        qsizetype p = closing ? i + 1 : i;
        if (p >= n || !s[p].isLetter()) {
            if (closing) { // "</" and no name: a bogus comment
                const qsizetype end = s.indexOf(u'>', p);
                i = end < 0 ? n : end + 1;
            } else {
                text(u"<");
            }
            continue;
        }
        const qsizetype nameStart = p;
        while (p < n && isNameChar(s[p]))
            ++p;
        const QString tag = s.mid(nameStart, p - nameStart).toLower();
        std::vector<Attribute> attributes;
        bool selfClosing = false;
        while (p < n && s[p] != u'>') {
            if (s[p].isSpace()) {
                ++p;
                continue;
            }
            if (s[p] == u'/') {
                selfClosing = p + 1 < n && s[p + 1] == u'>';
                ++p;
                continue;
            }
            const qsizetype attrStart = p;
            while (p < n && !s[p].isSpace() && s[p] != u'=' && s[p] != u'>' && s[p] != u'/')
                ++p;
            if (p == attrStart) { // a stray '=': skip it
                ++p;
                continue;
            }
            Attribute a;
            a.name = s.mid(attrStart, p - attrStart).toLower();
            while (p < n && s[p].isSpace())
                ++p;
            if (p < n && s[p] == u'=') {
                ++p;
                while (p < n && s[p].isSpace())
                    ++p;
                if (p < n && (s[p] == u'"' || s[p] == u'\'')) {
                    const QChar quote = s[p];
                    const qsizetype end = s.indexOf(quote, p + 1);
                    const qsizetype stop = end < 0 ? n : end;
                    a.value = HtmlEntities::decode(QStringView(s).mid(p + 1, stop - p - 1));
                    p = end < 0 ? n : end + 1;
                } else {
                    const qsizetype valueStart = p;
                    while (p < n && !s[p].isSpace() && s[p] != u'>')
                        ++p;
                    a.value = HtmlEntities::decode(QStringView(s).mid(valueStart, p - valueStart));
                }
            }
            if (!closing && attributes.size() < 64)
                attributes.push_back(std::move(a));
        }
        i = p < n ? p + 1 : n;
        if (closing) {
            endTag(tag);
            continue;
        }
        if (isRawText(tag) && !selfClosing) {
            // Skipped up to its end tag, however the content looks.
            const qsizetype end = s.indexOf(QStringLiteral("</") + tag, i, Qt::CaseInsensitive);
            if (end < 0)
                break;
            i = s.indexOf(u'>', end);
            i = i < 0 ? n : i + 1;
            continue;
        }
        startTag(tag, attributes);
    }
    // The paragraph after the last block element ends nothing.
    if (!m_blockHasText && m_pendingBreaks == 0 && m_cursor.block().previous().isValid()) {
        m_cursor.movePosition(QTextCursor::End);
        m_cursor.deletePreviousChar();
    }
    if (m_pendingBreaks > 1) {
        m_pendingBreaks -= 1;
        flushBreaks();
    }
    m_cursor.endEditBlock();
    return QTextDocumentFragment(&m_doc);
}

bool startsWith(const QByteArray &data, const char *prefix, int n)
{
    return data.size() >= n && std::equal(prefix, prefix + n, data.constData());
}

// The charset a document declares within its first bytes, e.g. in
// <meta charset="..."> or <meta http-equiv content="text/html; charset=...">.
QByteArray declaredCharset(const QByteArray &data)
{
    const QByteArray head = data.left(1024).toLower();
    const qsizetype at = head.indexOf("charset=");
    if (at < 0)
        return {};
    qsizetype p = at + 8;
    while (p < head.size() && (head[p] == '"' || head[p] == '\'' || head[p] == ' '))
        ++p;
    const qsizetype start = p;
    while (p < head.size() && (std::isalnum(static_cast<unsigned char>(head[p])) ||
                               head[p] == '-' || head[p] == '_' || head[p] == ':'))
        ++p;
    return head.mid(start, p - start);
}

} // namespace

QString HtmlImport::decode(const QByteArray &bytes)
{
    QString text;
    const bool le = bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0;
    const bool be = bytes.size() >= 2 && bytes[0] == 0 && bytes[1] != 0;
    if (startsWith(bytes, "\xFF\xFE", 2) || startsWith(bytes, "\xFE\xFF", 2)) {
        text = QStringDecoder(QStringDecoder::Utf16).decode(bytes);
    } else if (le || be) {
        text = QStringDecoder(le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE).decode(bytes);
    } else if (startsWith(bytes, "\xEF\xBB\xBF", 3)) {
        text = QStringDecoder(QStringDecoder::Utf8).decode(bytes.mid(3));
    } else {
        const QByteArray declared = declaredCharset(bytes);
        // A byte stream cannot be UTF-16, whatever it says of itself.
        // Browsers read the Latin-1 and ASCII labels as Windows-1252.
        const bool cp1252 = declared == "iso-8859-1" || declared == "latin1" ||
                            declared == "us-ascii" || declared == "ascii" ||
                            declared == "windows-1252";
        QStringDecoder named(declared.startsWith("utf-16") ? QByteArray("utf-8") : declared);
        if (cp1252) {
            text = rtf::CodePageDecoder().decode(bytes, 1252);
        } else if (!declared.isEmpty() && named.isValid()) {
            text = named.decode(bytes);
        } else {
            QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            text = utf8.decode(bytes);
            if (utf8.hasError())
                text = rtf::CodePageDecoder().decode(bytes, 1252);
        }
    }
    text.remove(QChar(0));
    return text;
}

QTextDocumentFragment HtmlImport::fragment(const QString &html, const QTextCharFormat &base)
{
    Builder builder(html, base, -1);
    return builder.run();
}

std::optional<QTextDocumentFragment>
HtmlImport::boundedFragment(const QString &html, const QTextCharFormat &base, int maxParagraphs)
{
    Builder builder(html, base, maxParagraphs);
    QTextDocumentFragment fragment = builder.run();
    if (builder.tooLarge())
        return std::nullopt;
    return fragment;
}

} // namespace platform
