#pragma once

#include <QString>

#include <optional>

namespace settings {

// The signed 32-bit integer that a typed text stands for: leading blanks, an
// optional sign, then decimal digits or "$" and hexadecimal digits. Any other
// character, an empty number or a decimal value outside the 32-bit range gives
// nothing. Up to eight hexadecimal digits are taken as the bits of the number,
// so "$FFFFFFFF" is -1. No other range check: 0 and negative numbers convert.
std::optional<int> integerFromText(const QString &text);

} // namespace settings
