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

DocumentAppender::~DocumentAppender()
{
    moveNoCursors(false);
}

void DocumentAppender::moveNoCursors(bool on)
{
    m_document->blockCursorAdjustment = on;
}

int DocumentAppender::end()
{
    if (m_end < 0)
        m_end = m_document->length() - 1;
    return m_end;
}

QTextCursor &DocumentAppender::cursor()
{
    moveNoCursors(false);
    m_end = -1;
    m_cursor.movePosition(QTextCursor::End);
    return m_cursor;
}

int DocumentAppender::formatIndex(const QTextFormat &format)
{
    return m_document->formatCollection()->indexForFormat(format);
}

void DocumentAppender::insertBlock(int blockFormat, int charFormat)
{
    moveNoCursors(true);
    m_document->insertBlock(end(), blockFormat, charFormat);
    ++m_end;
}

void DocumentAppender::insertText(QStringView text, int charFormat)
{
    moveNoCursors(true);
    // The storage appends the text to its buffer, so a string that only
    // refers to the caller's characters saves a copy; but a null buffer would
    // take such a string over instead of copying it (a document always holds
    // its last paragraph's end, so this is a safeguard).
    const QString storage =
        m_document->buffer().isNull()
            ? text.toString()
            : QString::fromRawData(reinterpret_cast<const QChar *>(text.utf16()), text.size());
    m_document->insert(end(), storage, charFormat);
    m_end += int(text.size());
}

void DocumentAppender::insertTextWithBreaks(QStringView text, const QTextCharFormat &format)
{
    cursor().insertText(text.toString(), format);
}

} // namespace platform::rtf
