#pragma once

#include "AppError.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace platform {

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

// The user's own settings store: keys, written as backslash-separated paths,
// holding named text and binary values, as in the user's branch of a
// registry. It lives in one file in the registry-export text form, so a user
// can read it and edit it by hand. Key and value names ignore case.
//
// Every call reads the file afresh and every change replaces it atomically,
// so two stores on the same file see each other's writes at once, and a
// program that dies while writing leaves the old file intact. A file that
// cannot be understood is reported, never overwritten.
class UserStore {
public:
    explicit UserStore(const QString &filePath);

    // Where the program keeps it: "quillet/user.reg" in $XDG_CONFIG_HOME.
    static QString defaultPath();
    QString filePath() const { return m_path; }

    bool keyExists(const QString &key) const;
    // Creates the key and the keys above it; nothing happens when it exists.
    void createKey(const QString &key);

    bool valueExists(const QString &key, const QString &name) const;
    QString readString(const QString &key, const QString &name) const;
    // With `size` >= 0 a value of any other length is an error.
    QByteArray readBinary(const QString &key, const QString &name, qsizetype size = -1) const;

    void writeString(const QString &key, const QString &name, const QString &text);
    void writeBinary(const QString &key, const QString &name, const QByteArray &data);
    // Creates the key if needed and writes the values in this order, all in one
    // replacement of the file.
    void writeValues(const QString &key, const QList<StoreValue> &values);

private:
    QString m_path;
};

} // namespace platform
