#include "platform/PrintChunk.h"

#include <QAbstractTextDocumentLayout>
#include <QHash>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextList>

namespace platform {

namespace {

// A format with data of its own, equal to `format`.
QTextFormat ownCopy(const QTextFormat &format)
{
    QTextFormat copy(format.type());
    const QMap<int, QVariant> properties = format.properties();
    for (auto it = properties.cbegin(); it != properties.cend(); ++it)
        copy.setProperty(it.key(), it.value());
    return copy;
}

class Copier {
public:
    explicit Copier(ChunkSource &chunk) : m_chunk(chunk) {}

    void add(const QTextBlock &block, int position)
    {
        ChunkSource::Paragraph paragraph;
        paragraph.position = position;
        paragraph.text = block.text();
        // A paragraph's own format, without the source's list (made anew).
        QTextBlockFormat blockFormat = block.blockFormat();
        blockFormat.setObjectIndex(-1);
        paragraph.blockFormat = formatIndex(blockFormat, -1 - block.blockFormatIndex());
        paragraph.charFormat = formatIndex(block.charFormat(), block.charFormatIndex());
        if (const QTextList *list = block.textList()) {
            auto it = m_lists.constFind(list);
            if (it == m_lists.constEnd()) {
                it = m_lists.insert(list, int(m_chunk.lists.size()));
                m_chunk.lists.push_back(ownCopy(list->format()).toListFormat());
            }
            paragraph.list = it.value();
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            paragraph.runs.emplace_back(
                fragment.length(), formatIndex(fragment.charFormat(), fragment.charFormatIndex()));
        }
        m_chunk.paragraphs.push_back(std::move(paragraph));
    }

private:
    // `key` is the source's index of the format, made negative for a block
    // format whose list was taken off.
    int formatIndex(const QTextFormat &format, int key)
    {
        auto it = m_formats.constFind(key);
        if (it == m_formats.constEnd()) {
            it = m_formats.insert(key, int(m_chunk.formats.size()));
            m_chunk.formats.push_back(ownCopy(format));
        }
        return it.value();
    }

    ChunkSource &m_chunk;
    QHash<int, int> m_formats;
    QHash<const QTextList *, int> m_lists;
};

} // namespace

ChunkSource copyParagraphs(const QTextDocument &source, QTextBlock &next, int chars,
                           const QTextBlock &context)
{
    ChunkSource chunk;
    chunk.rootFrame = ownCopy(source.rootFrame()->frameFormat()).toFrameFormat();
    chunk.defaultFont = source.defaultFont();
    chunk.textOption = source.defaultTextOption();
    chunk.indentWidth = source.indentWidth();
    Copier copier(chunk);
    if (context.isValid()) {
        chunk.context = true;
        copier.add(context, context.position());
    }
    int position = next.position();
    for (int copied = 0; next.isValid() && (copied == 0 || copied < chars); next = next.next()) {
        copier.add(next, position);
        copied += next.length();
        position += next.length();
    }
    chunk.end = position;
    return chunk;
}

std::unique_ptr<Chunk> layOutChunk(const ChunkSource &source, QPaintDevice *metrics, int widthPx)
{
    auto chunk = std::make_unique<Chunk>();
    chunk->document = std::make_unique<QTextDocument>();
    QTextDocument &document = *chunk->document;
    // Set up as a copy of the source is: its root frame, indent width, default
    // font and text options; then laid out without margins at the page width,
    // breaking words longer than a line.
    document.setUndoRedoEnabled(false); // nothing here is undone
    document.rootFrame()->setFrameFormat(source.rootFrame);
    document.setIndentWidth(source.indentWidth);
    document.setDefaultFont(source.defaultFont);
    QTextOption option = source.textOption;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(option);
    document.setDocumentMargin(0);
    document.documentLayout()->setPaintDevice(metrics);
    document.setTextWidth(widthPx);

    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    std::vector<QTextList *> lists(source.lists.size(), nullptr);
    bool first = true;
    for (const ChunkSource::Paragraph &paragraph : source.paragraphs) {
        const QTextBlockFormat blockFormat =
            source.formats[size_t(paragraph.blockFormat)].toBlockFormat();
        const QTextCharFormat charFormat =
            source.formats[size_t(paragraph.charFormat)].toCharFormat();
        if (first) {
            cursor.setBlockFormat(blockFormat);
            cursor.setBlockCharFormat(charFormat);
            first = false;
        } else {
            cursor.insertBlock(blockFormat, charFormat);
        }
        if (paragraph.list >= 0) {
            QTextList *&list = lists[size_t(paragraph.list)];
            if (list)
                list->add(cursor.block());
            else
                list = cursor.createList(source.lists[size_t(paragraph.list)]);
        }
        int at = 0;
        for (const auto &[length, format] : paragraph.runs) {
            cursor.insertText(paragraph.text.mid(at, length),
                              source.formats[size_t(format)].toCharFormat());
            at += length;
        }
    }
    // Each line keeps the glyphs it is shaped into, for drawing; the layout
    // runs when the edit ends.
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        block.layout()->setCacheEnabled(true);
    cursor.endEditBlock();

    QAbstractTextDocumentLayout *layout = document.documentLayout();
    chunk->context = source.context;
    chunk->begin =
        source.paragraphs.empty() ? source.end : source.paragraphs[source.context ? 1 : 0].position;
    chunk->end = source.end;
    QTextBlock block = document.begin();
    size_t index = 0;
    if (source.context) {
        chunk->contextTop = layout->blockBoundingRect(block).top();
        block = block.next();
        index = 1;
    }
    for (; block.isValid() && index < source.paragraphs.size(); block = block.next(), ++index)
        chunk->addBlock(block, source.paragraphs[index].position);
    return chunk;
}

void Chunk::addBlock(const QTextBlock &block, int sourcePosition)
{
    const int blockIndex = int(blocks.size());
    const QRectF rect = document->documentLayout()->blockBoundingRect(block);
    blocks.push_back(block);
    origins.push_back(rect.topLeft());
    lastTop = rect.top();
    const QTextLayout *layout = block.layout();
    const int count = layout ? layout->lineCount() : 0;
    if (count == 0)
        lines.push_back({sourcePosition, rect.top(), rect.bottom(), blockIndex, -1});
    for (int i = 0; i < count; ++i) {
        const QTextLine line = layout->lineAt(i);
        const double top = rect.top() + line.y();
        lines.push_back(
            {sourcePosition + line.textStart(), top, top + line.height(), blockIndex, i});
    }
}

} // namespace platform
