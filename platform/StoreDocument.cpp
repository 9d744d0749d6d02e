#include "platform/StoreDocument.h"

#include "platform/UserStore.h"

#include <QStringView>

namespace platform::store {

namespace {

const QString Root = QStringLiteral("HKEY_CURRENT_USER");
const QString Header = QStringLiteral("Windows Registry Editor Version 5.00");
const QString OldHeader = QStringLiteral("REGEDIT4");

QString folded(const QString &name)
{
    return name.toCaseFolded();
}

bool hasControlCharacter(QStringView s)
{
    for (QChar c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

class Parser {
public:
    Parser(const QString &path, const QString &text) : m_path(path), m_text(text) {}

    Document parse(Document doc)
    {
        bool sawHeader = false;
        Key *current = nullptr;
        qsizetype pos = 0;
        QStringView line;
        while (nextLine(pos, line)) {
            QStringView trimmed = line.trimmed();
            if (trimmed.isEmpty() || trimmed.startsWith(u';'))
                continue;
            if (!sawHeader) {
                if (trimmed != Header && trimmed != OldHeader)
                    damaged();
                sawHeader = true;
                continue;
            }
            if (trimmed.startsWith(u'[')) {
                const QString path = parseKeyLine(trimmed);
                current = doc.find(path);
                if (!current)
                    current = &doc.addSection(path);
                continue;
            }
            if (!current)
                damaged();
            // Long hexadecimal data continues on the next lines after a
            // backslash; a backslash on the file's last line continues to
            // nothing and is dropped.
            QString logical;
            if (trimmed.endsWith(u'\\')) {
                logical = trimmed.toString();
                while (logical.endsWith(u'\\')) {
                    logical.chop(1);
                    if (!nextLine(pos, line)) {
                        while (logical.endsWith(u'\\'))
                            logical.chop(1);
                        break;
                    }
                    logical += line.trimmed();
                    if (logical.size() > kMaxLineLength)
                        tooLarge(QStringLiteral("line %1 is longer than %2 characters")
                                     .arg(m_line)
                                     .arg(kMaxLineLength));
                }
                trimmed = logical;
            }
            if (++m_values > kMaxValues)
                tooLarge(QStringLiteral("it holds more than %1 values").arg(kMaxValues));
            current->set(parseValueLine(trimmed));
        }
        if (!sawHeader && !m_text.trimmed().isEmpty())
            damaged();
        return doc;
    }

private:
    // The next physical line without its line end; false at the end of the text.
    bool nextLine(qsizetype &pos, QStringView &line)
    {
        if (pos > m_text.size() || (pos == m_text.size() && pos > 0 && m_text.back() == u'\n'))
            return false;
        qsizetype end = m_text.indexOf(u'\n', pos);
        if (end < 0)
            end = m_text.size();
        line = QStringView(m_text).mid(pos, end - pos);
        if (line.endsWith(u'\r'))
            line.chop(1);
        pos = end + 1;
        ++m_line;
        if (line.size() > kMaxLineLength)
            tooLarge(QStringLiteral("line %1 is longer than %2 characters")
                         .arg(m_line)
                         .arg(kMaxLineLength));
        return true;
    }

    [[noreturn]] void damaged() const
    {
        throw StoreError(StoreError::Kind::Damaged,
                         QStringLiteral("The settings store \"%1\" is damaged at line %2")
                             .arg(m_path)
                             .arg(m_line));
    }

    [[noreturn]] void tooLarge(const QString &why) const
    {
        throw StoreError(
            StoreError::Kind::TooLarge,
            QStringLiteral("The settings store \"%1\" cannot be read: %2").arg(m_path, why));
    }

    QString parseKeyLine(QStringView line) const
    {
        if (!line.endsWith(u']') || line.startsWith(u"[-"))
            damaged();
        const QStringView full = line.mid(1, line.size() - 2);
        if (full.compare(Root, Qt::CaseInsensitive) == 0)
            return {};
        if (!full.startsWith(Root + u'\\', Qt::CaseInsensitive))
            damaged();
        const QStringView path = full.mid(Root.size() + 1);
        if (path.isEmpty() || path.startsWith(u'\\') || path.endsWith(u'\\') ||
            path.contains(u"\\\\"))
            damaged();
        if (path.count(u'\\') >= kMaxKeyDepth)
            tooLarge(QStringLiteral("the key at line %1 is nested more than %2 levels deep")
                         .arg(m_line)
                         .arg(kMaxKeyDepth));
        return path.toString();
    }

    // A quoted text starting at `pos`; leaves `pos` after the closing quote.
    QString parseQuoted(QStringView s, qsizetype &pos) const
    {
        if (pos >= s.size() || s[pos] != u'"')
            damaged();
        // Most texts have no escapes: up to the closing quote in one step.
        qsizetype end = pos + 1;
        while (end < s.size() && s[end] != u'"' && s[end] != u'\\')
            ++end;
        if (end < s.size() && s[end] == u'"') {
            QString out = s.mid(pos + 1, end - pos - 1).toString();
            pos = end + 1;
            return out;
        }
        QString out;
        for (++pos; pos < s.size(); ++pos) {
            const QChar c = s[pos];
            if (c == u'"') {
                ++pos;
                return out;
            }
            if (c == u'\\') {
                if (++pos >= s.size())
                    damaged();
                out += s[pos];
            } else {
                out += c;
            }
        }
        damaged();
    }

    // Comma-separated bytes of one or two hexadecimal digits, blanks allowed
    // around them.
    QByteArray parseHexBytes(QStringView s) const
    {
        QByteArray bytes;
        if (s.trimmed().isEmpty())
            return bytes;
        bytes.reserve(s.size() / 3 + 1);
        qsizetype i = 0;
        while (true) {
            while (i < s.size() && s[i].isSpace())
                ++i;
            int value = 0;
            int digits = 0;
            for (int d; i < s.size() && (d = hexDigit(s[i])) >= 0; ++i, ++digits) {
                if (digits < 2)
                    value = value * 16 + d;
            }
            if (digits == 0 || digits > 2)
                damaged();
            bytes.append(char(value));
            while (i < s.size() && s[i].isSpace())
                ++i;
            if (i == s.size())
                return bytes;
            if (s[i] != u',')
                damaged();
            ++i;
        }
    }

    Entry parseValueLine(QStringView line) const
    {
        Entry entry;
        qsizetype pos = 0;
        if (line.startsWith(u'@'))
            pos = 1;
        else
            entry.name = parseQuoted(line, pos);
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        if (pos >= line.size() || line[pos] != u'=')
            damaged();
        const QStringView data = line.mid(pos + 1).trimmed();
        if (data.startsWith(u'"')) {
            qsizetype at = 0;
            entry.kind = Entry::String;
            entry.text = parseQuoted(data, at);
            if (at != data.size())
                damaged();
        } else if (data.startsWith(u"hex:", Qt::CaseInsensitive)) {
            entry.kind = Entry::Binary;
            entry.data = parseHexBytes(data.mid(4));
        } else if (data.startsWith(u"hex(1):", Qt::CaseInsensitive)) {
            // Text the plain form cannot hold, as UTF-16 code units ended by
            // one zero; zeros before that one belong to the text.
            const QByteArray bytes = parseHexBytes(data.mid(7));
            if (bytes.size() % 2 != 0)
                damaged();
            QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData()),
                                              bytes.size() / 2);
            if (text.endsWith(QChar(0)))
                text.chop(1);
            entry.kind = Entry::String;
            entry.text = text;
        } else if (data.startsWith(u"hex(", Qt::CaseInsensitive) ||
                   data.startsWith(u"dword:", Qt::CaseInsensitive)) {
            entry.kind = Entry::Other;
            entry.raw = data.toString();
        } else {
            damaged();
        }
        return entry;
    }

    QString m_path;
    const QString &m_text;
    int m_line = 0;
    qsizetype m_values = 0;
};

void appendQuoted(QString &out, const QString &s)
{
    out += u'"';
    for (QChar c : s) {
        if (c == u'\\' || c == u'"')
            out += u'\\';
        out += c;
    }
    out += u'"';
}

// "hex:" or "hex(1):" data, wrapped like a registry export.
void appendHex(QString &out, QStringView prefix, const QByteArray &bytes, qsizetype column)
{
    static const char16_t digits[] = u"0123456789abcdef";
    out += prefix;
    column += prefix.size();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes[i]);
        out += QChar(digits[b >> 4]);
        out += QChar(digits[b & 15]);
        column += 2;
        if (i + 1 < bytes.size()) {
            out += u',';
            ++column;
            if (column > 76) {
                out += u"\\\n  ";
                column = 2;
            }
        }
    }
}

} // namespace

