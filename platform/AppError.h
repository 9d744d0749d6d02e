#pragma once

#include <QString>
#include <stdexcept>

namespace platform {

// An error the user is told about in the application's standard error box.
// Commands throw it (or a subclass); the application object catches it at the
// event boundary and shows its message with an OK button.
class AppError : public std::runtime_error {
public:
    explicit AppError(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

} // namespace platform
