// Rich-text benchmarks: load and save a 10 MB RTF file, and print 100 versus
// 1,000 pages through RichEdit::formatRange the way the print engine pages.
//   rtf_bench [megabytes=10] [rtf]
// With "rtf" only the load and save run (each three times), and
// QUILLET_BENCH_SAVE=<file> writes the RTF for a peer to convert.
#include "platform/RichEdit.h"
#include "platform/rtf/RtfReader.h"
#include "platform/rtf/RtfWriter.h"

#include "CpuTime.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Paragraphs of mixed formatting, as captured web or office text looks.
void fill(QTextDocument &doc, qsizetype targetRtfBytes)
{
    QTextCursor c(&doc);
    const QStringList faces{"Liberation Serif", "Liberation Sans", "DejaVu Sans Mono"};
    const QString words =
        QStringLiteral("The quick brown fox jumps over the lazy dog; café naïve € “quoted” αβγ. ");
    qsizetype estimate = 0;
    int i = 0;
    while (estimate < targetRtfBytes) {
        if (i > 0)
            c.insertBlock();
        for (int r = 0; r < 4; ++r) {
            QTextCharFormat f;
            f.setFontFamilies({faces[(i + r) % 3]});
            f.setFontPointSize(10 + (i + r) % 5);
            f.setFontWeight((r & 1) ? QFont::Bold : QFont::Normal);
            f.setFontItalic(r == 2);
            if (r == 3)
                f.setForeground(QColor((i * 37) % 256, 0, 128));
            c.insertText(words, f);
        }
        estimate += 4 * (words.size() + 46) + 20;
        ++i;
    }
}

double ms(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

// Wall and CPU time of one step.
struct Stopwatch {
    QElapsedTimer wall;
    double cpu0 = 0;
    void start()
    {
        cpu0 = bench::threadCpuMs();
        wall.start();
    }
    void report(const char *step) const
    {
        std::printf("%-34s %8.1f ms wall, %8.1f ms CPU\n", step, ms(wall),
                    bench::threadCpuMs() - cpu0);
    }
};

// The print engine's loop: render a page, measure where the next one ends, and
// so on to the end of the text. Without a PDF writer it only measures.
double runPages(platform::RichEdit &edit, QPaintDevice *device, QPdfWriter *pdf, int *pages,
                double *firstPageMs = nullptr)
{
    const QRect target(1134, 1134, 11906 - 2 * 1134, 16838 - 2 * 1134); // 2 cm margins, twips
    QElapsedTimer t;
    t.start();
    edit.releaseFormatCache();
    int start = 0;
    *pages = 0;
    const int length = edit.textLength();
    while (true) {
        const int next = edit.formatRange(device, start, target, pdf != nullptr);
        if (++*pages == 1 && firstPageMs)
            *firstPageMs = ms(t); // the layout of the whole document happens here
        if (next < 0 || next >= length || next <= start)
            break;
        if (pdf) {
            edit.formatRange(device, next, target, false);
            pdf->newPage();
        }
        start = next;
    }
    edit.releaseFormatCache();
    return ms(t);
}

double printPages(platform::RichEdit &edit, const QString &file, int *pages)
{
    QPdfWriter pdf(file);
    pdf.setResolution(600);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    QPainter painter(&pdf);
    return runPages(edit, &pdf, &pdf, pages);
}

// Layout and page breaks only, on a 600 dpi image: every page measured, none drawn.
double measurePages(platform::RichEdit &edit, double *layoutMs)
{
    QImage device(10, 10, QImage::Format_RGB32);
    device.setDotsPerMeterX(23622);
    device.setDotsPerMeterY(23622);
    int pages = 0;
    return runPages(edit, &device, nullptr, &pages, layoutMs);
}

void fillPages(platform::RichEdit &edit, int pages)
{
    // About 63 lines of text to an A4 page with 2 cm margins.
    QString text;
    const QString line = QStringLiteral("Line %1 of a long capture with enough words to fill a "
                                        "printed line nearly, as text does.\n");
    for (int i = 0; i < pages * 63; ++i)
        text += line.arg(i);
    edit.setPlainText(text);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 10;
    const bool rtfOnly = argc > 2 && std::strcmp(argv[2], "rtf") == 0;

    QTextDocument source;
    fill(source, qsizetype(megabytes) * 1024 * 1024);
    Stopwatch t;
    QByteArray rtf;
    platform::RichEdit edit;
    edit.resize(620, 340);
    for (int run = 0; run < (rtfOnly ? 3 : 1); ++run) {
        t.start();
        rtf = platform::rtf::RtfWriter::write(source);
        t.report("save (RtfWriter::write):");
        if (run == 0)
            std::printf("RTF size: %.1f MB, %d paragraphs\n", rtf.size() / 1048576.0,
                        source.blockCount());

        QTextDocument doc;
        t.start();
        platform::rtf::RtfReader::read(rtf, doc);
        t.report("load (RtfReader::read):");

        t.start();
        edit.loadFromStream(rtf);
        t.report("load (RichEdit::loadFromStream):");
        t.start();
        const QByteArray back = edit.toRtf();
        t.report("save (RichEdit::toRtf):");
        if (back != rtf)
            std::printf("note: the re-saved RTF differs (%lld bytes)\n", qlonglong(back.size()));
    }
    if (!qEnvironmentVariableIsEmpty("QUILLET_BENCH_SAVE")) {
        QFile out(qEnvironmentVariable("QUILLET_BENCH_SAVE"));
        if (out.open(QIODevice::WriteOnly))
            out.write(rtf);
    }
    if (rtfOnly)
        return 0;

    QTemporaryDir dir;
    // Each figure is the best of three runs: the machine is shared, and the
    // slowest runs measure the other programs, not this one.
    struct Figures {
        double print = 1e300, measure = 1e300, layout = 1e300;
        int pages = 0;
    };
    const auto measureBest = [&](int pages, const QString &pdf) {
        Figures f;
        fillPages(edit, pages);
        for (int run = 0; run < 3; ++run) {
            double layout = 0;
            f.print = std::min(f.print, printPages(edit, dir.filePath(pdf), &f.pages));
            f.measure = std::min(f.measure, measurePages(edit, &layout));
            f.layout = std::min(f.layout, layout);
        }
        return f;
    };
    const Figures small = measureBest(100, QStringLiteral("100.pdf"));
    const Figures large = measureBest(1000, QStringLiteral("1000.pdf"));
    for (const Figures *f : {&small, &large}) {
        std::printf("lay out and measure %4d pages:  %8.1f ms (layout %.1f ms)\n", f->pages,
                    f->measure, f->layout);
    }
    for (const Figures *f : {&small, &large})
        std::printf("print %4d pages:                 %8.1f ms\n", f->pages, f->print);
    std::printf("ratio: print %.2f, measure %.2f, for %.2f times the pages\n",
                large.print / small.print, large.measure / small.measure,
                double(large.pages) / small.pages);
    return 0;
}
