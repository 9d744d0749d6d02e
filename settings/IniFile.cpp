#include "IniFile.h"

#include "platform/AppError.h"
#include "platform/ProgramFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace {

// One line of the file as bytes: [start, end) is its text without the line
// end; `next` is where the following line starts.
struct RawLine {
    enum Kind { Other, Section, Entry };
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype next = 0;
    Kind kind = Other;
    QString name;            // section or key name, trimmed
    qsizetype valueFrom = 0; // Entry: the byte after the equals sign
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

// Classifies the line [start, end) of `bytes`. Only names are decoded; the
// rest of the line stays bytes, so bytes that are no text survive a write.
void classify(const QByteArray &bytes, RawLine &line)
{
    const char *data = bytes.constData();
    qsizetype from = line.start;
    qsizetype to = line.end;
    if (from == 0 && bytes.startsWith("\xEF\xBB\xBF"))
        from = 3; // the byte order mark belongs to no name
    while (from < to && isBlank(data[from]))
        ++from;
    while (to > from && isBlank(data[to - 1]))
        --to;
    if (from < to && data[from] == '[') {
        const void *close = std::memchr(data + from, ']', size_t(to - from));
        if (close) {
            const qsizetype at = static_cast<const char *>(close) - data;
            line.kind = RawLine::Section;
            line.name = QString::fromUtf8(data + from + 1, at - from - 1).trimmed();
            return;
        }
    }
    const void *eq = std::memchr(data + from, '=', size_t(to - from));
    if (eq && eq != data + from) {
        const qsizetype at = static_cast<const char *>(eq) - data;
        line.kind = RawLine::Entry;
        line.name = QString::fromUtf8(data + from, at - from).trimmed();
        line.valueFrom = at + 1;
    }
}

// Calls `visit` for each line in file order until it returns false.
template <typename Visit> void forEachLine(const QByteArray &bytes, Visit visit)
{
    const char *data = bytes.constData();
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        RawLine line;
        line.start = pos;
        const void *nl = std::memchr(data + pos, '\n', size_t(bytes.size() - pos));
        line.end = nl ? static_cast<const char *>(nl) - data : bytes.size();
        line.next = nl ? line.end + 1 : bytes.size();
        // A carriage return before the line feed belongs to the line end;
        // one anywhere else is part of the line.
        if (nl && line.end > line.start && data[line.end - 1] == '\r')
            --line.end;
        classify(bytes, line);
        pos = line.next;
        if (!visit(line))
            return;
    }
}

bool equalNames(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Line breaks inside a value would split it into lines of its own and could
// forge sections or keys; they are stored as blanks.
QString oneLine(QString value)
{
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    return value;
}

// The file system refuses writes to read-only files and folders; the mode
// bits are honoured even for a superuser, as a read-only file is the user's
// statement that it must not change.
bool isReadOnly(const QFileInfo &info)
{
    return !info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner);
}

std::function<void(const QString &)> &oversizeNotice()
{
    static std::function<void(const QString &)> notice;
    return notice;
}

QString oversizeMessage(const QString &path)
{
    return QStringLiteral("The settings file \"%1\" is larger than %2 MB, far larger than any "
                          "settings file. Quillet uses its default settings and does not change "
                          "the file; delete it or remove what does not belong in it to keep "
                          "settings again.")
        .arg(path)
        .arg(IniFile::MaxFileBytes / (1024 * 1024));
}

// A file far larger than any settings file is not read at all; it is reported
// the first time it is met.
bool oversized(const QString &path, qint64 size)
{
    if (size <= IniFile::MaxFileBytes)
        return false;
    static QSet<QString> reported;
    if (!reported.contains(path)) {
        reported.insert(path);
        if (oversizeNotice())
            oversizeNotice()(oversizeMessage(path));
    }
    return true;
}

// The file's bytes, or nothing when it is absent, unreadable or oversized.
QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || oversized(path, file.size()))
        return {};
    return file.readAll();
}

// Temporary files of writes that were killed before they could finish:
// "Quillet.ini." and six letters or digits, a plain file of our own, not
// touched for a minute (a write takes milliseconds).
void removeStaleTemporaries(const QString &path)
{
    const QFileInfo target(path);
    const QDir folder = target.absoluteDir();
    const QRegularExpression pattern(
        QStringLiteral("^%1\\.[A-Za-z0-9]{6}$").arg(QRegularExpression::escape(target.fileName())));
    const uint owner = target.exists() ? target.ownerId() : QFileInfo(folder.path()).ownerId();
    const QDateTime staleBefore = QDateTime::currentDateTimeUtc().addSecs(-60);
    const QStringList candidates = folder.entryList({target.fileName() + QStringLiteral(".??????")},
                                                    QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QString &name : candidates) {
        const QFileInfo info(folder.filePath(name));
        if (pattern.match(name).hasMatch() && info.isFile() && !info.isSymLink() &&
            info.ownerId() == owner && info.lastModified().toUTC() < staleBefore)
            QFile::remove(info.filePath());
    }
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

QString IniFile::programIniPath()
{
    return platform::programFile(QStringLiteral("Quillet.ini"));
}

IniFile IniFile::programIni()
{
    return IniFile(programIniPath());
}

void IniFile::setOversizeNotice(std::function<void(const QString &)> notice)
{
    oversizeNotice() = std::move(notice);
}

std::optional<QString> IniFile::readRaw(const QString &section, const QString &key) const
{
    return valueIn(readBytes(m_path), section, key);
}

std::optional<QString> IniFile::valueIn(const QByteArray &bytes, const QString &section,
                                        const QString &key)
{
    bool inSection = false;
    std::optional<QString> value;
    forEachLine(bytes, [&](const RawLine &line) {
        if (line.kind == RawLine::Section) {
            inSection = equalNames(line.name, section);
        } else if (inSection && line.kind == RawLine::Entry && equalNames(line.name, key)) {
            // A value may begin with a byte order mark of its own: it is text.
            QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                          QStringDecoder::Flag::ConvertInitialBom);
            value = utf8.decode(
                QByteArrayView(bytes.constData() + line.valueFrom, line.end - line.valueFrom));
            return false;
        }
        return true;
    });
    return value;
}

