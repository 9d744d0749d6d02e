#include "PictureDrawing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Dash and dot patterns of 1-pixel lines, in pixels along the outline.
constexpr int DashOn = 18;
constexpr int DashPeriod = 24;
constexpr int DotOn = 3;
constexpr int DotPeriod = 6;
// Hatch lines repeat every 8 pixels, counted from the picture's origin.
constexpr int HatchMask = 7;
// Changed areas are reported in bands of this many rows.
constexpr int BandHeight = 8;
// Far beyond any screen: keeps the arithmetic below in range.
constexpr int CoordinateLimit = 1 << 20;
constexpr double Epsilon = 1e-9;

struct Span {
    int x0;
    int x1; // inclusive
};

// A convex region of pixels: the box of pixel centres L..R by T..B with its
// corners rounded by quarter ellipses of semi-axes ax by ay (0 for sharp
// corners; half the box for an ellipse).
struct RoundBox {
    int L, T, R, B;
    double ax, ay;

    bool empty() const { return R < L || B < T; }

    // Grows (d > 0) or shrinks (d < 0) the box on every side; rounded
    // corners keep their centres.
    RoundBox grown(int d) const
    {
        RoundBox g{L - d,
                   T - d,
                   R + d,
                   B + d,
                   ax > 0 ? std::max(0.0, ax + d) : 0.0,
                   ay > 0 ? std::max(0.0, ay + d) : 0.0};
        g.ax = std::min(g.ax, (g.R - g.L) / 2.0);
        g.ay = std::min(g.ay, (g.B - g.T) / 2.0);
        return g;
    }

    // The region's pixels in row y; false when the row has none.
    bool span(int y, Span &s) const
    {
        if (empty() || y < T || y > B)
            return false;
        const double top = T + ay;
        const double bottom = B - ay;
        double dy = 0;
        if (y < top)
            dy = top - y;
        else if (y > bottom)
            dy = y - bottom;
        s = {L, R};
        if (dy > 0) {
            // Half a pixel added to the semi-axes puts the extreme pixel
            // rows and columns inside the curve.
            const double t = dy / (ay + 0.5);
            if (t >= 1)
                return false;
            const double hw = (ax + 0.5) * std::sqrt(1 - t * t);
            s.x0 = std::max(L, static_cast<int>(std::ceil(L + ax - hw - Epsilon)));
            s.x1 = std::min(R, static_cast<int>(std::floor(R - ax + hw + Epsilon)));
        }
        return s.x0 <= s.x1;
    }
};

bool intersect(Span &a, const Span &b)
{
    a.x0 = std::max(a.x0, b.x0);
    a.x1 = std::min(a.x1, b.x1);
    return a.x0 <= a.x1;
}

class Plotter {
public:
    Plotter(QImage &picture, const DrawSettings &settings, PenMode mode)
        : m_picture(picture), m_settings(settings), m_mode(mode), m_width(picture.width()),
          m_height(picture.height())
    {
    }

    int height() const { return m_height; }
    int width() const { return m_width; }

    void penSpan(int y, int x0, int x1) { solidSpan(y, x0, x1, m_settings.penColor); }

    void brushSpan(int y, int x0, int x1)
    {
        switch (m_settings.brushStyle) {
        case BrushStyle::Clear:
            return;
        case BrushStyle::Solid:
            solidSpan(y, x0, x1, m_settings.brushColor);
            return;
        default:
            break;
        }
        if (!clip(y, x0, x1))
            return;
        QRgb *row = reinterpret_cast<QRgb *>(m_picture.scanLine(y));
        for (int x = x0; x <= x1; ++x) {
            if (onHatch(x, y))
                apply(row[x], m_settings.brushColor);
        }
        touched(y, x0, x1);
    }

    // One pixel of a patterned 1-pixel outline; `index` counts along it.
    void patternPixel(int x, int y, int index)
    {
        const bool dash = m_settings.penStyle == PenStyle::Dash;
        const bool on = dash ? index % DashPeriod < DashOn : index % DotPeriod < DotOn;
        if (on)
            solidSpan(y, x, x, m_settings.penColor);
        else if (m_settings.brushStyle == BrushStyle::Solid)
            solidSpan(y, x, x, m_settings.brushColor); // the gaps take the fill colour
    }

