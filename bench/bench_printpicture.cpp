// Printing a 3840 x 2160 capture in screen mode into a PDF file: the whole
// job (colour reduction, the page, the PDF written), the reduction alone, and
// side by side Qt's own PDF writer putting the same picture on a page, with
// and without reduction, and the reduced picture written indexed into such a
// page at zlib's levels 1 to 6. Memory is the process's peak resident set
// during the job.
//
//   tests/harness/x11-session.sh build-rel/bench/bench_printpicture [runs]
//
// The job runs through the tray's print command with the tests' desktop
// services (their PDF printer: Letter, 1200 dpi). The command first shows the
// two-second "Printing ..." window; the job's figures start when that window
// hides and end when the command returns.
#include "SamplePictures.h"
#include "app/Startup.h"
#include "app/TrayT1.h"
#include "app/printing.h"
#include "imaging/Editscreen.h"
#include "imaging/codecs/ColorReduction.h"
#include "platform/PdfImageUpdate.h"
#include "platform/ProgramFolder.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestServices.h"

#include "CpuTime.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Width = 3840;
constexpr int Height = 2160;

// A field of /proc/self/status in MiB ("VmRSS", "VmHWM").
double statusMiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

// Resets the peak resident set (VmHWM) to the current one.
bool resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

// Records the moment the "Printing ..." window hides, when the job begins.
class JobStart : public QObject {
public:
    explicit JobStart(QWidget *window) { window->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Hide) {
            rssMiB = statusMiB("VmRSS");
            peakReset = resetPeak();
            cpuMs = bench::threadCpuMs();
            clock.start();
        }
        return false;
    }
    QElapsedTimer clock;
    double cpuMs = 0;
    double rssMiB = 0;
    bool peakReset = false;
};

struct Job {
    double wallMs = 0;
    double cpuMs = 0;
    double rssBeforeMiB = 0;
    double peakMiB = 0;
    bool peakReset = false;
};

Job printOnce(QWidget *printingWindow)
{
    JobStart start(printingWindow);
    TrayForm->Prints();
    Job job;
    job.wallMs = double(start.clock.nsecsElapsed()) / 1e6;
    job.cpuMs = bench::threadCpuMs() - start.cpuMs;
    job.rssBeforeMiB = start.rssMiB;
    job.peakMiB = statusMiB("VmHWM");
    job.peakReset = start.peakReset;
    return job;
}

struct Timing {
    double wallMs = 0;
    double cpuMs = 0;
};

// Qt's PDF writer drawing `picture` page-wide on the job's page.
void drawPage(const QImage &picture, const QString &file)
{
    QPdfWriter writer(file);
    writer.setResolution(1200);
    writer.setPageSize(QPageSize(QPageSize::Letter));
    writer.setPageMargins(QMarginsF(6.35, 6.35, 6.35, 6.35), QPageLayout::Millimeter);
    QPainter painter(&writer);
    painter.setRenderHint(QPainter::LosslessImageRendering);
    const int width = writer.width();
    painter.drawImage(QRect(0, 300, width, int(qint64(Height) * width / Width)), picture);
}

// Qt's PDF writer with the same page and target.
Timing qtPage(const QImage &picture, const QString &file)
{
    QElapsedTimer clock;
    clock.start();
    const double cpu = bench::threadCpuMs();
    drawPage(picture, file);
    return {double(clock.nsecsElapsed()) / 1e6, bench::threadCpuMs() - cpu};
}