QString IniFile::readString(const QString &section, const QString &key,
                            const QString &defaultValue) const
{
    const std::optional<QString> value = readRaw(section, key);
    return value ? value->left(MaxValueLength) : defaultValue;
}

std::optional<int> IniFile::parseInteger(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    if (t.size() > 2 && (t.startsWith(QLatin1String("0x")) || t.startsWith(QLatin1String("0X")))) {
        const QString digits = t.mid(2);
        // Hexadecimal is the 32-bit pattern: "0xFFFFFFFF" is -1.
        if (digits.startsWith(u'+') || digits.startsWith(u'-'))
            return std::nullopt;
        const uint value = digits.toUInt(&ok, 16);
        return ok ? std::optional<int>(static_cast<int>(value)) : std::nullopt;
    }
    const int value = t.toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

int IniFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    const std::optional<QString> value = readRaw(section, key);
    if (!value)
        return defaultValue;
    return parseInteger(value->left(MaxValueLength)).value_or(defaultValue);
}

bool IniFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

QByteArray IniFile::withValue(const QByteArray &bytes, const QString &section, const QString &key,
                              const QString &value)
{
    const QByteArray text = oneLine(value).toUtf8();
    // New lines end as the line before them does.
    const auto lineEnd = [&](const RawLine &line) {
        return line.next - line.end == 2 ? QByteArray("\r\n") : QByteArray("\n");
    };

    bool inSection = false;
    bool found = false;
    RawLine lastInSection; // its last entry, or the header
    RawLine keyLine;
    RawLine last; // the file's last line
    QByteArray style = "\n";
    bool styleSeen = false;
    forEachLine(bytes, [&](const RawLine &line) {
        last = line;
        if (!styleSeen && line.next > line.end) {
            style = lineEnd(line);
            styleSeen = true;
        }
        if (line.kind == RawLine::Section) {
            if (inSection)
                return false; // only the first section of that name is written to
            inSection = equalNames(line.name, section);
            if (inSection) {
                found = true;
                lastInSection = line;
            }
        } else if (inSection && line.kind == RawLine::Entry) {
            if (equalNames(line.name, key)) {
                keyLine = line;
                return false;
            }
            lastInSection = line;
        }
        return true;
    });

    QByteArray out;
    out.reserve(bytes.size() + text.size() + key.size() + section.size() + 8);
    if (keyLine.kind == RawLine::Entry) {
        // The key's line keeps its spelling, its blanks and its line end.
        out.append(bytes.constData(), keyLine.valueFrom);
        out.append(text);
        out.append(bytes.constData() + keyLine.end, bytes.size() - keyLine.end);
        return out;
    }
    // Ends the file's last line when it has no line end. A carriage return
    // it ends with is part of its text and stays so.
    const auto endLastLine = [&](const RawLine &line) {
        if (line.next == line.end)
            out.append(line.end > line.start && bytes[line.end - 1] == '\r' ? "\r\n" : style);
    };
    const QByteArray entry = key.toUtf8() + '=' + text;
    if (found) {
        const qsizetype at = lastInSection.next;
        out.append(bytes.constData(), at);
        endLastLine(lastInSection);
        out.append(entry);
        out.append(lastInSection.next == lastInSection.end ? QByteArray() : lineEnd(lastInSection));
        out.append(bytes.constData() + at, bytes.size() - at);
        return out;
    }
    out = bytes;
    if (!bytes.isEmpty()) {
        endLastLine(last);
        const bool lastBlank =
            std::all_of(bytes.constData() + last.start, bytes.constData() + last.end, isBlank);
        if (!lastBlank) // a blank line before the new section
            out.append(style);
    }
    out.append('[' + section.toUtf8() + ']' + style + entry + style);
    return out;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value) const
{
    const QString failure = QStringLiteral("Unable to write to %1").arg(m_path);
    const QFileInfo info(m_path);
    if ((info.exists() && isReadOnly(info)) || isReadOnly(QFileInfo(info.absolutePath())))
        throw platform::AppError(failure);

    QByteArray bytes;
    QFile current(m_path);
    if (current.open(QIODevice::ReadOnly)) {
        // A file that is not read is not rewritten either: its value would
        // be lost, and the write would claim a success nobody can read back.
        if (oversized(m_path, current.size()))
            throw platform::AppError(failure + QStringLiteral(": the file is larger than %1 MB")
                                                   .arg(MaxFileBytes / (1024 * 1024)));
        bytes = current.readAll();
        current.close();
    }
    removeStaleTemporaries(m_path);

    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        throw platform::AppError(failure);
    const QByteArray out = withValue(bytes, section, key, value);
    if (file.write(out) != out.size() || !file.commit())
        throw platform::AppError(failure);
}

void IniFile::writeInteger(const QString &section, const QString &key, int value) const
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString &section, const QString &key, bool value) const
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}
