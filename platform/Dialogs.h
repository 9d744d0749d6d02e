#pragma once

#include <QString>

class QWidget;

namespace platform {

// The application's standard error box: the message, an OK button and the
// application title as caption.
void showErrorBox(const QString &message, QWidget *parent = nullptr);

} // namespace platform
