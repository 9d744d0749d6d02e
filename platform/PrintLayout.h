#pragma once

#include "platform/LayoutThread.h"
#include "platform/PrintChunk.h"

#include <QTextBlock>

#include <deque>
#include <memory>
#include <vector>

class QPaintDevice;
class QPainter;
class QRect;
class QTextDocument;

namespace platform {

// A document laid out page by page for one paint device and page width, as a
// print job goes through it from the first page to the last.
//
// The paragraphs are copied, as the pages reach them, in chunks of a few
// pages, and each chunk is laid out on a thread of its own at the page width
// on the device, while the pages already laid out are drawn; each line keeps
// the glyphs it was shaped into, so drawing it does not shape it again. A
// chunk is let go of once its pages are printed, so memory stays bounded
// however long the document is; a page asked for out of order starts afresh
// at that page. Every paragraph is laid out as it would be in a copy of the
// whole document: its lines break at the same places and keep the same
// distances to each other (a chunk starts with a copy of the paragraph before
// it, for the distance between them).
//
// A document with tables, frames or inline objects is laid out whole from a
// copy, on the calling thread, as their layout depends on more than the
// paragraphs around them.
class PrintLayout {
public:
    PrintLayout(const QTextDocument &source, QPaintDevice *device, int widthPx);
    ~PrintLayout();
    PrintLayout(const PrintLayout &) = delete;
    PrintLayout &operator=(const PrintLayout &) = delete;

    bool fits(const QPaintDevice *device, int widthPx) const;

    // The lines of one page: those from the line holding `start` that fit
    // into `heightPx` (at least one), and the character after them.
    struct Page {
        size_t first = 0;
        size_t end = 0;
        int next = 0; // the source's character index of the next page
    };
    Page page(int start, int heightPx);
    // Draws the page's lines with their top-left at `origin` (device pixels),
    // clipped to `widthPx` x `heightPx`.
    void draw(QPainter *painter, const Page &page, QPointF origin, int widthPx, int heightPx) const;

private:
    struct Line {
        int position; // the source's character index of the line's first character
        double top;   // over the whole job
        double bottom;
        const Chunk *chunk;
        int block; // index into the chunk's blocks
        int line;  // in its block's layout; -1 for a block without lines
    };

    void restart(const QTextBlock &first);
    // Hands the layout thread more paragraphs while fewer than a few chunks
    // are on their way, then takes the next chunk laid out.
    void receive();
    bool moreToCome() const { return m_inFlight > 0 || m_next.isValid(); }
    // Lets go of the chunks that end before the source position `position`.
    void dropBefore(int position);
    void addChunk(std::unique_ptr<Chunk> chunk);
    size_t lineAt(int position) const;

    const QTextDocument &m_source;
    QPaintDevice *m_device;
    int m_dpiX;
    int m_dpiY;
    int m_widthPx;
    bool m_whole = false;
    std::unique_ptr<LayoutThread> m_thread;
    QTextBlock m_next;       // the first source paragraph not yet handed over
    QTextBlock m_previous;   // the last one handed over
    int m_inFlight = 0;      // chunks handed over and not yet taken
    int m_firstPosition = 0; // the source position the kept chunks start at
    int m_received = 0;      // the source position after the last chunk taken
    double m_lastTop = 0;    // where that chunk's last paragraph starts, over the job
    std::deque<std::unique_ptr<Chunk>> m_chunks;
    std::vector<Line> m_lines;
};

} // namespace platform
