#include "UserStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

namespace platform {

namespace {

const QString Root = QStringLiteral("HKEY_CURRENT_USER");
const QString Header = QStringLiteral("Windows Registry Editor Version 5.00");
const QString OldHeader = QStringLiteral("REGEDIT4");

struct Entry {
    enum Kind { String, Binary, Other };
    QString name;
    Kind kind = String;
    QString text;    // String
    QByteArray data; // Binary
    QString raw;     // Other (numbers and the like): the data text exactly as found
};

struct Key {
    QString path;
    QList<Entry> values;
};

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool hasControlCharacter(const QString &s)
{
    for (QChar c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

QString displayName(const QString &name)
{
    return name.isEmpty() ? QStringLiteral("(Default)") : name;
}

// The file's keys, in file order.
class Document {
public:
    QList<Key> keys;

    Key *find(const QString &path)
    {
        for (Key &k : keys) {
            if (sameName(k.path, path))
                return &k;
        }
        return nullptr;
    }

    bool contains(const QString &path) const
    {
        if (path.isEmpty())
            return true;
        const QString below = path + QLatin1Char('\\');
        for (const Key &k : keys) {
            if (sameName(k.path, path) || k.path.startsWith(below, Qt::CaseInsensitive))
                return true;
        }
        return false;
    }

    // The key's section, created (with sections for the keys above it) when missing.
    Key &create(const QString &path)
    {
        const QStringList parts = path.split(QLatin1Char('\\'));
        Key *key = nullptr;
        QString prefix;
        for (const QString &part : parts) {
            prefix = prefix.isEmpty() ? part : prefix + QLatin1Char('\\') + part;
            key = find(prefix);
            if (key)
                continue;
            // A new section goes before the first key below it, so parents
            // stay ahead of their children.
            const QString below = prefix + QLatin1Char('\\');
            qsizetype at = keys.size();
            for (qsizetype i = 0; i < keys.size(); ++i) {
                if (keys[i].path.startsWith(below, Qt::CaseInsensitive)) {
                    at = i;
                    break;
                }
            }
            keys.insert(at, Key{prefix, {}});
            key = &keys[at];
        }
        return *key;
    }
};

class Parser {
public:
    Parser(const QString &path, const QString &text) : m_path(path), m_text(text) {}

    Document parse()
    {
        Document doc;
        const QStringList lines = m_text.split(QLatin1Char('\n'));
        bool sawHeader = false;
        Key *current = nullptr;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            m_line = int(i) + 1;
            QString line = lines[i];
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            const QString trimmed = line.trimmed();
            if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')))
                continue;
            if (!sawHeader) {
                if (trimmed != Header && trimmed != OldHeader)
                    damaged();
                sawHeader = true;
                continue;
            }
            if (trimmed.startsWith(QLatin1Char('['))) {
                current = &doc.create(parseKeyLine(trimmed));
                continue;
            }
            if (!current)
                damaged();
            QString logical = trimmed;
            // Long hexadecimal data continues on the next lines after a backslash.
            while (logical.endsWith(QLatin1Char('\\')) && i + 1 < lines.size()) {
                logical.chop(1);
                logical += lines[++i].trimmed();
            }
            Entry entry = parseValueLine(logical);
            bool replaced = false;
            for (Entry &e : current->values) {
                if (sameName(e.name, entry.name)) {
                    entry.name = e.name;
                    e = entry;
                    replaced = true;
                }
            }
            if (!replaced)
                current->values.append(entry);
        }
        if (!sawHeader && !m_text.trimmed().isEmpty())
            damaged();
        return doc;
    }

private:
    [[noreturn]] void damaged() const
    {
        throw StoreError(StoreError::Kind::Damaged,
                         QStringLiteral("The settings store \"%1\" is damaged at line %2")
                             .arg(m_path)
                             .arg(m_line));
    }

    QString parseKeyLine(const QString &line) const
    {
        if (!line.endsWith(QLatin1Char(']')) || line.startsWith(QLatin1String("[-")))
            damaged();
        const QString full = line.mid(1, line.size() - 2);
        if (sameName(full, Root))
            return {};
        if (!full.startsWith(Root + QLatin1Char('\\'), Qt::CaseInsensitive))
            damaged();
        const QString path = full.mid(Root.size() + 1);
        if (path.split(QLatin1Char('\\')).contains(QString()))
            damaged();
        return path;
    }

    // A quoted text starting at `pos`; leaves `pos` after the closing quote.
    QString parseQuoted(const QString &s, qsizetype &pos) const
    {
        if (pos >= s.size() || s[pos] != QLatin1Char('"'))
            damaged();
        QString out;
        for (++pos; pos < s.size(); ++pos) {
            const QChar c = s[pos];
            if (c == QLatin1Char('"')) {
                ++pos;
                return out;
            }
            if (c == QLatin1Char('\\')) {
                if (++pos >= s.size())
                    damaged();
                out += s[pos];
            } else {
                out += c;
            }
        }
        damaged();
    }

    QByteArray parseHexBytes(const QString &s) const
    {
        QByteArray bytes;
        if (s.trimmed().isEmpty())
            return bytes;
        for (const QString &part : s.split(QLatin1Char(','))) {
            bool ok = false;
            const QString digits = part.trimmed();
            const uint value = digits.toUInt(&ok, 16);
            if (!ok || digits.size() > 2)
                damaged();
            bytes.append(char(value));
        }
        return bytes;
    }

    Entry parseValueLine(const QString &line) const
    {
        Entry entry;
        qsizetype pos = 0;
        if (line.startsWith(QLatin1Char('@')))
            pos = 1;
        else
            entry.name = parseQuoted(line, pos);
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        if (pos >= line.size() || line[pos] != QLatin1Char('='))
            damaged();
        const QString data = line.mid(pos + 1).trimmed();
        if (data.startsWith(QLatin1Char('"'))) {
            qsizetype at = 0;
            entry.kind = Entry::String;
            entry.text = parseQuoted(data, at);
            if (at != data.size())
                damaged();
        } else if (data.startsWith(QLatin1String("hex:"), Qt::CaseInsensitive)) {
            entry.kind = Entry::Binary;
            entry.data = parseHexBytes(data.mid(4));
        } else if (data.startsWith(QLatin1String("hex(1):"), Qt::CaseInsensitive)) {
            // Text the plain form cannot hold, as UTF-16 code units with a final zero.
            const QByteArray bytes = parseHexBytes(data.mid(7));
            if (bytes.size() % 2 != 0)
                damaged();
            QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData()),
                                              bytes.size() / 2);
            while (text.endsWith(QChar(0)))
                text.chop(1);
            entry.kind = Entry::String;
            entry.text = text;
        } else if (data.startsWith(QLatin1String("hex("), Qt::CaseInsensitive) ||
                   data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            entry.kind = Entry::Other;
            entry.raw = data;
        } else {
            damaged();
        }
        return entry;
    }

