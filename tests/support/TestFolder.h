#pragma once

#include <QString>
#include <QTemporaryDir>

// A temporary folder that stands in for the program folder: the settings file
// of the code under test lives there.
class TestFolder {
public:
    TestFolder();
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    QString iniPath() const { return file(QStringLiteral("Quillet.ini")); }

    QByteArray read(const QString &name) const;
    void write(const QString &name, const QByteArray &bytes) const;

private:
    QTemporaryDir m_dir;
};
