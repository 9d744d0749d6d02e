#include "imaging/codecs/ColorReduction.h"

#include "imaging/codecs/CodecError.h"
#include "imaging/codecs/RgbRows.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdlib>
#include <vector>

namespace codecs {

namespace {

constexpr int MaxPaletteSize = 256;
constexpr int MaxDepth = 8;

// The octree colour quantiser. Nodes live in a pool and are addressed by
// index; freed nodes are reused, so the pool stays as small as the largest
// tree. The path of the previous pixel is kept: a pixel sharing its leading
// bits starts where the paths part (a run of one colour goes straight to its
// leaf). New nodes only add to the tree, so that path stays valid until a
// reduction frees nodes.
class Octree {
public:
    Octree(int maxLeaves, int depth) : m_maxLeaves(maxLeaves), m_depth(depth)
    {
        m_reducible.fill(-1);
    }

    // Adds `count` pixels of one colour, as many single additions would:
    // only the first of them can create nodes, the others reach an existing
    // leaf, and which node a reduction merges does not depend on counts.
    void add(QRgb pixel, quint64 count)
    {
        const int red = qRed(pixel), green = qGreen(pixel), blue = qBlue(pixel);
        int level = 0;
        if (m_root < 0) {
            m_root = newNode(0);
            m_path[0] = m_root;
        } else if (m_pathValid) {
            const uint differ = (pixel ^ m_lastPixel) & 0xffffffu;
            const uint bits = (differ >> 16 | differ >> 8 | differ) & 0xffu;
            level = std::min(std::countl_zero(quint8(bits)), m_pathLevel);
        }
        int node = m_path[level];
        while (!m_nodes[node].leaf) {
            const int shift = 7 - level;
            const int index =
                ((red >> shift) & 1) << 2 | ((green >> shift) & 1) << 1 | ((blue >> shift) & 1);
            int child = m_nodes[node].children[index];
            if (child < 0) {
                child = newNode(level + 1);
                m_nodes[node].children[index] = child;
            }
            node = child;
            m_path[++level] = node;
        }
        Node &leaf = m_nodes[node];
        leaf.count += count;
        leaf.red += count * quint64(red);
        leaf.green += count * quint64(green);
        leaf.blue += count * quint64(blue);
        m_lastPixel = pixel;
        m_pathLevel = level;
        m_pathValid = true;
        while (m_leafCount > m_maxLeaves) {
            reduce();
            m_pathValid = false;
        }
    }

    QVector<QRgb> palette() const
    {
        QVector<QRgb> colours;
        colours.reserve(m_maxLeaves);
        if (m_root >= 0)
            collect(m_root, colours);
        colours.resize(m_maxLeaves, qRgb(0, 0, 0));
        return colours;
    }

private:
    struct Node {
        quint64 count = 0;
        quint64 red = 0, green = 0, blue = 0;
        std::array<int, 8> children;
        int next = -1; // the reducible list of the node's level
        bool leaf = false;
    };

    int newNode(int level)
    {
        int index;
        if (!m_free.empty()) {
            index = m_free.back();
            m_free.pop_back();
            m_nodes[index] = Node();
        } else {
            index = int(m_nodes.size());
            m_nodes.emplace_back();
        }
        Node &node = m_nodes[index];
        node.children.fill(-1);
        if (level == m_depth) {
            node.leaf = true;
            ++m_leafCount;
        } else {
            node.next = m_reducible[level];
            m_reducible[level] = index;
        }
        return index;
    }

    // Merges the most recent inner node of the deepest reducible level into a
    // leaf. All nodes below that level are leaves, so its children are.
    void reduce()
    {
        int level = m_depth - 1;
        while (level > 0 && m_reducible[level] < 0)
            --level;
        const int index = m_reducible[level];
        Node &node = m_nodes[index];
        m_reducible[level] = node.next;
        int removed = 0;
        for (int &child : node.children) {
            if (child < 0)
                continue;
            const Node &c = m_nodes[child];
            node.count += c.count;
            node.red += c.red;
            node.green += c.green;
            node.blue += c.blue;
            m_free.push_back(child);
            child = -1;
            ++removed;
        }
        node.leaf = true;
        m_leafCount -= removed - 1;
    }

