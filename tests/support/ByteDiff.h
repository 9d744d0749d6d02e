#pragma once

#include <QByteArray>

// Whether everything that differs between `before` and `after` lies within one
// line of `before`: the part between their common start and common end holds
// no line feed. Header-only, so the fuzz targets use it without the test
// libraries.
inline bool changedWithinOneLine(const QByteArray &before, const QByteArray &after)
{
    qsizetype prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    return !before.mid(prefix, before.size() - prefix - suffix).contains('\n');
}
