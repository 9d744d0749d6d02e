#pragma once

#include <QString>

namespace platform {

// The program's entry in the desktop session's autostart folder
// ($XDG_CONFIG_HOME/autostart, by default ~/.config/autostart), which starts
// the program when the user logs in.
//
// The entry is never removed: switching start at login off keeps the file and
// marks it hidden, which every XDG session honours; switching it on again
// rewrites it enabled. A folder or file that cannot be written is ignored
// (write() returns false and nothing is reported).
class AutostartEntry {
public:
    // The entry file's full path.
    static QString path();
    // The desktop-entry text that starts `executable` (hidden when `enabled`
    // is false).
    static QByteArray contents(const QString &executable, bool enabled);
    // The executable path as one argument of the entry's command line.
    static QString quotedCommand(const QString &executable);
    // Writes the entry for `executable`; false when it could not be written.
    static bool write(const QString &executable, bool enabled);
};

} // namespace platform
