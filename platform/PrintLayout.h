#pragma once

#include <QHash>
#include <QPointer>
#include <QTextBlock>
#include <QTextList>

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
// The paragraphs are copied, as they are reached, into a working document
// that is laid out at the page width on the device; each line keeps the
// glyphs it was shaped into, so drawing it does not shape it again. Once the
// paragraphs already printed hold more than a bounded amount of text, they are
// removed from the working document, so memory stays bounded however long the
// document is; a page asked for out of order starts the working document
// afresh at that page. Every paragraph is laid out as it
// would be in a copy of the whole document: its lines break at the same
// places and keep the same distances to each other.
//
// A document with tables, frames or inline objects is laid out whole from a
// copy, as their layout depends on more than the paragraphs around them.
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
        double top;
        double bottom;
        int block; // index into m_blocks
        int line;  // in its block's layout; -1 for a block without lines
    };

    void startWindow(const QTextBlock &first);
    // Copies paragraphs after the last one copied, at least one and about
    // `chars` characters, and lays them out.
    void extend(int chars);
    void addLines(const QTextBlock &block, int sourcePosition);
    // Lets go of the paragraphs before the one at `sourcePosition`.
    void dropBefore(int sourcePosition);
    size_t lineAt(int position) const;

    const QTextDocument &m_source;
    QPaintDevice *m_device;
    int m_dpiX;
    int m_dpiY;
    int m_widthPx;
    bool m_whole = false;
    std::unique_ptr<QTextDocument> m_document;
    QTextBlock m_next;        // the first source paragraph not yet copied
    bool m_formatted = false; // the working document's last paragraph has m_next's formats
    int m_firstPosition = 0;  // the source position the working document starts at
    std::vector<Line> m_lines;
    std::vector<QTextBlock> m_blocks;
    std::vector<int> m_blockSources; // each block's position in the source
    QHash<const QTextList *, QPointer<QTextList>> m_lists;
};

} // namespace platform
