#pragma once

#include <QString>
#include <QStringView>

namespace platform {

// Character references in HTML text and attribute values.
class HtmlEntities {
public:
    // `text` with "&#NNN;", "&#xHH;" and the named references of HTML 4 (all
    // that browsers write) replaced by their characters. Unknown names stay as
    // written; numbers outside Unicode, surrogates and NUL give U+FFFD, and
    // 0x80..0x9F the Windows-1252 character, as in browsers.
    static QString decode(QStringView text);
    // The character of a reference's name (without '&' and ';'), or 0 when unknown.
    static char32_t named(QStringView name);
};

} // namespace platform
