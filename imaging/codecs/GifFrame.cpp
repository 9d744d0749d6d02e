#include "imaging/codecs/GifFrame.h"

#include "imaging/codecs/CodecError.h"
#include "imaging/codecs/RgbRows.h"

#include <QHash>

namespace codecs {

namespace {

constexpr int MaxColours = 256;
constexpr int RingSize = 8;

// The last distinct colours met, with their table indices; searched from the
// most recent backwards.
class RecentColours {
public:
    int find(QRgb colour) const
    {
        for (int i = 0; i < m_count; ++i) {
            const int slot = (m_newest - i + RingSize) % RingSize;
            if (m_colours[slot] == colour)
                return m_indices[slot];
        }
        return -1;
    }
    void add(QRgb colour, int index)
    {
        m_newest = (m_newest + 1) % RingSize;
        m_colours[m_newest] = colour;
        m_indices[m_newest] = index;
        if (m_count < RingSize)
            ++m_count;
    }

private:
    QRgb m_colours[RingSize] = {};
    int m_indices[RingSize] = {};
    int m_newest = 0;
    int m_count = 0;
};

} // namespace

QImage GifFrame(const QImage &picture)
{
    switch (picture.format()) {
    case QImage::Format_Indexed8:
        return picture;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return picture.convertToFormat(QImage::Format_Indexed8);
    default:
        break;
    }
    QImage frame(picture.size(), QImage::Format_Indexed8);
    if (frame.isNull() && !picture.isNull())
        throw CodecError(QStringLiteral("Not enough memory for the GIF frame"));
    QList<QRgb> table;
    QHash<QRgb, int> indexOf;
    RecentColours recent;
    RgbRows rows(picture);
    for (int y = 0; y < picture.height(); ++y) {
        const QRgb *src = rows.row(y);
        uchar *dst = frame.scanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb colour = src[x];
            int index = recent.find(colour);
            if (index < 0) {
                const auto it = indexOf.constFind(colour);
                if (it != indexOf.constEnd()) {
                    index = it.value();
                } else {
                    if (table.size() == MaxColours)
                        throw CodecError(QStringLiteral("Color table overflow"));
                    index = int(table.size());
                    table.append(colour);
                    indexOf.insert(colour, index);
                }
                recent.add(colour, index);
            }
            dst[x] = uchar(index);
        }
    }
    frame.setColorTable(table);
    return frame;
}

} // namespace codecs