    void collect(int index, QVector<QRgb> &colours) const
    {
        const Node &node = m_nodes[index];
        if (node.leaf) {
            if (node.count == 0)
                colours.append(qRgb(0, 0, 0));
            else
                colours.append(qRgb(int(node.red / node.count), int(node.green / node.count),
                                    int(node.blue / node.count)));
            return;
        }
        for (int child : node.children)
            if (child >= 0)
                collect(child, colours);
    }

    const int m_maxLeaves;
    const int m_depth;
    std::vector<Node> m_nodes;
    std::vector<int> m_free;
    std::array<int, MaxDepth> m_reducible;
    int m_leafCount = 0;
    int m_root = -1;

    bool m_pathValid = false;
    QRgb m_lastPixel = 0;
    int m_pathLevel = 0;
    std::array<int, MaxDepth + 1> m_path{};
};

// The remapping works on the three components of a pixel at once: four
// 16-bit lanes holding blue, green, red and a spare lane (bytes 0, 1, 2 and 3
// of a QRgb, widened). The spare lane only ever carries small values and its
// results are never used.
using Lanes = qint16 __attribute__((vector_size(8)));
using LaneBytes = quint8 __attribute__((vector_size(8)));

Lanes widen(quint32 bytes)
{
    const LaneBytes narrow = std::bit_cast<LaneBytes>(quint64(bytes));
    return std::bit_cast<Lanes>(
        __builtin_shufflevector(narrow, LaneBytes{}, 0, 8, 1, 8, 2, 8, 3, 8));
}

quint64 bitsOf(Lanes lanes)
{
    return std::bit_cast<quint64>(lanes);
}

Lanes lanesOf(quint64 bits)
{
    return std::bit_cast<Lanes>(bits);
}

// Nearest palette entry for a colour, cached in 32,768 cells of 5 bits per
// component (blue highest, then green, then red). Each cell starts with the
// first entry whose colour lies in it; an empty cell is filled by the first
// query that reaches it. A cell holds the entry itself in the lanes' layout
// (blue, green, red, index) and seven times its colour, so one load gives the
// index, the colour the error is measured against and the share of that error
// the next pixel of the row takes.
class ColourLookup {
public:
    struct Cell {
        quint64 entry;
        Lanes seven;
    };

    explicit ColourLookup(const QVector<QRgb> &palette)
        : m_size(int(palette.size())), m_cells(32768)
    {
        for (int i = 0; i < m_size; ++i) {
            const quint64 entry = bitsOf(widen((palette[i] & 0xffffffu) | quint32(i) << 24));
            m_entries[i] = {entry, 7 * lanesOf(entry)};
        }
        // Every filled cell holds one of m_entries; entry 0 with its blue
        // changed is none of them, as its index says 0 and its colour differs.
        m_empty = m_entries[0].entry ^ 1u;
        std::fill(m_cells.begin(), m_cells.end(), Cell{m_empty, Lanes{}});
        for (int i = 0; i < m_size; ++i) {
            Cell &cell = m_cells[cellOf(m_entries[i].entry)];
            if (cell.entry == m_empty)
                cell = m_entries[i];
        }
    }

    // The entry for a colour given as lanes of 0 to 255.
    const Cell &operator()(quint64 colour)
    {
        Cell &cell = m_cells[cellOf(colour)];
        if (cell.entry == m_empty) [[unlikely]]
            cell = m_entries[nearest(colour)];
        return cell;
    }

    static int index(quint64 entry) { return int(entry >> 48); }

private:
    // The cell of a colour: the top five bits of each component side by
    // side, red in bits 0-4, green in 5-9, blue in 10-14.
    static int cellOf(quint64 colour)
    {
        constexpr quint64 Top5 = 0xf8ull | 0xf8ull << 16 | 0xf8ull << 32;
        const quint64 top = colour & Top5;
        return int((top >> 35 | top >> 14 | top << 7) & 0x7fff);
    }

