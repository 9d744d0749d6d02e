#pragma once

#include "platform/rtf/DocumentAppender.h"
#include "platform/rtf/ParagraphText.h"
#include "platform/rtf/RtfCommon.h"

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>

#include <cstdint>
#include <string_view>
#include <vector>

class QTextDocument;
class QTextList;

// The RTF reader's state, shared by the files that make up the reader
// (RtfReader.cpp: text, paragraphs, groups and the scanner; RtfControlWords.cpp:
// what each control word does). Not for use outside them.
namespace platform::rtf::reading {

// Bounds that keep hostile input from costing more than its own size.
inline constexpr int kMaxWordLength = 32;
inline constexpr int kMaxParamDigits = 10;
inline constexpr int kMaxFonts = 4096;
inline constexpr int kMaxColors = 4096;
inline constexpr int kMaxFontNameLength = 256;
inline constexpr int kMaxListTextLength = 64;
inline constexpr int kMinHalfPoints = 2;
inline constexpr int kMaxHalfPoints = 3276;   // 1638 points
inline constexpr int kMaxIndentTwips = 31680; // 22 inches

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

inline size_t qHash(const CharState &s, size_t seed = 0)
{
    // Two words hash faster than eight fields; runs are looked up by state.
    const quint64 sizeAndFont = quint64(quint32(s.halfPoints)) << 32 | quint32(s.font);
    const quint64 colorAndFlags = quint64(quint32(s.color)) << 8 | quint64(s.bold) |
                                  quint64(s.italic) << 1 | quint64(s.underline) << 2 |
                                  quint64(s.strike) << 3 | quint64(s.hidden) << 4;
    return qHashMulti(seed, sizeAndFont, colorAndFlags);
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
    ParagraphText m_paraText;
    std::vector<std::pair<qsizetype, int>> m_paraRuns; // length, index in m_formats
    // Body text goes straight into m_paraText: bodyText() has settled what was
    // due before more text, and nothing has happened since that could change
    // the run (control words, the end of a group, the end of the run).
    bool m_textReady = false;
    // The paragraph's text may hold surrogates, which need checking for pairs.
    bool m_paraSurrogates = false;
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
    void appendChar(char16_t c)
    {
        if (m_textReady && plainBodyChar(c)) {
            m_paraText.append(c);
            m_paraSurrogates |= QChar::isSurrogate(c);
        } else
            appendText(QStringView(&c, 1));
    }
    // A character that body text takes as it stands.
    static bool plainBodyChar(char16_t c)
    {
        return (c >= 0x20 || c == u'\t') && !DocumentAppender::breaksBlock(QChar(c));
    }
    void appendBodyText(QStringView text);
    ParagraphText &bodyText();
    void appendBodyLatin1(const char *text, qsizetype length);
    const QTextBlockFormat &blockFormat();
    void flushRun();
    int formatFor(const CharState &s);
    int documentFormat(int format);
    void endParagraph();
    void insertRun(QStringView text, int format);
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

} // namespace platform::rtf::reading
