#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Access to one private-profile (ini) file.
//
// Every operation opens the file by path, does its one read or write and
// closes it again: nothing is cached, so each read sees the file as it is now
// and each write reaches the disk at once. Section and key names match without
// regard to case. A write replaces the whole file atomically, so an
// interrupted or refused write never leaves a damaged file behind; it changes
// only the line of its key (or adds one) and keeps every other byte of the
// file as it was, whatever its encoding and line ends. Temporary files that
// killed writes left behind are removed by the next write.
//
// A file larger than MaxFileBytes, far larger than any settings file, is not
// read: every read gives its default, a write is refused, and the first
// meeting with the file is reported through the oversize notice.
//
// Value encodings: strings unchanged (read back at most 1023 characters);
// integers in decimal, read as hexadecimal when the text is longer than two
// characters and starts with "0x" or "0X"; booleans as "1" and "0".
class IniFile {
public:
    static constexpr int MaxValueLength = 1023;
    static constexpr qint64 MaxFileBytes = 4 * 1024 * 1024;

    explicit IniFile(QString path);

    // The program's settings file, "Quillet.ini" beside the executable, with
    // the path built afresh from the executable's location.
    static IniFile programIni();
    static QString programIniPath();

    const QString &path() const { return m_path; }

    QString readString(const QString &section, const QString &key,
                       const QString &defaultValue) const;
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    // Writes throw platform::AppError("Unable to write to <path>") when the
    // file system refuses the write; the file is then left as it was.
    void writeString(const QString &section, const QString &key, const QString &value) const;
    void writeInteger(const QString &section, const QString &key, int value) const;
    void writeBool(const QString &section, const QString &key, bool value) const;

    // The integer a stored text stands for, or nothing when it is none.
    static std::optional<int> parseInteger(const QString &text);

    // Called with a message the first time a read or write in this run meets
    // an oversized file.
    static void setOversizeNotice(std::function<void(const QString &)> notice);

    // The raw text of a key in a file's bytes (not cut), or nothing.
    static std::optional<QString> valueIn(const QByteArray &bytes, const QString &section,
                                          const QString &key);
    // The file's bytes with the key set to `value`: the key's line changed
    // or, when missing, added to its section or a new section at the end.
    static QByteArray withValue(const QByteArray &bytes, const QString &section, const QString &key,
                                const QString &value);

private:
    std::optional<QString> readRaw(const QString &section, const QString &key) const;

    QString m_path;
};
