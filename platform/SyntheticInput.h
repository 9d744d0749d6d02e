#pragma once

#include <QtGlobal>

namespace platform {

// Windows virtual-key codes of the keys the program presses.
enum VirtualKey : quint16 { VkTab = 9, VkHome = 36, VkC = 0x43 };

// Modifier set of a synthetic key press: one byte, bit 0 Shift, bit 1 Alt, bit 2 Ctrl.
enum ModifierBits : quint8 { ShiftBit = 1, AltBit = 2, CtrlBit = 4 };

// Key presses synthesised into the desktop's input stream; they reach whatever
// window has the keyboard focus.
class SyntheticInput {
public:
    virtual ~SyntheticInput() = default;

    // One press of the key with Windows virtual-key code `key` (0x43 is "C",
    // 9 Tab, 36 Home), with the modifiers down around it: modifiers down in the
    // order Ctrl, Shift, Alt; the key down; the key up; modifiers up in reverse
    // order; no pause between the events. Modifier keys still held down on the
    // keyboard are released first and pressed again afterwards, so the press
    // arrives with exactly `modifiers`.
    virtual void PostKeyEx32(quint16 key, quint8 modifiers, bool extended) = 0;

    // True while any modifier key (Shift, Ctrl, Alt, AltGr, Super, ...) is down
    // on the keyboard.
    virtual bool modifiersDown() = 0;
};

} // namespace platform
