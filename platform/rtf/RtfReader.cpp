#include "platform/rtf/RtfReader.h"

#include "platform/rtf/RtfReaderState.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace platform::rtf {
namespace reading {

namespace {

bool isBulletMarker(const QString &text)
{
    const QString t = text.trimmed();
    if (t.size() != 1)
        return false;
    const QChar c = t.front();
    return c == u'o' || !c.isLetterOrNumber();
}

} // namespace

int Reader::currentCodePage()
{
    const int font = m_state.dest == Dest::FontTable ? m_tableFont : m_state.ch.font;
    if (m_codePageKnown && font == m_codePageFont)
        return m_codePageOfFont;
    auto it = m_fonts.constFind(font < 0 ? m_defaultFont : font);
    m_codePageFont = font;
    m_codePageOfFont = (it != m_fonts.cend() && it->codePage) ? it->codePage : m_codePage;
    m_codePageKnown = true;
    return m_codePageOfFont;
}

void Reader::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    m_decoder.decode(m_bytes, m_bytesCodePage, m_decoded);
    m_bytes.resize(0);
    appendText(m_decoded);
}

void Reader::hexByte(int byte)
{
    const int codePage = currentCodePage();
    if (codePage == 1252 && m_bytes.isEmpty() && m_state.dest == Dest::Text) {
        // A byte of this code page decodes on its own: the text takes it at once.
        appendChar(decodeCp1252(static_cast<unsigned char>(byte)));
        return;
    }
    if (!m_bytes.isEmpty() && codePage != m_bytesCodePage)
        flushBytes();
    m_bytesCodePage = codePage;
    m_bytes.append(char(byte));
    if (m_bytes.size() >= 4096)
        flushBytes();
}

// Text of the current destination.
void Reader::appendText(QStringView text)
{
    switch (m_state.dest) {
    case Dest::Text:
        if (!m_state.ch.hidden)
            appendBodyText(text);
        break;
    case Dest::FontTable:
        for (const QChar c : text) {
            if (c == u';') {
                commitFontName();
            } else if (m_fontName.size() < kMaxFontNameLength && c.unicode() >= 0x20) {
                m_fontName.append(c);
            }
        }
        break;
    case Dest::ColorTable:
        for (const QChar c : text) {
            if (c != u';')
                continue;
            if (m_colors.size() < kMaxColors) {
                if (m_red < 0 && m_green < 0 && m_blue < 0)
                    m_colors.append(QColor()); // the automatic colour
                else
                    m_colors.append(QColor(std::max(0, m_red) & 255, std::max(0, m_green) & 255,
                                           std::max(0, m_blue) & 255));
            }
            m_red = m_green = m_blue = -1;
        }
        break;
    case Dest::ListText:
        if (m_listText.size() + text.size() <= kMaxListTextLength)
            m_listText.append(text);
        break;
    case Dest::Skip:
    case Dest::Pn:
        break;
    }
}

// Settles the break, block, cell separator and run due before more body text,
// and returns the paragraph's text to append it to.
ParagraphText &Reader::bodyText()
{
    if (m_textReady)
        return m_paraText;
    if (m_pendingBreak)
        paragraphBreak();
    openPendingBlock();
    if (m_pendingCellTab) {
        m_pendingCellTab = false;
        appendBodyText(u"\t");
    }
    if (!m_runOpen || !(m_runState == m_state.ch)) {
        flushRun();
        m_runState = m_state.ch;
        m_runOpen = true;
        m_runStart = m_paraText.size();
    }
    m_paraHasText = true;
    m_textReady = true;
    return m_paraText;
}

void Reader::appendBodyText(QStringView text)
{
    ParagraphText &out = bodyText();
    // Control characters other than tab have no place in text.
    const auto control = [](QChar c) { return c.unicode() < 0x20 && c.unicode() != '\t'; };
    // One look at each character: is it dropped, or does it make a paragraph?
    bool hasControl = false;
    for (const QChar c : text) {
        if (control(c))
            hasControl = true;
        else if (DocumentAppender::breaksBlock(c))
            m_paraBreakChars = true;
        else if (c.isSurrogate())
            m_paraSurrogates = true;
    }
    if (!hasControl) {
        out.append(text);
    } else {
        for (const QChar c : text) {
            if (!control(c))
                out.append(c.unicode());
        }
    }
}

