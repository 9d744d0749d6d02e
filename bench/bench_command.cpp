// What a command from a desktop hotkey adds to a capture, beside the same
// capture started by a tray click, in one run:
//
//   tests/harness/x11-session.sh build-rel/bench/bench_command [runs]
//
// This process is the running copy: it creates the program's forms in a
// temporary program folder, with "Edit this now!" as the left-click action,
// and starts the tests' selection source as the user's window. Each round
// runs the capture three times, from the user's window focused each time:
//   click     the tray icon's click, taken from the moment the icon reports it;
//   program   `--edit` given to the program's executable itself, started as a
//             hotkey daemon starts a command, taken from the process start;
//   launcher  the same with the launcher, the installed `quillet` command;
// each until the text editor is shown with the captured text. The click is
// timed from the icon's report, so the difference is all the command adds:
// starting the process, the request through the single-instance channel and
// its dispatch.

#include "app/QuilletApplication.h"
#include "app/Startup.h"
#include "app/TrayT1.h"
#include "editor/edits.h"
#include "platform/DesktopWindows.h"
#include "platform/ProgramFolder.h"
#include "platform/RichEdit.h"
#include "platform/Services.h"
#include "platform/TrayIcon.h"
#include "platform/WaitLoop.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const QString SourceText = QStringLiteral("A line of selected text to capture.");

// Notes the moment the editor is shown.
class ShowWatch : public QObject {
public:
    QElapsedTimer clock;
    qint64 shownAt = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && shownAt < 0)
            shownAt = clock.nsecsElapsed();
        return QObject::eventFilter(watched, event);
    }
};

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QuilletApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 10;

    QTemporaryDir folder;
    platform::setProgramFolderForTesting(folder.path());
    QFile ini(folder.filePath(QStringLiteral("Quillet.ini")));
    if (!ini.open(QIODevice::WriteOnly) ||
        ini.write("[Settings]\nlc=Edit this now!\nwait=250\n") < 0)
        return 1;
    ini.close();
    if (createForms() != -1)
        return 1;

    QProcess source;
    source.start(QStringLiteral(SELECTION_SOURCE),
                 {QStringLiteral("--title"), QStringLiteral("Bench source"),
                  QStringLiteral("--text"), SourceText});
    if (!source.waitForReadyRead(20000))
        return 1;
    const platform::WindowHandle window = source.readLine().trimmed().toULongLong();
    platform::DesktopWindows &windows = platform::services().windows();
    QElapsedTimer mapped;
    mapped.start();
    while (!windows.isVisible(window) && mapped.elapsed() < 20000)
        platform::waitMs(10);

    ShowWatch watch;
    Editor->installEventFilter(&watch);

    // One capture: `start` begins it; returns the milliseconds from the
    // start until the editor showed the captured text, or -1.
    const auto capture = [&](const std::function<void()> &start) {
        Editor->hide();
        windows.activate(window);
        platform::waitMs(200); // the window manager settles
        watch.shownAt = -1;
        watch.clock.start();
        start();
        while (watch.shownAt < 0 && watch.clock.elapsed() < 10000)
            platform::waitMs(1);
        const bool ok = watch.shownAt >= 0 && Editor->memo->toPlainText() == SourceText;
        return ok ? watch.shownAt / 1e6 : -1.0;
    };

    struct Path {
        const char *name;
        QString executable;
        QList<double> times;
        QList<double> added; // over the click of the same round
    };
    QList<double> clicks;
    constexpr std::size_t PathCount = 2;
    Path paths[PathCount] = {{"program", QStringLiteral(QUILLET_EXE), {}, {}},
                             {"launcher", QStringLiteral(QUILLET_LAUNCHER), {}, {}}};
    int failed = 0;
    for (int i = 0; i < runs; ++i) {
        const double click = capture([] { emit TrayForm->TrayIcon1->clicked(); });
        double times[PathCount];
        bool ok = click >= 0;
        for (std::size_t p = 0; p < PathCount; ++p) {
            QProcess command;
            times[p] =
                capture([&] { command.start(paths[p].executable, {QStringLiteral("--edit")}); });
            command.waitForFinished(10000);
            ok = ok && times[p] >= 0 && command.exitStatus() == QProcess::NormalExit &&
                 command.exitCode() == 0;
        }
        if (!ok) {
            ++failed;
            continue;
        }
        clicks.append(click);
        for (std::size_t p = 0; p < PathCount; ++p) {
            paths[p].times.append(times[p]);
            paths[p].added.append(times[p] - click);
        }
    }
    if (clicks.isEmpty())
        return 1;

    const auto row = [](const char *name, const QList<double> &values) {
        std::printf("%-10s %6lld %12.1f %12.1f %12.1f\n", name,
                    static_cast<long long>(values.size()), median(values),
                    *std::min_element(values.begin(), values.end()),
                    *std::max_element(values.begin(), values.end()));
    };
    std::printf("%-10s %6s %12s %12s %12s\n", "path", "runs", "median ms", "min ms", "max ms");
    row("click", clicks);
    for (const Path &path : paths)
        row(path.name, path.times);
    for (const Path &path : paths)
        std::printf("added by the %s: median %.1f ms, max %.1f ms\n", path.name, median(path.added),
                    *std::max_element(path.added.begin(), path.added.end()));
    std::printf("failed rounds: %d\n", failed);

    source.terminate();
    source.waitForFinished();
    destroyForms();
    return failed ? 1 : 0;
}
