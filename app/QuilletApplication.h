#pragma once

#include <QApplication>

// The application object. It is the one place where errors thrown by event
// handlers are caught: they are shown in the standard error box and the
// program goes on.
class QuilletApplication : public QApplication {
    Q_OBJECT
public:
    QuilletApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
