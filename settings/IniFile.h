#pragma once

#include <QString>
#include <optional>

// Access to one private-profile (ini) file.
//
// Every operation opens the file by path, does its one read or write and
// closes it again: nothing is cached, so each read sees the file as it is now
// and each write reaches the disk at once. Section and key names match without
// regard to case. A write replaces the whole file atomically, so an
// interrupted or refused write never leaves a damaged file behind.
//
// Value encodings: strings unchanged (read back at most 1023 characters);
// integers in decimal, read as hexadecimal when the text is longer than two
// characters and starts with "0x" or "0X"; booleans as "1" and "0".
class IniFile {
public:
    static constexpr int MaxValueLength = 1023;

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

private:
    std::optional<QString> readRaw(const QString &section, const QString &key) const;

    QString m_path;
};
