#include "platform/rtf/RtfReaderState.h"

#include <QScopeGuard>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace platform::rtf::reading {

namespace {

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

// Words that only add a character to the text, changing nothing else.
bool addsCharacterOnly(Kw kw)
{
    switch (kw) {
    case Kw::Unicode:
    case Kw::Line:
    case Kw::Tab:
    case Kw::Bullet:
    case Kw::Emdash:
    case Kw::Endash:
    case Kw::Emspace:
    case Kw::Enspace:
    case Kw::Qmspace:
    case Kw::Lquote:
    case Kw::Rquote:
    case Kw::Ldblquote:
    case Kw::Rdblquote:
        return true;
    default:
        return false;
    }
}

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

} // namespace

void Reader::controlSymbol(char c)
{
    m_textReady = false;
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
    // Text may go on into the open run after a word that only adds a
    // character; any other word may change what the run is.
    const bool keepsRun = entry && !ignorable && addsCharacterOnly(entry->kw);
    if (!keepsRun)
        m_textReady = false;
    const auto settle = qScopeGuard([&] {
        if (!keepsRun)
            m_textReady = false;
    });
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

} // namespace platform::rtf::reading
