// Saves a large plain-text document over and over into one file, for the
// test that kills a writer in the middle of its work. Every round's document
// is whole lines of the round's number. Usage: text_writer <path>
#include "app/TextFile.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (int round = 1;; ++round) {
        const QStringList lines(50000, QStringLiteral("round %1 of the document").arg(round));
        TextFile::write(path, TextFile::crlfText(lines));
    }
}
