// How long a text capture takes and how much CPU the program uses meanwhile.
//
//   tests/harness/x11-session.sh build-rel/bench/bench_capture [runs]
//
// Starts the program's forms in a temporary program folder and, one after
// the other, real programs as the user's window: the tests' selection
// source, mousepad, LibreOffice Writer and Firefox ESR (when installed). For each it runs
// "&Edit this now!" (the editor is shown at the end) with the default
// action wait time of 1000 ms and reports the wall time from the menu
// command to the editor shown, and the process's CPU time over it. Beside
// them: a capture with nothing selected, which waits the whole wait time,
// and the bare wait loop.

#include "app/QuilletApplication.h"
#include "app/Startup.h"
#include "app/TrayT1.h"
#include "editor/edits.h"
#include "platform/ProgramFolder.h"
#include "platform/RichEdit.h"
#include "platform/WaitLoop.h"
#include "tests/support/Firefox.h"
#include "tests/support/LibreOfficeWriter.h"
#include "tests/support/Mousepad.h"
#include "tests/support/SelectionSource.h"

#include "CpuTime.h"

#include <QAction>
#include <QDialog>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

struct Sample {
    double wallMs;
    double cpuMs;
};

Sample measure(const std::function<void()> &work)
{
    QElapsedTimer clock;
    const double cpu0 = bench::processCpuMs();
    clock.start();
    work();
    return {clock.nsecsElapsed() / 1e6, bench::processCpuMs() - cpu0};
}

// Closes the capture's error box when it is shown, without polling.
class ErrorBoxCloser : public QObject {
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show &&
            watched->objectName() == QLatin1String("CaptureErrorBox")) {
            auto *box = static_cast<QDialog *>(watched);
            QTimer::singleShot(0, box, &QDialog::accept);
        }
        return false;
    }
};

int failures = 0;

// Runs the capture `runs` times, `select` before each, and prints one line.
void report(const char *source, int runs, const std::function<void()> &select,
            const QString &expected)
{
    QList<double> walls;
    double wallSum = 0;
    double cpuSum = 0;
    int failed = 0;
    for (int i = 0; i < runs; ++i) {
        Editor->hide();
        select();
        CaptureStatus.clear();
        const Sample s = measure([] { TrayForm->Edit->trigger(); });
        const bool copied = CaptureStatus != QLatin1String("stop") &&
                            Editor->memo->toPlainText().contains(expected);
        if (!copied || !Editor->isVisible())
            ++failed;
        walls.append(s.wallMs);
        wallSum += s.wallMs;
        cpuSum += s.cpuMs;
    }
    std::sort(walls.begin(), walls.end());
    std::printf("%-26s %6d %6d %10.1f %10.1f %8.2f %7d\n", source, WaitTime, runs, walls[runs / 2],
                walls.last(), 100.0 * cpuSum / wallSum, failed);
    std::fflush(stdout);
    if (!expected.isEmpty())
        failures += failed;
}

} // namespace

int main(int argc, char **argv)
{
    QuilletApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    QTemporaryDir folder;
    platform::setProgramFolderForTesting(folder.path());
    if (createForms() != -1)
        return 1;
    WaitTime = 1000;

    // A capture that got nothing shows its error box; close it as soon as
    // it is shown (the failure is counted) so the run goes on.
    ErrorBoxCloser closer;
    app.installEventFilter(&closer);

    std::printf("%-26s %6s %6s %10s %10s %8s %7s\n", "source", "wait", "runs", "median ms",
                "max ms", "CPU %", "failed");
    const QString line = QStringLiteral("A line of selected text to capture.");
    {
        SelectionSource source({QStringLiteral("--title"), QStringLiteral("Bench source"),
                                QStringLiteral("--text"), line});
        if (!source.waitForWindow())
            return 1;
        report(
            "selection source", runs, [] {}, line);
    }
    {
        Mousepad mousepad(line.toUtf8());
        if (mousepad.waitForWindow())
            report(
                "mousepad", runs, [&] { mousepad.selectAll(); }, line);
        else
            std::printf("mousepad did not start\n");
    }
    if (LibreOfficeWriter::canShowWindows()) {
        LibreOfficeWriter writer("{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0 A line of "
                                 "{\\b selected} text to capture.\\par}");
        if (writer.waitForDocument()) {
            // The first copy of a freshly started office is slow; not counted.
            writer.selectAll();
            TrayForm->Edit->trigger();
            report(
                "LibreOffice Writer", runs, [&] { writer.selectAll(); }, line);
        } else {
            std::printf("LibreOffice Writer did not start\n");
        }
    }
    if (!QStandardPaths::findExecutable(QStringLiteral("firefox-esr")).isEmpty()) {
        Firefox firefox(QStringLiteral(BROWSER_PAGE));
        if (firefox.waitForPage(QStringLiteral("Browser capture"))) {
            // The first copy of a freshly started browser is slow; not counted.
            firefox.selectAll();
            TrayForm->Edit->trigger();
            report(
                "Firefox ESR (rich page)", runs, [&] { firefox.selectAll(); },
                QStringLiteral("Styled span"));
        }
    }
    {
        SelectionSource nothing({QStringLiteral("--title"), QStringLiteral("Nothing"),
                                 QStringLiteral("--no-selection")});
        if (nothing.waitForWindow())
            report(
                "nothing selected (full)", std::min(runs, 3), [] {}, QString());
    }

    const Sample idle = measure([] { platform::waitMs(2000); });
    std::printf("bare wait loop of 2000 ms: %.1f ms, CPU %.2f %%\n", idle.wallMs,
                100.0 * idle.cpuMs / idle.wallMs);
    std::printf("failed captures: %d\n", failures);
    destroyForms();
    return failures ? 1 : 0;
}
