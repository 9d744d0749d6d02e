#include "Mousepad.h"

#include "Desktop.h"

#include <QFile>
#include <QTest>

Mousepad::Mousepad(const QByteArray &content)
{
    m_file = m_dir.filePath(QStringLiteral("notes.txt"));
    QFile f(m_file);
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
    f.close();
    // Without a session bus it complains about its settings store.
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(QStringLiteral("mousepad"), {m_file});
}

Mousepad::~Mousepad()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool Mousepad::waitForWindow()
{
    return QTest::qWaitFor(
        [this] {
            const auto found = Desktop::windowsOfClass(QStringLiteral("Mousepad"));
            m_window = found.isEmpty() ? 0 : found.first();
            return m_window != 0;
        },
        30000);
}

void Mousepad::selectAll()
{
    Desktop::pressKeys(m_window, QStringLiteral("ctrl+a"));
}
