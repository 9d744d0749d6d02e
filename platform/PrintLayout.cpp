#include "platform/PrintLayout.h"

#include <QAbstractTextDocumentLayout>
#include <QPaintDevice>
#include <QPainter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextList>

#include <algorithm>

namespace platform {

namespace {

// Text copied into the working document at a time: a few pages of ordinary
// text, so that a page rarely waits for the next paragraphs.
constexpr int kStepChars = 8192;
// Printed text the working document keeps before it is removed. Removing it
// lays the first paragraph kept out once more, so this is large against a
// page, and small against the memory of a long document's glyphs.
constexpr int kKeptChars = 1 << 15;

// Tables, frames and inline objects (pictures) are laid out by the document as
// a whole, not paragraph by paragraph.
bool onlyParagraphs(const QTextDocument &document)
{
    if (!document.rootFrame()->childFrames().isEmpty())
        return false;
    // Every format the document ever used, so no text needs to be searched.
    const QList<QTextFormat> formats = document.allFormats();
    return std::none_of(formats.begin(), formats.end(), [](const QTextFormat &format) {
        return format.isCharFormat() && format.objectType() != QTextFormat::NoObject;
    });
}

// Lays `document` out without margins at `widthPx` on `device`, breaking words
// longer than a line.
void setUp(QTextDocument &document, QPaintDevice *device, int widthPx)
{
    document.setDocumentMargin(0);
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(option);
    document.documentLayout()->setPaintDevice(device);
    document.setTextWidth(widthPx);
}

} // namespace

PrintLayout::PrintLayout(const QTextDocument &source, QPaintDevice *device, int widthPx)
    : m_source(source), m_device(device), m_dpiX(device->logicalDpiX()),
      m_dpiY(device->logicalDpiY()), m_widthPx(widthPx), m_whole(!onlyParagraphs(source))
{
    if (!m_whole)
        return; // the working document is made when the first page is asked for
    m_document.reset(source.clone());
    setUp(*m_document, device, widthPx);
    m_document->documentLayout()->documentSize(); // lays out everything, once
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next())
        addLines(block, block.position());
}

PrintLayout::~PrintLayout() = default;

bool PrintLayout::fits(const QPaintDevice *device, int widthPx) const
{
    return device == m_device && device->logicalDpiX() == m_dpiX &&
           device->logicalDpiY() == m_dpiY && widthPx == m_widthPx;
}

void PrintLayout::startWindow(const QTextBlock &first)
{
    // Set up as a copy of the source is: its root frame, indent width, default
    // font and text options, then this layout's own margin, wrapping and width.
    m_document = std::make_unique<QTextDocument>();
    m_document->setUndoRedoEnabled(false); // nothing here is undone
    m_document->rootFrame()->setFrameFormat(m_source.rootFrame()->frameFormat());
    m_document->setIndentWidth(m_source.indentWidth());
    m_document->setDefaultFont(m_source.defaultFont());
    m_document->setDefaultTextOption(m_source.defaultTextOption());
    setUp(*m_document, m_device, m_widthPx);
    m_lines.clear();
    m_blocks.clear();
    m_blockSources.clear();
    m_lists.clear();
    m_next = first;
    m_formatted = false;
    m_firstPosition = first.position();
}

void PrintLayout::extend(int chars)
{
    // A paragraph's own format, without the source's list (made anew below).
    const auto blockFormat = [](const QTextBlock &block) {
        QTextBlockFormat format = block.blockFormat();
        format.setObjectIndex(-1);
        return format;
    };
    QTextCursor cursor(m_document.get());
    cursor.movePosition(QTextCursor::End);
    // The working document always ends in an empty paragraph, which the next
    // copied paragraph fills: the paragraphs before it stay as they were laid
    // out (adding a paragraph after the last one would lay that one out again).
    const int firstNew = m_document->blockCount() - 1;
    std::vector<int> positions;
    // Paragraphs of one format go in together, each with its paragraph end,
    // in one insertion: a paragraph end inserted with text makes a paragraph
    // of the format the insertion started in, with the text's format.
    QString run;
    QTextCharFormat runFormat;
    QTextBlockFormat runBlockFormat;
    const auto flush = [&] {
        if (!run.isEmpty())
            cursor.insertText(run, runFormat);
        run.clear();
    };
    cursor.beginEditBlock();
    for (int copied = 0; m_next.isValid() && (positions.empty() || copied < chars);
         m_next = m_next.next()) {
        positions.push_back(m_next.position());
        copied += m_next.length();
        const QTextBlock following = m_next.next();
        const QTextCharFormat charFormat = m_next.charFormat();
        auto it = m_next.begin();
        const bool oneFormat =
            !m_next.textList() && (it.atEnd() || (it.fragment().charFormat() == charFormat &&
                                                  (++QTextBlock::iterator(it)).atEnd()));
        if (m_formatted && oneFormat) {
            // The empty paragraph at the end already has this paragraph's formats.
            if (run.isEmpty()) {
                runFormat = charFormat;
                runBlockFormat = blockFormat(m_next);
            }
            run += m_next.text();
            run += QChar::ParagraphSeparator;
            m_formatted = following.isValid() && following.charFormat() == runFormat &&
                          blockFormat(following) == runBlockFormat;
            continue;
        }
        flush();
        if (!m_formatted) {
            cursor.setBlockFormat(blockFormat(m_next));
            cursor.setBlockCharFormat(charFormat);
        }
        if (QTextList *list = m_next.textList()) {
            // The working document deletes a list whose items were all removed.
            QPointer<QTextList> &copy = m_lists[list];
            if (copy)
                copy->add(cursor.block());
            else
                copy = cursor.createList(list->format());
        }
        for (; !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            cursor.insertText(fragment.text(), fragment.charFormat());
        }
        // The empty paragraph after it already has the next paragraph's formats.
        m_formatted = following.isValid();
        if (m_formatted)
            cursor.insertBlock(blockFormat(following), following.charFormat());
        else
            cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    }
    flush();
    // Each line keeps the glyphs it is shaped into, for drawing.
    QTextBlock block = m_document->findBlockByNumber(firstNew);
    for (QTextBlock b = block; b.isValid(); b = b.next())
        b.layout()->setCacheEnabled(true);
    cursor.endEditBlock();
    for (const int position : positions) {
        addLines(block, position);
        block = block.next();
    }
}

