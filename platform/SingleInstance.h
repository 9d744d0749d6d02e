#pragma once

#include <QObject>
#include <QString>

namespace platform {

// Allows one running copy per user and display.
//
// claim() returns true for the first copy, which then listens for later copies;
// a later copy's claim() passes its request to the first one and returns false.
// The requests are lines of text on a local socket private to the user.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // The key for the current user and X display: the socket's full path
    // (see instanceSocketPath()).
    static QString defaultKey();

    // An empty `request` asks the running copy to come forward; any other
    // request (a word without line breaks) reaches it as requestReceived().
    bool claim(const QString &key, const QByteArray &request = {});

    // Passes `request` to the copy that listens on `key`, if one does; true
    // when it was handed over. Needs no application object, so a later copy
    // can hand its request over before it builds anything.
    static bool pass(const QString &key, const QByteArray &request);

signals:
    // Another copy started and asked this one to bring its last active window forward.
    void activationRequested();
    // Another copy started with a request for this one.
    void requestReceived(const QByteArray &request);

private:
    bool listen(const QByteArray &path);
    void acceptConnections();
    void handleLine(const QByteArray &line);

    // A plain local socket watched by the event loop: the channel costs no
    // network library.
    int m_listener = -1;
    QByteArray m_path;
};

} // namespace platform