    QString m_path;
    QString m_text;
    int m_line = 0;
};

QString quoted(const QString &s)
{
    QString out = QStringLiteral("\"");
    for (QChar c : s) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out + QLatin1Char('"');
}

// "hex:" or "hex(1):" data, wrapped like a registry export.
QString hexData(const QString &prefix, const QByteArray &bytes, qsizetype column)
{
    QString out = prefix;
    column += prefix.size();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const QString byte = QStringLiteral("%1").arg(uchar(bytes[i]), 2, 16, QLatin1Char('0'));
        out += byte;
        column += 2;
        if (i + 1 < bytes.size()) {
            out += QLatin1Char(',');
            ++column;
            if (column > 76) {
                out += QStringLiteral("\\\n  ");
                column = 2;
            }
        }
    }
    return out;
}

QString serialize(const Document &doc)
{
    QString out = Header + QStringLiteral("\n");
    for (const Key &key : doc.keys) {
        out += QStringLiteral("\n[") + Root;
        if (!key.path.isEmpty())
            out += QLatin1Char('\\') + key.path;
        out += QStringLiteral("]\n");
        for (const Entry &e : key.values) {
            QString line =
                e.name.isEmpty() ? QStringLiteral("@=") : quoted(e.name) + QLatin1Char('=');
            switch (e.kind) {
            case Entry::String:
                if (hasControlCharacter(e.text)) {
                    const QString zeroEnded = e.text + QChar(0);
                    const QByteArray units(reinterpret_cast<const char *>(zeroEnded.utf16()),
                                           zeroEnded.size() * 2);
                    line += hexData(QStringLiteral("hex(1):"), units, line.size());
                } else {
                    line += quoted(e.text);
                }
                break;
            case Entry::Binary:
                line += hexData(QStringLiteral("hex:"), e.data, line.size());
                break;
            case Entry::Other:
                line += e.raw;
                break;
            }
            out += line + QLatin1Char('\n');
        }
    }
    return out;
}

// Key paths are given without the root; a leading or trailing backslash is tolerated.
QString normalizedKey(const QString &key)
{
    QString path = key;
    while (path.startsWith(QLatin1Char('\\')))
        path.remove(0, 1);
    while (path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    if (hasControlCharacter(path) ||
        (!path.isEmpty() && path.split(QLatin1Char('\\')).contains(QString())))
        throw StoreError(StoreError::Kind::InvalidName,
                         QStringLiteral("\"%1\" is not a valid key name").arg(key));
    return path;
}

} // namespace

UserStore::UserStore(const QString &filePath) : m_path(filePath) {}

QString UserStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/quillet/user.reg");
}