const Entry *Key::find(const QString &name) const
{
    const auto it = byName.constFind(folded(name));
    return it == byName.cend() ? nullptr : &values[*it];
}

void Key::set(Entry entry)
{
    const QString id = folded(entry.name);
    const auto it = byName.constFind(id);
    if (it != byName.cend()) {
        entry.name = values[*it].name;
        values[*it] = std::move(entry);
        return;
    }
    byName.insert(id, values.size());
    values.append(std::move(entry));
}

void checkFileSize(const QString &filePath, qint64 size)
{
    if (size > kMaxFileBytes)
        throw StoreError(StoreError::Kind::TooLarge,
                         QStringLiteral("The settings store \"%1\" cannot be read: the file is "
                                        "larger than %2 MB")
                             .arg(filePath)
                             .arg(kMaxFileBytes / (1024 * 1024)));
}

Document Document::parse(const QString &filePath, const QByteArray &bytes)
{
    checkFileSize(filePath, bytes.size());
    QString text;
    if (bytes.startsWith("\xff\xfe")) // a registry export saved as UTF-16
        text = QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData() + 2),
                                  (bytes.size() - 2) / 2);
    else
        text = QString::fromUtf8(bytes.startsWith("\xef\xbb\xbf") ? bytes.mid(3) : bytes);
    return Parser(filePath, text).parse(Document());
}

