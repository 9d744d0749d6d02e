#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

class TestFolder;

// A copy of the program's executable and help file in a test folder, run as
// a process of its own with the folder's settings file.
class ProgramCopy {
public:
    // Copies the executable and the help file into `folder`; check ok().
    ProgramCopy(const TestFolder &folder, const QString &executable, const QString &helpFile);
    ~ProgramCopy();
    ProgramCopy(const ProgramCopy &) = delete;
    ProgramCopy &operator=(const ProgramCopy &) = delete;

    bool ok() const { return m_ok; }
    QString path() const { return m_path; }

    // Starts the long-running copy.
    void start(const QStringList &arguments = {},
               const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
    QProcess &process() { return m_process; }
    void stop();

    // A short run of another copy that must end by itself within 15 s.
    struct Run {
        bool finished = false;
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };
    Run run(const QStringList &arguments,
            const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment()) const;
    // The same for another executable, such as the launcher.
    static Run
    runExecutable(const QString &executable, const QStringList &arguments,
                  const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

private:
    QString m_path;
    bool m_ok = false;
    QProcess m_process;
};
