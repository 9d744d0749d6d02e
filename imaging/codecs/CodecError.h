#pragma once

#include <QString>
#include <stdexcept>

namespace codecs {

// An error of a picture coder or of the colour reduction. The application's
// standard error box shows what(); the coders stay free of the desktop layer,
// so this derives from std::runtime_error directly.
class CodecError : public std::runtime_error {
public:
    explicit CodecError(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

} // namespace codecs
