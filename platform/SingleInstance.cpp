#include "SingleInstance.h"

#include "InstanceSocket.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

namespace platform {

namespace {
constexpr int ConnectTimeoutMs = 1000;
const QByteArray ActivateMessage = "activate";
// A request for the running copy: this prefix, the request, a line break.
const QByteArray RequestPrefix = "run ";
} // namespace

SingleInstance::SingleInstance(QObject *parent) : QObject(parent) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultKey()
{
    // A full path, so that the socket does not depend on where Qt puts
    // named sockets: the launcher finds it by the same rule.
    return QFile::decodeName(QByteArray::fromStdString(instanceSocketPath()));
}

bool SingleInstance::pass(const QString &key, const QByteArray &request)
{
    QLocalSocket probe;
    probe.connectToServer(key);
    if (!probe.waitForConnected(ConnectTimeoutMs))
        return false;
    probe.write((request.isEmpty() ? ActivateMessage : RequestPrefix + request) + '\n');
    probe.waitForBytesWritten(ConnectTimeoutMs);
    probe.disconnectFromServer();
    return true;
}

bool SingleInstance::claim(const QString &key, const QByteArray &request)
{
    if (pass(key, request))
        return false;

    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(key)) {
        // A socket left behind by a copy that crashed: nobody answered on it,
        // so take it over.
        QLocalServer::removeServer(key);
        if (!m_server->listen(key))
            return true; // Run without the guard rather than not at all.
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            auto readRequest = [this, socket] {
                while (socket->canReadLine()) {
                    const QByteArray line = socket->readLine().trimmed();
                    if (line == ActivateMessage)
                        emit activationRequested();
                    else if (line.startsWith(RequestPrefix))
                        emit requestReceived(line.mid(RequestPrefix.size()));
                }
            };
            connect(socket, &QLocalSocket::readyRead, this, readRequest);
            if (socket->bytesAvailable() > 0)
                readRequest();
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}

} // namespace platform