void PrintLayout::addLines(const QTextBlock &block, int sourcePosition)
{
    const int blockIndex = int(m_blocks.size());
    m_blocks.push_back(block);
    m_blockSources.push_back(sourcePosition);
    const QRectF rect = m_document->documentLayout()->blockBoundingRect(block);
    const QTextLayout *layout = block.layout();
    const int count = layout ? layout->lineCount() : 0;
    if (count == 0) {
        m_lines.push_back({sourcePosition, rect.top(), rect.bottom(), blockIndex, -1});
        return;
    }
    for (int i = 0; i < count; ++i) {
        const QTextLine line = layout->lineAt(i);
        const double top = rect.top() + line.y();
        m_lines.push_back(
            {sourcePosition + line.textStart(), top, top + line.height(), blockIndex, i});
    }
}

void PrintLayout::dropBefore(int sourcePosition)
{
    const auto kept =
        std::lower_bound(m_blockSources.begin(), m_blockSources.end(), sourcePosition);
    const int first = int(kept - m_blockSources.begin());
    if (first <= 0 || first >= int(m_blocks.size()))
        return;
    // Removing the paragraphs before it lays out only the first one kept
    // again; the others keep their lines and move up.
    QTextCursor cursor(m_document.get());
    cursor.setPosition(m_blocks[size_t(first)].position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    std::vector<int> sources(kept, m_blockSources.end());
    m_blocks.clear();
    m_blockSources.clear();
    m_lines.clear();
    QTextBlock block = m_document->begin();
    for (const int source : sources) {
        addLines(block, source);
        block = block.next();
    }
    m_firstPosition = sourcePosition;
}

size_t PrintLayout::lineAt(int position) const
{
    const auto it = std::upper_bound(m_lines.begin(), m_lines.end(), position,
                                     [](int pos, const Line &l) { return pos < l.position; });
    return it == m_lines.begin() ? 0 : size_t(it - m_lines.begin()) - 1;
}

PrintLayout::Page PrintLayout::page(int start, int heightPx)
{
    const int length = m_source.characterCount() - 1;
    if (!m_whole) {
        const QTextBlock startBlock = m_source.findBlock(start);
        const int blockStart = startBlock.position();
        const bool copied = m_document && blockStart >= m_firstPosition &&
                            (!m_next.isValid() || blockStart < m_next.position());
        if (!copied)
            startWindow(startBlock);
        else if (blockStart - m_firstPosition > kKeptChars)
            dropBefore(blockStart);
        while (m_next.isValid() && m_next.position() <= start)
            extend(kStepChars);
    }
    Page page;
    if (m_lines.empty()) {
        page.next = length;
        return page;
    }
    page.first = lineAt(start);
    const double pageTop = m_lines[page.first].top;
    size_t end = page.first;
    for (;;) {
        while (end < m_lines.size() && m_lines[end].bottom - pageTop <= heightPx + 0.01)
            ++end;
        if (end < m_lines.size() || m_whole || !m_next.isValid())
            break;
        extend(kStepChars);
    }
    if (end == page.first)
        end = page.first + 1; // a line taller than the page still makes progress
    page.end = end;
    page.next = end < m_lines.size() ? m_lines[end].position : length;
    return page;
}

void PrintLayout::draw(QPainter *painter, const Page &page, QPointF origin, int widthPx,
                       int heightPx) const
{
    if (page.first >= page.end)
        return;
    const double pageTop = m_lines[page.first].top;
    painter->save();
    painter->setPen(Qt::black);
    painter->translate(origin.x(), origin.y() - pageTop);
    painter->setClipRect(QRectF(0, pageTop, widthPx, heightPx), Qt::IntersectClip);
    QAbstractTextDocumentLayout *layout = m_document->documentLayout();
    int lastBlock = -1;
    QRectF blockRect;
    for (size_t i = page.first; i < page.end; ++i) {
        const Line &l = m_lines[i];
        const QTextBlock &block = m_blocks[size_t(l.block)];
        if (l.block != lastBlock) {
            blockRect = layout->blockBoundingRect(block);
            lastBlock = l.block;
        }
        if (l.line < 0)
            continue;
        const QTextLine line = block.layout()->lineAt(l.line);
        if (l.line == 0 && block.textList()) {
            // The list bullet, a disc before the first line.
            const QFontMetricsF fm(block.charFormat().font(), m_device);
            const double size = std::max(1.0, fm.xHeight() * 0.8);
            const double x = blockRect.left() + line.x() - fm.horizontalAdvance(u' ') - size;
            const double y = blockRect.top() + line.y() + line.ascent() - fm.xHeight() / 2;
            painter->save();
            painter->setBrush(Qt::black);
            painter->setPen(Qt::NoPen);
            painter->drawEllipse(QRectF(x, y - size / 2, size, size));
            painter->restore();
        }
        line.draw(painter, blockRect.topLeft());
    }
    painter->restore();
}

} // namespace platform
