// The command line, from outside: copies of the executable started as a
// desktop's hotkey daemon would start them, beside a running copy, with real
// programs as the source of the selection. The session starts without a
// notification area; the tests that want one start it.
#include "tests/support/Desktop.h"
#include "tests/support/Mousepad.h"
#include "tests/support/PdfText.h"
#include "tests/support/ProgramCopy.h"
#include "tests/support/TestFolder.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

namespace {

const QByteArray SourceText = "Words of the focused window";

// The title of the start-up messages (the application title).
const QString NoticeTitle = QStringLiteral("Quillet!");

QProcessEnvironment environment(const QStringList &set = {}, const QStringList &unset = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &assignment : set)
        env.insert(assignment.section(u'=', 0, 0), assignment.section(u'=', 1));
    for (const QString &name : unset)
        env.remove(name);
    return env;
}

// The text in the editor window, copied out of it as a user would.
QString editorText(qulonglong editor)
{
    Desktop::run("xdotool", {"windowactivate", "--sync", QString::number(editor), "key",
                             "--clearmodifiers", "ctrl+a", "ctrl+c"});
    QString text;
    const bool copied = QTest::qWaitFor(
        [&] {
            text = Desktop::run("xclip", {"-o", "-selection", "clipboard"});
            return !text.isEmpty();
        },
        10000);
    return copied ? text : QStringLiteral("(nothing could be copied from the editor)");
}

// True when the process `pid` has a library whose file name starts with `name` loaded.
bool mapsLibrary(qint64 pid, const QByteArray &name)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        if (line.mid(line.lastIndexOf('/') + 1).startsWith(name))
            return true;
    }
    return false;
}

} // namespace

class tst_Commands : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void commandLine_data();
    void commandLine();
    void editCopiesFromFocusedWindow_data();
    void editCopiesFromFocusedWindow();
    void printGoesThroughQueue();
    void editStartsCopyFirst();
    void noTrayNoticeOnceThenDocks();
    void waylandNoticeOnce_data();
    void waylandNoticeOnce();

private:
    void startTray();

    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<ProgramCopy> m_program;
    QProcess m_tray;
};

void tst_Commands::init()
{
    m_folder = std::make_unique<TestFolder>();
    m_program = std::make_unique<ProgramCopy>(*m_folder, QStringLiteral(QUILLET_EXE),
                                              QStringLiteral(QUILLET_HELP));
    QVERIFY(m_program->ok());
    if (QTest::currentTestFunction() != QLatin1String("noTrayNoticeOnceThenDocks"))
        startTray();
}

void tst_Commands::cleanup()
{
    m_program.reset();
    QTRY_VERIFY_WITH_TIMEOUT(Desktop::trayIcons().isEmpty(), 10000);
    m_tray.kill();
    m_tray.waitForFinished();
    QTRY_VERIFY_WITH_TIMEOUT(Desktop::windowsOfClass("trayer").isEmpty(), 10000);
    m_folder.reset();
}

void tst_Commands::startTray()
{
    m_tray.setStandardOutputFile(QProcess::nullDevice());
    m_tray.setStandardErrorFile(QProcess::nullDevice());
    m_tray.start(qEnvironmentVariable("QUILLET_START_TRAY"), {});
    QTRY_VERIFY_WITH_TIMEOUT(!Desktop::windowsOfClass("trayer").isEmpty(), 20000);
}

