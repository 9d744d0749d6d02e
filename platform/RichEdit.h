#pragma once

#include <QColor>
#include <QString>
#include <QTextEdit>

class QPaintDevice;

namespace platform {

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

    // --- Attributes (with undo) -----------------------------------------
    CharAttributes selAttributes() const;
    void setSelAttributes(const CharAttributes &attributes);
    ParaAlignment paraAlignment() const;
    void setParaAlignment(ParaAlignment alignment);
    bool paraBullets() const;
    void setParaBullets(bool on);
    double paraFirstIndentPt() const; // first-line indent, points
    void setParaFirstIndentPt(double points);

    // --- Lines, as plain text -------------------------------------------
    // Paragraphs (hard lines).
    int paragraphCount() const;
    QString paragraph(int index) const;
    // The control's displayed lines (word wrap taken into account).
    int lineCount() const;
    QString line(int index) const;
    int lineStart(int index) const; // character index of the line's first character
    void replaceLine(int index, const QString &text);

    // --- Page rendering for the print engine ----------------------------
    // Renders (or, with render false, only measures) from character `start`
    // into `targetTwips` on `device`; returns the index of the first character
    // that did not fit, or -1 on failure.
    int formatRange(QPaintDevice *device, int start, const QRect &targetTwips, bool render);
    // Releases layout cached by formatRange().
    void releaseFormatCache();

protected:
    QMimeData *createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;
};

} // namespace platform
