#include "platform/rtf/RtfReader.h"

#include "platform/rtf/DocumentAppender.h"
#include "platform/rtf/RtfCommon.h"

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

namespace {

// Bounds that keep hostile input from costing more than its own size.
constexpr int kMaxWordLength = 32;
constexpr int kMaxParamDigits = 10;
constexpr int kMaxFonts = 4096;
constexpr int kMaxColors = 4096;
constexpr int kMaxFontNameLength = 256;
constexpr int kMaxListTextLength = 64;
constexpr int kMinHalfPoints = 2;
constexpr int kMaxHalfPoints = 3276;   // 1638 points
constexpr int kMaxIndentTwips = 31680; // 22 inches

enum class Dest : std::uint8_t { Text, Skip, FontTable, ColorTable, ListText, Pn };

struct CharState {
    int font = -1; // -1: the document's default font (\deff)
    int halfPoints = 24;
    int color = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    bool operator==(const CharState &) const = default;
};

size_t qHash(const CharState &s, size_t seed = 0)
{
    return qHashMulti(seed, s.font, s.halfPoints, s.color, s.bold, s.italic, s.underline, s.strike,
                      s.hidden);
}

struct ParaState {
    Qt::Alignment align = Qt::AlignLeft;
    int firstIndent = 0; // twips
    int leftIndent = 0;
    int rightIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    bool operator==(const ParaState &) const = default;
};

struct State {
    CharState ch;
    ParaState para;
    int uc = 1;
    Dest dest = Dest::Text;
};

enum class Kw : std::uint8_t {
    // destinations
    DestSkip,
    FontTable,
    ColorTable,
    ListText,
    Pn,
    PnText,
    // characters and breaks
    Par,
    Line,
    Tab,
    Cell,
    Row,
    Sect,
    Page,
    Bullet,
    Emdash,
    Endash,
    Emspace,
    Enspace,
    Qmspace,
    Lquote,
    Rquote,
    Ldblquote,
    Rdblquote,
    Bin,
    // character formatting
    Plain,
    Bold,
    Italic,
    Underline,
    UlNone,
    Strike,
    Font,
    FontSize,
    Color,
    Hidden,
    Unicode,
    Uc,
    // paragraph formatting
    Pard,
    Ql,
    Qc,
    Qr,
    Qj,
    Fi,
    Li,
    Ri,
    Sb,
    Sa,
    PnLvlBlt,
    // document
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCpg,
    Deff,
    FCharset,
    Red,
    Green,
    Blue,
};

struct KwEntry {
    std::string_view name;
    Kw kw;
};

// Sorted by name, which also keeps any name from appearing twice.
constexpr std::array kKeywords = {
    KwEntry{"aftncn", Kw::DestSkip},
    KwEntry{"aftnsep", Kw::DestSkip},
    KwEntry{"aftnsepc", Kw::DestSkip},
    KwEntry{"annotation", Kw::DestSkip},
    KwEntry{"ansi", Kw::Ansi},
    KwEntry{"ansicpg", Kw::AnsiCpg},
    KwEntry{"atnauthor", Kw::DestSkip},
    KwEntry{"atnid", Kw::DestSkip},
    KwEntry{"author", Kw::DestSkip},
    KwEntry{"b", Kw::Bold},
    KwEntry{"bin", Kw::Bin},
    KwEntry{"bkmkend", Kw::DestSkip},
    KwEntry{"bkmkstart", Kw::DestSkip},
    KwEntry{"blue", Kw::Blue},
    KwEntry{"bullet", Kw::Bullet},
    KwEntry{"buptim", Kw::DestSkip},
    KwEntry{"cell", Kw::Cell},
    KwEntry{"cf", Kw::Color},
    KwEntry{"colortbl", Kw::ColorTable},
    KwEntry{"comment", Kw::DestSkip},
    KwEntry{"company", Kw::DestSkip},
    KwEntry{"creatim", Kw::DestSkip},
    KwEntry{"datastore", Kw::DestSkip},
    KwEntry{"deff", Kw::Deff},
    KwEntry{"doccomm", Kw::DestSkip},
    KwEntry{"docvar", Kw::DestSkip},
    KwEntry{"emdash", Kw::Emdash},
    KwEntry{"emspace", Kw::Emspace},
    KwEntry{"endash", Kw::Endash},
    KwEntry{"enspace", Kw::Enspace},
    KwEntry{"f", Kw::Font},
    KwEntry{"fcharset", Kw::FCharset},
    KwEntry{"fi", Kw::Fi},
    KwEntry{"fldinst", Kw::DestSkip},
    KwEntry{"fonttbl", Kw::FontTable},
    KwEntry{"footer", Kw::DestSkip},
    KwEntry{"footerf", Kw::DestSkip},
    KwEntry{"footerl", Kw::DestSkip},
    KwEntry{"footerr", Kw::DestSkip},
    KwEntry{"footnote", Kw::DestSkip},
    KwEntry{"fs", Kw::FontSize},
    KwEntry{"ftncn", Kw::DestSkip},
    KwEntry{"ftnsep", Kw::DestSkip},
    KwEntry{"ftnsepc", Kw::DestSkip},
    KwEntry{"green", Kw::Green},
    KwEntry{"header", Kw::DestSkip},
    KwEntry{"headerf", Kw::DestSkip},
    KwEntry{"headerl", Kw::DestSkip},
    KwEntry{"headerr", Kw::DestSkip},
    KwEntry{"i", Kw::Italic},
    KwEntry{"info", Kw::DestSkip},
    KwEntry{"keywords", Kw::DestSkip},
    KwEntry{"latentstyles", Kw::DestSkip},
    KwEntry{"ldblquote", Kw::Ldblquote},
    KwEntry{"li", Kw::Li},
    KwEntry{"line", Kw::Line},
    KwEntry{"listoverridetable", Kw::DestSkip},
    KwEntry{"listtable", Kw::DestSkip},
    KwEntry{"listtext", Kw::ListText},
    KwEntry{"lquote", Kw::Lquote},
    KwEntry{"mac", Kw::Mac},
    KwEntry{"nestcell", Kw::Cell},
    KwEntry{"nestrow", Kw::Row},
    KwEntry{"nonshppict", Kw::DestSkip},
    KwEntry{"object", Kw::DestSkip},
    KwEntry{"operator", Kw::DestSkip},
    KwEntry{"page", Kw::Page},
    KwEntry{"par", Kw::Par},
    KwEntry{"pard", Kw::Pard},
    KwEntry{"pc", Kw::Pc},
    KwEntry{"pca", Kw::Pca},
    KwEntry{"pgdsctbl", Kw::DestSkip},
    KwEntry{"pict", Kw::DestSkip},
    KwEntry{"plain", Kw::Plain},
    KwEntry{"pn", Kw::Pn},
    KwEntry{"pnlvlblt", Kw::PnLvlBlt},
    KwEntry{"pnseclvl", Kw::DestSkip},
    KwEntry{"pntext", Kw::PnText},
    KwEntry{"pntxta", Kw::DestSkip},
    KwEntry{"pntxtb", Kw::DestSkip},
    KwEntry{"printim", Kw::DestSkip},
    KwEntry{"private", Kw::DestSkip},
    KwEntry{"qc", Kw::Qc},
    KwEntry{"qd", Kw::Qj},
    KwEntry{"qj", Kw::Qj},
    KwEntry{"ql", Kw::Ql},
    KwEntry{"qmspace", Kw::Qmspace},
    KwEntry{"qr", Kw::Qr},
    KwEntry{"rdblquote", Kw::Rdblquote},
    KwEntry{"red", Kw::Red},
    KwEntry{"revtbl", Kw::DestSkip},
    KwEntry{"revtim", Kw::DestSkip},
    KwEntry{"ri", Kw::Ri},
    KwEntry{"row", Kw::Row},
    KwEntry{"rquote", Kw::Rquote},
    KwEntry{"rsidtbl", Kw::DestSkip},
    KwEntry{"rxe", Kw::DestSkip},
    KwEntry{"sa", Kw::Sa},
    KwEntry{"sb", Kw::Sb},
    KwEntry{"sect", Kw::Sect},
    KwEntry{"shppict", Kw::DestSkip},
    KwEntry{"sp", Kw::DestSkip},
    KwEntry{"strike", Kw::Strike},
    KwEntry{"striked", Kw::Strike},
    KwEntry{"stylesheet", Kw::DestSkip},
    KwEntry{"subject", Kw::DestSkip},
    KwEntry{"tab", Kw::Tab},
    KwEntry{"tc", Kw::DestSkip},
    KwEntry{"template", Kw::DestSkip},
    KwEntry{"themedata", Kw::DestSkip},
    KwEntry{"title", Kw::DestSkip},
    KwEntry{"txe", Kw::DestSkip},
    KwEntry{"u", Kw::Unicode},
    KwEntry{"uc", Kw::Uc},
    KwEntry{"ul", Kw::Underline},
    KwEntry{"uld", Kw::Underline},
    KwEntry{"uldash", Kw::Underline},
    KwEntry{"uldashd", Kw::Underline},
    KwEntry{"uldashdd", Kw::Underline},
    KwEntry{"uldb", Kw::Underline},
    KwEntry{"ulhwave", Kw::Underline},
    KwEntry{"ulldash", Kw::Underline},
    KwEntry{"ulnone", Kw::UlNone},
    KwEntry{"ulth", Kw::Underline},
    KwEntry{"ulthd", Kw::Underline},
    KwEntry{"ulthdash", Kw::Underline},
    KwEntry{"ulw", Kw::Underline},
    KwEntry{"ulwave", Kw::Underline},
    KwEntry{"userprops", Kw::DestSkip},
    KwEntry{"v", Kw::Hidden},
    KwEntry{"xe", Kw::DestSkip},
    KwEntry{"xmlnstbl", Kw::DestSkip},
};

constexpr bool keywordsSorted()
{
    for (size_t i = 1; i < kKeywords.size(); ++i) {
        if (!(kKeywords[i - 1].name < kKeywords[i].name))
            return false;
    }
    return true;
}
static_assert(keywordsSorted(), "the keyword table must be sorted, without duplicates");

// The keywords in an open-addressed hash table: a look-up hashes the word once
// and compares it with one entry, rarely two.
constexpr std::uint32_t keywordHash(std::string_view name)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : name)
        hash = (hash ^ std::uint8_t(c)) * 16777619u;
    return hash;
}