namespace {

Document load(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(StoreError::Kind::ReadFailed,
                         QStringLiteral("Failed to read the settings store \"%1\": %2")
                             .arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    QString text;
    if (bytes.startsWith("\xff\xfe")) // a registry export saved as UTF-16
        text = QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData() + 2),
                                  (bytes.size() - 2) / 2);
    else
        text = QString::fromUtf8(bytes.startsWith("\xef\xbb\xbf") ? bytes.mid(3) : bytes);
    return Parser(path, text).parse();
}

void save(const QString &path, const Document &doc)
{
    const auto fail = [&path](const QString &why) {
        throw StoreError(
            StoreError::Kind::WriteFailed,
            QStringLiteral("Failed to write the settings store \"%1\": %2").arg(path, why));
    };
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        fail(QStringLiteral("cannot create the folder \"%1\"").arg(folder));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        fail(file.errorString());
    const QByteArray bytes = serialize(doc).toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        fail(file.errorString());
}

} // namespace

bool UserStore::keyExists(const QString &key) const
{
    return load(m_path).contains(normalizedKey(key));
}

void UserStore::createKey(const QString &key)
{
    const QString path = normalizedKey(key);
    Document doc = load(m_path);
    if (path.isEmpty() || doc.find(path))
        return;
    doc.create(path);
    save(m_path, doc);
}

namespace {

// The value to read, or an error naming what is missing.
Entry findValue(const QString &storePath, const QString &key, const QString &name)
{
    const QString path = normalizedKey(key);
    Document doc = load(storePath);
    const auto error = [&](StoreError::Kind kind, const QString &why) {
        return StoreError(kind, QStringLiteral("Failed to read \"%1\" in \"%2\": %3")
                                    .arg(displayName(name), path, why));
    };
    if (!doc.contains(path))
        throw error(StoreError::Kind::MissingKey, QStringLiteral("the key does not exist"));
    if (Key *k = doc.find(path)) {
        for (const Entry &e : k->values) {
            if (sameName(e.name, name))
                return e;
        }
    }
    throw error(StoreError::Kind::MissingValue, QStringLiteral("the value does not exist"));
}

StoreError wrongValue(StoreError::Kind kind, const QString &key, const QString &name,
                      const QString &why)
{
    return StoreError(kind, QStringLiteral("Failed to read \"%1\" in \"%2\": %3")
                                .arg(displayName(name), normalizedKey(key), why));
}

} // namespace

bool UserStore::valueExists(const QString &key, const QString &name) const
{
    try {
        findValue(m_path, key, name);
        return true;
    } catch (const StoreError &e) {
        if (e.kind() == StoreError::Kind::MissingKey || e.kind() == StoreError::Kind::MissingValue)
            return false;
        throw;
    }
}

QString UserStore::readString(const QString &key, const QString &name) const
{
    const Entry e = findValue(m_path, key, name);
    if (e.kind != Entry::String)
        throw wrongValue(StoreError::Kind::WrongType, key, name,
                         QStringLiteral("the value is not text"));
    return e.text;
}

QByteArray UserStore::readBinary(const QString &key, const QString &name, qsizetype size) const
{
    const Entry e = findValue(m_path, key, name);
    if (e.kind != Entry::Binary)
        throw wrongValue(StoreError::Kind::WrongType, key, name,
                         QStringLiteral("the value is not binary data"));
    if (size >= 0 && e.data.size() != size)
        throw wrongValue(
            StoreError::Kind::WrongSize, key, name,
            QStringLiteral("the value holds %1 bytes instead of %2").arg(e.data.size()).arg(size));
    return e.data;
}

void UserStore::writeString(const QString &key, const QString &name, const QString &text)
{
    writeValues(key, {StoreValue::string(name, text)});
}

void UserStore::writeBinary(const QString &key, const QString &name, const QByteArray &data)
{
    writeValues(key, {StoreValue::binary(name, data)});
}

void UserStore::writeValues(const QString &key, const QList<StoreValue> &values)
{
    const QString path = normalizedKey(key);
    for (const StoreValue &v : values) {
        if (hasControlCharacter(v.name))
            throw StoreError(StoreError::Kind::InvalidName,
                             QStringLiteral("\"%1\" is not a valid value name").arg(v.name));
    }
    Document doc = load(m_path);
    Key &k = doc.create(path);
    for (const StoreValue &v : values) {
        Entry entry;
        entry.name = v.name;
        entry.kind = v.type == StoreValue::Type::String ? Entry::String : Entry::Binary;
        entry.text = v.text;
        entry.data = v.data;
        bool replaced = false;
        for (Entry &e : k.values) {
            if (sameName(e.name, v.name)) {
                entry.name = e.name; // a value keeps the spelling it was created with
                e = entry;
                replaced = true;
            }
        }
        if (!replaced)
            k.values.append(entry);
    }
    save(m_path, doc);
}

} // namespace platform
