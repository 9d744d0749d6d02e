#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace platform::rtf {

// A tolerant RTF reader for what real programs write. It replaces the content
// of a QTextDocument with the text of the RTF and its character formats (face,
// size, colour, bold, italic, underline, strike-out) and paragraph formats
// (alignment, first-line and left indents, bullets). Non-text destinations,
// pictures and objects are skipped; table cells become tab-separated text.
//
// Malformed input never crashes or hangs the reader, and its memory stays
// proportional to the input: truncated data and unbalanced braces give the text
// read so far; only nesting deeper than kMaxDepth, and more paragraphs than the
// caller allows, are errors.
class RtfReader {
public:
    static constexpr int kMaxDepth = 1000;

    // False (with the reason in `error`) when the data cannot be read as RTF,
    // or holds more than `maxParagraphs` paragraphs (when that is not
    // negative); the document then holds what was read up to the failure.
    static bool read(const QByteArray &data, QTextDocument &document, QString *error = nullptr,
                     int maxParagraphs = -1);
};

} // namespace platform::rtf
