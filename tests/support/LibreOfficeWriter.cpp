#include "LibreOfficeWriter.h"

#include "Desktop.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

namespace {

const QString DocumentName = QStringLiteral("capture.rtf");

// Settings of a fresh profile: no tip of the day and no first-start
// questions over the document.
const char FreshProfile[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
    "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
    "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop "
    "oor:name=\"ShowTipOfTheDay\" oor:op=\"fuse\"><value>false</value></prop></item>\n"
    "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop "
    "oor:name=\"FirstRun\" oor:op=\"fuse\"><value>false</value></prop></item>\n"
    "</oor:items>\n";

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

LibreOfficeWriter::LibreOfficeWriter(const QByteArray &rtf)
{
    const QString profile = m_dir.filePath(QStringLiteral("profile"));
    const QString document = m_dir.filePath(DocumentName);
    if (!QDir().mkpath(profile + QStringLiteral("/user")) ||
        !writeFile(profile + QStringLiteral("/user/registrymodifications.xcu"), FreshProfile) ||
        !writeFile(document, rtf))
        return;
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(
        QStringLiteral("soffice"),
        {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(),
         QStringLiteral("--norestore"), QStringLiteral("--nologo"), QStringLiteral("--writer"),
         document});
}

LibreOfficeWriter::~LibreOfficeWriter()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    // The launcher ends the office process it started when it is asked to end.
    m_process.terminate();
    if (!m_process.waitForFinished(15000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool LibreOfficeWriter::canShowWindows()
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        return false;
    const QDir program = QFileInfo(QFileInfo(soffice).canonicalFilePath()).dir();
    return !program.entryList({QStringLiteral("libvclplug_*")}).isEmpty();
}

bool LibreOfficeWriter::waitForDocument()
{
    return QTest::qWaitFor(
        [&] {
            for (const qulonglong w :
                 Desktop::windowsOfClass(QStringLiteral("libreoffice-writer"))) {
                if (Desktop::windowName(w).startsWith(DocumentName)) {
                    m_window = w;
                    return true;
                }
            }
            return false;
        },
        180000);
}

void LibreOfficeWriter::selectAll()
{
    Desktop::pressKeys(m_window, QStringLiteral("ctrl+a"));
}
