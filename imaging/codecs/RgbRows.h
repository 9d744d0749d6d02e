#pragma once

#include <QImage>

namespace codecs {

// Reads a picture of any format row by row as 24-bit colour (0xffRRGGBB, as
// QImage::convertToFormat(Format_RGB32) gives it). RGB32 pictures are read in
// place; every other format is converted a strip of rows at a time, so a large
// picture never needs a converted copy of its own size.
class RgbRows {
public:
    explicit RgbRows(const QImage &image);

    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    // Rows must be asked for from the top down; the pointer stays valid until
    // the next call.
    const QRgb *row(int y);

private:
    const QImage &m_image;
    bool m_direct;
    int m_stripRows;
    int m_stripTop = -1;
    QImage m_strip;
};

} // namespace codecs
