#pragma once

#include <QTextCursor>

class QString;
class QStringView;
class QTextDocument;
class QTextDocumentPrivate;
class QTextFormat;
class QTextCharFormat;

namespace platform::rtf {

// Appends paragraphs at the end of a document straight into Qt's text
// storage: one insertion per run of text, by format index, without what a
// QTextCursor insertion adds to each (a copy and a look-up of the format, the
// block's format, a scan for paragraph breaks). A loader of a large document
// makes tens of thousands of runs; this takes about a third off what Qt
// spends on them.
//
// Appending text moves no cursor of the document: Qt's storage otherwise
// walks the document's set of cursors on every insertion, a sixth of what an
// insertion costs. Cursors before the end are not moved by an insertion at the
// end anyway; one at the very end stays where it is rather than moving on with
// the text. cursor() is at the end, for what needs a cursor (block formats,
// lists); while it is out, insertions move cursors as usual.
class DocumentAppender {
public:
    explicit DocumentAppender(QTextDocument &document);
    ~DocumentAppender();
    DocumentAppender(const DocumentAppender &) = delete;
    DocumentAppender &operator=(const DocumentAppender &) = delete;

    // The document's index of a character or block format; the same for equal formats.
    int formatIndex(const QTextFormat &format);
    // A new paragraph at the end, with these formats (indices from formatIndex()).
    void insertBlock(int blockFormat, int charFormat);
    // Text at the end in the character format `charFormat` (an index from
    // formatIndex()); the text holds no character for which breaksBlock() is true.
    void insertText(QStringView text, int charFormat);
    // Text that may hold such characters: they make paragraphs, as a cursor's
    // insertion makes them.
    void insertTextWithBreaks(QStringView text, const QTextCharFormat &format);

    // Characters that the document holds only as paragraph or frame boundaries.
    static bool breaksBlock(QChar c)
    {
        const char16_t u = c.unicode();
        return u == u'\n' || u == u'\r' || u == 0x2029 || u == 0xfdd0 || u == 0xfdd1;
    }

    QTextCursor &cursor();

private:
    // Where text is appended: before the document's last paragraph end.
    int end();
    void moveNoCursors(bool on);

    QTextDocumentPrivate *m_document;
    QTextCursor m_cursor;
    // end(), counted along with the appends; -1 when the cursor has been out
    // (the document's length is a walk down its storage's tree).
    int m_end = -1;
};

} // namespace platform::rtf