    std::vector<QRect> changedBands();

private:
    bool clip(int y, int &x0, int &x1) const
    {
        if (y < 0 || y >= m_height)
            return false;
        x0 = std::max(x0, 0);
        x1 = std::min(x1, m_width - 1);
        return x0 <= x1;
    }

    bool onHatch(int x, int y) const
    {
        switch (m_settings.brushStyle) {
        case BrushStyle::Horizontal:
            return (y & HatchMask) == 0;
        case BrushStyle::Vertical:
            return (x & HatchMask) == 0;
        case BrushStyle::FDiagonal:
            return ((x - y) & HatchMask) == 0;
        case BrushStyle::BDiagonal:
            return ((x + y) & HatchMask) == 0;
        case BrushStyle::Cross:
            return (x & HatchMask) == 0 || (y & HatchMask) == 0;
        default:
            return false;
        }
    }

    void apply(QRgb &pixel, QRgb color) const
    {
        if (m_mode == PenMode::Copy)
            pixel = 0xff000000u | (color & 0x00ffffffu);
        else
            pixel = (pixel & 0xff000000u) | (~(pixel ^ color) & 0x00ffffffu);
    }

    void solidSpan(int y, int x0, int x1, QRgb color)
    {
        if (!clip(y, x0, x1))
            return;
        QRgb *row = reinterpret_cast<QRgb *>(m_picture.scanLine(y));
        for (int x = x0; x <= x1; ++x)
            apply(row[x], color);
        touched(y, x0, x1);
    }

    void touched(int y, int x0, int x1) { m_touched.push_back({y, x0, x1}); }

    struct Touch {
        int y, x0, x1;
    };

    QImage &m_picture;
    const DrawSettings &m_settings;
    PenMode m_mode;
    int m_width;
    int m_height;
    std::vector<Touch> m_touched;
};

std::vector<QRect> Plotter::changedBands()
{
    // Bands of rows, each with the merged column ranges touched in it;
    // neighbouring bands with the same ranges become one.
    std::sort(m_touched.begin(), m_touched.end(), [](const Touch &a, const Touch &b) {
        const int ba = a.y / BandHeight;
        const int bb = b.y / BandHeight;
        return ba != bb ? ba < bb : a.x0 < b.x0;
    });
    std::vector<QRect> result;
    std::vector<Span> previous;
    std::size_t previousStart = 0;
    std::size_t i = 0;
    while (i < m_touched.size()) {
        const int band = m_touched[i].y / BandHeight;
        std::vector<Span> spans;
        for (; i < m_touched.size() && m_touched[i].y / BandHeight == band; ++i) {
            const Touch &t = m_touched[i];
            if (!spans.empty() && t.x0 <= spans.back().x1 + 1)
                spans.back().x1 = std::max(spans.back().x1, t.x1);
            else
                spans.push_back({t.x0, t.x1});
        }
        const int top = band * BandHeight;
        const int bottom = std::min(top + BandHeight, m_height) - 1;
        const bool continues =
            !result.empty() && result.back().bottom() == top - 1 &&
            previous.size() == spans.size() &&
            std::equal(spans.begin(), spans.end(), previous.begin(),
                       [](const Span &a, const Span &b) { return a.x0 == b.x0 && a.x1 == b.x1; });
        if (continues) {
            for (std::size_t k = previousStart; k < result.size(); ++k)
                result[k].setBottom(bottom);
        } else {
            previousStart = result.size();
            for (const Span &s : spans)
                result.push_back(QRect(QPoint(s.x0, top), QPoint(s.x1, bottom)));
            previous = std::move(spans);
        }
    }
    return result;
}

QPoint limited(QPoint p)
{
    return {std::clamp(p.x(), -CoordinateLimit, CoordinateLimit),
            std::clamp(p.y(), -CoordinateLimit, CoordinateLimit)};
}

