#include "Firefox.h"

#include "Desktop.h"

#include <QTest>
#include <QUrl>

Firefox::Firefox(const QString &page)
{
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(QStringLiteral("firefox-esr"),
                    {QStringLiteral("--no-remote"), QStringLiteral("--new-instance"),
                     QStringLiteral("--profile"), m_profile.path(),
                     QUrl::fromLocalFile(page).toString()});
}

Firefox::~Firefox()
{
    m_process.terminate();
    if (!m_process.waitForFinished(15000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool Firefox::waitForPage(const QString &title)
{
    return QTest::qWaitFor(
        [&] {
            for (const qulonglong w : Desktop::windowsOfClass(QStringLiteral("firefox-esr"))) {
                if (Desktop::windowName(w).startsWith(title)) {
                    m_window = w;
                    return true;
                }
            }
            return false;
        },
        180000);
}

void Firefox::selectAll()
{
    const QRect frame = Desktop::geometry(m_window);
    Desktop::click(m_window, frame.width() - 40, frame.height() - 40);
    Desktop::run(QStringLiteral("xdotool"),
                 {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                  QString::number(m_window), QStringLiteral("key"),
                  QStringLiteral("--clearmodifiers"), QStringLiteral("ctrl+a")});
}