QByteArray Document::serialize() const
{
    QString out = Header + u'\n';
    for (const Key &key : m_keys) {
        out += u"\n[";
        out += Root;
        if (!key.path.isEmpty()) {
            out += u'\\';
            out += key.path;
        }
        out += u"]\n";
        for (const Entry &e : key.values) {
            const qsizetype lineStart = out.size();
            if (e.name.isEmpty())
                out += u'@';
            else
                appendQuoted(out, e.name);
            out += u'=';
            switch (e.kind) {
            case Entry::String:
                if (hasControlCharacter(e.text)) {
                    const QString zeroEnded = e.text + QChar(0);
                    const QByteArray units(reinterpret_cast<const char *>(zeroEnded.utf16()),
                                           zeroEnded.size() * 2);
                    appendHex(out, u"hex(1):", units, out.size() - lineStart);
                } else {
                    appendQuoted(out, e.text);
                }
                break;
            case Entry::Binary:
                appendHex(out, u"hex:", e.data, out.size() - lineStart);
                break;
            case Entry::Other:
                out += e.raw;
                break;
            }
            out += u'\n';
        }
    }
    return out.toUtf8();
}

const Key *Document::find(const QString &path) const
{
    const auto it = m_byPath.constFind(folded(path));
    return it == m_byPath.cend() ? nullptr : &m_keys[*it];
}

Key *Document::find(const QString &path)
{
    const auto it = m_byPath.constFind(folded(path));
    return it == m_byPath.cend() ? nullptr : &m_keys[*it];
}

bool Document::contains(const QString &path) const
{
    if (path.isEmpty() || find(path))
        return true;
    // A key above others: one pass over the sections.
    const QString below = path + u'\\';
    for (const Key &k : m_keys) {
        if (k.path.startsWith(below, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

Key &Document::addSection(const QString &path)
{
    m_byPath.insert(folded(path), m_keys.size());
    m_keys.append(Key{path, {}, {}});
    return m_keys.back();
}

void Document::reindex()
{
    m_byPath.clear();
    for (qsizetype i = 0; i < m_keys.size(); ++i)
        m_byPath.insert(folded(m_keys[i].path), i);
}

Key &Document::create(const QString &path)
{
    if (Key *key = find(path))
        return *key;
    if (path.isEmpty())
        return addSection(path);
    // Keys above this one get a section only when they do not exist at all: a
    // key that exists because keys below it do stays as the file has it.
    QList<qsizetype> ends; // where each missing key's path ends
    for (qsizetype end = path.indexOf(u'\\'); end >= 0; end = path.indexOf(u'\\', end + 1)) {
        if (!contains(path.left(end)))
            ends.append(end);
    }
    ends.append(path.size());
    Key *key = nullptr;
    for (qsizetype end : ends) {
        const QString prefix = path.left(end);
        // A new section goes before the first key below it, so parents stay
        // ahead of their children.
        const QString below = prefix + u'\\';
        qsizetype at = m_keys.size();
        for (qsizetype i = 0; i < m_keys.size(); ++i) {
            if (m_keys[i].path.startsWith(below, Qt::CaseInsensitive)) {
                at = i;
                break;
            }
        }
        if (at == m_keys.size()) {
            key = &addSection(prefix);
        } else {
            m_keys.insert(at, Key{prefix, {}, {}});
            reindex();
            key = &m_keys[at];
        }
    }
    return *key;
}

} // namespace platform::store
