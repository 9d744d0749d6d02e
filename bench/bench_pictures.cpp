// Reading and writing 3840 × 2160 picture files, side by side in the same run
// with cjpeg, a plain file copy and ImageMagick. See README.md.
#include "SamplePictures.h"
#include "imaging/codecs/BmpReader.h"
#include "imaging/codecs/BmpWriter.h"
#include "imaging/codecs/GifReader.h"
#include "imaging/codecs/GifWriter.h"
#include "imaging/codecs/JpegCodec.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void shell(const QString &command)
{
    if (QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command}) != 0) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(command));
        std::exit(1);
    }
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        std::exit(1);
    return file.readAll();
}

template <typename Write> void writeFile(const QString &path, Write write)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        std::exit(1);
    write(file);
    if (!file.commit())
        std::exit(1);
}

void row(const char *what, double ours, const char *peer, double theirs)
{
    std::printf("%-34s %9.1f ms   %-30s %9.1f ms   ratio %.2f\n", what, ours, peer, theirs,
                ours / theirs);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    QTemporaryDir dir;
    const auto at = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };

    const QImage photo = samples::desktopPicture(3840, 2160, 11);
    samples::IndexedFrame frame = samples::desktopFrame(3840, 2160, 150, 12);
    if (!photo.convertToFormat(QImage::Format_RGB888).save(at("in.ppm"), "PPM"))
        return 1;

    // JPEG quality 90 from the same pixels; cjpeg reads them from a PPM file.
    const double jpeg = medianMs(runs, [&] {
        writeFile(at("ours.jpg"), [&](QIODevice &d) { codecs::JpegCodec::write(d, photo, 90); });
    });
    const double cjpeg = medianMs(runs, [&] {
        shell(QStringLiteral("cjpeg -quality 90 '%1' > '%2'").arg(at("in.ppm"), at("cjpeg.jpg")));
    });
    row("JPEG q90 write", jpeg, "cjpeg -quality 90", cjpeg);

    // 24-bit BMP against writing and reading the same number of bytes.
    const double bmpWrite = medianMs(runs, [&] {
        writeFile(at("ours.bmp"), [&](QIODevice &d) { codecs::BmpWriter::write(d, photo); });
    });
    const QByteArray bytes(readAll(at("ours.bmp")).size(), 'x');
    const double copyWrite =
        medianMs(runs, [&] { writeFile(at("copy.bin"), [&](QIODevice &d) { d.write(bytes); }); });
    row("BMP 24-bit write", bmpWrite, "write as many bytes", copyWrite);
    const double bmpRead = medianMs(runs, [&] {
        if (codecs::BmpReader::read(readAll(at("ours.bmp"))).isNull())
            std::exit(1);
    });
    const double copyRead = medianMs(runs, [&] { readAll(at("copy.bin")); });
    row("BMP 24-bit read", bmpRead, "read as many bytes", copyRead);
    const double magickBmp = medianMs(runs, [&] {
        shell(QStringLiteral("/usr/bin/convert '%1' -depth 8 rgb:/dev/null").arg(at("ours.bmp")));
    });
    row("BMP 24-bit open", bmpRead, "convert bmp to rgb", magickBmp);

    // GIF of 150 colours.
    writeFile(at("ours.gif"), [&](QIODevice &d) {
        codecs::GifWriter::write(d, frame.width, frame.height,
                                 reinterpret_cast<const uchar *>(frame.pixels.constData()),
                                 frame.width, frame.colours);
    });
    shell(QStringLiteral("/usr/bin/convert '%1' '%2'").arg(at("ours.gif"), at("magick.gif")));
    for (const char *name : {"ours.gif", "magick.gif"}) {
        const QString file = at(name);
        const double gifRead = medianMs(runs, [&] {
            if (codecs::GifReader::read(readAll(file)).isNull())
                std::exit(1);
        });
        const double magickGif = medianMs(runs, [&] {
            shell(QStringLiteral("/usr/bin/convert '%1' -depth 8 rgb:/dev/null").arg(file));
        });
        row(qPrintable(QStringLiteral("GIF open (%1)").arg(name)), gifRead, "convert gif to rgb",
            magickGif);
    }
    return 0;
}
