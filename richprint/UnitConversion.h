#pragma once

#include <climits>
#include <cmath>

// Lengths, resolutions and their rounding, shared by the print engine's page
// geometry, page decoration and page setup. Pure arithmetic.
namespace richprint {

// Conversions are done in extended precision and rounded to a double at the
// end, so converted lengths are the nearest doubles to the exact products.
inline constexpr long double InchesPerMillimetre = 0.0393700787401574803L;
inline constexpr long double MillimetresPerInch = 25.4L;
// The resolution assumed when the printer cannot be reached.
inline constexpr int FallbackDpi = 600;

inline double scaled(double value, long double factor)
{
    return double(value * factor);
}

// `round(x)` as an int: NaN gives 0, values beyond the int range its nearest limit.
template <typename Round> inline int toIntWith(long double x, Round round)
{
    if (std::isnan(x))
        return 0;
    if (x >= INT_MAX)
        return INT_MAX;
    if (x <= INT_MIN)
        return INT_MIN;
    return int(round(x));
}

// To the nearest integer, halves to the even neighbour, limited to int.
inline int roundHalfEven(long double x)
{
    return toIntWith(x, [](long double v) {
        long double r = std::floor(v);
        const long double fraction = v - r;
        if (fraction > 0.5L || (fraction == 0.5L && std::fmod(r, 2.0L) != 0))
            r += 1;
        return r;
    });
}

inline int truncated(long double x)
{
    return toIntWith(x, [](long double v) { return std::trunc(v); });
}

} // namespace richprint
