#pragma once

#include <QString>

#include <exception>

class QWidget;

namespace platform {

// The application's standard error box: the message, an OK button and the
// application title as caption.
void showErrorBox(const QString &message, QWidget *parent = nullptr);

// A message for the user, with an OK button and the application title as
// caption.
void showMessageBox(const QString &message, QWidget *parent = nullptr);

// Runs a command handler; an error it throws is shown in the standard error
// box and goes no further. Handlers connected to Qt signals run through this,
// so that no exception unwinds through Qt's own code; the application object
// catches whatever reaches the event loop in the same way.
template <typename Handler> void runGuarded(Handler &&handler)
{
    try {
        handler();
    } catch (const std::exception &error) {
        showErrorBox(QString::fromStdString(error.what()));
    } catch (...) {
        showErrorBox(QStringLiteral("Unknown error"));
    }
}

} // namespace platform
