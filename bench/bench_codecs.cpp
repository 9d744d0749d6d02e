// Colour reduction and GIF writing, side by side with ImageMagick in the same
// run. See README.md for how to run it and the recorded figures.
#include "SamplePictures.h"
#include "imaging/codecs/ColorReduction.h"
#include "imaging/codecs/GifWriter.h"

#include "CpuTime.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QString Magick = "/usr/bin/convert";

// Median wall time of the runs; the median CPU time of this process goes to
// *cpu (a steadier figure while other programs share the cores).
double medianMs(int runs, const std::function<void()> &work, double *cpu = nullptr)
{
    std::vector<double> times, cpuTimes;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        const double cpuStart = bench::processCpuMs();
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        cpuTimes.push_back(bench::processCpuMs() - cpuStart);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    if (cpu)
        *cpu = cpuTimes[cpuTimes.size() / 2];
    return times[times.size() / 2];
}

void runMagick(const QStringList &arguments)
{
    QProcess process;
    process.start(Magick, arguments);
    if (!process.waitForFinished(600000) || process.exitCode() != 0) {
        std::fprintf(stderr, "convert failed: %s\n", process.readAllStandardError().constData());
        std::exit(1);
    }
}

double psnr(const QImage &original, const QImage &reduced)
{
    const QImage a = original.convertToFormat(QImage::Format_RGB888);
    const QImage b = reduced.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar *p = a.constScanLine(y), *q = b.constScanLine(y);
        for (int i = 0; i < 3 * a.width(); ++i)
            sum += double(p[i] - q[i]) * (p[i] - q[i]);
    }
    const double mse = sum / (3.0 * a.width() * a.height());
    return 10 * std::log10(255.0 * 255.0 / mse);
}

long statusKb(const char *field)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLong();
    return -1;
}

void reduction(const QString &name, const QString &ppm, int runs)
{
    const QImage picture(ppm, "PPM");
    const QString dir = QFileInfo(ppm).path();
    QImage reduced;

    // Peak memory of one reduction beyond the picture, in a fresh process.
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--memory", ppm});
    child.waitForFinished(600000);
    const QByteArray memory = child.readAllStandardOutput().trimmed();

    QVector<QRgb> palette;
    double paletteCpu = 0, remapCpu = 0, oursCpu = 0;
    const double paletteMs = medianMs(
        runs, [&] { palette = codecs::BuildOptimizedPalette({picture}, 256, 8); }, &paletteCpu);
    const double remapMs = medianMs(
        runs, [&] { reduced = codecs::RemapToPalette(picture, palette); }, &remapCpu);
    const double oursMs = medianMs(
        runs,
        [&] {
            reduced =
                codecs::RemapToPalette(picture, codecs::BuildOptimizedPalette({picture}, 256, 8));
        },
        &oursCpu);

    const QString magickOut = dir + "/magick-" + name + ".bmp";
    const double magickMs = medianMs(runs, [&] {
        runMagick({ppm, "-dither", "FloydSteinberg", "-colors", "256", magickOut});
    });
    const double magickCopyMs = medianMs(runs, [&] {
        runMagick({ppm, dir + "/copy-" + name + ".bmp"});
    });
    const QImage magick(magickOut);

    std::printf("%s %dx%d\n", qPrintable(name), picture.width(), picture.height());
    std::printf("  ours: palette %.1f ms, remap %.1f ms, both %.1f ms "
                "(CPU %.1f + %.1f = %.1f ms)\n",
                paletteMs, remapMs, oursMs, paletteCpu, remapCpu, oursCpu);
    std::printf("  ImageMagick: reduce %.1f ms, decode+encode alone %.1f ms, "
                "reduction %.1f ms; ours is %.2f of it\n",
                magickMs, magickCopyMs, magickMs - magickCopyMs,
                oursMs / (magickMs - magickCopyMs));
    std::printf("  PSNR: ours %.2f dB, ImageMagick %.2f dB\n", psnr(picture, reduced),
                psnr(picture, magick));
    std::printf("  peak memory beyond the loaded picture: %s (indexed copy %.1f MiB)\n",
                memory.constData(), double(picture.width()) * picture.height() / (1024 * 1024));
}

// Loads the picture, resets the peak resident size and reduces it once.
int measureMemory(const QString &ppm)
{
    const QImage picture(ppm, "PPM");
    QFile clearRefs("/proc/self/clear_refs");
    if (!clearRefs.open(QIODevice::WriteOnly) || clearRefs.write("5") != 1) {
        std::printf("unknown (cannot reset the peak)\n");
        return 0;
    }
    clearRefs.close();
    const long before = statusKb("VmRSS:");
    const QImage reduced =
        codecs::RemapToPalette(picture, codecs::BuildOptimizedPalette({picture}, 256, 8));
    std::printf("%.2f MiB\n", double(statusKb("VmHWM:") - before) / 1024);
    return reduced.isNull() ? 1 : 0;
}

void gif(const QString &dir, int runs)
{
    const samples::IndexedFrame frame = samples::desktopFrame(1920, 1080, 150, 1);
    QByteArray bytes;
    const double oursMs = medianMs(runs, [&] {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        codecs::GifWriter::write(buffer, frame.width, frame.height,
                                 reinterpret_cast<const uchar *>(frame.pixels.constData()),
                                 frame.width, frame.colours);
        bytes = buffer.data();
    });
    QImage rgb(frame.width, frame.height, QImage::Format_RGB888);
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x)
            rgb.setPixel(x, y, frame.colours[uchar(frame.pixels[y * frame.width + x])]);
    const QString ppm = dir + "/desktop-150.ppm", out = dir + "/magick-150.gif";
    rgb.save(ppm, "PPM");
    const double magickMs = medianMs(runs, [&] { runMagick({ppm, out}); });
    std::printf("GIF 1920x1080, %lld colours\n", qlonglong(frame.colours.size()));
    std::printf("  ours: %.2f ms, %lld bytes\n", oursMs, qlonglong(bytes.size()));
    std::printf("  ImageMagick PPM to GIF (LZW): %.1f ms, %lld bytes\n", magickMs,
                qlonglong(QFile(out).size()));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--memory")
        return measureMemory(QString::fromLocal8Bit(argv[2]));
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    QTemporaryDir dir;
    const QString desktop = dir.filePath("desktop.ppm"), photo = dir.filePath("photo.ppm");
    samples::desktopPicture(3840, 2160, 1).save(desktop, "PPM");
    runMagick({"-size", "3840x2160", "-seed", "14", "plasma:fractal", "-blur", "0x1", photo});
    reduction("desktop", desktop, runs);
    reduction("photo", photo, runs);
    gif(dir.path(), std::max(runs, 10));
    return 0;
}
