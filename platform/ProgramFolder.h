#pragma once

#include <QString>

namespace platform {

// The folder of the running executable: the settings file and the help file live there.
QString programFolder();

// Tests run the program's code inside their own executable; they point the
// program folder at a temporary folder of theirs. An empty path restores the default.
void setProgramFolderForTesting(const QString &folder);

// The full path of a file named `fileName` in the program folder.
QString programFile(const QString &fileName);

} // namespace platform
