#pragma once

#include "../Clipboard.h"

namespace platform {

// The CLIPBOARD selection, through QClipboard and, where Qt would not
// manage on its own, the selection's ownership on the X server.
class X11Clipboard : public Clipboard {
public:
    void clear() override;
    bool hasText() override;
};

} // namespace platform
