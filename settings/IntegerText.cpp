#include "IntegerText.h"

#include <cstdint>

namespace settings {

std::optional<int> integerFromText(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    const bool hex = i < text.size() && text.at(i) == QLatin1Char('$');
    if (hex)
        ++i;
    if (i == text.size())
        return std::nullopt;

    std::uint64_t value = 0;
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return std::nullopt;
        value = value * (hex ? 16 : 10) + digit;
        if (value > limit)
            return std::nullopt;
    }
    // Hexadecimal digits are the number's bits; the sign then applies to that.
    const auto bits = static_cast<std::uint32_t>(negative ? 0u - value : value);
    return static_cast<int>(static_cast<std::int32_t>(bits));
}

} // namespace settings
