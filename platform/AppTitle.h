#pragma once

#include <QString>

namespace platform {

// The application title: caption of message boxes and of the taskbar entry.
inline QString appTitle()
{
    return QStringLiteral("Quillet!");
}

} // namespace platform
