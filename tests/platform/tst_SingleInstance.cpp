// The single-instance channel from the side of a later copy or the
// launcher: what arrives as a request, who may connect, and a socket file
// left behind by a copy that is gone.
#include "platform/SingleInstance.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <memory>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

sockaddr_un addressOf(const QString &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()) + 1);
    return address;
}

// Connects, writes each chunk in a separate send, with a pause for the
// listener to read the one before, and closes the connection. False when the
// connection could not be made; the listener may cut a sender off, so what
// becomes of the sends is left to the caller's checks.
bool sendChunks(const QString &path, const QList<QByteArray> &chunks)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = addressOf(path);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return false;
    for (const QByteArray &chunk : chunks) {
        if (::send(fd, chunk.constData(), size_t(chunk.size()), MSG_NOSIGNAL) != chunk.size())
            break;
        QTest::qWait(20); // lets the listener see the chunks apart
    }
    ::close(fd);
    return true;
}

} // namespace

class tst_SingleInstance : public QObject {
    Q_OBJECT
private slots:
    void init();
    void linesBecomeRequests_data();
    void linesBecomeRequests();
    void onlyTheUserMayConnect();
    void leftOverSocketIsTakenOver();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString key() const { return m_dir->filePath(QStringLiteral("instance")); }
};

void tst_SingleInstance::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_SingleInstance::linesBecomeRequests_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<int>("activations");
    QTest::addColumn<QList<QByteArray>>("requests");

    using L = QList<QByteArray>;
    QTest::newRow("activate") << L{"activate\n"} << 1 << L{};
    QTest::newRow("request") << L{"run edit\n"} << 0 << L{"edit"};
    QTest::newRow("blanks around the line") << L{"  run print \r\n"} << 0 << L{"print"};
    QTest::newRow("two lines at once, in order")
        << L{"run print\nrun save\n"} << 0 << L{"print", "save"};
    QTest::newRow("a line in pieces") << L{"run ed", "it", "\n"} << 0 << L{"edit"};
    QTest::newRow("unknown line") << L{"hello\n"} << 0 << L{};
    QTest::newRow("no line break before the close") << L{"run edit"} << 0 << L{};
    QTest::newRow("an endless line is cut off")
        << L{QByteArray(5000, 'x'), "\nrun edit\n"} << 0 << L{};
}

void tst_SingleInstance::linesBecomeRequests()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(int, activations);
    QFETCH(QList<QByteArray>, requests);

    platform::SingleInstance copy;
    QVERIFY(copy.claim(key()));
    QSignalSpy activated(&copy, &platform::SingleInstance::activationRequested);
    QSignalSpy requested(&copy, &platform::SingleInstance::requestReceived);
    QVERIFY(sendChunks(key(), chunks));
    // A marker request behind the others: once it is in, the rest is too.
    QVERIFY(platform::SingleInstance::pass(key(), "marker"));
    QTRY_VERIFY(!requested.isEmpty() && requested.last().at(0).toByteArray() == "marker");

    QCOMPARE(activated.size(), activations);
    QList<QByteArray> received;
    for (const QList<QVariant> &signal : requested)
        received << signal.at(0).toByteArray();
    received.removeLast();
    QCOMPARE(received, requests);
}

void tst_SingleInstance::onlyTheUserMayConnect()
{
    platform::SingleInstance copy;
    QVERIFY(copy.claim(key()));
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(key()).constData(), &info), 0);
    QVERIFY(S_ISSOCK(info.st_mode));
    QCOMPARE(info.st_mode & 0777, mode_t(0600));
}

void tst_SingleInstance::leftOverSocketIsTakenOver()
{
    {
        // A socket file that nobody listens on, as a crashed copy leaves it.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const sockaddr_un address = addressOf(key());
        QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
        ::close(fd);
    }
    QVERIFY(!platform::SingleInstance::pass(key(), "edit"));
    {
        platform::SingleInstance copy;
        QVERIFY(copy.claim(key()));
        QSignalSpy requested(&copy, &platform::SingleInstance::requestReceived);
        // A later copy reaches this one and ends.
        platform::SingleInstance later;
        QVERIFY(!later.claim(key(), "save"));
        QTRY_COMPARE(requested.size(), 1);
        QCOMPARE(requested[0][0].toByteArray(), QByteArray("save"));
    }
    // Gone with the copy: the next copy starts on its own.
    QVERIFY(!QFile::exists(key()));
    QVERIFY(!platform::SingleInstance::pass(key(), "edit"));
}

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_SingleInstance.moc"
