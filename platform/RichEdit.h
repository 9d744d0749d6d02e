#pragma once

#include <QColor>
#include <QString>
#include <QTextEdit>

#include <memory>
#include <optional>
#include <vector>

class QPaintDevice;

namespace platform {

class PrintLayout;

// Character attributes of a selection or of the insertion point.
struct CharAttributes {
    QString face;           // at most 32 characters
    int size = 12;          // whole points
    QColor color;           // meaningful when !autoColor
    bool autoColor = false; // the system's window-text colour
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

enum class ParaAlignment { Left, Center, Right, Justify };

// Which attributes setSelAttributes() writes.
enum CharField : unsigned {
    CharFace = 1,
    CharSize = 2,
    CharColor = 4,
    CharStyle = 8, // bold, italic, underline and strike-out together
    CharAll = 15,
};

// The program's rich-text control: a QTextEdit whose content streams in and out
// as RTF, with a rich clipboard (RTF, HTML, plain text), line access and page
// rendering for the print engine.
class RichEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit RichEdit(QWidget *parent = nullptr);
    ~RichEdit() override;

    // --- Streams -------------------------------------------------------
    // True when `data` holds RTF (starts with "{\rtf").
    static bool holdsRtf(const QByteArray &data);
    // Replaces the content: RTF when the data holds RTF, otherwise plain text in
    // the default font. Throws AppError("Failed to Load Stream") when neither works.
    void loadFromStream(const QByteArray &data);
    // The whole content (or only the selection) as RTF.
    QByteArray toRtf(bool selectionOnly = false) const;
    // Inserts RTF at the insertion point, replacing the selection (with undo).
    // Throws AppError("Failed to Load Stream") when the data is not readable RTF.
    void insertRtf(const QByteArray &rtf);

    // --- Attributes (with undo) -----------------------------------------
    // The attributes of the selection's first character, or of the insertion point.
    CharAttributes selAttributes() const;
    void setSelAttributes(const CharAttributes &attributes);
    // Writes only the attributes named in `fields` (a CharField combination); a
    // size below 1 leaves the size as it is.
    void setSelAttributes(const CharAttributes &attributes, unsigned fields);
    ParaAlignment paraAlignment() const;
    void setParaAlignment(ParaAlignment alignment);
    bool paraBullets() const;
    void setParaBullets(bool on);
    // Where the first line of the selection's first paragraph starts, in points
    // from the left edge. Setting it moves the whole paragraph: the following
    // lines keep their place relative to the first. Negative values are kept.
    double paraFirstIndentPt() const;
    void setParaFirstIndentPt(double points);

    // --- Lines, as plain text -------------------------------------------
    // Paragraphs (hard lines). A line break inside a paragraph reads as "\n".
    int paragraphCount() const;
    QString paragraph(int index) const;
    // Inserts a paragraph before paragraph `index` (0..paragraphCount()).
    void insertParagraph(int index, const QString &text);
    // Adds a paragraph at the end; in an empty control it becomes the first one.
    void appendParagraph(const QString &text);
    // The control's displayed lines (word wrap taken into account).
    int lineCount() const;
    QString line(int index) const;
    int lineStart(int index) const; // character index of the line's first character
    // Replaces the line's text (without its line break). Only the characters that
    // differ are replaced, so the formatting of the rest of the line is kept.
    void replaceLine(int index, const QString &text);

    // --- Page rendering for the print engine ----------------------------
    // Number of character positions (paragraph ends count one); the last index + 1.
    int textLength() const;
    // Renders (or, with render false, only measures) from character `start`
    // into `targetTwips` on `device`; returns the index of the first character
    // that did not fit (textLength() when everything did), or -1 on failure.
    // The rectangle is in twips of the device's resolution, from its top-left
    // corner. When a QPainter is already active on `device`, it draws through
    // that painter (its state is restored afterwards). The layout for one
    // device and width is kept between calls until the text changes or
    // releaseFormatCache() is called; it is made page by page, and is cheapest
    // when the pages are asked for in order.
    int formatRange(QPaintDevice *device, int start, const QRect &targetTwips, bool render);
    // Releases layout cached by formatRange().
    void releaseFormatCache();

    // --- Clipboard --------------------------------------------------------
    // A paste that cannot be taken as formatted text (too large or too
    // deeply nested) falls back to the clipboard's plain text, and this
    // message says so.
    static QString tooLargeToPasteMessage();
    // Plain text making more lines than the control can lay out is not
    // pasted, and this message says so.
    static QString tooLongToPasteMessage();

protected:
    QMimeData *createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    // The richest format offered: RTF, then HTML, then plain text. A paste
    // of formatted text beyond the limits of RichEditPaste.cpp is pasted as
    // plain text, with a message.
    void insertFromMimeData(const QMimeData *source) override;

private:
    static QString normalizeLineEnds(QString text);
    // Inserts RTF as insertRtf() does; false, with nothing inserted, when the
    // data is no readable RTF or makes more than `maxParagraphs` paragraphs
    // (when that is not negative).
    bool insertRtf(const QByteArray &rtf, int maxParagraphs);
    // The pasted plain text with its line ends made '\n'; nothing when it
    // makes more lines than the layout can hold.
    std::optional<QString> pastableText(const QString &pasted) const;
    // Text from pastableText() at the insertion point, in its format, with
    // bounded cost.
    void insertPastedText(QString text);
    // Scrolls the insertion point into view, at once when the layout has
    // reached it, else as soon as the layout in steps does.
    void revealCursorWhenLaidOut();

    struct LineRef {
        int block;
        int line;
    };
    LineRef lineRef(int index) const;
    void ensureLineIndex() const;
    void invalidateLines() const;

    // First displayed line of every block, filled on demand.
    mutable std::vector<int> m_firstLine;
    mutable int m_lineTotal = 0;
    mutable bool m_linesValid = false;
    std::unique_ptr<PrintLayout> m_pages;
};

} // namespace platform
