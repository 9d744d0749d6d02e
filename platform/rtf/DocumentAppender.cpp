#include "DocumentAppender.h"

#include <QTextDocument>

#include <algorithm>

// Qt's own text storage: the public API offers only the cursor.
#include <private/qtextdocument_p.h>

namespace platform::rtf {

namespace {
// Characters that Qt's storage holds only as block or frame boundaries.
bool breaksBlock(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == QChar::ParagraphSeparator || u == 0xfdd0 ||
           u == 0xfdd1; // QTextBeginningOfFrame, QTextEndOfFrame
}
} // namespace

DocumentAppender::DocumentAppender(QTextDocument &document)
    : m_document(QTextDocumentPrivate::get(&document)), m_cursor(&document)
{
    m_cursor.movePosition(QTextCursor::End);
}

int DocumentAppender::formatIndex(const QTextFormat &format)
{
    return m_document->formatCollection()->indexForFormat(format);
}

void DocumentAppender::insertBlock(int blockFormat, int charFormat)
{
    // Insertions at the cursor's place move the cursor along.
    m_document->insertBlock(m_cursor.position(), blockFormat, charFormat);
}

void DocumentAppender::insertText(const QString &text, int charFormat,
                                  const QTextCharFormat &format)
{
    if (std::any_of(text.cbegin(), text.cend(), breaksBlock)) {
        m_cursor.insertText(text, format);
        return;
    }
    m_document->insert(m_cursor.position(), text, charFormat);
}

} // namespace platform::rtf
