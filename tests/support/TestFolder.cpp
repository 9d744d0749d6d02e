#include "TestFolder.h"

#include <QFile>

TestFolder::TestFolder() : m_dir(QDir::tempPath() + QStringLiteral("/quillet-folder-XXXXXX")) {}

QByteArray TestFolder::read(const QString &name) const
{
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TestFolder::write(const QString &name, const QByteArray &bytes) const
{
    QFile f(file(name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}
