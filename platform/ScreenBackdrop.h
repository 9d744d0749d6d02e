#pragma once

#include <QRect>

namespace platform {

// A still picture of the screen kept by the display server as the content of
// one of our windows, under that window's child widgets: the server shows it
// whenever the window appears or a part of it is uncovered, so the program
// paints none of it. A marking outline is drawn over it by the server too.
// Positions are the window's own pixels. The picture goes when this does.
class ScreenBackdrop {
public:
    virtual ~ScreenBackdrop() = default;

    // Shows a dashed red outline around `rect` (its one-pixel border; an empty
    // rectangle shows none) in place of the previous one. Each outline pixel is
    // the inverse of (red xor the picture's pixel): red on white, cyan on
    // black, visible on any picture. The picture itself is never changed:
    // where the outline was, it shows again. Drawn by the time the server
    // handles the program's next request.
    virtual void setOutline(const QRect &rect) = 0;
};

} // namespace platform
