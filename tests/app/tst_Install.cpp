// cmake --install into a temporary prefix: the program, its help file, the
// desktop entry and the icon files land where the freedesktop
// specifications (desktop entry, icon theme) and the command path expect them.
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Result {
    int exitCode = -1;
    QByteArray output;
};

Result run(const QString &program, const QStringList &arguments)
{
    QProcess process;
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
    // The command on the PATH leads to the program's own folder, where its
    // help file lies beside it.
    const QFileInfo command(file("bin/quillet"));
    QVERIFY(command.isSymLink());
    QCOMPARE(QFileInfo(command.symLinkTarget()).canonicalFilePath(),
             QFileInfo(file("libexec/quillet/quillet")).canonicalFilePath());
    QVERIFY(QFileInfo(file("libexec/quillet/quillet.html")).size() > 0);
    const Result version = run(command.filePath(), {"--version"});
    QCOMPARE(version.exitCode, 0);
    QVERIFY(version.output.startsWith("quillet "));

    const QString entry = file("share/applications/quillet.desktop");
    const Result valid = run(QStringLiteral("desktop-file-validate"), {entry});
    QVERIFY2(valid.exitCode == 0 && valid.output.isEmpty(), valid.output.constData());
    QFile text(entry);
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QByteArray content = text.readAll();
    QVERIFY(content.contains("\nExec=quillet\n"));
    QVERIFY(content.contains("\nIcon=quillet\n"));
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
