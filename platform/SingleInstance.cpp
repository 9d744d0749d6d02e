#include "SingleInstance.h"

#include "InstanceSocket.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <functional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

const QByteArray ActivateMessage = "activate";
// A request for the running copy: this prefix, the request, a line break.
const QByteArray RequestPrefix = "run ";
// Requests are single words; a sender whose line grows past this is cut off.
constexpr qsizetype MaxLineLength = 4096;

// One accepted connection: reads lines until the sender closes it.
class Connection : public QObject {
public:
    Connection(int socket, SingleInstance *owner, std::function<void(const QByteArray &)> onLine)
        : QObject(owner), m_socket(socket), m_onLine(std::move(onLine)),
          m_notifier(socket, QSocketNotifier::Read, this)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &Connection::readAvailable);
    }

    ~Connection() override { ::close(m_socket); }

    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

private:
    void readAvailable()
    {
        char chunk[512];
        for (;;) {
            const ssize_t got = ::read(m_socket, chunk, sizeof chunk);
            if (got > 0) {
                m_buffer.append(chunk, got);
                continue;
            }
            if (got < 0 && errno == EINTR)
                continue;
            const bool open = got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
            for (qsizetype end; (end = m_buffer.indexOf('\n')) >= 0;) {
                const QByteArray line = m_buffer.left(end).trimmed();
                m_buffer.remove(0, end + 1);
                m_onLine(line);
            }
            if (!open || m_buffer.size() > MaxLineLength) {
                m_notifier.setEnabled(false);
                deleteLater();
            }
            return;
        }
    }

    int m_socket;
    std::function<void(const QByteArray &)> m_onLine;
    QSocketNotifier m_notifier;
    QByteArray m_buffer;
};

} // namespace

SingleInstance::SingleInstance(QObject *parent) : QObject(parent) {}

SingleInstance::~SingleInstance()
{
    if (m_listener < 0)
        return;
    ::close(m_listener);
    // Later copies find nobody listening and start on their own.
    ::unlink(m_path.constData());
}

QString SingleInstance::defaultKey()
{
    // A full path, so that the launcher finds the socket by the same rule.
    return QFile::decodeName(QByteArray::fromStdString(instanceSocketPath()));
}

bool SingleInstance::pass(const QString &key, const QByteArray &request)
{
    const QByteArray line = (request.isEmpty() ? ActivateMessage : RequestPrefix + request) + '\n';
    return sendInstanceRequest(QFile::encodeName(key).toStdString(), line.toStdString());
}

bool SingleInstance::listen(const QByteArray &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), path.size() + 1);
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket < 0)
        return false;
    // The socket file is created with the socket's own mode: only the user
    // may connect, from the moment it exists.
    const auto bindTo = [&] {
        return ::bind(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    };
    bool bound = ::fchmod(socket, S_IRUSR | S_IWUSR) == 0 && bindTo();
    if (!bound && errno == EADDRINUSE) {
        // A socket left behind by a copy that crashed: nobody answered on it,
        // so take it over.
        ::unlink(path.constData());
        bound = bindTo();
    }
    if (!bound || ::chmod(path.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(socket, 16) != 0) {
        if (bound)
            ::unlink(path.constData());
        ::close(socket);
        return false;
    }
    m_listener = socket;
    m_path = path;
    auto *notifier = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::acceptConnections()
{
    for (;;) {
        const int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (socket < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        // Owned by this object; it deletes itself when its sender closes it.
        new Connection(socket, this, [this](const QByteArray &line) { handleLine(line); });
    }
}

void SingleInstance::handleLine(const QByteArray &line)
{
    if (line == ActivateMessage)
        emit activationRequested();
    else if (line.startsWith(RequestPrefix))
        emit requestReceived(line.mid(RequestPrefix.size()));
}

bool SingleInstance::claim(const QString &key, const QByteArray &request)
{
    if (pass(key, request))
        return false;
    // Run without the guard rather than not at all.
    listen(QFile::encodeName(key));
    return true;
}

} // namespace platform
