// cmake --install into a temporary prefix: the program, its help file, the
// desktop entry and the icon files land where application menus, icon
// lookups and the command path expect them;
// the command on the PATH hands commands to a running copy and runs the
// program for everything else.
#include "platform/SingleInstance.h"

#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Result {
    int exitCode = -1;
    QByteArray output;
};

Result run(const QString &program, const QStringList &arguments,
           const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAll()};
}

} // namespace

class tst_Install : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void programAndDesktopEntry();
    void command_data();
    void command();
    void icons_data();
    void icons();

private:
    QTemporaryDir m_prefix;
    QString file(const QString &name) const { return m_prefix.filePath(name); }
};

void tst_Install::initTestCase()
{
    QVERIFY(m_prefix.isValid());
    const Result install = run(QStringLiteral("cmake"), {"--install", QStringLiteral(BUILD_DIR),
                                                         "--prefix", m_prefix.path()});
    QVERIFY2(install.exitCode == 0, install.output.constData());
}

void tst_Install::programAndDesktopEntry()
{
    // The command on the PATH is the launcher; the program has a folder of
    // its own, where its help file lies beside it.
    const QFileInfo command(file("bin/quillet"));
    QVERIFY(!command.isSymLink());
    QVERIFY(command.isExecutable());
    QCOMPARE(command.size(), QFileInfo(QStringLiteral(LAUNCHER)).size());
    QVERIFY(QFileInfo(file("libexec/quillet/quillet")).isExecutable());
    QVERIFY(QFileInfo(file("libexec/quillet/quillet.html")).size() > 0);

    const QString entry = file("share/applications/quillet.desktop");
    const Result valid = run(QStringLiteral("desktop-file-validate"), {entry});
    QVERIFY2(valid.exitCode == 0 && valid.output.isEmpty(), valid.output.constData());
    QFile text(entry);
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QByteArray content = text.readAll();
    QVERIFY(content.contains("\nExec=quillet\n"));
    QVERIFY(content.contains("\nIcon=quillet\n"));
}

void tst_Install::command_data()
{
    // Arguments, whether a copy runs, the request it must receive; without
    // one the launcher runs the program, which answers as when run directly.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("copyRuns");
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("version") << QStringList{"--version"} << false << QByteArray();
    QTest::newRow("help, a copy running") << QStringList{"--help"} << true << QByteArray();
    QTest::newRow("unknown option") << QStringList{"--bogus"} << false << QByteArray();
    QTest::newRow("two commands") << QStringList{"--edit", "--print"} << true << QByteArray();
    QTest::newRow("no display") << QStringList{"--edit"} << false << QByteArray();
    QTest::newRow("edit, a copy running") << QStringList{"--edit"} << true << QByteArray("edit");
    QTest::newRow("options, a copy running")
        << QStringList{"--options"} << true << QByteArray("options");
}

void tst_Install::command()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, copyRuns);
    QFETCH(QByteArray, request);

    // A display of its own, so that no copy of the session is reached.
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.remove("QT_QPA_PLATFORM"); // the X11 one, which needs a display
    if (copyRuns)
        env.insert("DISPLAY", ":quillet-install-test");
    else
        env.remove("DISPLAY");
    // This test is the running copy, with the program's own listening side.
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    qputenv("DISPLAY", ":quillet-install-test");
    platform::SingleInstance copy;
    if (copyRuns)
        QVERIFY(copy.claim(platform::SingleInstance::defaultKey()));
    QSignalSpy requests(&copy, &platform::SingleInstance::requestReceived);

    const Result launched = run(file("bin/quillet"), arguments, env);
    if (request.isEmpty()) {
        const Result direct = run(file("libexec/quillet/quillet"), arguments, env);
        QCOMPARE(launched.exitCode, direct.exitCode);
        QCOMPARE(launched.output, direct.output);
        QVERIFY(launched.exitCode >= 0);
        QCOMPARE(requests.size(), 0);
    } else {
        QVERIFY2(launched.exitCode == 0, launched.output.constData());
        QTRY_COMPARE(requests.size(), 1);
        QCOMPARE(requests[0][0].toByteArray(), request);
    }
}

void tst_Install::icons_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        QTest::addRow("%dx%d", size, size) << size;
}

void tst_Install::icons()
{
    QFETCH(int, size);
    const QImage icon(file(QStringLiteral("share/icons/hicolor/%1x%1/apps/quillet.png").arg(size)));
    QCOMPARE(icon.size(), QSize(size, size));
    // Drawn on a transparent ground: a clear corner, an opaque middle.
    QVERIFY(icon.hasAlphaChannel());
    QCOMPARE(qAlpha(icon.pixel(0, size - 1)), 0);
    QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255);
}

QTEST_GUILESS_MAIN(tst_Install)
#include "tst_Install.moc"
