#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace platform {

namespace {
QString &testFolder()
{
    static QString folder;
    return folder;
}
} // namespace

void setProgramFolderForTesting(const QString &folder)
{
    testFolder() = folder;
}

QString programFolder()
{
    if (!testFolder().isEmpty())
        return testFolder();
    // applicationDirPath() needs a QCoreApplication; fall back to /proc for
    // code that runs before one exists.
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

QString programFile(const QString &fileName)
{
    return QDir(programFolder()).filePath(fileName);
}

} // namespace platform
