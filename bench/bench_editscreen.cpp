// How long one mouse move takes while a rectangle is dragged on a large
// picture in the image editor, and how much memory the picture costs.
//
//   tests/harness/x11-session.sh build-rel/bench/bench_editscreen [moves]
//   QT_QPA_PLATFORM=offscreen build-rel/bench/bench_editscreen [moves]
//
// A 3840 x 2160 picture fills the editor, whose window is made large enough to
// show all of it. A left press starts a rectangle; each move then erases the
// old preview, draws the new one and repaints, exactly as a user's drag does
// (the events go straight to the picture control, so the figure is the
// program's own work, not the input path). Side by side, the same drag
// repainting the whole picture after every move shows what repainting only
// the changed area saves. Memory is the growth of the resident set from
// before the picture exists to after the drag, against the picture's size.

#include "app/QuilletApplication.h"
#include "imaging/Editscreen.h"
#include "imaging/TPictureBox.h"

#include "CpuTime.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollArea>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// This thread's processor time: unlike wall time, it leaves out the time
// other processes on a busy machine take the processor away.

constexpr int Width = 3840;
constexpr int Height = 2160;

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * 4096 / (1024.0 * 1024.0);
}

void send(QWidget *target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

struct Stats {
    double median, p90, p99, max, over3;
};

Stats stats(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    const auto slow = std::count_if(ms.begin(), ms.end(), [](double v) { return v > 3.0; });
    return {ms[ms.size() / 2], ms[ms.size() * 90 / 100], ms[ms.size() * 99 / 100], ms.back(),
            100.0 * double(slow) / double(ms.size())};
}

// One drag of `moves` moves from near the top-left corner to near the
// bottom-right one and back a little, the way a hand wanders.
struct Drag {
    std::vector<double> wallMs;
    std::vector<double> cpuMs;
};

Drag dragOnce(TEditScreen &editor, int moves, bool wholePicture)
{
    TPictureBox *image = editor.Image;
    const QPoint origin(40, 30);
    send(image, QEvent::MouseButtonPress, origin, Qt::LeftButton);
    QApplication::processEvents();
    Drag drag;
    QElapsedTimer clock;
    for (int i = 1; i <= moves; ++i) {
        const double f = i <= moves * 3 / 4 ? i / (moves * 0.75) : 1.0 - (i - moves * 0.75) / moves;
        const QPoint at(origin.x() + int(f * (Width - 100)), origin.y() + int(f * (Height - 80)));
        const double cpu = bench::threadCpuMs();
        clock.start();
        send(image, QEvent::MouseMove, at, Qt::LeftButton);
        if (wholePicture)
            image->update();
        QApplication::processEvents();
        drag.wallMs.push_back(clock.nsecsElapsed() / 1e6);
        drag.cpuMs.push_back(bench::threadCpuMs() - cpu);
    }
    send(image, QEvent::MouseButtonRelease, origin + QPoint(Width / 2, Height / 2), Qt::NoButton);
    QApplication::processEvents();
    return drag;
}

} // namespace

int main(int argc, char **argv)
{
    QuilletApplication app(argc, argv);
    const int moves = argc > 1 ? std::max(20, atoi(argv[1])) : 400;

    const double before = residentMiB();
    TEditScreen editor;
    editor.resize(Width + 60, Height + 100);
    editor.show();
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    const double withWindow = residentMiB();

    QImage picture(Width, Height, QImage::Format_RGB32);
    picture.fill(Qt::white);
    editor.setPicture(picture);
    picture = QImage();
    QApplication::processEvents();

    const QRect shown = editor.ScrollBox1->viewport()->rect();
    std::printf("platform %s, picture %d x %d, view %d x %d, %d moves a drag\n",
                qPrintable(QGuiApplication::platformName()), Width, Height, shown.width(),
                shown.height(), moves);

    for (int round = 0; round < 2; ++round) {
        for (bool whole : {false, true}) {
            const Drag drag = dragOnce(editor, moves, whole);
            for (bool cpu : {false, true}) {
                const Stats s = stats(cpu ? drag.cpuMs : drag.wallMs);
                std::printf("%-14s %-5s median %5.2f  p90 %5.2f  p99 %6.2f  max %6.2f ms; "
                            "%5.1f %% over 3 ms\n",
                            whole ? "whole picture" : "changed area", cpu ? "CPU" : "wall",
                            s.median, s.p90, s.p99, s.max, s.over3);
            }
        }
    }
    const double pictureMiB = Width * Height * 4 / (1024.0 * 1024.0);
    const double after = residentMiB();
    // The window alone (its widgets and the toolkit's buffer for it, which
    // is as large as the picture here), then what the picture and its
    // snapshot add.
    std::printf("picture %.1f MiB; window shown %.1f MiB, then picture and snapshot %.1f MiB; "
                "all %.2f x the picture\n",
                pictureMiB, withWindow - before, after - withWindow, (after - before) / pictureMiB);
    return 0;
}
