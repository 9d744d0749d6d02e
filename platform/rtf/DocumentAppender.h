#pragma once

#include <QTextCursor>

class QString;
class QTextDocument;
class QTextDocumentPrivate;
class QTextFormat;
class QTextCharFormat;

namespace platform::rtf {

// Appends paragraphs at the end of a document straight into Qt's text
// storage: one insertion per run of text, by format index, without what a
// QTextCursor insertion adds to each (a copy and a look-up of the format, the
// block's format, a scan for paragraph breaks). A loader of a large document
// makes tens of thousands of runs; this halves what Qt spends on them.
//
// The cursor it keeps stays at the end of the document, for what needs one
// (block formats, lists).
class DocumentAppender {
public:
    explicit DocumentAppender(QTextDocument &document);

    // The document's index of a character or block format; the same for equal formats.
    int formatIndex(const QTextFormat &format);
    // A new paragraph at the end, with these formats (indices from formatIndex()).
    void insertBlock(int blockFormat, int charFormat);
    // Text at the end in the character format `charFormat` (an index from
    // formatIndex() of `format`). Paragraph or frame breaks in the text make
    // paragraphs as a cursor's insertion does.
    void insertText(const QString &text, int charFormat, const QTextCharFormat &format);

    QTextCursor &cursor() { return m_cursor; }

private:
    QTextDocumentPrivate *m_document;
    QTextCursor m_cursor;
};

} // namespace platform::rtf
