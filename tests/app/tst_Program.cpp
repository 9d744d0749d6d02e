// The whole program, from outside: a copy of the executable in its own
// folder, driven through the session's real notification area with real
// mouse clicks and key presses.
#include "tests/support/Desktop.h"
#include "tests/support/ProgramCopy.h"
#include "tests/support/TestFolder.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

#include <memory>

using Desktop::waitForTrayIcon;
using Desktop::waitForWindow;

class tst_Program : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void leftClickOpensCentredOptions();
    void leftClickReadsActionAfresh();
    void secondCopyBringsFirstForward();
    void helpOpensTopic();
    void exitRemovesIcon();

private:
    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<ProgramCopy> m_program;
};

void tst_Program::init()
{
    m_folder = std::make_unique<TestFolder>();
    m_program = std::make_unique<ProgramCopy>(*m_folder, QStringLiteral(QUILLET_EXE),
                                              QStringLiteral(QUILLET_HELP));
    QVERIFY(m_program->ok());
}

void tst_Program::cleanup()
{
    m_program.reset();
    // The icon of a stopped copy must be gone before the next test starts one.
    QTRY_VERIFY_WITH_TIMEOUT(Desktop::trayIcons().isEmpty(), 10000);
    m_folder.reset();
}

void tst_Program::leftClickOpensCentredOptions()
{
    QVERIFY(!QFile::exists(m_folder->iniPath()));
    m_program->start();
    const qulonglong icon = waitForTrayIcon();
    QVERIFY(icon);
    Desktop::click(icon, 5, 5);
    const qulonglong options = waitForWindow("Quillet! Options");
    QVERIFY(options);
    const QRect frame = Desktop::geometry(options);
    QCOMPARE(frame.x(), Desktop::screenSize().width() / 2 - frame.width() / 2);
    QVERIFY(!QFile::exists(m_folder->iniPath())); // showing options writes nothing
}

void tst_Program::leftClickReadsActionAfresh()
{
    m_folder->write("Quillet.ini", "[Settings]\nlc=print\n");
    m_program->start();
    const qulonglong icon = waitForTrayIcon();
    // A click with an unknown action does nothing; the click after it, once
    // the file says "View Editor", shows the editor. Clicks are handled in
    // order, so when the editor is up the first click's turn has passed.
    Desktop::click(icon, 5, 5);
    m_folder->write("Quillet.ini", "[Settings]\nlc=View Editor\n");
    Desktop::click(icon, 5, 5);
    QVERIFY(waitForWindow("Quillet! Text Editor"));
    QVERIFY(Desktop::windowsNamed("Quillet! Options").isEmpty());
}

void tst_Program::secondCopyBringsFirstForward()
{
    m_program->start();
    const qulonglong icon = waitForTrayIcon();
    Desktop::click(icon, 5, 5);
    const qulonglong options = waitForWindow("Quillet! Options");

    // Another program takes the focus.
    QProcess xterm;
    xterm.start("xterm", {"-title", "other program"});
    const qulonglong other = waitForWindow("other program");
    QTRY_COMPARE_WITH_TIMEOUT(Desktop::activeWindow(), other, 10000);

    const ProgramCopy::Run second = m_program->run({});
    QVERIFY(second.finished);
    QCOMPARE(second.exitCode, 0);

    QTRY_COMPARE_WITH_TIMEOUT(Desktop::activeWindow(), options, 10000);
    QCOMPARE(Desktop::trayIcons().size(), 1);
    QCOMPARE(m_program->process().state(), QProcess::Running);
    xterm.kill();
    xterm.waitForFinished();
}

void tst_Program::helpOpensTopic()
{
    // A stand-in for the desktop's URL opener records what it is asked to open.
    const QString bin = m_folder->file("bin");
    QVERIFY(QDir().mkpath(bin));
    const QString record = m_folder->file("opened.txt");
    m_folder->write("bin/xdg-open", "#!/bin/sh\necho \"$@\" > " + record.toUtf8() + ".part && mv " +
                                        record.toUtf8() + ".part " + record.toUtf8() + "\n");
    QFile::setPermissions(m_folder->file("bin/xdg-open"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PATH", bin + ":" + env.value("PATH"));
    m_program->start({}, env);

    const qulonglong icon = waitForTrayIcon();
    Desktop::click(icon, 5, 5, 3);
    // The menu has the keyboard: "h" is the accelerator of "&Help".
    QTRY_VERIFY_WITH_TIMEOUT(!Desktop::popupMenus("quillet").isEmpty(), 10000);
    Desktop::run("xdotool", {"key", "--delay", "0", "h"});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
    const QString opened = QString::fromUtf8(m_folder->read("opened.txt")).trimmed();
    QCOMPARE(QUrl(opened),
             QUrl::fromLocalFile(m_folder->file("quillet.html")).resolved(QUrl("#topic-2")));
}

void tst_Program::exitRemovesIcon()
{
    m_program->start();
    const qulonglong icon = waitForTrayIcon();
    Desktop::click(icon, 5, 5, 3);
    QTRY_VERIFY_WITH_TIMEOUT(!Desktop::popupMenus("quillet").isEmpty(), 10000);
    // "&Exit" shares its accelerator with "&Edit this now!"; Up from the top
    // of the menu wraps round to the last item, which is "&Exit".
    Desktop::run("xdotool", {"key", "--delay", "0", "Up", "Return"});
    QVERIFY(m_program->process().waitForFinished(10000));
    QCOMPARE(m_program->process().exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(Desktop::trayIcons().isEmpty(), 10000);
}

QTEST_GUILESS_MAIN(tst_Program)
#include "tst_Program.moc"