// Printable ASCII of the body, the bulk of most documents.
void Reader::appendBodyLatin1(const char *text, qsizetype length)
{
    bodyText().appendLatin1(text, length);
}

// The index in m_formats of the format of `s`.
int Reader::formatFor(const CharState &s)
{
    const auto cached = m_formatIndex.constFind(s);
    if (cached != m_formatIndex.cend())
        return *cached;
    QTextCharFormat format;
    auto font = m_fonts.constFind(s.font < 0 ? m_defaultFont : s.font);
    if (font != m_fonts.cend() && !font->name.isEmpty())
        format.setFontFamilies({font->name});
    format.setFontPointSize(s.halfPoints / 2.0);
    if (s.color > 0 && s.color < m_colors.size() && m_colors[s.color].isValid())
        format.setForeground(m_colors[s.color]);
    if (s.bold)
        format.setFontWeight(QFont::Bold);
    if (s.italic)
        format.setFontItalic(true);
    if (s.underline)
        format.setFontUnderline(true);
    if (s.strike)
        format.setFontStrikeOut(true);
    // Formats are made once per combination of attributes; a document has few
    // (the paragraph's end forgets them when there are many).
    m_formats.push_back(format);
    m_formatIds.push_back(-1);
    m_formatIndex.insert(s, int(m_formats.size() - 1));
    return int(m_formats.size() - 1);
}

// The document's index of the format at `format` in m_formats.
int Reader::documentFormat(int format)
{
    int &id = m_formatIds[size_t(format)];
    if (id < 0)
        id = m_out.formatIndex(m_formats[size_t(format)]);
    return id;
}

namespace {

// Replaces surrogates without their partner from `from` on, which would
// corrupt the document.
void fixSurrogates(ParagraphText &text, qsizetype from)
{
    char16_t *const chars = text.data();
    const qsizetype size = text.size();
    if (std::none_of(chars + from, chars + size, [](char16_t c) { return QChar::isSurrogate(c); }))
        return;
    for (qsizetype i = from; i < size; ++i) {
        const char16_t c = chars[i];
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(chars[i + 1])) {
            ++i;
        } else if (QChar::isSurrogate(c)) {
            chars[i] = QChar::ReplacementCharacter;
        }
    }
}

} // namespace

void Reader::flushRun()
{
    m_textReady = false;
    if (!m_runOpen)
        return;
    const qsizetype length = m_paraText.size() - m_runStart;
    if (length > 0) {
        if (m_paraSurrogates)
            fixSurrogates(m_paraText, m_runStart);
        m_paraRuns.emplace_back(length, formatFor(m_runState));
    }
    m_runOpen = false;
}

// The block format of the paragraph state; paragraphs in a row mostly share one.
const QTextBlockFormat &Reader::blockFormat()
{
    const ParaState &p = m_state.para;
    if (m_blockFormatMade && p == m_blockState && m_paraBullet == m_blockBullet)
        return m_blockFormat;
    QTextBlockFormat format;
    format.setAlignment(p.align);
    double left = twipsToPixels(p.leftIndent);
    double first = twipsToPixels(p.firstIndent);
    if (m_paraBullet) {
        left = std::max(0.0, twipsToPixels(p.leftIndent - kListIndentTwips));
        first = twipsToPixels(p.firstIndent + kBulletHangTwips);
    }
    if (left != 0)
        format.setLeftMargin(left);
    if (first != 0)
        format.setTextIndent(first);
    if (p.rightIndent)
        format.setRightMargin(twipsToPixels(p.rightIndent));
    if (p.spaceBefore)
        format.setTopMargin(twipsToPixels(p.spaceBefore));
    if (p.spaceAfter)
        format.setBottomMargin(twipsToPixels(p.spaceAfter));
    m_blockFormat = format;
    m_blockFormatId = -1;
    m_blockState = p;
    m_blockBullet = m_paraBullet;
    m_blockFormatMade = true;
    return m_blockFormat;
}

