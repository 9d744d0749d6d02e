#include "QuilletApplication.h"

#include "platform/AppError.h"
#include "platform/Dialogs.h"

#include <exception>

QuilletApplication::QuilletApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("quillet"));
    setApplicationVersion(QStringLiteral(QUILLET_VERSION));
    // The program lives in the tray: closing its last window does not end it.
    setQuitOnLastWindowClosed(false);
}

bool QuilletApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        platform::showErrorBox(QString::fromStdString(error.what()));
    } catch (...) {
        platform::showErrorBox(QStringLiteral("Unknown error"));
    }
    return true;
}
