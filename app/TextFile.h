#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QTextDocument;

// The text files of "Save this now!": which format a name asks for, the
// plain-text form of a document, and reading and writing whole files.
namespace TextFile {

enum class Format { Rich, Plain };

// The format for a chosen name: by its last four characters, compared
// exactly (".rtf" rich text, ".txt" and ".htm" plain text), otherwise rich
// text only when the save dialog's first filter (1-based index) is chosen.
Format formatFor(const QString &fileName, int filterIndex);

// The document's lines as plain text, first to last: each paragraph, where a
// line break inside a paragraph starts a new line. Embedded objects are left out.
QStringList documentLines(const QTextDocument &document);

// Every line followed by CR LF (the last one too), in UTF-8.
QByteArray crlfText(const QStringList &lines);

// The whole file. Throws platform::AppError naming the file when it cannot be read.
QByteArray read(const QString &fileName);

// Replaces the file with `bytes` through a temporary file in the same folder,
// so an interrupted or failed write leaves the old file whole. Throws
// platform::AppError naming the file when it cannot be written.
void write(const QString &fileName, const QByteArray &bytes);

} // namespace TextFile
