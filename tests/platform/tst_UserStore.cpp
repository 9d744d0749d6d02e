#include "platform/UserStore.h"

#include "tests/support/TestFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

using platform::StoreError;
using platform::UserStore;
using Kind = platform::StoreError::Kind;

Q_DECLARE_METATYPE(platform::StoreError::Kind)

namespace {

const QString Key = QStringLiteral("RichPrint.Settings\\MargesQLT");

const QByteArray Sample = "Windows Registry Editor Version 5.00\n"
                          "\n"
                          "[HKEY_CURRENT_USER\\RichPrint.Settings]\n"
                          "\n"
                          "[HKEY_CURRENT_USER\\RichPrint.Settings\\MargesQLT]\n"
                          "\"Text\"=\"1\"\n"
                          "\"Bytes\"=hex:00,00,00,00,00,00,f0,3f\n"
                          "\"Short\"=hex:00,00,80,3f\n"
                          "\"Number\"=dword:00000001\n";

Kind kindOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const StoreError &e) {
        return e.kind();
    }
    qFatal("no error was raised");
}

} // namespace

class tst_UserStore : public QObject {
    Q_OBJECT
private slots:
    void missingFileHoldsNothing();
    void defaultPathFollowsXdgConfigHome();
    void stringRoundTrip_data();
    void stringRoundTrip();
    void binaryRoundTrip_data();
    void binaryRoundTrip();
    void keysAndParents();
    void namesIgnoreCase();
    void typedErrors_data();
    void typedErrors();
    void readsRegistryExport();
    void damagedFileReportedNeverOverwritten_data();
    void damagedFileReportedNeverOverwritten();
    void writeKeepsEverythingElse();
    void twoStoresOnOneFile();
    void continuationAtEndOfFile();
    void hostileStores_data();
    void hostileStores();
    void fuzzCorpus();
    void failedWriteIsReported();
};

void tst_UserStore::missingFileHoldsNothing()
{
    TestFolder folder;
    const UserStore store(folder.file("user.reg"));
    QVERIFY(!store.keyExists("RichPrint.Settings"));
    QVERIFY(!store.valueExists(Key, "MarginLeft"));
    QCOMPARE(kindOf([&] { store.readString(Key, "MarginLeft"); }), Kind::MissingKey);
    QVERIFY(!QFile::exists(folder.file("user.reg")));
}

void tst_UserStore::defaultPathFollowsXdgConfigHome()
{
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    QVERIFY(!config.isEmpty()); // the test session sets it
    QCOMPARE(UserStore::defaultPath(), QString::fromLocal8Bit(config) + "/quillet/user.reg");
}

void tst_UserStore::stringRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("code") << "1";
    QTest::newRow("empty") << "";
    QTest::newRow("quotes and backslashes") << "C:\\\"quoted\\\"\\";
    QTest::newRow("looks like a key") << "\n[HKEY_CURRENT_USER\\Forged]\n\"x\"=\"y\"";
    QTest::newRow("tab") << "a\tb";
    QTest::newRow("non-ascii") << QString::fromUtf8("Übersicht – 日本");
    QTest::newRow("blanks") << "  padded  ";
    QTest::newRow("trailing NULs") << QString::fromLatin1("ab\0\0", 4);
    QTest::newRow("NUL inside") << QString::fromLatin1("a\0b", 3);
}

void tst_UserStore::stringRoundTrip()
{
    QFETCH(QString, text);
    TestFolder folder;
    UserStore store(folder.file("sub/user.reg"));
    store.writeString(Key, "Value", text);
    QCOMPARE(store.readString(Key, "Value"), text);
    QVERIFY(!store.keyExists("Forged"));
    // No line of the file starts a key the text made up.
    for (const QByteArray &line : folder.read("sub/user.reg").split('\n'))
        QVERIFY(!line.startsWith("[HKEY_CURRENT_USER\\Forged"));
}

void tst_UserStore::binaryRoundTrip_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("double") << QByteArray::fromHex("000000000000f03f");
    QTest::newRow("every byte") << [] {
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(char(i));
        return all;
    }();
}

void tst_UserStore::binaryRoundTrip()
{
    QFETCH(QByteArray, data);
    TestFolder folder;
    UserStore store(folder.file("user.reg"));
    store.writeBinary(Key, "Value", data);
    QCOMPARE(store.readBinary(Key, "Value"), data);
    QCOMPARE(store.readBinary(Key, "Value", data.size()), data);
    // Long data is wrapped, as a registry export does.
    for (const QByteArray &line : folder.read("user.reg").split('\n'))
        QVERIFY2(line.size() <= 80, line.constData());
}

