#pragma once

#include <QFont>
#include <QPointF>
#include <QString>
#include <QTextBlock>
#include <QTextFormat>
#include <QTextOption>

#include <memory>
#include <utility>
#include <vector>

class QPaintDevice;
class QTextDocument;

namespace platform {

// Consecutive paragraphs of a document, copied so that another thread can lay
// them out while the document's own thread goes on. Nothing here shares data
// with the source document: the formats are copies of their own (Qt's formats
// keep a font and a hash cached in data that their copies share, so a copy of
// a format shared between two threads would be written by both).
struct ChunkSource {
    struct Paragraph {
        QString text;
        int blockFormat = 0;                   // index into formats
        int charFormat = 0;                    // index into formats
        int list = -1;                         // index into lists
        std::vector<std::pair<int, int>> runs; // length and character format index
        int position = 0;                      // the source's index of its first character
    };
    std::vector<Paragraph> paragraphs;
    // The first paragraph is the one printed before these, copied only so
    // that the distance to it is laid out as in the whole document.
    bool context = false;
    std::vector<QTextFormat> formats;
    std::vector<QTextListFormat> lists;
    QTextFrameFormat rootFrame;
    QFont defaultFont;
    QTextOption textOption;
    double indentWidth = 0;
    int end = 0; // the source's index of the character after the last paragraph
};

// Copies paragraphs from `next` on, at least one and about `chars` characters,
// with `context` (when valid) before them; moves `next` past them. On the
// source document's thread.
ChunkSource copyParagraphs(const QTextDocument &source, QTextBlock &next, int chars,
                           const QTextBlock &context);

// A chunk's paragraphs laid out in a document of their own.
struct Chunk {
    struct Line {
        int position; // the source's index of the line's first character
        double top;   // in the chunk's document
        double bottom;
        int block; // index into blocks
        int line;  // in its block's layout; -1 for a block without lines
    };
    std::unique_ptr<QTextDocument> document;
    std::vector<QTextBlock> blocks; // the paragraphs copied, without the context
    std::vector<QPointF> origins;   // each block's top left in the document
    std::vector<Line> lines;
    double contextTop = 0; // where the context paragraph starts, if there is one
    double lastTop = 0;    // where the last paragraph starts
    bool context = false;
    int begin = 0; // the source's index of the first paragraph (not the context)
    int end = 0;
    double offset = 0; // added to the document's heights for the whole job's

    // Adds a laid-out paragraph of the document and its lines; the paragraph
    // starts at `sourcePosition` in the source.
    void addBlock(const QTextBlock &block, int sourcePosition);
};

// Lays `source` out at `widthPx` on a device with `metrics`, each line keeping
// the glyphs it is shaped into. On the thread that later deletes the chunk.
std::unique_ptr<Chunk> layOutChunk(const ChunkSource &source, QPaintDevice *metrics, int widthPx);

} // namespace platform
