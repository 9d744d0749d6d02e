#include "SelectionSource.h"

#include "Desktop.h"

#include <QDeadlineTimer>
#include <QTest>

SelectionSource::SelectionSource(const QStringList &arguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(SELECTION_SOURCE), arguments);
}

SelectionSource::~SelectionSource()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

void SelectionSource::readOutput()
{
    while (m_process.canReadLine()) {
        const QByteArray line = m_process.readLine().trimmed();
        if (line == "copied")
            ++m_copies;
        else if (line.startsWith("key "))
            m_keys.append({line.startsWith("key press "), line.split(' ').last().toInt()});
        else if (!m_window)
            m_window = line.toULongLong();
    }
}

bool SelectionSource::waitForWindow(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!m_window && !deadline.hasExpired()) {
        m_process.waitForReadyRead(50);
        readOutput();
    }
    // The window manager has taken the window when it carries WM_STATE.
    while (m_window && !deadline.hasExpired()) {
        if (Desktop::run(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(m_window),
                                                   QStringLiteral("WM_STATE")})
                .contains(QLatin1String("window state")))
            return true;
        QTest::qWait(20);
    }
    return false;
}

int SelectionSource::copies()
{
    readOutput();
    return m_copies;
}

QList<QPair<bool, int>> SelectionSource::keyEvents()
{
    readOutput();
    return m_keys;
}
