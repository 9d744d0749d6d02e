#include "UserStore.h"

#include "StoreDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace platform {

using store::Document;
using store::Entry;
using store::Key;

namespace {

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

// Key paths are given without the root; a leading or trailing backslash is tolerated.
QString normalizedKey(const QString &key)
{
    QString path = key;
    while (path.startsWith(QLatin1Char('\\')))
        path.remove(0, 1);
    while (path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    if (hasControlCharacter(path) || path.contains(QLatin1String("\\\\")) ||
        path.count(QLatin1Char('\\')) >= store::kMaxKeyDepth)
        throw StoreError(StoreError::Kind::InvalidName,
                         QStringLiteral("\"%1\" is not a valid key name").arg(key));
    return path;
}

Document load(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(StoreError::Kind::ReadFailed,
                         QStringLiteral("Failed to read the settings store \"%1\": %2")
                             .arg(path, file.errorString()));
    // The size is checked before anything is read, so a huge file costs nothing.
    store::checkFileSize(path, file.size());
    return Document::parse(path, file.readAll());
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
    const QByteArray bytes = doc.serialize();
    if (file.write(bytes) != bytes.size() || !file.commit())
        fail(file.errorString());
}

StoreError readError(StoreError::Kind kind, const QString &key, const QString &name,
                     const QString &why)
{
    return StoreError(
        kind,
        QStringLiteral("Failed to read \"%1\" in \"%2\": %3").arg(displayName(name), key, why));
}

// The value to read, or an error naming what is missing.
const Entry &findValue(const Document &doc, const QString &key, const QString &name)
{
    const QString path = normalizedKey(key);
    if (!doc.contains(path))
        throw readError(StoreError::Kind::MissingKey, path, name,
                        QStringLiteral("the key does not exist"));
    if (const Key *k = doc.find(path)) {
        if (const Entry *e = k->find(name))
            return *e;
    }
    throw readError(StoreError::Kind::MissingValue, path, name,
                    QStringLiteral("the value does not exist"));
}

} // namespace

// --- One reading ------------------------------------------------------------------

StoreSnapshot::StoreSnapshot(QString path, std::shared_ptr<const store::Document> document)
    : m_path(std::move(path)), m_document(std::move(document))
{
}

bool StoreSnapshot::keyExists(const QString &key) const
{
    return m_document->contains(normalizedKey(key));
}

bool StoreSnapshot::valueExists(const QString &key, const QString &name) const
{
    const QString path = normalizedKey(key);
    const Key *k = m_document->find(path);
    return k && k->find(name);
}

QString StoreSnapshot::readString(const QString &key, const QString &name) const
{
    const Entry &e = findValue(*m_document, key, name);
    if (e.kind != Entry::String)
        throw readError(StoreError::Kind::WrongType, normalizedKey(key), name,
                        QStringLiteral("the value is not text"));
    return e.text;
}

QByteArray StoreSnapshot::readBinary(const QString &key, const QString &name, qsizetype size) const
{
    const Entry &e = findValue(*m_document, key, name);
    if (e.kind != Entry::Binary)
        throw readError(StoreError::Kind::WrongType, normalizedKey(key), name,
                        QStringLiteral("the value is not binary data"));
    if (size >= 0 && e.data.size() != size)
        throw readError(
            StoreError::Kind::WrongSize, normalizedKey(key), name,
            QStringLiteral("the value holds %1 bytes instead of %2").arg(e.data.size()).arg(size));
    return e.data;
}

// --- The store ---------------------------------------------------------------------

UserStore::UserStore(const QString &filePath) : m_path(filePath) {}

QString UserStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/quillet/user.reg");
}

StoreSnapshot UserStore::read() const
{
    return StoreSnapshot(m_path, std::make_shared<const Document>(load(m_path)));
}

StoreSnapshot UserStore::createKeyAndRead(const QString &key)
{
    const QString path = normalizedKey(key);
    auto doc = std::make_shared<Document>(load(m_path));
    if (!path.isEmpty() && !doc->find(path)) {
        doc->create(path);
        save(m_path, *doc);
    }
    return StoreSnapshot(m_path, std::move(doc));
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
        k.set(std::move(entry));
    }
    save(m_path, doc);
}

} // namespace platform
