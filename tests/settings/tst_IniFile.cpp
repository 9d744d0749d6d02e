#include "settings/IniFile.h"

#include "platform/AppError.h"
#include "tests/support/ByteDiff.h"
#include "tests/support/TestFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

#include <csignal>

class tst_IniFile : public QObject {
    Q_OBJECT
private slots:
    void missingFileGivesDefaults();
    void stringRoundTrip_data();
    void stringRoundTrip();
    void integerRoundTrip_data();
    void integerRoundTrip();
    void integerReading_data();
    void integerReading();
    void booleanReading_data();
    void booleanReading();
    void namesIgnoreCase();
    void longValueCutAt1023();
    void writeKeepsOtherContent();
    void lineBreaksCannotForgeKeys();
    void readOnlyFileRefusesWrite();
    void readOnlyFolderRefusesWrite();
    void killedWriterNeverDamagesFile();
    void writeChangesOnlyItsLine_data();
    void writeChangesOnlyItsLine();
    void oversizedFileReadAsDefaults();
    void staleTemporariesRemoved();
    void fuzzCorpus();
};

void tst_IniFile::missingFileGivesDefaults()
{
    TestFolder folder;
    const IniFile ini(folder.iniPath());
    QCOMPARE(ini.readString("Settings", "lc", "Options"), QString("Options"));
    QCOMPARE(ini.readInteger("Settings", "wait", 1000), 1000);
    QCOMPARE(ini.readBool("Settings", "pdialog", true), true);
    QCOMPARE(ini.readBool("Settings", "pdialog", false), false);
    QVERIFY(!QFile::exists(folder.iniPath())); // reading never creates the file
}

void tst_IniFile::stringRoundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << "Edit this now!";
    QTest::newRow("empty") << "";
    QTest::newRow("leading blank") << " 500";
    QTest::newRow("equals and brackets") << "a=b [c] ;d";
    QTest::newRow("non-ascii") << QString::fromUtf8("Übersicht – 日本");
    QTest::newRow("macro") << "{$DATE} | {$PAGE}";
    QTest::newRow("leading byte order mark") << QChar(0xFEFF) + QString("head");
}

void tst_IniFile::stringRoundTrip()
{
    QFETCH(QString, value);
    TestFolder folder;
    const IniFile ini(folder.iniPath());
    ini.writeString("Settings", "head", value);
    QCOMPARE(ini.readString("Settings", "head", "default"), value);
}

void tst_IniFile::integerRoundTrip_data()
{
    QTest::addColumn<int>("value");
    QTest::newRow("zero") << 0;
    QTest::newRow("positive") << 1000;
    QTest::newRow("negative") << -1000;
    QTest::newRow("min") << std::numeric_limits<int>::min();
    QTest::newRow("max") << std::numeric_limits<int>::max();
    QTest::newRow("auto colour") << -2147483640;
}

void tst_IniFile::integerRoundTrip()
{
    QFETCH(int, value);
    TestFolder folder;
    const IniFile ini(folder.iniPath());
    ini.writeInteger("Tamsel", "el", value);
    QCOMPARE(ini.readInteger("Tamsel", "el", 7), value);
    QCOMPARE(ini.readString("Tamsel", "el", {}), QString::number(value));
}

void tst_IniFile::integerReading_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("hex lower") << "0x3E8" << 1000;
    QTest::newRow("hex upper prefix") << "0X3e8" << 1000;
    QTest::newRow("hex all bits") << "0xFFFFFFFF" << -1;
    QTest::newRow("bare 0x is not hex") << "0x" << 42;
    QTest::newRow("decimal") << "250" << 250;
    QTest::newRow("leading blank") << " 500" << 500;
    QTest::newRow("negative") << "-7" << -7;
    QTest::newRow("letters") << "abc" << 42;
    QTest::newRow("trailing junk") << "12abc" << 42;
    QTest::newRow("empty") << "" << 42;
    QTest::newRow("too large") << "99999999999" << 42;
    QTest::newRow("hex too large") << "0x1FFFFFFFF" << 42;
    QTest::newRow("hex with sign") << "0x-1" << 42;
}

void tst_IniFile::integerReading()
{
    QFETCH(QString, stored);
    QFETCH(int, expected);
    TestFolder folder;
    folder.write("Quillet.ini", "[Settings]\nwait=" + stored.toUtf8() + "\n");
    QCOMPARE(IniFile(folder.iniPath()).readInteger("Settings", "wait", 42), expected);
}