void Reader::endParagraph()
{
    flushBytes();
    flushRun();
    openPendingBlock();
    m_pendingCellTab = false;
    m_pendingBreak = false;
    const QTextBlockFormat &format = blockFormat();
    // An empty paragraph keeps the character format it ends with, which keeps
    // its line's height.
    if (m_needBlock) {
        const int charFormat = m_paraHasText ? m_newBlockChar : formatFor(m_state.ch);
        if (m_blockFormatId < 0)
            m_blockFormatId = m_out.formatIndex(format);
        m_out.insertBlock(m_blockFormatId, documentFormat(charFormat));
        m_needBlock = false;
    } else {
        QTextCursor &cursor = m_out.cursor();
        cursor.setBlockFormat(format);
        if (!m_paraHasText)
            cursor.setBlockCharFormat(m_formats[size_t(formatFor(m_state.ch))]);
    }
    // One insertion per run, each a view of the paragraph's text.
    qsizetype at = 0;
    for (const auto &[length, runFormat] : m_paraRuns) {
        insertRun(m_paraText.view(at, length), runFormat);
        at += length;
    }
    m_paraText.clear();
    m_paraSurrogates = false;
    m_paraRuns.clear();
    if (m_formats.size() >= 4096) {
        m_formats.clear();
        m_formatIds.clear();
        m_formatIndex.clear();
    }
    if (m_maxParagraphs >= 0 && ++m_paragraphs > m_maxParagraphs)
        m_tooLong = true;
    if (m_paraBullet) {
        QTextCursor &cursor = m_out.cursor();
        if (m_list) {
            m_list->add(cursor.block());
        } else {
            QTextListFormat listFormat;
            listFormat.setStyle(QTextListFormat::ListDisc);
            listFormat.setIndent(1);
            m_list = cursor.createList(listFormat);
        }
    } else {
        m_list = nullptr;
    }
    m_paraBullet = false;
    m_paraHasText = false;
    m_paraBreakChars = false;
}

void Reader::insertRun(QStringView text, int format)
{
    if (m_paraBreakChars)
        m_out.insertTextWithBreaks(text, m_formats[size_t(format)]);
    else
        m_out.insertText(text, documentFormat(format));
}

// The font-table entry being read, or null when there is none or the table is full.
FontEntry *Reader::tableFont()
{
    if (m_tableFont < 0 || (m_fonts.size() >= kMaxFonts && !m_fonts.contains(m_tableFont)))
        return nullptr;
    m_codePageKnown = false; // the entry may be new or change
    return &m_fonts[m_tableFont];
}

void Reader::commitFontName()
{
    if (FontEntry *font = tableFont())
        font->name = m_fontName.trimmed();
    m_fontName.clear();
}

void Reader::paragraphBreak()
{
    if (m_state.dest != Dest::Text)
        return;
    endParagraph();
    m_blockPending = true;
    m_pendingChar = m_state.ch;
}

void Reader::openPendingBlock()
{
    if (!m_blockPending)
        return;
    m_blockPending = false;
    m_needBlock = true;
    m_newBlockChar = formatFor(m_pendingChar);
}

void Reader::beginGroup()
{
    flushBytes();
    m_ucSkip = 0;
    m_stack.push_back(m_state);
}

// Returns false when the root group has been closed.
bool Reader::endGroup()
{
    flushBytes();
    m_ucSkip = 0;
    m_ignorableNext = false;
    if (m_stack.empty())
        return false; // the root group
    const State closing = m_state;
    m_state = m_stack.back();
    m_stack.pop_back();
    m_textReady = false; // the run's state may have changed
    if (closing.dest == Dest::FontTable && m_state.dest == Dest::FontTable &&
        !m_fontName.trimmed().isEmpty()) {
        commitFontName(); // an entry without its ';'
    }
    if (closing.dest == Dest::ListText && m_state.dest != Dest::ListText) {
        // A bullet becomes the paragraph's list; a number or other label stays as text.
        if (isBulletMarker(m_listText))
            m_paraBullet = true;
        else if (m_state.dest == Dest::Text) {
            qsizetype lead = 0; // the blank that separates the label from its control words
            while (lead < m_listText.size() && m_listText[lead] == u' ')
                ++lead;
            appendText(QStringView(m_listText).mid(lead));
        }
        m_listText.clear();
    }
    return true;
}

void Reader::skipBinary(int length)
{
    const auto left = m_end - m_p;
    m_p += std::min<std::ptrdiff_t>(std::max(0, length), left);
}

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Bytes that are text as they stand: printable ASCII other than \ { }.
constexpr std::array<bool, 256> kPlainText = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x80; ++c)
        plain[size_t(c)] = c != '\\' && c != '{' && c != '}';
    return plain;
}();

} // namespace

