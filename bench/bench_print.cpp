// Printing a long document into PDF: the engine's page-by-page job at 100 and
// 1,000 pages, against Qt's own QTextDocument::print of the same document in
// the same run, and LibreOffice's conversion of the same text from RTF when
// soffice is installed. Each timed print runs in a fresh process of its own,
// which reports its time and its peak resident set.
//   bench_print [repeats] [--no-office]
//   bench_print --child engine|qt <paragraphs>   (one print, used by the above)
#include "platform/RichEdit.h"
#include "platform/UserStore.h"
#include "platform/qt/QtPrinter.h"
#include "richprint/RichPrint.h"
#include "tests/support/OneInchPage.h"

#include "CpuTime.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr double StripMm = 6.35;

QString paragraphs(int count)
{
    QString text;
    for (int i = 1; i <= count; ++i) {
        text += QStringLiteral("Paragraph %1: the quick brown fox jumps over the lazy dog, "
                               "and the rain in Spain stays mainly in the plain.")
                    .arg(i);
        if (i < count)
            text += QLatin1Char('\n');
    }
    return text;
}

void setBodyFont(platform::RichEdit &memo)
{
    QFont body(QStringLiteral("Liberation Serif"));
    body.setPointSize(12);
    memo.document()->setDefaultFont(body);
}

struct Run {
    double engineMs;
    int pages;
    double qtMs;
    double enginePeakMiB = 0; // the whole process at its peak
    double qtPeakMiB = 0;
    double engineCpuMs = 0;
    double qtCpuMs = 0;
};

struct Engine {
    double ms;
    int pages;
    double cpuMs = 0; // the process's processor time
};

Engine printEngine(QTemporaryDir &dir, platform::RichEdit &memo, platform::UserStore &store)
{
    Engine run{};
    {
        platform::QtPrinter printer(dir.filePath("engine.pdf"), QPageSize(QPageSize::Letter),
                                    QMarginsF(StripMm, StripMm, StripMm, StripMm));
        TRichPrinter engine(printer, store);
        setOneInchPage(engine);
        engine.setHeader(QStringLiteral("Benchmark {$DATE}"));
        QElapsedTimer clock;
        clock.start();
        engine.PrintRichEdit(&memo, 1);
        run.ms = double(clock.nsecsElapsed()) / 1e6;
        run.pages = engine.CurrentPage();
    }
    return run;
}

double printQt(QTemporaryDir &dir, const QTextDocument &document)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("qt.pdf"));
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setPageMargins(QMarginsF(25.4, 25.4, 25.4, 25.4), QPageLayout::Millimeter);
    QElapsedTimer clock;
    clock.start();
    document.print(&printer);
    return double(clock.nsecsElapsed()) / 1e6;
}

// A field of /proc/self/status in KiB ("VmHWM", "VmRSS").
long statusKiB(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':')
            return std::stol(line.substr(n + 1));
    return -1;
}

// One print in this process: "<ms> <pages> <peak KiB> <before KiB> <CPU ms>"
// on stdout.
// The peak is the process's highest resident set during the print, counted
// from the resident set just before it (the kernel's high-water mark is
// reset then).
int child(const QString &which, int paragraphCount)
{
    QTemporaryDir dir;
    platform::UserStore store(dir.filePath("user.reg"));
    platform::RichEdit memo;
    setBodyFont(memo);
    memo.setPlainText(paragraphs(paragraphCount));
    {
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5";
    }
    const long before = statusKiB("VmRSS");
    const double cpuBefore = bench::processCpuMs();
    Engine run{0, 0};
    if (which == QLatin1String("engine"))
        run = printEngine(dir, memo, store);
    else
        run.ms = printQt(dir, *memo.document());
    const double cpu = bench::processCpuMs() - cpuBefore;
    std::printf("%.3f %d %ld %ld %.3f\n", run.ms, run.pages, statusKiB("VmHWM"), before, cpu);
    return 0;
}

// Runs one print in a fresh process of this program.
Engine spawn(const QString &which, int paragraphCount, double &peakMiB)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--child"), which, QString::number(paragraphCount)});
    if (!process.waitForFinished(600000) || process.exitCode() != 0) {
        std::fprintf(stderr, "child print failed\n");
        std::exit(1);
    }
    const QStringList fields =
        QString::fromLatin1(process.readAllStandardOutput()).simplified().split(QLatin1Char(' '));
    if (fields.size() != 5) {
        std::fprintf(stderr, "child print said nothing\n");
        std::exit(1);
    }
    peakMiB = fields[2].toDouble() / 1024;
    return {fields[0].toDouble(), fields[1].toInt(), fields[4].toDouble()};
}