void tst_UserStore::keysAndParents()
{
    TestFolder folder;
    UserStore store(folder.file("user.reg"));
    store.createKey("RichPrint.Settings");
    QVERIFY(store.keyExists("RichPrint.Settings"));
    QVERIFY(!store.keyExists(Key));
    store.createKey("A\\B\\C");
    QVERIFY(store.keyExists("A"));
    QVERIFY(store.keyExists("A\\B"));
    QVERIFY(!store.keyExists("A\\C"));
    store.createKey("RichPrint.Settings"); // already there: nothing changes
    QCOMPARE(folder.read("user.reg"), QByteArray("Windows Registry Editor Version 5.00\n"
                                                 "\n"
                                                 "[HKEY_CURRENT_USER\\RichPrint.Settings]\n"
                                                 "\n"
                                                 "[HKEY_CURRENT_USER\\A]\n"
                                                 "\n"
                                                 "[HKEY_CURRENT_USER\\A\\B]\n"
                                                 "\n"
                                                 "[HKEY_CURRENT_USER\\A\\B\\C]\n"));
    QCOMPARE(kindOf([&] { store.createKey("A\\\\B"); }), Kind::InvalidName);
    QCOMPARE(kindOf([&] { store.createKey("A\nB"); }), Kind::InvalidName);
}

void tst_UserStore::namesIgnoreCase()
{
    TestFolder folder;
    UserStore store(folder.file("user.reg"));
    store.writeString(Key, "CodeMeasurement", "1");
    QCOMPARE(store.readString("richprint.settings\\MARGESQLT", "codemeasurement"), QString("1"));
    store.writeString("RICHPRINT.SETTINGS\\margesqlt", "CODEMEASUREMENT", "0");
    QCOMPARE(store.readString(Key, "CodeMeasurement"), QString("0"));
    // One key, one value: the first spelling stays.
    const QByteArray file = folder.read("user.reg");
    QCOMPARE(file.count("MargesQLT"), 1);
    QVERIFY(file.contains("\"CodeMeasurement\"=\"0\""));
}

void tst_UserStore::typedErrors_data()
{
    QTest::addColumn<QString>("read"); // "string" or "binary8"
    QTest::addColumn<QString>("name");
    QTest::addColumn<Kind>("kind");
    QTest::newRow("binary read as text") << "string"
                                         << "Bytes" << Kind::WrongType;
    QTest::newRow("number read as text") << "string"
                                         << "Number" << Kind::WrongType;
    QTest::newRow("text read as binary") << "binary8"
                                         << "Text" << Kind::WrongType;
    QTest::newRow("4 bytes for 8") << "binary8"
                                   << "Short" << Kind::WrongSize;
    QTest::newRow("missing value") << "binary8"
                                   << "MarginLeft" << Kind::MissingValue;
}

void tst_UserStore::typedErrors()
{
    QFETCH(QString, read);
    QFETCH(QString, name);
    QFETCH(Kind, kind);
    TestFolder folder;
    folder.write("user.reg", Sample);
    const UserStore store(folder.file("user.reg"));
    try {
        if (read == "string")
            store.readString(Key, name);
        else
            store.readBinary(Key, name, 8);
        QFAIL("the read succeeded");
    } catch (const StoreError &e) {
        QCOMPARE(e.kind(), kind);
        QVERIFY2(e.message().contains('"' + name + '"'), qPrintable(e.message()));
        QVERIFY2(e.message().contains(Key), qPrintable(e.message()));
    }
    QCOMPARE(store.valueExists(Key, name), kind != Kind::MissingValue);
}

void tst_UserStore::readsRegistryExport()
{
    // As the registry editor saves it: UTF-16 with a byte order mark, CR LF
    // line ends, wrapped hexadecimal data, comments, the default value.
    const QString text = "Windows Registry Editor Version 5.00\r\n\r\n"
                         "; written by hand\r\n"
                         "[HKEY_CURRENT_USER\\RichPrint.Settings\\MargesQLT]\r\n"
                         "@=\"default\"\r\n"
                         "\"MarginLeft\"=hex:00,00,00,00,\\\r\n"
                         "  00,00,f0,3f\r\n"
                         "\"Path\"=\"C:\\\\Program Files\\\\\"\r\n"
                         "\"Lines\"=hex(1):61,00,0a,00,62,00,00,00\r\n";
    QByteArray bytes("\xff\xfe");
    bytes.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    TestFolder folder;
    folder.write("user.reg", bytes);
    const UserStore store(folder.file("user.reg"));
    QVERIFY(store.keyExists("RichPrint.Settings"));
    QCOMPARE(store.readBinary(Key, "MarginLeft", 8), QByteArray::fromHex("000000000000f03f"));
    QCOMPARE(store.readString(Key, "Path"), QString("C:\\Program Files\\"));
    QCOMPARE(store.readString(Key, "Lines"), QString("a\nb"));
    QCOMPARE(store.readString(Key, ""), QString("default"));
}

