#include "Services.h"

#include "x11/X11Services.h"

namespace platform {

Services &services()
{
    // The program runs on X11 desktops; this is the one place that says so.
    static X11Services instance;
    return instance;
}

} // namespace platform
