// How long a text capture takes and how much CPU the program uses meanwhile.
//
//   tests/harness/x11-session.sh build-rel/bench/bench_capture [runs]
//
// Starts the program's forms in a temporary program folder and the tests'
// selection source as the user's window, then runs the capture (as the print
// and save actions do, so the editor stays hidden) with several action wait
// times. For each it reports the wall time of the whole capture and the
// process's CPU time over it, and the CPU share of the bare wait loop.

#include "app/QuilletApplication.h"
#include "app/Startup.h"
#include "app/TrayT1.h"
#include "editor/edits.h"
#include "platform/DesktopWindows.h"
#include "platform/ProgramFolder.h"
#include "platform/RichEdit.h"
#include "platform/Services.h"
#include "platform/WaitLoop.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

struct Sample {
    double wallMs;
    double cpuMs;
};

Sample measure(const std::function<void()> &work)
{
    QElapsedTimer clock;
    const double cpu0 = cpuMs();
    clock.start();
    work();
    return {clock.nsecsElapsed() / 1e6, cpuMs() - cpu0};
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

} // namespace

int main(int argc, char **argv)
{
    QuilletApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    QTemporaryDir folder;
    platform::setProgramFolderForTesting(folder.path());
    if (createForms() != -1)
        return 1;

    QProcess source;
    source.start(QStringLiteral(SELECTION_SOURCE),
                 {QStringLiteral("--title"), QStringLiteral("Bench source"),
                  QStringLiteral("--text"), QStringLiteral("A line of selected text to capture.")});
    if (!source.waitForReadyRead(20000))
        return 1;
    const platform::WindowHandle window = source.readLine().trimmed().toULongLong();
    QElapsedTimer mapped;
    mapped.start();
    while (!platform::services().windows().isVisible(window) && mapped.elapsed() < 20000)
        platform::waitMs(10);

    // A capture that got nothing shows its error box; close it as soon as
    // it is shown (the failure is counted) so the run goes on.
    ErrorBoxCloser closer;
    app.installEventFilter(&closer);

    std::printf("%-8s %-6s %12s %12s %12s %10s %8s\n", "wait", "runs", "median ms", "max ms",
                "over wait", "CPU %", "failed");
    int failures = 0;
    for (const int wait : {0, 250, 1000, 3500}) {
        WaitTime = wait;
        QList<double> walls;
        double wallSum = 0;
        double cpuSum = 0;
        int failed = 0;
        for (int i = 0; i < runs; ++i) {
            CaptureStatus = QStringLiteral("no");
            const Sample s = measure([] { TrayForm->EditClick(); });
            if (CaptureStatus == QLatin1String("stop") ||
                Editor->memo->toPlainText() != QLatin1String("A line of selected text to capture."))
                ++failed;
            walls.append(s.wallMs);
            wallSum += s.wallMs;
            cpuSum += s.cpuMs;
        }
        std::sort(walls.begin(), walls.end());
        std::printf("%-8d %-6d %12.1f %12.1f %12.1f %10.2f %8d\n", wait, runs, walls[runs / 2],
                    walls.last(), walls.last() - wait, 100.0 * cpuSum / wallSum, failed);
        if (wait > 0)
            failures += failed;
    }

    const Sample idle = measure([] { platform::waitMs(2000); });
    std::printf("bare wait loop of 2000 ms: %.1f ms, CPU %.2f %%\n", idle.wallMs,
                100.0 * idle.cpuMs / idle.wallMs);
    std::printf("failed captures with a wait above 0: %d\n", failures);

    source.terminate();
    source.waitForFinished();
    destroyForms();
    return failures ? 1 : 0;
}
