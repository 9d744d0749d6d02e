#pragma once

#include <QByteArray>

class QTextDocument;

namespace platform::rtf {

// Writes a QTextDocument (or the characters [from, to) of it) as RTF that word
// processors open with the same look: Windows-1252 header, font and colour
// tables, per run face, size, colour (or the automatic colour), bold, italic,
// underline and strike-out; per paragraph alignment, first-line and left
// indents and bullets; tabs, line breaks and characters outside the code page
// as \uN with a fallback.
class RtfWriter {
public:
    static QByteArray write(const QTextDocument &document, int from = 0, int to = -1);
};

} // namespace platform::rtf
