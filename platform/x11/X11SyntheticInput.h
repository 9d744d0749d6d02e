#pragma once

#include "../SyntheticInput.h"

namespace platform {

// Key presses through the XTest extension: they enter the X server's input
// stream as if typed, and go to the window with the keyboard focus.
class X11SyntheticInput : public SyntheticInput {
public:
    void PostKeyEx32(quint16 key, quint8 modifiers, bool extended) override;
    bool modifiersDown() override;

    // The X key code that types the Windows virtual key `key` on the current
    // keyboard map (the "scan code" of a key event), or 0 when no key of the
    // map produces it.
    static quint8 keyCodeFor(quint16 key, bool extended);
};

} // namespace platform
