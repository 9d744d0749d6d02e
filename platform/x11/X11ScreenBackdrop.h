#pragma once

#include "../ScreenBackdrop.h"

#include <memory>

class QImage;
class QWidget;

namespace platform::x11 {

// The X11 backdrop: a child window of `window` covering it from its top-left
// corner, lowest of its children, whose background is a server pixmap of
// `image`; the outline is drawn into it with the inverted-xor function.
// `shmSegment` is the server's id of the shared-memory segment that holds the
// image's pixels (0 if none): the pixmap then uses that memory or is filled
// from it by the server. Null when the image is not in the window's own pixel
// format or the server refuses.
std::unique_ptr<ScreenBackdrop> createScreenBackdrop(QWidget *window, const QImage &image,
                                                     unsigned long shmSegment);

} // namespace platform::x11