Run printBoth(int paragraphCount, int round)
{
    Run run{};
    // Alternating which goes first, so neither always meets a warmer machine.
    for (int i = 0; i < 2; ++i) {
        if ((i + round) % 2 == 0) {
            const Engine e = spawn(QStringLiteral("engine"), paragraphCount, run.enginePeakMiB);
            run.engineMs = e.ms;
            run.engineCpuMs = e.cpuMs;
            run.pages = e.pages;
        } else {
            const Engine q = spawn(QStringLiteral("qt"), paragraphCount, run.qtPeakMiB);
            run.qtMs = q.ms;
            run.qtCpuMs = q.cpuMs;
        }
    }
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// LibreOffice's RTF-to-PDF conversion of the same text, in milliseconds; -1
// when it is not installed or fails.
double libreOffice(QTemporaryDir &dir, const QByteArray &rtf, const QString &name)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        return -1;
    const QString input = dir.filePath(name + QStringLiteral(".rtf"));
    QFile f(input);
    if (!f.open(QIODevice::WriteOnly) || f.write(rtf) != rtf.size())
        return -1;
    f.close();
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    process.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + dir.filePath("lo"),
                            QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                            QStringLiteral("pdf"), QStringLiteral("--outdir"), dir.path(), input});
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        return -1;
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0)
        return child(QString::fromLatin1(argv[2]), atoi(argv[3]));
    const int repeats = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const bool office = !(argc > 2 && std::strcmp(argv[2], "--no-office") == 0);
    QTemporaryDir dir;
    platform::UserStore store(dir.filePath("user.reg"));
    platform::RichEdit memo;
    setBodyFont(memo);

    // How many paragraphs fill a page.
    memo.setPlainText(paragraphs(200));
    const double perPage = 200.0 / printEngine(dir, memo, store).pages;

    std::printf("pages  engine ms (median of %d)  ms/page  peak MiB  QTextDocument::print ms  "
                "ms/page  peak MiB  time ratio  CPU ratio\n",
                repeats);
    std::vector<double> medians;
    for (int target : {100, 1000}) {
        // Aimed from the probe, then corrected once by the pages it gave.
        int count = int(target * perPage);
        memo.setPlainText(paragraphs(count));
        const int pages = printEngine(dir, memo, store).pages;
        if (pages != target) {
            count = int(count * double(target) / pages) - 1;
            memo.setPlainText(paragraphs(count));
        }
        std::printf("       %d paragraphs\n", count);
        std::vector<double> engineMs, qtMs, enginePeak, qtPeak, cpuRatio;
        int printed = 0;
        for (int r = 0; r < repeats; ++r) {
            const Run run = printBoth(count, r);
            engineMs.push_back(run.engineMs);
            qtMs.push_back(run.qtMs);
            enginePeak.push_back(run.enginePeakMiB);
            qtPeak.push_back(run.qtPeakMiB);
            cpuRatio.push_back(run.engineCpuMs / run.qtCpuMs);
            printed = run.pages;
            std::printf(
                "       run %d: engine %.1f ms (CPU %.1f), %.1f MiB; Qt %.1f ms (CPU %.1f), "
                "%.1f MiB; ratio %.2f (CPU %.2f)\n",
                r + 1, run.engineMs, run.engineCpuMs, run.enginePeakMiB, run.qtMs, run.qtCpuMs,
                run.qtPeakMiB, run.engineMs / run.qtMs, cpuRatio.back());
        }
        const double e = median(engineMs), q = median(qtMs);
        std::printf("%5d  %23.1f  %7.2f  %8.1f  %23.1f  %7.2f  %8.1f  %10.2f  %9.2f\n", printed, e,
                    e / printed, median(enginePeak), q, q / printed, median(qtPeak), e / q,
                    median(cpuRatio));
        medians.push_back(e);

        if (!office)
            continue;
        const QByteArray rtf = memo.toRtf();
        libreOffice(dir, rtf, QStringLiteral("warmup")); // the first start sets up its profile
        const double lo = libreOffice(dir, rtf, QStringLiteral("doc%1").arg(target));
        if (lo < 0)
            std::printf("       LibreOffice: not installed or failed\n");
        else
            std::printf(
                "       LibreOffice RTF to PDF: %.1f ms, %.2f ms/page, engine %.1fx faster\n", lo,
                lo / printed, lo / e);
    }
    std::printf("1000 pages / 100 pages: %.2f\n", medians[1] / medians[0]);
    return 0;
}
