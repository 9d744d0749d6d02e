#include "imaging/codecs/RgbRows.h"

#include <algorithm>

namespace codecs {

namespace {
// About 256 KB of converted rows at a time.
constexpr qsizetype StripBytes = 256 * 1024;
} // namespace

RgbRows::RgbRows(const QImage &image)
    : m_image(image), m_direct(image.format() == QImage::Format_RGB32),
      m_stripRows(int(std::max<qsizetype>(1, StripBytes / (4 * std::max(1, image.width())))))
{
}

const QRgb *RgbRows::row(int y)
{
    if (m_direct)
        return reinterpret_cast<const QRgb *>(m_image.constScanLine(y));
    if (m_stripTop < 0 || y < m_stripTop || y >= m_stripTop + m_strip.height()) {
        m_stripTop = y;
        const int rows = std::min(m_stripRows, m_image.height() - y);
        m_strip = m_image.copy(0, y, m_image.width(), rows).convertToFormat(QImage::Format_RGB32);
    }
    return reinterpret_cast<const QRgb *>(m_strip.constScanLine(y - m_stripTop));
}

} // namespace codecs