    int nearest(quint64 colour) const
    {
        int best = 0;
        int bestDistance = INT_MAX;
        for (int i = 0; i < m_size; ++i) {
            const Lanes d = lanesOf(colour) - lanesOf(m_entries[i].entry);
            const int distance = std::abs(d[0]) + std::abs(d[1]) + std::abs(d[2]);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        return best;
    }

    const int m_size;
    std::vector<Cell> m_cells;
    std::array<Cell, MaxPaletteSize> m_entries{};
    quint64 m_empty = 0;
};

// One row, from left to right (Step 1) or right to left (Step -1), with error
// diffusion in sixteenths per component: Cur carries 7/16 to the next pixel of
// the row; the error array, addressed by the running position, collects 3/16,
// 5/16 and 1/16 for the next row. `errors` points at the array entry of the
// row's first pixel; the entry after its last pixel takes the row's remaining
// error. Sums of a few weighted differences of at most 255 fit 16 bits.
template <int Step>
void remapRow(const QRgb *source, uchar *target, Lanes *errors, int width, ColourLookup &lookup)
{
    const Lanes zero{}, rounding{8, 8, 8, 8}, low4{15, 15, 15, 15}, top{255, 255, 255, 255};
    Lanes cur{}, below{}, belowPrev{};
    int x = Step > 0 ? 0 : width - 1;
    for (int i = 0; i < width; ++i, x += Step, errors += Step) {
        // (E[p] + Cur + 8) div 16, truncated toward zero, added and clamped;
        // the array holds E[p] + 8.
        const Lanes stored = *errors;
        const Lanes sum = stored + cur;
        Lanes value = widen(source[x] & 0xffffffu) + ((sum + ((sum >> 15) & low4)) >> 4);
        value = value < zero ? zero : value;
        value = value > top ? top : value;

        const ColourLookup::Cell &cell = lookup(bitsOf(value));
        target[x] = uchar(ColourLookup::index(cell.entry));
        const Lanes diff = value - lanesOf(cell.entry);
        // Cur = 7 * diff; the part from this pixel's colour is ready while
        // the lookup runs, so only the entry's part waits for it.
        cur = 7 * value - cell.seven;
        // A component that took its entry exactly passes nothing on and
        // leaves the error array and the values for the next row as they are.
        const Lanes keep = diff == zero;
        *errors = keep ? stored : belowPrev + 3 * diff + rounding;
        belowPrev = keep ? belowPrev : below + 5 * diff;
        below = keep ? below : diff;
    }
    *errors = belowPrev + rounding;
}

} // namespace

QVector<QRgb> BuildOptimizedPalette(const QList<QImage> &images, int colours, int bits)
{
    if (images.isEmpty())
        throw CodecError(QStringLiteral("Invalid bitmap list"));
    if (colours < 1 || colours > MaxPaletteSize || bits < 0 || bits > MaxDepth)
        throw CodecError(
            QStringLiteral("Invalid palette size: %1 colours of %2 bits").arg(colours).arg(bits));
    Octree tree(colours, bits);
    for (const QImage &image : images) {
        RgbRows rows(image);
        for (int y = 0; y < rows.height(); ++y) {
            const QRgb *row = rows.row(y);
            const int width = rows.width();
            for (int x = 0; x < width;) {
                const QRgb pixel = row[x];
                int end = x + 1;
                while (end < width && ((row[end] ^ pixel) & 0xffffffu) == 0)
                    ++end;
                tree.add(pixel, quint64(end - x));
                x = end;
            }
        }
    }
    return tree.palette();
}

QImage RemapToPalette(const QImage &image, const QVector<QRgb> &palette)
{
    if (palette.isEmpty() || palette.size() > MaxPaletteSize)
        throw CodecError(QStringLiteral("Invalid palette of %1 colours for an 8-bit picture")
                             .arg(palette.size()));
    const int width = image.width();
    const int height = image.height();
    QImage result(width, height, QImage::Format_Indexed8);
    if (result.isNull() && width > 0 && height > 0)
        throw CodecError(
            QStringLiteral("Not enough memory for a %1 × %2 picture").arg(width).arg(height));
    result.setColorTable(palette);

    ColourLookup lookup(palette);
    // Rows alternate in direction; the running position p starts at 0 on the
    // rows going right and at width + 1 on those going left.
    std::vector<Lanes> errors(size_t(width) + 2, Lanes{8, 8, 8, 8});
    RgbRows rows(image);
    for (int y = 0; y < height; ++y) {
        if (y % 2 == 0)
            remapRow<1>(rows.row(y), result.scanLine(y), errors.data(), width, lookup);
        else
            remapRow<-1>(rows.row(y), result.scanLine(y), errors.data() + width + 1, width, lookup);
    }
    return result;
}

} // namespace codecs
