#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

namespace platform::store {

// Bounds on what a store file may hold. A real store holds a few keys; these
// are far beyond it and keep a hostile file from costing more than its size.
inline constexpr qsizetype kMaxFileBytes = 8 * 1024 * 1024;
inline constexpr qsizetype kMaxLineLength = 1024 * 1024; // characters, continuations joined
inline constexpr int kMaxKeyDepth = 512;                 // names in a key path
inline constexpr qsizetype kMaxValues = 262144;          // values in the whole file

// Throws StoreError naming the file when it is larger than kMaxFileBytes.
void checkFileSize(const QString &filePath, qint64 size);

struct Entry {
    enum Kind { String, Binary, Other };
    QString name;
    Kind kind = String;
    QString text;    // String
    QByteArray data; // Binary
    QString raw;     // Other (numbers and the like): the data text exactly as found
};

struct Key {
    QString path; // as spelled where it was first found or made
    QList<Entry> values;
    QHash<QString, qsizetype> byName; // case-folded name -> index in values

    const Entry *find(const QString &name) const;
    // Adds the value, or replaces the one of the same name, which keeps the
    // spelling it was created with.
    void set(Entry entry);
};

// The keys of a store file in file order, each found by its path in constant
// time. Only keys that have a section of their own are held; a key that only
// lies above others exists, but is not written as a section of its own unless
// the program creates it.
class Document {
public:
    // Reads a store file's bytes (UTF-8, or UTF-16 with a byte order mark).
    // Throws StoreError naming `filePath` when the file is damaged or beyond
    // the bounds above.
    static Document parse(const QString &filePath, const QByteArray &bytes);
    QByteArray serialize() const;

    const QList<Key> &keys() const { return m_keys; }
    const Key *find(const QString &path) const;
    Key *find(const QString &path);
    // True for a key with a section of its own and for every key above one.
    bool contains(const QString &path) const;
    // The key's section, created when missing together with the sections of
    // the keys above it that do not exist yet.
    Key &create(const QString &path);
    // A section added at the end as a file lists it, without sections for the
    // keys above it. The path must not have a section yet.
    Key &addSection(const QString &path);

private:
    void reindex();

    QList<Key> m_keys;
    QHash<QString, qsizetype> m_byPath; // case-folded path -> index in m_keys
};

} // namespace platform::store