bool Reader::run(QString *error)
{
    m_stack.reserve(64);
    // The caller has checked for "{\rtf"; the opening brace is the root group.
    if (m_p < m_end && *m_p == '{') {
        ++m_p;
    }
    bool ok = true;
    while (m_p < m_end) {
        if (m_tooLong) {
            if (error)
                *error = QStringLiteral("The RTF holds too many paragraphs.");
            ok = false;
            break;
        }
        const char c = *m_p++;
        if (c == '{') {
            if (int(m_stack.size()) >= RtfReader::kMaxDepth) {
                if (error)
                    *error = QStringLiteral("The RTF groups are nested too deeply.");
                ok = false;
                break;
            }
            beginGroup();
            continue;
        }
        if (c == '}') {
            if (!endGroup())
                break; // the end of the root group ends the document
            continue;
        }
        if (c == '\\') {
            if (m_p >= m_end)
                break;
            const char n = *m_p;
            if (isLetter(n)) {
                char word[kMaxWordLength + 1];
                int len = 0;
                while (m_p < m_end && isLetter(*m_p)) {
                    if (len < kMaxWordLength)
                        word[len++] = *m_p;
                    ++m_p;
                }
                bool negative = false;
                bool hasParam = false;
                long long value = 0;
                if (m_p < m_end && *m_p == '-' && m_p + 1 < m_end && isDigit(m_p[1])) {
                    negative = true;
                    ++m_p;
                }
                int digits = 0;
                while (m_p < m_end && isDigit(*m_p)) {
                    if (digits++ < kMaxParamDigits)
                        value = value * 10 + (*m_p - '0');
                    hasParam = true;
                    ++m_p;
                }
                if (m_p < m_end && *m_p == ' ')
                    ++m_p;
                value = std::min<long long>(value, 0x7fffffff);
                const int param = int(negative ? -value : value);
                const std::string_view name(word, size_t(len));
                if (m_ucSkip > 0 && name != "bin") {
                    --m_ucSkip;
                    continue;
                }
                flushBytes();
                controlWord(name, hasParam, param);
                continue;
            }
            ++m_p;
            if (n == '\'') {
                const int hi = m_p < m_end ? hexValue(*m_p) : -1;
                const int lo = m_p + 1 < m_end ? hexValue(m_p[1]) : -1;
                if (hi < 0 || lo < 0) {
                    if (hi >= 0)
                        ++m_p; // one digit only: drop it with the escape
                    continue;
                }
                m_p += 2;
                if (m_ucSkip > 0) {
                    --m_ucSkip;
                    continue;
                }
                hexByte(hi * 16 + lo);
                continue;
            }
            if (m_ucSkip > 0) {
                --m_ucSkip;
                continue;
            }
            flushBytes();
            controlSymbol(n);
            m_textReady = false;
            continue;
        }
        if (c == '\r' || c == '\n')
            continue;
        if (m_ucSkip > 0) {
            --m_ucSkip;
            continue;
        }
        if (m_state.dest == Dest::Skip)
            continue;
        if (static_cast<unsigned char>(c) >= 0x80) {
            // 8-bit text outside \'hh: bytes of the code page.
            hexByte(static_cast<unsigned char>(c));
            continue;
        }
        flushBytes();
        if (c == 0)
            continue;
        // Plain ASCII text: take the whole stretch at once.
        const char *start = m_p - 1;
        while (m_p < m_end && kPlainText[static_cast<unsigned char>(*m_p)])
            ++m_p;
        if (m_state.dest == Dest::Text && !m_state.ch.hidden) {
            // Only the first character can be a control character here.
            if (c < 0x20 && c != '\t')
                ++start;
            appendBodyLatin1(start, m_p - start);
        } else {
            appendText(QString::fromLatin1(start, m_p - start));
        }
    }
    finish();
    return ok;
}

void Reader::finish()
{
    // Text of a paragraph still open when the data ends belongs to the document.
    flushBytes();
    flushRun();
    if (!m_blockPending)
        endParagraph();
}

} // namespace reading

bool RtfReader::read(const QByteArray &data, QTextDocument &document, QString *error,
                     int maxParagraphs)
{
    document.clear();
    QTextCursor batch(&document);
    batch.beginEditBlock();
    bool ok = false;
    {
        // The reader's appender lets the document move cursors again when it
        // goes, before the edit ends.
        reading::Reader reader(data, document, maxParagraphs);
        ok = reader.run(error);
    }
    batch.endEditBlock();
    return ok;
}

} // namespace platform::rtf