// A 1-pixel line from `a` up to, not including, `b`.
void thinLine(Plotter &plot, const DrawSettings &settings, QPoint a, QPoint b)
{
    const int dx = std::abs(b.x() - a.x());
    const int dy = -std::abs(b.y() - a.y());
    const int sx = a.x() < b.x() ? 1 : -1;
    const int sy = a.y() < b.y() ? 1 : -1;
    int err = dx + dy;
    int x = a.x();
    int y = a.y();
    for (int index = 0; x != b.x() || y != b.y(); ++index) {
        if (settings.penStyle == PenStyle::Solid)
            plot.penSpan(y, x, x);
        else
            plot.patternPixel(x, y, index);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

// The x range of a row inside the set lo <= k * x + c <= hi.
bool solveRange(double k, double c, double lo, double hi, double &x0, double &x1)
{
    if (std::abs(k) < Epsilon)
        return c >= lo - Epsilon && c <= hi + Epsilon;
    double a = (lo - c) / k;
    double b = (hi - c) / k;
    if (a > b)
        std::swap(a, b);
    x0 = std::max(x0, a);
    x1 = std::min(x1, b);
    return x0 <= x1;
}

// A line `width` pixels wide with round ends: every pixel whose centre lies
// within width / 2 of the segment. Even widths are centred half a pixel up
// and left of the segment, so that they come out exactly that wide.
void wideLine(Plotter &plot, int width, QPoint a, QPoint b)
{
    const double shift = width % 2 == 0 ? 0.5 : 0.0;
    const double ax = a.x() - shift;
    const double ay = a.y() - shift;
    const double bx = b.x() - shift;
    const double by = b.y() - shift;
    const double r = width / 2.0;
    const double dx = bx - ax;
    const double dy = by - ay;
    const double len2 = dx * dx + dy * dy;
    const double len = std::sqrt(len2);
    const int y0 = std::max(0, static_cast<int>(std::floor(std::min(ay, by) - r)));
    const int y1 = std::min(plot.height() - 1, static_cast<int>(std::ceil(std::max(ay, by) + r)));
    for (int y = y0; y <= y1; ++y) {
        double lo = 1e300;
        double hi = -1e300;
        for (const auto &[cx, cy] : {std::pair{ax, ay}, std::pair{bx, by}}) {
            const double h = r * r - (y - cy) * (y - cy);
            if (h >= 0) {
                lo = std::min(lo, cx - std::sqrt(h));
                hi = std::max(hi, cx + std::sqrt(h));
            }
        }
        if (len2 > 0) {
            // Along the segment: 0 <= (P - A).d <= |d|^2; across it:
            // |(P - A) x d| <= r |d|.
            double x0 = -1e300;
            double x1 = 1e300;
            if (solveRange(dx, -ax * dx + (y - ay) * dy, 0, len2, x0, x1) &&
                solveRange(dy, -ax * dy - (y - ay) * dx, -r * len, r * len, x0, x1)) {
                lo = std::min(lo, x0);
                hi = std::max(hi, x1);
            }
        }
        if (lo > hi)
            continue;
        plot.penSpan(y, static_cast<int>(std::ceil(lo - Epsilon)),
                     static_cast<int>(std::floor(hi + Epsilon)));
    }
}

// A rectangle-like shape with a 1-pixel outline: the region's border pixels
// (those with a pixel outside among their four neighbours) in the pen, the
// rest filled by the brush.
void thinBox(Plotter &plot, const DrawSettings &settings, const RoundBox &box)
{
    struct Dot {
        int x, y;
        double angle;
    };
    std::vector<Dot> outline;
    const double cx = (box.L + box.R) / 2.0;
    const double cy = (box.T + box.B) / 2.0;
    const bool patterned = settings.penStyle != PenStyle::Solid;
    const int y0 = std::max(box.T, 0);
    const int y1 = std::min(box.B, plot.height() - 1);
    for (int y = y0; y <= y1; ++y) {
        Span s;
        if (!box.span(y, s))
            continue;
        Span inner{s.x0 + 1, s.x1 - 1};
        Span above;
        Span below;
        const bool hasInner = inner.x0 <= inner.x1 && box.span(y - 1, above) &&
                              box.span(y + 1, below) && intersect(inner, above) &&
                              intersect(inner, below);
        const Span parts[2] = {{s.x0, hasInner ? inner.x0 - 1 : s.x1}, {inner.x1 + 1, s.x1}};
        for (int k = 0; k < (hasInner ? 2 : 1); ++k) {
            const Span &part = parts[k];
            if (part.x0 > part.x1)
                continue;
            if (!patterned) {
                plot.penSpan(y, part.x0, part.x1);
                continue;
            }
            const int from = std::max(part.x0, -1);
            const int to = std::min(part.x1, plot.width());
            for (int x = from; x <= to; ++x)
                outline.push_back({x, y, std::atan2(y - cy, x - cx)});
        }
        if (hasInner)
            plot.brushSpan(y, inner.x0, inner.x1);
    }
    if (!patterned)
        return;
    // The pattern runs around the outline: the pixels of a convex outline in
    // order of their angle from the centre.
    std::stable_sort(outline.begin(), outline.end(),
                     [](const Dot &a, const Dot &b) { return a.angle < b.angle; });
    for (std::size_t i = 0; i < outline.size(); ++i)
        plot.patternPixel(outline[i].x, outline[i].y, static_cast<int>(i));
}

// A rectangle-like shape with an outline `width` pixels wide, straddling the
// 1-pixel outline's place: width / 2 pixels outwards, the rest inwards.
void wideBox(Plotter &plot, int width, const RoundBox &box)
{
    const RoundBox outer = box.grown(width / 2);
    const RoundBox inner = box.grown(-(width - width / 2));
    const int y0 = std::max(outer.T, 0);
    const int y1 = std::min(outer.B, plot.height() - 1);
    for (int y = y0; y <= y1; ++y) {
        Span o;
        if (!outer.span(y, o))
            continue;
        Span i;
        if (inner.span(y, i)) {
            plot.penSpan(y, o.x0, i.x0 - 1);
            plot.penSpan(y, i.x1 + 1, o.x1);
            plot.brushSpan(y, i.x0, i.x1);
        } else {
            plot.penSpan(y, o.x0, o.x1);
        }
    }
}

} // namespace

std::vector<QRect> drawShape(QImage &picture, const DrawSettings &settings, QPoint from, QPoint to,
                             PenMode mode)
{
    const QImage::Format format = picture.format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32)
        return {};
    from = limited(from);
    to = limited(to);
    Plotter plot(picture, settings, mode);
    const int width = std::clamp(settings.penWidth, 1, 100);
    if (settings.tool == DrawTool::Line) {
        // A line that ends where it starts draws nothing, whatever its width.
        if (from == to)
            return {};
        if (width == 1)
            thinLine(plot, settings, from, to);
        else
            wideLine(plot, width, from, to);
        return plot.changedBands();
    }
    // The box the corners span, right and bottom edges left out.
    RoundBox box{std::min(from.x(), to.x()),
                 std::min(from.y(), to.y()),
                 std::max(from.x(), to.x()) - 1,
                 std::max(from.y(), to.y()) - 1,
                 0,
                 0};
    if (box.empty())
        return {};
    if (settings.tool == DrawTool::Ellipse) {
        box.ax = (box.R - box.L) / 2.0;
        box.ay = (box.B - box.T) / 2.0;
    } else if (settings.tool == DrawTool::RoundRect) {
        // Corners rounded by an ellipse a quarter of the shape's width and
        // height across (the division truncates).
        box.ax = std::min((std::abs(from.x() - to.x()) / 2) / 2.0, (box.R - box.L) / 2.0);
        box.ay = std::min((std::abs(from.y() - to.y()) / 2) / 2.0, (box.B - box.T) / 2.0);
    }
    if (width == 1)
        thinBox(plot, settings, box);
    else
        wideBox(plot, width, box);
    return plot.changedBands();
}