constexpr size_t kKeywordSlots = 512;
static_assert(kKeywords.size() < 255 && kKeywords.size() * 3 < kKeywordSlots);

// Each slot holds a keyword's index plus one, or 0 when empty.
constexpr auto kKeywordSlotTable = [] {
    std::array<std::uint8_t, kKeywordSlots> table{};
    for (size_t i = 0; i < kKeywords.size(); ++i) {
        size_t slot = keywordHash(kKeywords[i].name) % kKeywordSlots;
        while (table[slot] != 0)
            slot = (slot + 1) % kKeywordSlots;
        table[slot] = std::uint8_t(i + 1);
    }
    return table;
}();

const KwEntry *findKeyword(std::string_view name)
{
    for (size_t slot = keywordHash(name) % kKeywordSlots; kKeywordSlotTable[slot] != 0;
         slot = (slot + 1) % kKeywordSlots) {
        const KwEntry &entry = kKeywords[kKeywordSlotTable[slot] - 1];
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

bool isBulletMarker(const QString &text)
{
    const QString t = text.trimmed();
    if (t.size() != 1)
        return false;
    const QChar c = t.front();
    return c == u'o' || !c.isLetterOrNumber();
}

struct FontEntry {
    QString name;
    int codePage = 0;
};

class Reader {
public:
    Reader(const QByteArray &data, QTextDocument &document, int maxParagraphs)
        : m_p(data.constData()), m_end(data.constData() + data.size()), m_out(document),
          m_maxParagraphs(maxParagraphs)
    {
    }

    bool run(QString *error);

private:
    // input
    const char *m_p;
    const char *m_end;
    // output
    DocumentAppender m_out;
    CharState m_runState;
    bool m_runOpen = false;
    qsizetype m_runStart = 0; // where the open run starts in m_paraText
    // Character formats made so far, found by their state.
    QHash<CharState, int> m_formatIndex;
    std::vector<QTextCharFormat> m_formats;
    std::vector<int> m_formatIds; // the document's index of each, -1 until used
    // The paragraph being read: its text and its runs, inserted together when
    // it ends, right after the block that holds it. The buffers keep their
    // memory from one paragraph to the next.
    QString m_paraText;
    std::vector<std::pair<qsizetype, int>> m_paraRuns; // length, index in m_formats
    QString m_runText; // one run's text, when a paragraph has several
    ParaState m_blockState;
    bool m_blockBullet = false;
    QTextBlockFormat m_blockFormat; // the format of m_blockState, m_blockBullet
    int m_blockFormatId = -1;       // its index in the document, -1 until used
    bool m_blockFormatMade = false;
    bool m_needBlock = false; // the paragraph goes into a new block
    int m_newBlockChar = 0;   // that block's character format, in m_formats
    int m_paragraphs = 0;
    int m_maxParagraphs = -1;
    bool m_tooLong = false;
    bool m_paraHasText = false;
    bool m_paraBreakChars = false; // the text holds characters that make paragraphs
    bool m_paraBullet = false;
    bool m_pendingCellTab = false;
    bool m_pendingBreak = false; // a page or section break waiting for more text
    // A \par opens the next paragraph only when something goes into it, so the
    // final \par of a document adds no empty paragraph.
    bool m_blockPending = false;
    CharState m_pendingChar;
    QTextList *m_list = nullptr;
    // state
    State m_state;
    std::vector<State> m_stack;
    int m_ucSkip = 0;
    bool m_ignorableNext = false;
    // tables
    int m_codePage = 1252;
    int m_defaultFont = -1;
    QHash<int, FontEntry> m_fonts;
    int m_tableFont = -1;
    QString m_fontName;
    QList<QColor> m_colors;
    int m_red = -1, m_green = -1, m_blue = -1;
    QString m_listText;
    // \'hh bytes waiting to be decoded together (multi-byte code pages)
    QByteArray m_bytes;
    int m_bytesCodePage = 0;
    CodePageDecoder m_decoder;
    QString m_decoded;
    // The code page of the font last asked for; forgotten when the font table,
    // the default font or the document's code page changes.
    int m_codePageFont = 0;
    int m_codePageOfFont = 0;
    bool m_codePageKnown = false;

    int currentCodePage();
    void flushBytes();
    void appendText(QStringView text);
    void appendChar(char16_t c) { appendText(QStringView(&c, 1)); }
    void appendBodyText(QStringView text);
    QString &bodyText();
    void appendBodyLatin1(const char *text, qsizetype length);
    const QTextBlockFormat &blockFormat();
    void flushRun();
    int formatFor(const CharState &s);
    int documentFormat(int format);
    void endParagraph();
    void insertRun(const QString &text, int format);
    void paragraphBreak();
    void openPendingBlock();
    void finish();
    void beginGroup();
    FontEntry *tableFont();
    void commitFontName();
    bool endGroup();
    void controlWord(std::string_view word, bool hasParam, int param);
    void controlSymbol(char c);
    void hexByte(int byte);
    void skipBinary(int length);
};

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
QString &Reader::bodyText()
{
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
    return m_paraText;
}

void Reader::appendBodyText(QStringView text)
{
    QString &out = bodyText();
    // Control characters other than tab have no place in text.
    const auto control = [](QChar c) { return c.unicode() < 0x20 && c.unicode() != '\t'; };
    if (std::any_of(text.begin(), text.end(), DocumentAppender::breaksBlock))
        m_paraBreakChars = true;
    if (std::none_of(text.begin(), text.end(), control)) {
        out.append(text);
    } else {
        for (const QChar c : text) {
            if (!control(c))
                out.append(c);
        }
    }
}

// Printable ASCII of the body, the bulk of most documents.
void Reader::appendBodyLatin1(const char *text, qsizetype length)
{
    bodyText().append(QLatin1StringView(text, length));
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

// Replaces surrogates without their partner from `from` on, which would
// corrupt the document.
void fixSurrogates(QString &text, qsizetype from)
{
    const QStringView view(text);
    if (std::none_of(view.begin() + from, view.end(), [](QChar c) { return c.isSurrogate(); }))
        return;
    for (qsizetype i = from; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            text[i] = QChar::ReplacementCharacter;
        }
    }
}

void Reader::flushRun()
{
    if (!m_runOpen)
        return;
    const qsizetype length = m_paraText.size() - m_runStart;
    if (length > 0) {
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
    QTextCursor &cursor = m_out.cursor();
    // An empty paragraph keeps the character format it ends with, which keeps
    // its line's height.
    if (m_needBlock) {
        const int charFormat = m_paraHasText ? m_newBlockChar : formatFor(m_state.ch);
        if (m_blockFormatId < 0)
            m_blockFormatId = m_out.formatIndex(format);
        m_out.insertBlock(m_blockFormatId, documentFormat(charFormat));
        m_needBlock = false;
    } else {
        cursor.setBlockFormat(format);
        if (!m_paraHasText)
            cursor.setBlockCharFormat(m_formats[size_t(formatFor(m_state.ch))]);
    }
    // The paragraph's text in one insertion when it has one format, else one
    // per run.
    if (m_paraRuns.size() == 1) {
        const int runFormat = m_paraRuns.front().second;
        insertRun(m_paraText, runFormat);
    } else {
        qsizetype at = 0;
        for (const auto &[length, runFormat] : m_paraRuns) {
            m_runText.resize(0);
            m_runText.append(QStringView(m_paraText).mid(at, length));
            insertRun(m_runText, runFormat);
            at += length;
        }
    }
    m_paraText.resize(0);
    m_paraRuns.clear();
    if (m_formats.size() >= 4096) {
        m_formats.clear();
        m_formatIds.clear();
        m_formatIndex.clear();
    }
    if (m_maxParagraphs >= 0 && ++m_paragraphs > m_maxParagraphs)
        m_tooLong = true;
    if (m_paraBullet) {
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

void Reader::insertRun(const QString &text, int format)
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

void Reader::controlSymbol(char c)
{
    switch (c) {
    case '\\':
    case '{':
    case '}':
        appendChar(char16_t(c));
        break;
    case '~':
        appendChar(0x00A0);
        break;
    case '-':
        appendChar(0x00AD);
        break;
    case '_':
        appendChar(0x2011);
        break;
    case '*':
        m_ignorableNext = true;
        break;
    case '\n':
    case '\r':
        paragraphBreak(); // a backslash before a line end is \par
        break;
    case '\t':
        appendChar('\t');
        break;
    default:
        break; // \: \| and unknown symbols
    }
}

void Reader::controlWord(std::string_view word, bool hasParam, int param)
{
    const bool ignorable = m_ignorableNext;
    m_ignorableNext = false;
    const KwEntry *entry = findKeyword(word);
    const bool destination = entry && (entry->kw == Kw::DestSkip || entry->kw == Kw::FontTable ||
                                       entry->kw == Kw::ColorTable || entry->kw == Kw::Pn);
    if (!entry || (ignorable && !destination)) {
        // An unknown destination marked ignorable is skipped with its group.
        if (ignorable)
            m_state.dest = Dest::Skip;
        return;
    }
    if (m_state.dest == Dest::Skip && entry->kw != Kw::Bin)
        return;
    CharState &ch = m_state.ch;
    ParaState &para = m_state.para;
    const auto on = [&] { return !hasParam || param != 0; };
    switch (entry->kw) {
    case Kw::DestSkip:
        m_state.dest = Dest::Skip;
        break;
    case Kw::FontTable:
        m_state.dest = Dest::FontTable;
        break;
    case Kw::ColorTable:
        m_state.dest = Dest::ColorTable;
        break;
    case Kw::ListText:
    case Kw::PnText:
        if (m_state.dest == Dest::Text) {
            m_state.dest = Dest::ListText;
            m_listText.clear();
        } else {
            m_state.dest = Dest::Skip;
        }
        break;
    case Kw::Pn:
        m_state.dest = Dest::Pn;
        break;
    case Kw::PnLvlBlt:
        if (m_state.dest == Dest::Pn)
            m_paraBullet = true;
        break;
    case Kw::Par:
        paragraphBreak();
        break;
    case Kw::Sect:
    case Kw::Page:
        // A page or section break ends the paragraph it falls in, no more: a
        // \par right after it ends the same paragraph.
        if (m_paraHasText && m_state.dest == Dest::Text)
            m_pendingBreak = true;
        break;
    case Kw::Row:
        m_pendingCellTab = false;
        if (m_paraHasText)
            paragraphBreak();
        break;
    case Kw::Cell:
        if (m_state.dest == Dest::Text) {
            if (m_pendingCellTab) {
                // The cell before this one was empty: its separator is due now.
                m_pendingCellTab = false;
                appendChar('\t');
            }
            m_pendingCellTab = true;
        }
        break;
    case Kw::Line:
        appendChar(0x2028);
        break;
    case Kw::Tab:
        appendChar('\t');
        break;
    case Kw::Bullet:
        appendChar(0x2022);
        break;
    case Kw::Emdash:
        appendChar(0x2014);
        break;
    case Kw::Endash:
        appendChar(0x2013);
        break;
    case Kw::Emspace:
        appendChar(0x2003);
        break;
    case Kw::Enspace:
        appendChar(0x2002);
        break;
    case Kw::Qmspace:
        appendChar(0x2005);
        break;
    case Kw::Lquote:
        appendChar(0x2018);
        break;
    case Kw::Rquote:
        appendChar(0x2019);
        break;
    case Kw::Ldblquote:
        appendChar(0x201C);
        break;
    case Kw::Rdblquote:
        appendChar(0x201D);
        break;
    case Kw::Bin:
        skipBinary(hasParam ? param : 0);
        break;
    case Kw::Plain:
        ch = CharState();
        break;
    case Kw::Bold:
        ch.bold = on();
        break;
    case Kw::Italic:
        ch.italic = on();
        break;
    case Kw::Underline:
        ch.underline = on();
        break;
    case Kw::UlNone:
        ch.underline = false;
        break;
    case Kw::Strike:
        ch.strike = on();
        break;
    case Kw::Hidden:
        ch.hidden = on();
        break;
    case Kw::Font:
        if (m_state.dest == Dest::FontTable) {
            if (!m_fontName.trimmed().isEmpty())
                commitFontName();
            m_fontName.clear();
            m_tableFont = hasParam ? param : 0;
        } else {
            ch.font = hasParam ? param : 0;
        }
        break;
    case Kw::FontSize:
        ch.halfPoints = std::clamp(hasParam ? param : 24, kMinHalfPoints, kMaxHalfPoints);
        break;
    case Kw::Color:
        ch.color = std::max(0, hasParam ? param : 0);
        break;
    case Kw::Unicode:
        if (hasParam) {
            const bool valid = param >= -32768 && param <= 65535;
            appendChar(valid ? char16_t(param < 0 ? param + 65536 : param)
                             : char16_t(QChar::ReplacementCharacter));
            m_ucSkip = m_state.uc;
        }
        break;
    case Kw::Uc:
        m_state.uc = std::clamp(hasParam ? param : 1, 0, 16);
        break;
    case Kw::Pard:
        para = ParaState();
        break;
    case Kw::Ql:
        para.align = Qt::AlignLeft;
        break;
    case Kw::Qc:
        para.align = Qt::AlignHCenter;
        break;
    case Kw::Qr:
        para.align = Qt::AlignRight;
        break;
    case Kw::Qj:
        para.align = Qt::AlignJustify;
        break;
    case Kw::Fi:
        para.firstIndent = std::clamp(hasParam ? param : 0, -kMaxIndentTwips, kMaxIndentTwips);
        break;
    case Kw::Li:
        para.leftIndent = std::clamp(hasParam ? param : 0, -kMaxIndentTwips, kMaxIndentTwips);
        break;
    case Kw::Ri:
        para.rightIndent = std::clamp(hasParam ? param : 0, -kMaxIndentTwips, kMaxIndentTwips);
        break;
    case Kw::Sb:
        para.spaceBefore = std::clamp(hasParam ? param : 0, 0, kMaxIndentTwips);
        break;
    case Kw::Sa:
        para.spaceAfter = std::clamp(hasParam ? param : 0, 0, kMaxIndentTwips);
        break;
    case Kw::Ansi:
        m_codePage = 1252;
        m_codePageKnown = false;
        break;
    case Kw::Mac:
        m_codePage = 10000;
        m_codePageKnown = false;
        break;
    case Kw::Pc:
        m_codePage = 437;
        m_codePageKnown = false;
        break;
    case Kw::Pca:
        m_codePage = 850;
        m_codePageKnown = false;
        break;
    case Kw::AnsiCpg:
        if (hasParam && param > 0) {
            m_codePage = param;
            m_codePageKnown = false;
        }
        break;
    case Kw::Deff:
        if (hasParam) {
            m_defaultFont = param;
            m_codePageKnown = false;
        }
        break;
    case Kw::FCharset:
        if (m_state.dest == Dest::FontTable) {
            if (FontEntry *font = tableFont())
                font->codePage = codePageForCharset(hasParam ? param : 0);
        }
        break;
    case Kw::Red:
        m_red = hasParam ? param : 0;
        break;
    case Kw::Green:
        m_green = hasParam ? param : 0;
        break;
    case Kw::Blue:
        m_blue = hasParam ? param : 0;
        break;
    }
}

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

} // namespace

bool RtfReader::read(const QByteArray &data, QTextDocument &document, QString *error,
                     int maxParagraphs)
{
    document.clear();
    Reader reader(data, document, maxParagraphs);
    QTextCursor batch(&document);
    batch.beginEditBlock();
    const bool ok = reader.run(error);
    batch.endEditBlock();
    return ok;
}

} // namespace platform::rtf
