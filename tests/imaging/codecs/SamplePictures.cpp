#include "SamplePictures.h"

#include <algorithm>
#include <random>

namespace samples {

QVector<QRgb> distinctColours(int count)
{
    QVector<QRgb> colours;
    for (int i = 0; i < count; ++i)
        colours.append(qRgb(i, 255 - i, (i * 37 + 11) & 0xff));
    return colours;
}

namespace {

// Draws a desktop through a colour callback: plain(index) for the flat areas
// and text(index, shade) for text-like pixels.
template <typename Fill, typename Text>
void drawDesktop(int width, int height, int colours, quint32 seed, Fill fill, Text text)
{
    std::mt19937 random(seed);
    auto between = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, std::max(low, high))(random);
    };
    fill(0, 0, width, height, 0, true);
    const int windows = std::max(3, (colours - 8) / 6);
    for (int w = 0; w < windows; ++w) {
        const int ww = between(width / 6, width / 2), wh = between(height / 6, height / 2);
        const int wx = between(0, width - ww), wy = between(0, height - wh);
        const int base = 8 + (w * 6) % std::max(1, colours - 8);
        auto colour = [&](int k) { return 8 + (base - 8 + k) % std::max(1, colours - 8); };
        fill(wx, wy, ww, wh, colour(0), false);                   // frame
        fill(wx + 2, wy + 2, ww - 4, 22, colour(1), true);        // title bar
        fill(wx + 2, wy + 26, ww - 4, wh - 28, colour(2), false); // client area
        for (int ty = wy + 32; ty + 10 < wy + wh - 4; ty += 14) {
            int tx = wx + 8;
            const int lineEnd = between(wx + ww / 3, wx + ww - 8);
            while (tx < lineEnd) {
                const int glyph = between(1, 5);
                for (int gy = 0; gy < 10; ++gy)
                    for (int gx = 0; gx < glyph && tx + gx < lineEnd; ++gx)
                        if (random() % 3 == 0)
                            text(tx + gx, ty + gy, colour(3), int(random() % 4));
                tx += glyph + between(1, 3);
            }
        }
        for (int i = 0; i < 3; ++i)
            fill(wx + 8 + i * 20, wy + wh - 20, 16, 16, colour(4 + i % 2), false);
    }
    for (int i = 0; i < 8; ++i)
        fill(16, 16 + i * 48, 32, 32, 1 + i % 7, false); // desktop icons
}

} // namespace

IndexedFrame desktopFrame(int width, int height, int colours, quint32 seed)
{
    IndexedFrame frame;
    frame.width = width;
    frame.height = height;
    frame.colours = distinctColours(std::clamp(colours, 16, 256));
    frame.pixels = QByteArray(qsizetype(width) * height, '\0');
    const int n = int(frame.colours.size());
    drawDesktop(
        width, height, n, seed,
        [&](int x, int y, int w, int h, int index, bool) {
            for (int yy = std::max(0, y); yy < std::min(height, y + h); ++yy)
                for (int xx = std::max(0, x); xx < std::min(width, x + w); ++xx)
                    frame.at(xx, yy) = uchar(index);
        },
        [&](int x, int y, int index, int shade) {
            if (x < width && y < height)
                frame.at(x, y) = uchar(shade == 0 ? index : (index + shade) % n);
        });
    return frame;
}

QImage desktopPicture(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    const QVector<QRgb> colours = distinctColours(64);
    drawDesktop(
        width, height, 64, seed,
        [&](int x, int y, int w, int h, int index, bool gradient) {
            const QRgb c = colours[index];
            for (int yy = std::max(0, y); yy < std::min(height, y + h); ++yy) {
                QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(yy));
                for (int xx = std::max(0, x); xx < std::min(width, x + w); ++xx) {
                    if (!gradient) {
                        row[xx] = c;
                        continue;
                    }
                    // Wallpaper and title bars fade from the colour towards white.
                    const int t = w > 1 ? (xx - x) * 255 / (w - 1) : 0;
                    const int s = h > 1 ? (yy - y) * 64 / (h - 1) : 0;
                    auto mix = [&](int v) { return std::min(255, v + (255 - v) * t / 512 + s); };
                    row[xx] = qRgb(mix(qRed(c)), mix(qGreen(c)), mix(qBlue(c)));
                }
            }
        },
        [&](int x, int y, int index, int shade) {
            if (x >= width || y >= height)
                return;
            // Text edges: the glyph colour blended with what lies under it.
            QRgb &pixel = reinterpret_cast<QRgb *>(image.scanLine(y))[x];
            const QRgb c = colours[index];
            auto blend = [&](int a, int b) { return (a * (4 - shade) + b * shade) / 4; };
            pixel = qRgb(blend(qRed(c), qRed(pixel)), blend(qGreen(c), qGreen(pixel)),
                         blend(qBlue(c), qBlue(pixel)));
        });
    return image;
}

QImage toImage(const IndexedFrame &frame)
{
    QImage image(frame.width, frame.height, QImage::Format_RGB32);
    for (int y = 0; y < frame.height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        const auto *indices =
            reinterpret_cast<const uchar *>(frame.pixels.constData()) + qsizetype(y) * frame.width;
        for (int x = 0; x < frame.width; ++x)
            row[x] = frame.colours[indices[x]];
    }
    return image;
}

} // namespace samples
