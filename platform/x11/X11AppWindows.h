#pragma once

#include "../AppWindows.h"

namespace platform {

class X11AppWindows : public AppWindows {
public:
    // Our windows carry their own taskbar entries on X11, so the application
    // has no separate entry to hide, show, minimise or restore.
    void showTaskbarEntry() override {}
    void hideTaskbarEntry() override {}
    void minimizeTaskbarEntry() override {}
    void restoreTaskbarEntry() override {}

    void bringToFront(QWidget *window) override;
    void offerOnlyCloseButton(QWidget *window) override;
};

} // namespace platform