void tst_UserStore::damagedFileReportedNeverOverwritten_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("no header") << QByteArray("[HKEY_CURRENT_USER\\A]\n");
    QTest::newRow("binary junk") << QByteArray("\x01\x02\x03garbage", 10);
    QTest::newRow("value outside a key")
        << QByteArray("Windows Registry Editor Version 5.00\n\"x\"=\"1\"\n");
    QTest::newRow("other root") << QByteArray(
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software]\n");
    QTest::newRow("open string") << QByteArray(
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\n");
    QTest::newRow("long hex number")
        << QByteArray("Windows Registry Editor Version "
                      "5.00\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:123456789abcdef\n");
    QTest::newRow("bad hex") << QByteArray(
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:0g\n");
    QTest::newRow("deletion") << QByteArray(
        "Windows Registry Editor Version 5.00\n[-HKEY_CURRENT_USER\\A]\n");
}

void tst_UserStore::damagedFileReportedNeverOverwritten()
{
    QFETCH(QByteArray, content);
    TestFolder folder;
    folder.write("user.reg", content);
    UserStore store(folder.file("user.reg"));
    QCOMPARE(kindOf([&] { store.keyExists("A"); }), Kind::Damaged);
    QCOMPARE(kindOf([&] { store.readString("A", "x"); }), Kind::Damaged);
    try {
        store.writeString(Key, "CodeMeasurement", "1");
        QFAIL("a damaged store was overwritten");
    } catch (const StoreError &e) {
        QCOMPARE(e.kind(), Kind::Damaged);
        QVERIFY2(e.message().contains(folder.file("user.reg")), qPrintable(e.message()));
    }
    QCOMPARE(folder.read("user.reg"), content);
}

void tst_UserStore::writeKeepsEverythingElse()
{
    TestFolder folder;
    folder.write("user.reg", Sample);
    UserStore store(folder.file("user.reg"));
    store.writeValues(Key, {platform::StoreValue::string("Text", "0"),
                            platform::StoreValue::binary("New", QByteArray(1, '\x7f'))});
    QCOMPARE(folder.read("user.reg"),
             QByteArray("Windows Registry Editor Version 5.00\n"
                        "\n"
                        "[HKEY_CURRENT_USER\\RichPrint.Settings]\n"
                        "\n"
                        "[HKEY_CURRENT_USER\\RichPrint.Settings\\MargesQLT]\n"
                        "\"Text\"=\"0\"\n"
                        "\"Bytes\"=hex:00,00,00,00,00,00,f0,3f\n"
                        "\"Short\"=hex:00,00,80,3f\n"
                        "\"Number\"=dword:00000001\n"
                        "\"New\"=hex:7f\n"));
}

void tst_UserStore::twoStoresOnOneFile()
{
    TestFolder folder;
    UserStore first(folder.file("user.reg"));
    UserStore second(folder.file("user.reg"));
    first.writeString(Key, "CodeMeasurement", "0");
    QCOMPARE(second.readString(Key, "CodeMeasurement"), QString("0"));
    second.writeString(Key, "CodeDirection", "1");
    QCOMPARE(first.readString(Key, "CodeMeasurement"), QString("0"));
    QCOMPARE(first.readString(Key, "CodeDirection"), QString("1"));
}

void tst_UserStore::continuationAtEndOfFile()
{
    // The last line ends in a backslash that continues to nothing: a value
    // written after it stays a value of its own.
    TestFolder folder;
    folder.write("user.reg", Sample + "\"Last\"=dword:00000002\\");
    UserStore store(folder.file("user.reg"));
    store.writeString(Key, "Next", "1");
    QCOMPARE(store.readString(Key, "Next"), QString("1"));
    QCOMPARE(store.readString(Key, "Text"), QString("1"));
    QVERIFY(folder.read("user.reg").contains("\"Last\"=dword:00000002\n\"Next\"=\"1\"\n"));
}

void tst_UserStore::hostileStores_data()
{
    // Generated here: a header, then `body`. `readable` stores are read and
    // written back within the time limit, growing only by what is written;
    // the others are refused with an error naming the file, never rewritten.
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("readable");
    const QByteArray header = "Windows Registry Editor Version 5.00\n\n";
    const auto deepKey = [&](int levels) {
        QByteArray path = "[HKEY_CURRENT_USER";
        for (int i = 0; i < levels; ++i)
            path += "\\k";
        return header + path + "]\n\"x\"=\"1\"\n";
    };
    QTest::newRow("key 512 levels deep") << deepKey(512) << true;
    QTest::newRow("key 3000 levels deep") << deepKey(3000) << false;
    QByteArray values = header + "[HKEY_CURRENT_USER\\Many]\n";
    for (int i = 0; i < 100000; ++i)
        values += "\"v" + QByteArray::number(i) + "\"=\"" + QByteArray::number(i) + "\"\n";
    QTest::newRow("100,000 values") << values << true;
    QTest::newRow("a line of 2 million characters")
        << header + "[HKEY_CURRENT_USER\\A]\n\"x\"=\"" + QByteArray(2000000, 'x') + "\"\n"
        << false;
    QByteArray wrapped = header + "[HKEY_CURRENT_USER\\A]\n\"x\"=hex:00";
    for (int i = 0; i < 400000; ++i)
        wrapped += ",\\\n  00";
    QTest::newRow("continued past the line limit") << wrapped + "\n" << false;
    QTest::newRow("9 MB") << header + "; " + QByteArray(9 * 1024 * 1024, 'x') + "\n" << false;
}

void tst_UserStore::hostileStores()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, readable);
    TestFolder folder;
    folder.write("user.reg", body);
    UserStore store(folder.file("user.reg"));
    QElapsedTimer timer;
    timer.start();
    if (readable) {
        QVERIFY(store.read().keyExists("Many") || store.read().keyExists("k\\k"));
        store.writeString(Key, "CodeMeasurement", "1");
        QCOMPARE(store.readString(Key, "CodeMeasurement"), QString("1"));
        const QByteArray after = folder.read("user.reg");
        QVERIFY(after.startsWith(body));
        QVERIFY2(after.size() - body.size() < 200, QByteArray::number(after.size()).constData());
    } else {
        for (int i = 0; i < 2; ++i) {
            try {
                if (i == 0)
                    store.read();
                else
                    store.writeString(Key, "CodeMeasurement", "1");
                QFAIL("the store was read");
            } catch (const StoreError &e) {
                QCOMPARE(e.kind(), Kind::TooLarge);
                QVERIFY2(e.message().contains(folder.file("user.reg")), qPrintable(e.message()));
            }
        }
        QCOMPARE(folder.read("user.reg"), body);
    }
    // Far below what a cost growing faster than the file would take.
    QVERIFY2(timer.elapsed() < 20000, QByteArray::number(timer.elapsed()).constData());
}

