#include "QuilletApplication.h"

#include "platform/Dialogs.h"

QuilletApplication::QuilletApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("quillet"));
    setApplicationVersion(QStringLiteral(QUILLET_VERSION));
    // The program lives in the tray: closing its last window does not end it.
    setQuitOnLastWindowClosed(false);
}

bool QuilletApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = true;
    platform::runGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
