#include "platform/PrintLayout.h"

#include <QAbstractTextDocumentLayout>
#include <QPaintDevice>
#include <QPainter>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextList>

#include <algorithm>

// Qt's text engine: the font engine a layout remembers for its last item.
#include <private/qtextengine_p.h>

namespace platform {

namespace {

// A layout remembers the font engine of the last item it looked one up for.
// Font engines belong to the thread that loaded them (their glyph caches and
// font files are that thread's), so a chunk laid out on the layout thread
// forgets them before its lines are drawn here, where the drawing then looks
// up this thread's engines for the same fonts; and it forgets this thread's
// before it goes back.
void forgetFontEngines(const Chunk &chunk)
{
    for (const QTextBlock &block : chunk.blocks)
        if (QTextLayout *layout = block.layout())
            layout->engine()->resetFontEngineCache();
}

// Text copied for the layout thread at a time: a few pages of ordinary text.
constexpr int kStepChars = 8192;
// Chunks handed to the layout thread and not yet drawn, so that it works on
// the next pages while the current one is drawn.
constexpr int kChunksAhead = 3;

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

// A copy of the whole of `source`, laid out without margins at `widthPx` on
// `device`, breaking words longer than a line.
std::unique_ptr<Chunk> layOutWhole(const QTextDocument &source, QPaintDevice *device, int widthPx)
{
    auto chunk = std::make_unique<Chunk>();
    chunk->document.reset(source.clone());
    QTextDocument &document = *chunk->document;
    document.setDocumentMargin(0);
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(option);
    document.documentLayout()->setPaintDevice(device);
    document.setTextWidth(widthPx);
    document.documentLayout()->documentSize(); // lays out everything, once
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        chunk->addBlock(block, block.position());
    chunk->end = source.characterCount();
    return chunk;
}

} // namespace

PrintLayout::PrintLayout(const QTextDocument &source, QPaintDevice *device, int widthPx)
    : m_source(source), m_device(device), m_dpiX(device->logicalDpiX()),
      m_dpiY(device->logicalDpiY()), m_widthPx(widthPx), m_whole(!onlyParagraphs(source))
{
    if (m_whole) // otherwise the chunks are made when the first page is asked for
        addChunk(layOutWhole(source, device, widthPx));
}

PrintLayout::~PrintLayout()
{
    if (!m_thread)
        return;
    // The layout thread made the chunks' documents and deletes them.
    for (auto &chunk : m_chunks) {
        forgetFontEngines(*chunk);
        m_thread->giveBack(std::move(chunk));
    }
}

bool PrintLayout::fits(const QPaintDevice *device, int widthPx) const
{
    return device == m_device && device->logicalDpiX() == m_dpiX &&
           device->logicalDpiY() == m_dpiY && widthPx == m_widthPx;
}

void PrintLayout::restart(const QTextBlock &first)
{
    if (!m_thread)
        m_thread = std::make_unique<LayoutThread>(*m_device, m_widthPx);
    while (m_inFlight > 0) {
        --m_inFlight;
        m_thread->giveBack(m_thread->take());
    }
    for (auto &chunk : m_chunks) {
        forgetFontEngines(*chunk);
        m_thread->giveBack(std::move(chunk));
    }
    m_chunks.clear();
    m_lines.clear();
    m_next = first;
    m_previous = QTextBlock();
    m_firstPosition = first.position();
    m_received = m_firstPosition;
    m_lastTop = 0;
}

void PrintLayout::receive()
{
    while (m_inFlight < kChunksAhead && m_next.isValid()) {
        ChunkSource source = copyParagraphs(m_source, m_next, kStepChars, m_previous);
        m_previous = m_next.isValid() ? m_next.previous() : m_source.lastBlock();
        m_thread->submit(std::move(source));
        ++m_inFlight;
    }
    if (m_inFlight == 0)
        return;
    --m_inFlight;
    std::unique_ptr<Chunk> chunk = m_thread->take();
    forgetFontEngines(*chunk);
    addChunk(std::move(chunk));
}

void PrintLayout::addChunk(std::unique_ptr<Chunk> chunk)
{
    // The chunk's context paragraph starts where the previous chunk's last
    // one does; the first chunk of a job (or of a restart) keeps its heights.
    chunk->offset = chunk->context ? m_lastTop - chunk->contextTop : 0;
    m_lastTop = chunk->lastTop + chunk->offset;
    m_received = chunk->end;
    for (const Chunk::Line &l : chunk->lines)
        m_lines.push_back({l.position, l.top + chunk->offset, l.bottom + chunk->offset, chunk.get(),
                           l.block, l.line});
    m_chunks.push_back(std::move(chunk));
}

void PrintLayout::dropBefore(int position)
{
    size_t lines = 0;
    while (m_chunks.size() > 1 && m_chunks.front()->end <= position) {
        lines += m_chunks.front()->lines.size();
        forgetFontEngines(*m_chunks.front());
        m_thread->giveBack(std::move(m_chunks.front()));
        m_chunks.pop_front();
    }
    if (lines == 0)
        return;
    m_lines.erase(m_lines.begin(), m_lines.begin() + std::ptrdiff_t(lines));
    m_firstPosition = m_chunks.front()->begin;
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
        const int handedOver = m_next.isValid() ? m_next.position() : length + 1;
        if (!m_thread || blockStart < m_firstPosition || blockStart >= handedOver)
            restart(startBlock);
        else
            dropBefore(blockStart);
        while (m_received <= blockStart && moreToCome())
            receive();
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
        if (end < m_lines.size() || m_whole || !moreToCome())
            break;
        receive();
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
    for (size_t i = page.first; i < page.end; ++i) {
        const Line &l = m_lines[i];
        if (l.line < 0)
            continue;
        const QTextBlock &block = l.chunk->blocks[size_t(l.block)];
        const QPointF blockOrigin = l.chunk->origins[size_t(l.block)] + QPointF(0, l.chunk->offset);
        const QTextLine line = block.layout()->lineAt(l.line);
        if (l.line == 0 && block.textList()) {
            // The list bullet, a disc before the first line.
            const QFontMetricsF fm(block.charFormat().font(), m_device);
            const double size = std::max(1.0, fm.xHeight() * 0.8);
            const double x = blockOrigin.x() + line.x() - fm.horizontalAdvance(u' ') - size;
            const double y = blockOrigin.y() + line.y() + line.ascent() - fm.xHeight() / 2;
            painter->save();
            painter->setBrush(Qt::black);
            painter->setPen(Qt::NoPen);
            painter->drawEllipse(QRectF(x, y - size / 2, size, size));
            painter->restore();
        }
        line.draw(painter, blockOrigin);
    }
    painter->restore();
}

} // namespace platform
