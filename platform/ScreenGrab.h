#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

namespace platform {

// Reads the screen's pixels. "The screen" is the primary monitor; all
// coordinates are its own pixels with (0, 0) at its top-left corner, whatever
// the program's scale factor.
class ScreenGrab {
public:
    virtual ~ScreenGrab() = default;

    // The primary monitor's size in its pixels.
    virtual QSize screenSize() = 0;

    // Copies `rect` of the screen into `image`, in the display's own pixel
    // format (on a 24-bit display 32-bit pixels without alpha; on a palette
    // display 8-bit indices with the display's colour table). Parts of `rect`
    // beyond the edges of the desktop come out white. Returns false, leaving
    // `image` as it was, when the screen cannot be read.
    virtual bool grab(const QRect &rect, QImage &image) = 0;

    // Where the mouse pointer is now.
    virtual QPoint cursorPos() = 0;
};

} // namespace platform
