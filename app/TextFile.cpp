#include "TextFile.h"

#include "platform/AppError.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextDocument>

namespace TextFile {

Format formatFor(const QString &fileName, int filterIndex)
{
    const QString ending = fileName.right(4);
    if (ending == QLatin1String(".rtf"))
        return Format::Rich;
    if (ending == QLatin1String(".txt") || ending == QLatin1String(".htm"))
        return Format::Plain;
    return filterIndex == 1 ? Format::Rich : Format::Plain;
}

QStringList documentLines(const QTextDocument &document)
{
    QStringList lines;
    lines.reserve(document.blockCount());
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QString text = block.text();
        text.remove(QChar::ObjectReplacementCharacter);
        if (text.contains(QChar::LineSeparator))
            lines << text.split(QChar::LineSeparator);
        else
            lines << text;
    }
    return lines;
}

QByteArray crlfText(const QStringList &lines)
{
    qsizetype size = 0;
    for (const QString &line : lines)
        size += line.size() + 2;
    QByteArray bytes;
    bytes.reserve(size);
    for (const QString &line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

QByteArray read(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw platform::AppError(QStringLiteral("Cannot open file %1").arg(fileName));
    return file.readAll();
}

void write(const QString &fileName, const QByteArray &bytes)
{
    // The file is replaced by a new one; one marked read-only is refused
    // first, whoever runs the program.
    const QFileInfo existing(fileName);
    if (existing.exists() &&
        (!existing.isWritable() || !(existing.permissions() & QFileDevice::WriteOwner)))
        throw platform::AppError(
            QStringLiteral("Cannot write file %1: the file is read-only").arg(fileName));
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw platform::AppError(
            QStringLiteral("Cannot write file %1: %2").arg(fileName, file.errorString()));
}

} // namespace TextFile
