#include "DocumentAppender.h"

#include <QTextDocument>

// Qt's own text storage: the public API offers only the cursor.
#include <private/qtextdocument_p.h>

namespace platform::rtf {

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

void DocumentAppender::insertText(const QString &text, int charFormat)
{
    m_document->insert(m_cursor.position(), text, charFormat);
}

void DocumentAppender::insertTextWithBreaks(const QString &text, const QTextCharFormat &format)
{
    m_cursor.insertText(text, format);
}

} // namespace platform::rtf
