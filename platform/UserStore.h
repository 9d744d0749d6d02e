#pragma once

#include "AppError.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

namespace platform {

namespace store {
class Document;
}

// An error of the per-user settings store. The message names the value, the
// key and what is wrong with it.
class StoreError : public AppError {
public:
    enum class Kind {
        MissingKey,   // the key of a value being read does not exist
        MissingValue, // the key exists, the value does not
        WrongType,    // the value is of another type than the one read
        WrongSize,    // a binary value of another length than required
        InvalidName,  // a key or value name the store cannot hold
        Damaged,      // the store file cannot be understood
        TooLarge,     // the store file is beyond the bounds of any real store
        ReadFailed,   // the store file exists but cannot be read
        WriteFailed,  // the store file cannot be replaced
    };
    StoreError(Kind kind, const QString &message) : AppError(message), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// One named value for UserStore::writeValues().
struct StoreValue {
    enum class Type { String, Binary };
    static StoreValue string(const QString &name, const QString &text)
    {
        return {name, Type::String, text, {}};
    }
    static StoreValue binary(const QString &name, const QByteArray &data)
    {
        return {name, Type::Binary, {}, data};
    }
    QString name;
    Type type;
    QString text;
    QByteArray data;
};

// The store as one reading of its file found it. A command reads the store
// once and answers all its questions from this copy.
class StoreSnapshot {
public:
    QString filePath() const { return m_path; }
    bool keyExists(const QString &key) const;
    bool valueExists(const QString &key, const QString &name) const;
    QString readString(const QString &key, const QString &name) const;
    // With `size` >= 0 a value of any other length is an error.
    QByteArray readBinary(const QString &key, const QString &name, qsizetype size = -1) const;

private:
    friend class UserStore;
    StoreSnapshot(QString path, std::shared_ptr<const store::Document> document);

    QString m_path;
    std::shared_ptr<const store::Document> m_document;
};

// The user's own settings store: keys, written as backslash-separated paths,
// holding named text and binary values, as in the user's branch of a
// registry. It lives in one file in the registry-export text form, so a user
// can read it and edit it by hand. Key and value names ignore case.
//
// Every call reads the file afresh and every change replaces it atomically,
// so two stores on the same file see each other's writes at once, and a
// program that dies while writing leaves the old file intact. A file that
// cannot be understood, or is beyond the bounds of any real store, is
// reported, never overwritten. Reading costs time in proportion to the file.
// A write keeps the other keys and values as they were and adds sections
// only for the key it writes and the keys above it that do not exist.
class UserStore {
public:
    explicit UserStore(const QString &filePath);

    // Where the program keeps it: "quillet/user.reg" in $XDG_CONFIG_HOME.
    static QString defaultPath();
    QString filePath() const { return m_path; }

    // One reading of the file.
    StoreSnapshot read() const;
    // Creates the key and the keys above it when it does not exist, and gives
    // the store as it then is, with one reading of the file.
    StoreSnapshot createKeyAndRead(const QString &key);

    // Each of these reads the file once.
    bool keyExists(const QString &key) const { return read().keyExists(key); }
    // Creates the key and the keys above it; nothing happens when it exists.
    void createKey(const QString &key) { createKeyAndRead(key); }
    bool valueExists(const QString &key, const QString &name) const
    {
        return read().valueExists(key, name);
    }
    QString readString(const QString &key, const QString &name) const
    {
        return read().readString(key, name);
    }
    QByteArray readBinary(const QString &key, const QString &name, qsizetype size = -1) const
    {
        return read().readBinary(key, name, size);
    }

    void writeString(const QString &key, const QString &name, const QString &text);
    void writeBinary(const QString &key, const QString &name, const QByteArray &data);
    // Creates the key if needed and writes the values in this order, all in one
    // replacement of the file.
    void writeValues(const QString &key, const QList<StoreValue> &values);

private:
    QString m_path;
};

} // namespace platform
