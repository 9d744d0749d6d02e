#pragma once

namespace platform {

// The desktop's clipboard (on X11 the CLIPBOARD selection), shared by every
// program. Reading its content goes through QClipboard and the rich-text
// control's paste; this interface holds what Qt alone does not do reliably
// when another program owns the clipboard.
class Clipboard {
public:
    virtual ~Clipboard() = default;

    // Empties the clipboard, whichever program holds it now.
    virtual void clear() = 0;
    // True when the clipboard offers plain text.
    virtual bool hasText() = 0;
};

} // namespace platform
