#include "IniFile.h"

#include "platform/AppError.h"
#include "platform/ProgramFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace {

struct Line {
    enum Kind { Other, Section, Entry };
    Kind kind = Other;
    QString name; // section or key name, trimmed
};

Line classify(const QString &raw)
{
    const QString line = raw.trimmed();
    if (line.startsWith(u'[')) {
        const qsizetype close = line.indexOf(u']');
        if (close > 0)
            return {Line::Section, line.mid(1, close - 1).trimmed()};
    }
    const qsizetype eq = line.indexOf(u'=');
    if (eq > 0)
        return {Line::Entry, line.left(eq).trimmed()};
    return {};
}

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QStringList lines = text.split(u'\n');
    for (QString &l : lines) {
        if (l.endsWith(u'\r'))
            l.chop(1);
    }
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
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

std::optional<QString> IniFile::readRaw(const QString &section, const QString &key) const
{
    bool inSection = false;
    for (const QString &raw : readLines(m_path)) {
        const Line line = classify(raw);
        if (line.kind == Line::Section) {
            inSection = equalNames(line.name, section);
        } else if (inSection && line.kind == Line::Entry && equalNames(line.name, key)) {
            return raw.mid(raw.indexOf(u'=') + 1);
        }
    }
    return std::nullopt;
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

void IniFile::writeString(const QString &section, const QString &key, const QString &value) const
{
    QStringList lines = readLines(m_path);
    const QString entry = key + u'=' + oneLine(value);

    qsizetype sectionStart = -1; // line of the section header
    qsizetype insertAt = -1;     // after the section's last entry
    bool inSection = false;
    bool done = false;
    for (qsizetype i = 0; i < lines.size() && !done; ++i) {
        const Line line = classify(lines[i]);
        if (line.kind == Line::Section) {
            if (inSection)
                break;
            inSection = equalNames(line.name, section);
            if (inSection) {
                sectionStart = i;
                insertAt = i + 1;
            }
        } else if (inSection && line.kind == Line::Entry) {
            if (equalNames(line.name, key)) {
                // Keep the key's stored spelling.
                lines[i] = line.name + u'=' + oneLine(value);
                done = true;
            }
            insertAt = i + 1;
        }
    }
    if (!done) {
        if (sectionStart < 0) {
            if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
                lines.append(QString());
            lines.append(u'[' + section + u']');
            lines.append(entry);
        } else {
            lines.insert(insertAt, entry);
        }
    }

    const QString failure = QStringLiteral("Unable to write to %1").arg(m_path);
    const QFileInfo info(m_path);
    if ((info.exists() && isReadOnly(info)) || isReadOnly(QFileInfo(info.absolutePath())))
        throw platform::AppError(failure);

    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        throw platform::AppError(failure);
    const QByteArray bytes = (lines.join(u'\n') + u'\n').toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
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
