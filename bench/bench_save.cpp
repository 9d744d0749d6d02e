// How long "Save this now!" takes to merge a capture into a large plain-text
// file and save the result, against LibreOffice converting the same merged
// text to RTF.
//
//   tests/harness/x11-session.sh build-rel/bench/bench_save [runs]
//
// Starts the program's forms in a temporary program folder, puts a
// 1,000-line capture into the editor and merges it on top of and below a
// 100,000-line (about 6 MB) file and a 10,000-line one, writing plain text,
// as the save command does once the file-exists prompt has been answered.
// Each figure is the fastest of the runs; the editor stays hidden, as it is
// when a selection is saved from the tray.

#include "app/QuilletApplication.h"
#include "app/Startup.h"
#include "app/TrayT1.h"
#include "editor/edits.h"
#include "platform/ProgramFolder.h"
#include "platform/RichEdit.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

QByteArray oldFile(int lines)
{
    QByteArray bytes;
    for (int i = 0; i < lines; ++i)
        bytes += QStringLiteral("%1 The old document's line, kept as it was written here.\n")
                     .arg(i, 6, 10, QChar(u'0'))
                     .toUtf8();
    return bytes;
}

QString capture()
{
    QStringList lines;
    for (int i = 0; i < 1000; ++i)
        lines << QStringLiteral("%1 A captured line of the selection.").arg(i, 4, 10, QChar(u'0'));
    return lines.join(u'\n');
}

double mergeMs(const QString &path, const QByteArray &old, const QString &answer, int runs)
{
    double best = 1e99;
    for (int r = 0; r < runs; ++r) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(old) != old.size())
            return -1;
        f.close();
        Editor->memo->setPlainText(capture());
        SaveAnswer = answer;
        QElapsedTimer clock;
        clock.start();
        TrayForm->writeCapture(path, false);
        best = std::min(best, clock.nsecsElapsed() / 1e6);
    }
    return best;
}

double sofficeMs(const QString &path, const QString &outDir)
{
    QElapsedTimer clock;
    clock.start();
    QProcess soffice;
    soffice.start(QStringLiteral("soffice"),
                  {QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                   QStringLiteral("rtf"), QStringLiteral("--outdir"), outDir, path});
    if (!soffice.waitForFinished(600000) || soffice.exitCode() != 0)
        return -1;
    return clock.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QuilletApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    QTemporaryDir folder;
    platform::setProgramFolderForTesting(folder.path());
    if (createForms() != -1)
        return 1;

    std::printf("| lines in the file | place | merge and save (fastest of %d) | LibreOffice "
                "to RTF |\n|---|---|---|---|\n",
                runs);
    for (int lines : {10000, 100000}) {
        const QByteArray old = oldFile(lines);
        for (const char *answer : {"addtotop", "addtobottom"}) {
            const QString path = folder.filePath(QStringLiteral("merged.txt"));
            const double ms = mergeMs(path, old, QString::fromLatin1(answer), runs);
            const double office = sofficeMs(path, folder.filePath(QStringLiteral("out")));
            std::printf("| %d (%.1f MB) | %s | %.0f ms | %.0f ms |\n", lines, old.size() / 1e6,
                        answer, ms, office);
            std::fflush(stdout);
        }
    }
    destroyForms();
    return 0;
}
