#pragma once

#include <QString>
#include <QStringList>

// How the capture takes the selection from the user's window.
enum class CopyMethod {
    CtrlC,      // the usual copy key
    CtrlShiftC, // terminals: Ctrl+C would interrupt the program running in them
    Primary,    // terminals without a copy key: what the user highlighted
};

// The method for a window of class `windowClass` (its instance and class
// names, compared without regard to case). `extraTerminals` is the user's
// list of further terminal classes, separated by commas, semicolons or
// blanks; a name followed by ":primary" is a terminal without a copy key.
// The user's entries take precedence over the known terminals.
CopyMethod copyMethodFor(const QStringList &windowClass, const QString &extraTerminals);
