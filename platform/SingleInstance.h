#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace platform {

// Allows one running copy per user and display.
//
// claim() returns true for the first copy, which then listens for later copies;
// a later copy's claim() asks the first one to come forward and returns false.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // The key for the current user and X display.
    static QString defaultKey();

    bool claim(const QString &key);

signals:
    // Another copy started and asked this one to bring its last active window forward.
    void activationRequested();

private:
    QLocalServer *m_server = nullptr;
};

} // namespace platform
