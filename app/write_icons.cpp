// Writes the program's icon as PNG files in the hicolor theme's folder layout,
// where desktops look up application icons by size:
//   write_icons FOLDER SIZE...  ->  FOLDER/hicolor/<SIZE>x<SIZE>/apps/quillet.png
#include "app/AppIcon.h"

#include <QDir>
#include <QString>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fputs("usage: write_icons FOLDER SIZE...\n", stderr);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(root).arg(size);
        if (size <= 0 || !QDir().mkpath(folder) ||
            !appIconImage(size).save(folder + QStringLiteral("/quillet.png"), "PNG")) {
            std::fprintf(stderr, "write_icons: cannot write the icon of size %s\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
