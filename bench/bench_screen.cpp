// The screen capture's speed on a large screen, beside its peers in the same
// run: a bare XShmGetImage of the whole screen and Qt's QScreen::grabWindow.
//
//   Xvfb :77 -screen 0 3840x2160x24 -nolisten tcp & DISPLAY=:77 build-rel/bench/bench_screen [runs]
//
// Measures (median, min, max over the runs):
//   - the full-screen grab (ScreenShot), the bare XShmGetImage, QScreen::grabWindow;
//   - handing the grabbed screen to the server as a window's content;
//   - CaptureButClick until the frozen window is mapped and painted (its
//     instruction label read back from the screen: the server shows the
//     frozen image as the window maps, before it handles the label's drawing);
//   - one mouse move while marking: the rectangle follows the pointer and the
//     changed part is painted and on the screen.
#include "imaging/Editscreen.h"
#include "imaging/thescreen.h"
#include "platform/ScreenBackdrop.h"
#include "platform/ScreenGrab.h"
#include "platform/Services.h"
#include "platform/x11/bench/BareXShm.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QLabel>
#include <QScreen>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Figures {
    std::vector<double> ms;
    void add(double v) { ms.push_back(v); }
    void print(const char *what)
    {
        std::sort(ms.begin(), ms.end());
        std::printf("%-46s median %7.2f ms  min %7.2f  max %7.2f  (%zu runs)\n", what,
                    ms[ms.size() / 2], ms.front(), ms.back(), ms.size());
    }
};

double timeMs(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// Waits (handling events) until the screen pixel at `pixel` has `colour`.
void untilScreenShows(QPoint pixel, QRgb colour)
{
    for (;;) {
        QCoreApplication::processEvents();
        QImage image;
        ScreenShot(pixel.x(), pixel.y(), 1, 1, image);
        if ((image.pixel(0, 0) & 0xffffff) == (colour & 0xffffff))
            return;
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 30;
    const QSize screen = platform::services().screenGrab().screenSize();
    std::printf("screen %dx%d, depth %d\n", screen.width(), screen.height(),
                QGuiApplication::primaryScreen()->depth());

    Figures grab, bare, qt;
    for (int i = 0; i < runs; ++i) {
        // Each goes first in every other round, so neither always follows
        // Qt's grab (which leaves the caches full of its own data).
        const auto ours = [&] {
            grab.add(timeMs([&] {
                QImage image;
                ScreenShot(0, 0, screen.width(), screen.height(), image);
            }));
        };
        if (i % 2 == 0)
            ours();
        bare.add(bareXShmGetImageMs());
        if (i % 2 == 1)
            ours();
        qt.add(timeMs([] { QGuiApplication::primaryScreen()->grabWindow(0); }));
    }
    grab.print("ScreenShot, whole screen");
    bare.print("bare XShmGetImage, whole screen");
    qt.print("QScreen::grabWindow(0)");

    // Handing a grabbed screen to the server as a window's content.
    Figures upload;
    bool served = true;
    for (int i = 0; i < std::max(3, runs / 3); ++i) {
        QImage image;
        ScreenShot(0, 0, screen.width(), screen.height(), image);
        QWidget window;
        window.setGeometry(QGuiApplication::primaryScreen()->geometry());
        window.winId();
        upload.add(timeMs([&] {
            served = served &&
                     platform::services().screenGrab().createBackdrop(&window, image) != nullptr;
        }));
    }
    upload.print(served ? "screen to server backdrop" : "screen to server backdrop (REFUSED)");

    TEditScreen editor;
    Figures start, returned, move;
    const QPoint centre(screen.width() / 2, screen.height() / 2 - 20);
    const qreal ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
    for (int i = 0; i < std::max(3, runs / 3); ++i) {
        TScreenLock *lock = nullptr;
        QElapsedTimer clock;
        clock.start();
        editor.CaptureButClick();
        returned.add(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        lock = editor.findChild<TScreenLock *>();
        if (!lock->serverShowsFrozenImage())
            std::printf("the window paints the frozen image itself\n");
        untilScreenShows(centre, qRgb(255, 255, 0));
        start.add(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        lock->Label1->hide();
        lock->Image1MouseDown(Qt::LeftButton, QPoint(100, 100));
        for (int k = 1; k <= 100; ++k) {
            const QPoint to(100 + k * 30, 100 + k * 17);
            QCursor::setPos((QPointF(to) / ratio).toPoint());
            move.add(timeMs([&] {
                lock->Image1MouseMove();
                QCoreApplication::processEvents();
                QImage sync;
                ScreenShot(0, 0, 1, 1, sync); // the server has drawn what was sent
            }));
        }
        lock->FormKeyDown();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    returned.print("CaptureButClick returned (window mapped, grabs held)");
    start.print("CaptureButClick to frozen window painted");
    move.print("one mouse move while marking");
    return 0;
}