void tst_IniFile::booleanReading_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<bool>("expected");
    QTest::newRow("1") << QByteArray("1") << false << true;
    QTest::newRow("0") << QByteArray("0") << true << false;
    QTest::newRow("any non-zero") << QByteArray("5") << false << true;
    QTest::newRow("hex non-zero") << QByteArray("0x10") << false << true;
    QTest::newRow("empty keeps default true") << QByteArray("") << true << true;
    QTest::newRow("empty keeps default false") << QByteArray("") << false << false;
    QTest::newRow("word keeps default") << QByteArray("yes") << false << false;
}

void tst_IniFile::booleanReading()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, defaultValue);
    QFETCH(bool, expected);
    TestFolder folder;
    folder.write("Quillet.ini", "[Settings]\npdialog=" + stored + "\n");
    QCOMPARE(IniFile(folder.iniPath()).readBool("Settings", "pdialog", defaultValue), expected);

    // Written booleans are "1" and "0".
    const IniFile ini(folder.iniPath());
    ini.writeBool("Settings", "pnumbers", expected);
    QCOMPARE(ini.readString("Settings", "pnumbers", {}), QString(expected ? "1" : "0"));
}

void tst_IniFile::namesIgnoreCase()
{
    TestFolder folder;
    folder.write("Quillet.ini", "[settings]\r\nLC=Quillet!\r\n[STORAGE]\r\nScreenCap=yes\r\n");
    const IniFile ini(folder.iniPath());
    QCOMPARE(ini.readString("Settings", "lc", {}), QString("Quillet!"));
    QCOMPARE(ini.readString("storage", "screencap", {}), QString("yes"));

    // A write finds the stored key whatever its case and keeps one entry.
    ini.writeString("SETTINGS", "lc", "View Editor");
    QCOMPARE(ini.readString("Settings", "Lc", {}), QString("View Editor"));
    QCOMPARE(folder.read("Quillet.ini").count("=View Editor"), 1);
    QCOMPARE(folder.read("Quillet.ini").toLower().count("lc="), 1);
}

void tst_IniFile::longValueCutAt1023()
{
    TestFolder folder;
    const IniFile ini(folder.iniPath());
    const QString value(1500, u'q');
    ini.writeString("Settings", "head", value);
    QCOMPARE(ini.readString("Settings", "head", {}), value.left(1023));
    QCOMPARE(folder.read("Quillet.ini").count('q'), 1500); // stored whole
}

void tst_IniFile::writeKeepsOtherContent()
{
    TestFolder folder;
    folder.write("Quillet.ini", "; my notes\n[Settings]\nlc=Options\nwait=250\n\n[Other]\nx=1\n");
    const IniFile ini(folder.iniPath());
    ini.writeString("Settings", "head", "Top");
    ini.writeString("storage", "screencap", "");
    ini.writeInteger("Settings", "wait", 300);

    QCOMPARE(ini.readString("Settings", "lc", {}), QString("Options"));
    QCOMPARE(ini.readInteger("Settings", "wait", 0), 300);
    QCOMPARE(ini.readString("Settings", "head", {}), QString("Top"));
    QCOMPARE(ini.readString("Other", "x", {}), QString("1"));
    // An empty value is stored, not deleted: it reads as empty, not as the default.
    QCOMPARE(ini.readString("storage", "screencap", "absent"), QString());
    const QByteArray text = folder.read("Quillet.ini");
    QVERIFY(text.startsWith("; my notes\n"));
    // The new key joins its own section, before the next one.
    QVERIFY(text.indexOf("head=Top") < text.indexOf("[Other]"));
}

void tst_IniFile::lineBreaksCannotForgeKeys()
{
    TestFolder folder;
    const IniFile ini(folder.iniPath());
    ini.writeString("Settings", "head", "line one\n[storage]\nscreencap=yes");
    QCOMPARE(ini.readString("storage", "screencap", "absent"), QString("absent"));
    QVERIFY(ini.readString("Settings", "head", {}).startsWith("line one"));
}

void tst_IniFile::readOnlyFileRefusesWrite()
{
    TestFolder folder;
    const IniFile ini(folder.iniPath());
    ini.writeString("Settings", "lc", "Quillet!");
    QFile::setPermissions(folder.iniPath(), QFile::ReadOwner | QFile::ReadGroup);

    try {
        ini.writeString("Settings", "head", "new");
        QFAIL("the write to a read-only file was reported as done");
    } catch (const platform::AppError &e) {
        QCOMPARE(e.message(), QString("Unable to write to %1").arg(folder.iniPath()));
    }
    QCOMPARE(ini.readString("Settings", "lc", {}), QString("Quillet!"));
    QCOMPARE(ini.readString("Settings", "head", "absent"), QString("absent"));
}