void tst_UserStore::fuzzCorpus()
{
    // Every input the fuzzer kept is read, or refused and left as it is; a
    // store that was read takes a write that reads back.
    // QUILLET_STORE_CORPUS replays another folder, such as a fuzzer's working corpus.
    const QString corpus = qEnvironmentVariable("QUILLET_STORE_CORPUS", STORE_CORPUS);
    const QFileInfoList inputs = QDir(corpus).entryInfoList(QDir::Files);
    QVERIFY(!inputs.isEmpty());
    for (const QFileInfo &input : inputs) {
        TestFolder folder;
        QFile file(input.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        folder.write("user.reg", bytes);
        UserStore store(folder.file("user.reg"));
        try {
            store.read();
        } catch (const StoreError &e) {
            QVERIFY2(e.kind() == Kind::Damaged || e.kind() == Kind::TooLarge,
                     qPrintable(input.fileName()));
            QVERIFY_THROWS_EXCEPTION(StoreError, store.writeString(Key, "CodeMeasurement", "1"));
            QCOMPARE(folder.read("user.reg"), bytes);
            continue;
        }
        store.writeString(Key, "CodeMeasurement", "1");
        QCOMPARE(store.read().readString(Key, "CodeMeasurement"), QString("1"));
    }
}

void tst_UserStore::failedWriteIsReported()
{
    // A plain file stands where the store's folder would be.
    TestFolder folder;
    folder.write("blocker", "x");
    UserStore store(folder.file("blocker/user.reg"));
    QCOMPARE(kindOf([&] { store.writeString(Key, "CodeMeasurement", "1"); }), Kind::WriteFailed);
    QCOMPARE(kindOf([&] { store.createKey("RichPrint.Settings"); }), Kind::WriteFailed);
    QCOMPARE(folder.read("blocker"), QByteArray("x"));
}

QTEST_GUILESS_MAIN(tst_UserStore)
#include "tst_UserStore.moc"
