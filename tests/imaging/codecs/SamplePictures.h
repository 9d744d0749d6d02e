#pragma once

#include <QByteArray>
#include <QImage>
#include <QVector>

// Synthetic pictures for the codec tests and benchmarks, the same for a given
// seed on every machine.
namespace samples {

// An indexed frame: one byte per pixel, rows packed without padding.
struct IndexedFrame {
    int width = 0;
    int height = 0;
    QByteArray pixels;
    QVector<QRgb> colours;

    uchar &at(int x, int y) { return reinterpret_cast<uchar &>(pixels[qsizetype(y) * width + x]); }
};

// The frame as a true-colour picture (Format_RGB32).
QImage toImage(const IndexedFrame &frame);

// `count` distinct colours (red and green distinct for every index).
QVector<QRgb> distinctColours(int count);

// A desktop of flat areas: wallpaper, overlapping windows with frames and
// title bars, lines of text-like short runs and small icons, using about
// `colours` of the frame's colours (at least 16).
IndexedFrame desktopFrame(int width, int height, int colours, quint32 seed);

// The same kind of desktop in true colour: gradient wallpaper and title bars
// and grey-shaded text edges give it many thousands of colours.
QImage desktopPicture(int width, int height, quint32 seed);

} // namespace samples
