#include "ReferenceColorReduction.h"

#include <cstdlib>
#include <vector>

namespace reference {

namespace {

struct Node {
    bool leaf = false;
    long long count = 0;
    long long red = 0, green = 0, blue = 0;
    Node *children[8] = {};
    Node *nextReducible = nullptr;
};

struct Octree {
    int maxColours;
    int depth;
    int leafCount = 0;
    Node *root = nullptr;
    Node *reducible[8] = {};

    Octree(int k, int d) : maxColours(k), depth(d) {}
    ~Octree() { destroy(root); }

    static void destroy(Node *node)
    {
        if (!node)
            return;
        for (Node *child : node->children)
            destroy(child);
        delete node;
    }

    Node *create(int level)
    {
        Node *node = new Node;
        if (level == depth) {
            node->leaf = true;
            ++leafCount;
        } else {
            node->nextReducible = reducible[level];
            reducible[level] = node;
        }
        return node;
    }

    void addPixel(int r, int g, int b)
    {
        if (!root)
            root = create(0);
        Node *node = root;
        int level = 0;
        while (!node->leaf) {
            const int bit = 7 - level;
            const int index = 4 * ((r >> bit) & 1) + 2 * ((g >> bit) & 1) + ((b >> bit) & 1);
            if (!node->children[index])
                node->children[index] = create(level + 1);
            node = node->children[index];
            ++level;
        }
        node->count += 1;
        node->red += r;
        node->green += g;
        node->blue += b;
    }

    void reduce()
    {
        int level = depth - 1;
        while (level > 0 && reducible[level] == nullptr)
            --level;
        Node *node = reducible[level];
        reducible[level] = node->nextReducible;
        int removed = 0;
        for (Node *&child : node->children) {
            if (!child)
                continue;
            node->count += child->count;
            node->red += child->red;
            node->green += child->green;
            node->blue += child->blue;
            delete child;
            child = nullptr;
            ++removed;
        }
        node->leaf = true;
        leafCount -= removed - 1;
    }

    void colourTable(Node *node, QVector<QRgb> &table)
    {
        if (!node)
            return;
        if (node->leaf) {
            if (node->count == 0)
                table.append(qRgb(0, 0, 0));
            else
                table.append(qRgb(int(node->red / node->count), int(node->green / node->count),
                                  int(node->blue / node->count)));
            return;
        }
        for (Node *child : node->children)
            colourTable(child, table);
    }
};

} // namespace

QVector<QRgb> BuildOptimizedPalette(const QList<QImage> &images, int colours, int bits)
{
    Octree tree(colours, bits);
    for (const QImage &image : images) {
        const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
        for (int y = 0; y < rgb.height(); ++y) {
            const uchar *row = rgb.constScanLine(y);
            for (int x = 0; x < rgb.width(); ++x) {
                tree.addPixel(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
                while (tree.leafCount > colours)
                    tree.reduce();
            }
        }
    }
    QVector<QRgb> table;
    tree.colourTable(tree.root, table);
    QVector<QRgb> palette(colours, qRgb(0, 0, 0));
    for (int i = 0; i < table.size(); ++i)
        palette[i] = table[i];
    return palette;
}

QImage RemapToPalette(const QImage &image, const QVector<QRgb> &palette)
{
    const QVector<QRgb> copy = palette;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const int width = rgb.width();

    std::vector<int> cells(32768, -1);
    auto cellOf = [](int r, int g, int b) { return (b >> 3) * 1024 + (g >> 3) * 32 + (r >> 3); };
    for (int i = 0; i < copy.size(); ++i) {
        const int cell = cellOf(qRed(copy[i]), qGreen(copy[i]), qBlue(copy[i]));
        if (cells[cell] == -1)
            cells[cell] = i;
    }
    auto lookup = [&](int r, int g, int b) {
        const int cell = cellOf(r, g, b);
        if (cells[cell] == -1) {
            int best = -1, bestDistance = 0;
            for (int i = 0; i < copy.size(); ++i) {
                const int d = std::abs(r - qRed(copy[i])) + std::abs(g - qGreen(copy[i])) +
                              std::abs(b - qBlue(copy[i]));
                if (best == -1 || d < bestDistance) {
                    best = i;
                    bestDistance = d;
                }
            }
            cells[cell] = best;
        }
        return cells[cell];
    };

    QImage out(width, rgb.height(), QImage::Format_Indexed8);
    out.setColorTable(copy);
    std::vector<int> e[3];
    for (auto &array : e)
        array.assign(size_t(width) + 2, 0);
    int direction = 1;
    for (int y = 0; y < rgb.height(); ++y) {
        int cur[3] = {0, 0, 0}, below[3] = {0, 0, 0}, belowPrev[3] = {0, 0, 0};
        int p = direction > 0 ? 0 : width + 1;
        int x = direction > 0 ? 0 : width - 1;
        for (int n = 0; n < width; ++n) {
            int corrected[3];
            for (int c = 0; c < 3; ++c) {
                const int v = rgb.constScanLine(y)[3 * x + c];
                corrected[c] = v + (e[c][p] + cur[c] + 8) / 16;
                if (corrected[c] < 0)
                    corrected[c] = 0;
                if (corrected[c] > 255)
                    corrected[c] = 255;
            }
            const int index = lookup(corrected[0], corrected[1], corrected[2]);
            out.scanLine(y)[x] = uchar(index);
            const int entry[3] = {qRed(copy[index]), qGreen(copy[index]), qBlue(copy[index])};
            for (int c = 0; c < 3; ++c) {
                const int diff = corrected[c] - entry[c];
                if (diff != 0) {
                    e[c][p] = belowPrev[c] + 3 * diff;
                    belowPrev[c] = below[c] + 5 * diff;
                    below[c] = diff;
                    cur[c] = 7 * diff;
                } else {
                    cur[c] = 0;
                }
            }
            p += direction;
            x += direction;
        }
        for (int c = 0; c < 3; ++c) {
            e[c][p] = belowPrev[c];
            cur[c] = below[c] = belowPrev[c] = 0;
        }
        direction = -direction;
    }
    return out;
}

} // namespace reference
