// Writes values into an ini file in an endless loop, for the test that kills a
// writer in the middle of its work. Usage: ini_writer <path>
#include "settings/IniFile.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const IniFile ini(QString::fromLocal8Bit(argv[1]));
    const QString big(4000, u'x');
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (int i = 0;; ++i) {
        // Every value depends on i, so each write changes the whole file.
        for (int k = 0; k < 20; ++k)
            ini.writeString(QStringLiteral("S%1").arg(k), QStringLiteral("key"),
                            QStringLiteral("%1:%2").arg(i).arg(big));
    }
}
