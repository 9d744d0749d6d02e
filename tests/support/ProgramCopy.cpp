#include "ProgramCopy.h"

#include "TestFolder.h"

#include <QFile>

ProgramCopy::ProgramCopy(const TestFolder &folder, const QString &executable,
                         const QString &helpFile)
    : m_path(folder.file(QStringLiteral("quillet")))
{
    m_ok = QFile::copy(executable, m_path) &&
           QFile::copy(helpFile, folder.file(QStringLiteral("quillet.html")));
}

ProgramCopy::~ProgramCopy()
{
    stop();
}

void ProgramCopy::start(const QStringList &arguments, const QProcessEnvironment &env)
{
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(m_path, arguments);
}

void ProgramCopy::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
}

ProgramCopy::Run ProgramCopy::run(const QStringList &arguments,
                                  const QProcessEnvironment &env) const
{
    return runExecutable(m_path, arguments, env);
}

ProgramCopy::Run ProgramCopy::runExecutable(const QString &executable, const QStringList &arguments,
                                            const QProcessEnvironment &env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(executable, arguments);
    Run result;
    result.finished =
        process.waitForFinished(15000) && process.exitStatus() == QProcess::NormalExit;
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
    }
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}