void tst_IniFile::readOnlyFolderRefusesWrite()
{
    TestFolder folder;
    const IniFile ini(folder.iniPath());
    ini.writeString("Settings", "lc", "Quillet!");
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner);
    auto restore = qScopeGuard([&] {
        QFile::setPermissions(folder.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });

    QVERIFY_THROWS_EXCEPTION(platform::AppError, ini.writeString("Settings", "head", "new"));
    QCOMPARE(ini.readString("Settings", "lc", {}), QString("Quillet!"));

    // A folder that does not exist cannot be written either.
    const IniFile nowhere(folder.file("missing/Quillet.ini"));
    try {
        nowhere.writeBool("Settings", "pdialog", true);
        QFAIL("the write into a missing folder was reported as done");
    } catch (const platform::AppError &e) {
        QCOMPARE(e.message(), "Unable to write to " + folder.file("missing/Quillet.ini"));
    }
}

void tst_IniFile::killedWriterNeverDamagesFile()
{
    TestFolder folder;
    const IniFile ini(folder.iniPath());
    for (int round = 0; round < 15; ++round) {
        QProcess writer;
        writer.start(INI_WRITER, {folder.iniPath()});
        QVERIFY(writer.waitForReadyRead(10000));
        // Let it write for a varying while, then kill it without warning.
        QTest::qWait(5 + 7 * round);
        ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
        QVERIFY(writer.waitForFinished(10000));

        if (!QFile::exists(folder.iniPath()))
            continue; // killed before its first write was complete
        // Whatever the moment, the file is a complete one: every section that
        // exists holds a whole value.
        int sections = 0;
        for (int k = 0; k < 20; ++k) {
            const QString v = ini.readString(QStringLiteral("S%1").arg(k), "key", {});
            if (v.isEmpty())
                continue;
            ++sections;
            QVERIFY2(v.endsWith(QString(1023 - v.indexOf(':') - 1, u'x')), qPrintable(v.left(20)));
        }
        QVERIFY(sections > 0);
        const QByteArray text = folder.read("Quillet.ini");
        QVERIFY(text.endsWith('\n'));
        QCOMPARE(text.count('\n'), sections * 2 + (sections - 1) * 0 + (sections - 1));
    }
}

void tst_IniFile::writeChangesOnlyItsLine_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("key"); // in [Settings], written as "NEW"
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("lone and doubled carriage returns")
        << QByteArray("[Settings]\r\nx=1\r\r\nnote=a\rb\r\nlc=old\r\n") << "lc"
        << QByteArray("[Settings]\r\nx=1\r\r\nnote=a\rb\r\nlc=NEW\r\n");
    QTest::newRow("undecodable bytes")
        << QByteArray("\xff\xfe\x80junk\n[Settings]\nlc=\x80\x81\nhead=\xc3(\n") << "lc"
        << QByteArray("\xff\xfe\x80junk\n[Settings]\nlc=NEW\nhead=\xc3(\n");
    QTest::newRow("new key after the section's last, CR LF kept")
        << QByteArray("; \xe9t\xe9\r\n[settings]\r\n  LC = x \r\n\r\n[Other]\r\n") << "wait"
        << QByteArray("; \xe9t\xe9\r\n[settings]\r\n  LC = x \r\nwait=NEW\r\n\r\n[Other]\r\n");
    QTest::newRow("key's spelling and blanks kept")
        << QByteArray("[Settings]\n  LC = x \n") << "lc" << QByteArray("[Settings]\n  LC =NEW\n");
    QTest::newRow("last line ends in a lone carriage return")
        << QByteArray("[Settings]\nTstyle=bold\r") << "lc"
        << QByteArray("[Settings]\nTstyle=bold\r\r\nlc=NEW");
    QTest::newRow("no final line end")
        << QByteArray("[Settings]\nlc=x") << "wait" << QByteArray("[Settings]\nlc=x\nwait=NEW");
    QTest::newRow("new section after garbage")
        << QByteArray("\x01\x02\x00\x03", 4) << "lc"
        << QByteArray("\x01\x02\x00\x03\n\n[Settings]\nlc=NEW\n", 24);
    QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbf[Settings]\nlc=x\n") << "lc"
                                     << QByteArray("\xef\xbb\xbf[Settings]\nlc=NEW\n");
    QByteArray noise(1 << 20, '\0');
    QRandomGenerator random(22);
    for (char &c : noise)
        c = char(random.bounded(256));
    noise.replace('[', '(');
    QTest::newRow("1 MB of binary noise") << noise << "lc" << noise + "\n\n[Settings]\nlc=NEW\n";
}