void tst_Commands::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("unset");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");   // pattern the standard output must match
    QTest::addColumn<QString>("error"); // pattern the standard error must match

    const QString usage = "Usage: quillet \\[COMMAND\\]\n(.*\n)*  --print .*\n(.*\n)*  --options ";
    const QString none = "^$";
    QTest::newRow("help") << QStringList{"--help"} << QStringList{} << 0 << "^" + usage << none;
    QTest::newRow("help without a display")
        << QStringList{"--help"} << QStringList{"DISPLAY"} << 0 << "^" + usage << none;
    QTest::newRow("version") << QStringList{"--version"} << QStringList{} << 0
                             << "^quillet " QUILLET_VERSION "\n$" << none;
    QTest::newRow("unknown option") << QStringList{"--bogus"} << QStringList{} << 2 << none
                                    << "^quillet: unknown option '--bogus'\n" + usage;
    QTest::newRow("stray argument") << QStringList{"notes.txt"} << QStringList{} << 2 << none
                                    << "^quillet: unexpected argument 'notes.txt'\n" + usage;
    QTest::newRow("two commands") << QStringList{"--print", "--save"} << QStringList{} << 2 << none
                                  << "^quillet: only one command at a time \\('--save'\\)\n" +
                                         usage;
    QTest::newRow("no display") << QStringList{} << QStringList{"DISPLAY"} << 1 << none
                                << "^quillet: no X display";
}

void tst_Commands::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, unset);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, error);

    // None of these starts a copy: each ends by itself.
    const ProgramCopy::Run run = m_program->run(arguments, environment({}, unset));
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(QRegularExpression(out).match(QString::fromLocal8Bit(run.out)).hasMatch(),
             run.out.constData());
    QVERIFY2(QRegularExpression(error).match(QString::fromLocal8Bit(run.err)).hasMatch(),
             run.err.constData());
    QVERIFY(Desktop::trayIcons().isEmpty());
}

void tst_Commands::editCopiesFromFocusedWindow_data()
{
    // The program itself, and the launcher installed as the command, which
    // hands the command over without the program (it finds none in the build
    // tree to run instead, so it succeeds only by reaching the running copy).
    QTest::addColumn<QString>("executable");
    QTest::newRow("program") << QString();
    QTest::newRow("launcher") << QStringLiteral(QUILLET_LAUNCHER);
}

void tst_Commands::editCopiesFromFocusedWindow()
{
    QFETCH(QString, executable);
    m_program->start();
    QVERIFY(Desktop::waitForTrayIcon());

    // The user works in mousepad while another program's window lies on
    // top of it without the focus (focus given without raising, as with
    // focus-follows-mouse or a window kept above the others).
    QProcess other;
    other.start("xterm", {"-title", "window on top"});
    const auto stopOther = qScopeGuard([&other] {
        other.kill();
        other.waitForFinished();
    });
    const qulonglong top = Desktop::waitForWindow("window on top");
    QVERIFY(top);
    Mousepad mousepad(SourceText);
    QVERIFY2(mousepad.waitForWindow(), "mousepad did not show its window");
    mousepad.selectAll();
    Desktop::run("xdotool", {"windowactivate", "--sync", QString::number(top)});
    Desktop::run("xdotool", {"windowfocus", "--sync", QString::number(mousepad.window())});
    QTRY_COMPARE_WITH_TIMEOUT(Desktop::activeWindow(), mousepad.window(), 10000);
    const QString stacking = Desktop::run("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"});
    const auto place = [&](qulonglong w) { return stacking.indexOf(QString::number(w, 16)); };
    QVERIFY2(place(top) > place(mousepad.window()), qPrintable(stacking)); // bottom to top

    const ProgramCopy::Run run = executable.isEmpty()
                                     ? m_program->run({"--edit"})
                                     : ProgramCopy::runExecutable(executable, {"--edit"});
    QVERIFY(run.finished);
    QVERIFY2(run.exitCode == 0, run.err.constData());
    const qulonglong editor = Desktop::waitForWindow("Quillet! Text Editor");
    QVERIFY(editor);
    QCOMPARE(editorText(editor), QString::fromUtf8(SourceText));
    QCOMPARE(Desktop::trayIcons().size(), 1);
}

