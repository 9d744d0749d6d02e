#pragma once

#include "../ScreenGrab.h"

#include <memory>

namespace platform {

// Reads the X server's root window. With the MIT shared-memory extension the
// server copies the pixels straight into memory shared with the program, which
// then becomes the image's own buffer (no further copy); otherwise a plain
// XGetImage. The primary monitor is RandR's primary output, or the whole root
// window when RandR names none.
class X11ScreenGrab : public ScreenGrab {
public:
    X11ScreenGrab();
    ~X11ScreenGrab() override;

    QSize screenSize() override;
    bool grab(const QRect &rect, QImage &image) override;
    QPoint cursorPos() override;
    std::unique_ptr<ScreenBackdrop> createBackdrop(QWidget *window, const QImage &image) override;

    // Whether grabs go through shared memory (the extension is there and the
    // server could attach our memory); known after the first grab.
    bool usesSharedMemory() const;

    struct SegmentPool;

private:
    QRect primaryMonitor();
    bool grabRootArea(const QRect &area, QImage &image);

    std::shared_ptr<SegmentPool> m_pool;
};

} // namespace platform