void tst_IniFile::writeChangesOnlyItsLine()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, key);
    QFETCH(QByteArray, after);
    TestFolder folder;
    folder.write("Quillet.ini", before);
    const IniFile ini(folder.iniPath());
    ini.writeString("Settings", key, "NEW");
    QCOMPARE(folder.read("Quillet.ini"), after);
    QCOMPARE(ini.readString("Settings", key, {}), QString("NEW"));
}

void tst_IniFile::oversizedFileReadAsDefaults()
{
    TestFolder folder;
    QByteArray big = "[Settings]\nlc=Quillet!\nwait=5\n";
    const QByteArray filler = "; " + QByteArray(100, 'x') + "\n";
    while (big.size() <= IniFile::MaxFileBytes)
        big += filler;
    folder.write("Quillet.ini", big);
    QStringList notices;
    IniFile::setOversizeNotice([&](const QString &message) { notices << message; });
    auto reset = qScopeGuard([] { IniFile::setOversizeNotice({}); });

    const IniFile ini(folder.iniPath());
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 1000; ++i)
        QCOMPARE(ini.readString("Settings", "lc", "Options"), QString("Options"));
    QCOMPARE(ini.readInteger("Settings", "wait", 1000), 1000);
    // The size alone decides: far less than reading the file a thousand times.
    QVERIFY2(timer.elapsed() < 5000, QByteArray::number(timer.elapsed()).constData());
    QVERIFY_THROWS_EXCEPTION(platform::AppError, ini.writeString("Settings", "lc", "Options"));
    QCOMPARE(notices.size(), 1);
    QVERIFY2(notices[0].contains(folder.iniPath()), qPrintable(notices[0]));
    QCOMPARE(folder.read("Quillet.ini"), big);
}

void tst_IniFile::staleTemporariesRemoved()
{
    TestFolder folder;
    const QDateTime old = QDateTime::currentDateTime().addSecs(-600);
    const QStringList stale = {"Quillet.ini.Ab3xZ9", "Quillet.ini.000000"};
    // Not ours or not stale: other names, a folder, and a write still under way.
    const QStringList kept = {"Quillet.ini.bak", "Quillet.ini.Ab3xZ9x", "Other.ini.Ab3xZ9",
                              "Quillet.ini.fresh1"};
    for (const QString &name : stale + kept) {
        folder.write(name, "partial");
        if (name != "Quillet.ini.fresh1") {
            QFile file(folder.file(name));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
        }
    }
    QVERIFY(QDir(folder.path()).mkdir("Quillet.ini.dir123"));
    IniFile(folder.iniPath()).writeString("Settings", "lc", "Options");
    for (const QString &name : stale)
        QVERIFY2(!QFile::exists(folder.file(name)), qPrintable(name));
    for (const QString &name : kept + QStringList{"Quillet.ini.dir123"})
        QVERIFY2(QFile::exists(folder.file(name)), qPrintable(name));
}

void tst_IniFile::fuzzCorpus()
{
    // Every input the fuzzer kept (two bytes that choose the key and the
    // value's length are not part of the file): a write reads back and what
    // differs from the old file lies within one line.
    // QUILLET_INI_CORPUS replays another folder, such as a fuzzer's working corpus.
    const QString corpus = qEnvironmentVariable("QUILLET_INI_CORPUS", INI_CORPUS);
    const QFileInfoList inputs = QDir(corpus).entryInfoList(QDir::Files);
    QVERIFY(!inputs.isEmpty());
    for (const QFileInfo &input : inputs) {
        QFile file(input.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll().mid(2);
        TestFolder folder;
        folder.write("Quillet.ini", before);
        const IniFile ini(folder.iniPath());
        ini.writeString("Settings", "lc", "NEW");
        QCOMPARE(ini.readString("Settings", "lc", {}), QString("NEW"));
        const QByteArray after = folder.read("Quillet.ini");
        QVERIFY2(changedWithinOneLine(before, after), qPrintable(input.fileName()));
    }
}

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_IniFile.moc"
