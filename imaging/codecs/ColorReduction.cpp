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

    void add(QRgb pixel)
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
        ++leaf.count;
        leaf.red += red;
        leaf.green += green;
        leaf.blue += blue;
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

// Nearest palette entry for a colour, cached in 32,768 cells of 5 bits per
// component (blue highest, then green, then red). Each cell starts with the
// first entry whose colour lies in it; an empty cell is filled by the first
// query that reaches it.
class ColourLookup {
public:
    explicit ColourLookup(const QVector<QRgb> &palette) : m_size(int(palette.size()))
    {
        m_cells.fill(-1);
        for (int i = 0; i < m_size; ++i) {
            const QRgb c = palette[i];
            m_entries[i] = {qRed(c), qGreen(c), qBlue(c)};
            qint16 &cell = m_cells[cellOf(qRed(c), qGreen(c), qBlue(c))];
            if (cell < 0)
                cell = qint16(i);
        }
    }

    int operator()(int red, int green, int blue)
    {
        qint16 &cell = m_cells[cellOf(red, green, blue)];
        if (cell < 0)
            cell = qint16(nearest(red, green, blue));
        return cell;
    }

    int red(int index) const { return m_entries[index][0]; }
    int green(int index) const { return m_entries[index][1]; }
    int blue(int index) const { return m_entries[index][2]; }

private:
    static int cellOf(int red, int green, int blue)
    {
        return (blue >> 3) << 10 | (green >> 3) << 5 | (red >> 3);
    }

    int nearest(int red, int green, int blue) const
    {
        int best = 0;
        int bestDistance = INT_MAX;
        for (int i = 0; i < m_size; ++i) {
            const auto &e = m_entries[i];
            const int distance =
                std::abs(red - e[0]) + std::abs(green - e[1]) + std::abs(blue - e[2]);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        return best;
    }

    const int m_size;
    std::array<qint16, 32768> m_cells;
    std::array<std::array<int, 3>, MaxPaletteSize> m_entries{};
};

// Error diffusion of one colour component along a row, in sixteenths: Cur
// carries 7/16 to the next pixel of the row; the error array, addressed by the
// running position, collects 3/16, 5/16 and 1/16 for the next row.
struct Diffusion {
    int cur = 0;
    int below = 0;
    int belowPrev = 0;

    int corrected(int value, int stored) const
    {
        return std::clamp(value + (stored + cur + 8) / 16, 0, 255);
    }
    // A pixel that took its entry exactly passes nothing on and leaves the
    // error array and the values for the next row as they are. Written without
    // branches: dithered pixels make that test unpredictable.
    void spread(int diff, int &stored)
    {
        const int keep = -int(diff == 0); // all bits set when diff is 0
        stored = (stored & keep) | ((belowPrev + 3 * diff) & ~keep);
        belowPrev = (belowPrev & keep) | ((below + 5 * diff) & ~keep);
        below = (below & keep) | diff;
        cur = 7 * diff;
    }
};

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
            for (int x = 0; x < rows.width(); ++x)
                tree.add(row[x]);
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
    struct Stored {
        int red = 0, green = 0, blue = 0;
    };
    std::vector<Stored> errors(size_t(width) + 2);
    RgbRows rows(image);
    for (int y = 0; y < height; ++y) {
        const bool forward = y % 2 == 0;
        const int step = forward ? 1 : -1;
        int p = forward ? 0 : width + 1;
        int x = forward ? 0 : width - 1;
        Diffusion red, green, blue;
        const QRgb *source = rows.row(y);
        uchar *target = result.scanLine(y);
        for (int i = 0; i < width; ++i, x += step, p += step) {
            const QRgb pixel = source[x];
            const int r = red.corrected(qRed(pixel), errors[p].red);
            const int g = green.corrected(qGreen(pixel), errors[p].green);
            const int b = blue.corrected(qBlue(pixel), errors[p].blue);
            const int index = lookup(r, g, b);
            target[x] = uchar(index);
            red.spread(r - lookup.red(index), errors[p].red);
            green.spread(g - lookup.green(index), errors[p].green);
            blue.spread(b - lookup.blue(index), errors[p].blue);
        }
        errors[p].red = red.belowPrev;
        errors[p].green = green.belowPrev;
        errors[p].blue = blue.belowPrev;
    }
    return result;
}

} // namespace codecs
