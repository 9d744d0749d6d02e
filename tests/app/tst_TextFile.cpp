// The text files of the save command: the format a name asks for, the
// plain-text form of a document, and writing that never leaves a damaged file.
#include "app/TextFile.h"
#include "platform/AppError.h"
#include "tests/support/TestFolder.h"

#include <QFile>
#include <QProcess>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

#include <csignal>

class tst_TextFile : public QObject {
    Q_OBJECT
private slots:
    void formatFor_data();
    void formatFor();
    void plainText_data();
    void plainText();
    void refusedWriteKeepsFile_data();
    void refusedWriteKeepsFile();
    void killedWriterNeverDamagesFile();
};

void tst_TextFile::formatFor_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("filter");
    QTest::addColumn<bool>("rich");
    QTest::newRow(".rtf under the Text filter") << "/t/a.rtf" << 2 << true;
    QTest::newRow(".txt under the RTF filter") << "/t/a.txt" << 1 << false;
    QTest::newRow(".htm under the RTF filter") << "/t/a.htm" << 1 << false;
    QTest::newRow(".TXT under the RTF filter") << "/t/a.TXT" << 1 << true;
    QTest::newRow(".TXT under the Text filter") << "/t/a.TXT" << 2 << false;
    QTest::newRow(".html under the RTF filter") << "/t/a.html" << 1 << true;
    QTest::newRow("no extension, Any") << "/t/notes" << 4 << false;
    QTest::newRow("short name") << "rtf" << 3 << false;
}

void tst_TextFile::formatFor()
{
    QFETCH(QString, name);
    QFETCH(int, filter);
    QFETCH(bool, rich);
    QCOMPARE(TextFile::formatFor(name, filter) == TextFile::Format::Rich, rich);
}

void tst_TextFile::plainText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("lines") << "one\ntwo" << QByteArray("one\r\ntwo\r\n");
    QTest::newRow("empty lines kept") << "\none\n\n" << QByteArray("\r\none\r\n\r\n\r\n");
    QTest::newRow("empty document") << "" << QByteArray("\r\n");
    QTest::newRow("line break inside a paragraph")
        << QString("a") + QChar::LineSeparator + "b" << QByteArray("a\r\nb\r\n");
    QTest::newRow("UTF-8") << QString::fromUtf8("Ünïcode – 日本")
                           << QByteArray("\xC3\x9Cn\xC3\xAF"
                                         "code \xE2\x80\x93 "
                                         "\xE6\x97\xA5\xE6\x9C"
                                         "\xAC\r\n");
}

void tst_TextFile::plainText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QTextDocument document;
    QTextCursor(&document).insertText(text);
    QCOMPARE(TextFile::crlfText(TextFile::documentLines(document)), bytes);
}

void tst_TextFile::refusedWriteKeepsFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("read-only file") << "old.txt";
    QTest::newRow("missing folder") << "gone/new.txt";
    QTest::newRow("a folder") << ".";
}

void tst_TextFile::refusedWriteKeepsFile()
{
    QFETCH(QString, target);
    TestFolder folder;
    folder.write("old.txt", "old content\r\n");
    QFile::setPermissions(folder.file("old.txt"), QFile::ReadOwner | QFile::ReadGroup);
    const QString path = folder.file(target);
    try {
        TextFile::write(path, "new content\r\n");
        QFAIL("a refused write was reported as done");
    } catch (const platform::AppError &e) {
        QVERIFY2(e.message().contains(path), qPrintable(e.message()));
    }
    QCOMPARE(folder.read("old.txt"), QByteArray("old content\r\n"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList{"old.txt"});
}

void tst_TextFile::killedWriterNeverDamagesFile()
{
    TestFolder folder;
    const QString path = folder.file("big.txt");
    const QByteArray old = "the old document\r\n";
    folder.write("big.txt", old);
    for (int round = 0; round < 15; ++round) {
        QProcess writer;
        writer.start(TEXT_WRITER, {path});
        QVERIFY(writer.waitForReadyRead(10000));
        // Let it write for a varying while, then kill it without warning.
        QTest::qWait(3 + 11 * round);
        ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
        QVERIFY(writer.waitForFinished(10000));

        // Either the old document or one round's whole document, never a
        // cut or a mixture.
        const QByteArray text = folder.read("big.txt");
        if (text == old)
            continue;
        const QByteArray line = text.left(text.indexOf('\n') + 1);
        QVERIFY2(line.startsWith("round ") && line.endsWith(" of the document\r\n"),
                 line.constData());
        QVERIFY2(text == line.repeated(50000), qPrintable(QString::number(text.size())));
    }
}
QTEST_GUILESS_MAIN(tst_TextFile)
#include "tst_TextFile.moc"
