#pragma once

#include "../InputGrab.h"

namespace platform {

// Active keyboard and pointer grabs on the window's X window: the server
// sends it every key and button, whoever has the focus.
class X11InputGrab : public InputGrab {
public:
    bool grabInput(QWidget *window) override;
    void releaseInput() override;
};

} // namespace platform