// The same page with a one-pixel placeholder drawn by Qt, then the reduced
// picture written over it indexed at zlib's `level`, as the printer does.
Timing indexedPage(const QImage &reduced, const QString &file, int level, qint64 &bytes)
{
    QElapsedTimer clock;
    clock.start();
    const double cpu = bench::threadCpuMs();
    QImage placeholder(1, 1, QImage::Format_RGB32);
    placeholder.fill(Qt::white);
    drawPage(placeholder, file);
    QFile page(file);
    page.open(QIODevice::ReadOnly);
    const QByteArray pdf = page.readAll();
    page.close();
    const QByteArray update = platform::PdfImageUpdate::indexedImage(
        pdf, platform::PdfImageUpdate::lastImageObject(pdf), reduced, level);
    page.open(QIODevice::WriteOnly);
    page.write(pdf);
    page.write(update);
    page.close();
    bytes = pdf.size() + update.size();
    return {double(clock.nsecsElapsed()) / 1e6, bench::threadCpuMs() - cpu};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QUILLET_SERVICES", "test");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;

    TestFolder folder;
    platform::setProgramFolderForTesting(folder.path());
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("picture.pdf"));
    TestServices::instance().usePdfPrinter(pdf);
    if (createForms() != -1)
        return 1;
    TrayForm->UsePrintDialog1->setChecked(false);
    TrayForm->CaptureScreen1Click();
    EditScreen->setPicture(samples::desktopPicture(Width, Height, 7));
    const QImage picture = EditScreen->picture();
    const double pictureMiB = double(picture.sizeInBytes()) / (1024.0 * 1024.0);
    QWidget *printingWindow = printit;

    // The first job of the process: nothing picture-sized was freed before
    // it, so the peak is not flattered by memory the allocator kept.
    std::vector<Job> jobs{printOnce(printingWindow)};
    const qint64 pdfBytes = QFileInfo(pdf).size();
    std::vector<double> reduce, reduceCpu, qtWall, qtCpu, qtReducedWall, qtReducedCpu;
    constexpr int Levels = 6;
    std::vector<double> levelCpu[Levels];
    qint64 levelBytes[Levels] = {};
    for (int i = 0; i < runs; ++i) {
        if (i > 0)
            jobs.push_back(printOnce(printingWindow));
        QElapsedTimer clock;
        clock.start();
        const double cpu = bench::threadCpuMs();
        const QVector<QRgb> palette = codecs::BuildOptimizedPalette({picture}, 256, 8);
        const QImage reduced = codecs::RemapToPalette(picture, palette);
        reduce.push_back(double(clock.nsecsElapsed()) / 1e6);
        reduceCpu.push_back(bench::threadCpuMs() - cpu);
        const Timing plain = qtPage(picture, out.filePath(QStringLiteral("qt.pdf")));
        qtWall.push_back(plain.wallMs);
        qtCpu.push_back(plain.cpuMs);
        const Timing indexed = qtPage(reduced, out.filePath(QStringLiteral("qt-reduced.pdf")));
        qtReducedWall.push_back(indexed.wallMs);
        qtReducedCpu.push_back(indexed.cpuMs);
        for (int level = 1; level <= Levels; ++level) {
            const Timing t = indexedPage(reduced, out.filePath(QStringLiteral("indexed.pdf")),
                                         level, levelBytes[level - 1]);
            levelCpu[level - 1].push_back(t.cpuMs);
        }
    }

    std::vector<double> wall, cpu;
    for (const Job &j : jobs) {
        wall.push_back(j.wallMs);
        cpu.push_back(j.cpuMs);
    }
    const Job &first = jobs.front();
    const double growth = first.peakMiB - first.rssBeforeMiB;
    std::printf("picture %d x %d, %.1f MiB; PDF %lld bytes; %d runs, medians, wall (thread CPU)\n",
                Width, Height, pictureMiB, static_cast<long long>(pdfBytes), runs);
    std::printf("print job:                              %7.1f ms (%6.1f), slowest %.1f ms\n",
                median(wall), median(cpu), *std::max_element(wall.begin(), wall.end()));
    std::printf("  reduction alone:                      %7.1f ms (%6.1f)\n", median(reduce),
                median(reduceCpu));
    std::printf("  Qt's PDF writer, the reduced picture: %7.1f ms (%6.1f)\n", median(qtReducedWall),
                median(qtReducedCpu));
    std::printf("Qt's PDF writer, the picture as it is:  %7.1f ms (%6.1f)\n", median(qtWall),
                median(qtCpu));
    for (int level = 1; level <= Levels; ++level)
        std::printf("  reduced picture indexed, zlib level %d: CPU %6.1f ms, PDF %lld bytes\n",
                    level, median(levelCpu[level - 1]),
                    static_cast<long long>(levelBytes[level - 1]));
    std::printf("job / Qt's page of the picture:         %7.2f (CPU %.2f)\n",
                median(wall) / median(qtWall), median(cpu) / median(qtCpu));
    std::printf("first job: resident before %.1f MiB, peak %.1f MiB%s\n", first.rssBeforeMiB,
                first.peakMiB, first.peakReset ? "" : " (peak not reset: whole process)");
    std::printf("  peak growth during the job:           %7.1f MiB = %.2f x the picture\n", growth,
                growth / pictureMiB);
    std::printf("  whole process at its peak:            %7.1f MiB = %.2f x the picture\n",
                first.peakMiB, first.peakMiB / pictureMiB);
    destroyForms();
    return 0;
}
