#pragma once

#include "ScreenBackdrop.h"

#include <QImage>
#include <QPoint>
#include <QRect>

#include <memory>

class QWidget;

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

    // Has the display server show `image` in `window` (a native top-level
    // window of ours, not yet shown), one image pixel per window pixel from
    // its top-left corner, under its native child windows. Null when the
    // server cannot (then the window paints the image itself): by default, and
    // for an image not in the display's own pixel format as grab() gives it.
    virtual std::unique_ptr<ScreenBackdrop> createBackdrop(QWidget *window, const QImage &image)
    {
        Q_UNUSED(window);
        Q_UNUSED(image);
        return nullptr;
    }
};

} // namespace platform