void tst_Commands::printGoesThroughQueue()
{
    if (qEnvironmentVariableIsSet("QUILLET_CUPS_SKIP"))
        QSKIP(qPrintable(QStringLiteral("no print service for this test: ") +
                         qEnvironmentVariable("QUILLET_CUPS_SKIP")));
    m_folder->write("Quillet.ini", "[Settings]\npdialog=0\nhead=Hotkey print\n");
    m_program->start();
    QVERIFY(Desktop::waitForTrayIcon());
    // Idle, the copy has not opened the print service, though there is a
    // printer: its libraries would cost memory for as long as it runs.
    const qint64 pid = m_program->process().processId();
    QVERIFY(!mapsLibrary(pid, "libcups"));
    Mousepad mousepad(SourceText);
    QVERIFY2(mousepad.waitForWindow(), "mousepad did not show its window");
    mousepad.selectAll();

    const QDateTime start = QDateTime::currentDateTime().addSecs(-1);
    const ProgramCopy::Run run = m_program->run({"--print"});
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 0);

    const QString folder = PdfText::queueOutputFolder();
    QStringList files;
    QTRY_VERIFY_WITH_TIMEOUT((files = PdfText::pdfsNewerThan(folder, start),
                              files.size() == 1 && PdfText::pageCount(files[0]) == 1),
                             90000);
    const auto removeOutput = qScopeGuard([&files] { QFile::remove(files[0]); });
    const QString text = PdfText::pages(files[0]).value(0);
    QVERIFY2(text.contains(QString::fromUtf8(SourceText)), qPrintable(text));
    QVERIFY2(text.contains("Hotkey print"), qPrintable(text));
    QVERIFY(mapsLibrary(pid, "libcups"));
    // A print shows no editor.
    QVERIFY(Desktop::windowsNamed("Quillet! Text Editor").isEmpty());
}

void tst_Commands::editStartsCopyFirst()
{
    Mousepad mousepad(SourceText);
    QVERIFY2(mousepad.waitForWindow(), "mousepad did not show its window");
    mousepad.selectAll();

    // No copy runs: the command's own process becomes the running copy.
    m_program->start({"--edit"});
    const qulonglong editor = Desktop::waitForWindow("Quillet! Text Editor", 30000);
    QVERIFY(editor);
    QCOMPARE(editorText(editor), QString::fromUtf8(SourceText));
    QVERIFY(Desktop::waitForTrayIcon());
    QCOMPARE(m_program->process().state(), QProcess::Running);

    // A later command goes to it.
    const ProgramCopy::Run run = m_program->run({"--options"});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(Desktop::waitForWindow("Quillet! Options"));
    QCOMPARE(Desktop::trayIcons().size(), 1);
}

void tst_Commands::noTrayNoticeOnceThenDocks()
{
    m_program->start();
    QVERIFY(Desktop::waitForWindow(NoticeTitle, 30000));

    const ProgramCopy::Run view = m_program->run({"--view"});
    QVERIFY(view.finished);
    QCOMPARE(view.exitCode, 0);
    QVERIFY(Desktop::waitForWindow("Quillet! Text Editor"));
    const ProgramCopy::Run plain = m_program->run({});
    QCOMPARE(plain.exitCode, 0);
    QCOMPARE(Desktop::windowsNamed(NoticeTitle).size(), 1);
    QCOMPARE(m_program->process().state(), QProcess::Running);

    startTray();
    QVERIFY(Desktop::waitForTrayIcon());
    QCOMPARE(Desktop::windowsNamed(NoticeTitle).size(), 1);
}

void tst_Commands::waylandNoticeOnce_data()
{
    QTest::addColumn<QStringList>("set");
    QTest::newRow("session type") << QStringList{"XDG_SESSION_TYPE=wayland"};
    QTest::newRow("display name") << QStringList{"WAYLAND_DISPLAY=wayland-7"};
}

void tst_Commands::waylandNoticeOnce()
{
    QFETCH(QStringList, set);
    const QProcessEnvironment env = environment(set);
    m_program->start({}, env);
    QVERIFY(Desktop::waitForWindow(NoticeTitle, 30000));
    QVERIFY(Desktop::waitForTrayIcon());

    const ProgramCopy::Run options = m_program->run({"--options"}, env);
    QCOMPARE(options.exitCode, 0);
    QVERIFY(Desktop::waitForWindow("Quillet! Options"));
    QCOMPARE(Desktop::windowsNamed(NoticeTitle).size(), 1);
    QCOMPARE(m_program->process().state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(tst_Commands)
#include "tst_Commands.moc"
