#pragma once

class QWidget;

namespace platform {

// Sends every key and mouse event of the desktop to one window of ours, also
// when no window manager gives it the focus (a window drawn over everything).
class InputGrab {
public:
    virtual ~InputGrab() = default;

    // Takes the keyboard and the pointer for `window`, which must be shown;
    // waits, handling events, until the window is on screen and the grab holds.
    // Returns false when another program keeps its grab for a second.
    virtual bool grabInput(QWidget *window) = 0;
    // Gives the keyboard and the pointer back to the desktop.
    virtual void releaseInput() = 0;
};

} // namespace platform
