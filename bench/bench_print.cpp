// Printing a long document into PDF: the engine's page-by-page job at 100 and
// 1,000 pages, against Qt's own QTextDocument::print of the same document in
// the same run, and LibreOffice's conversion of the same text from RTF when
// soffice is installed.
//   bench_print [repeats]
#include "platform/RichEdit.h"
#include "platform/UserStore.h"
#include "platform/qt/QtPrinter.h"
#include "richprint/RichPrint.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
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

struct Run {
    double engineMs;
    int pages;
    double qtMs;
};

Run printBoth(QTemporaryDir &dir, platform::RichEdit &memo, platform::UserStore &store)
{
    Run run{};
    {
        platform::QtPrinter printer(dir.filePath("engine.pdf"), QPageSize(QPageSize::Letter),
                                    QMarginsF(StripMm, StripMm, StripMm, StripMm));
        TRichPrinter engine(printer, store);
        engine.setMeasureUnit(muInches);
        for (auto setter : {&TRichPrinter::setMarginTop, &TRichPrinter::setMarginBottom,
                            &TRichPrinter::setMarginLeft, &TRichPrinter::setMarginRight})
            (engine.*setter)(1.0);
        engine.setHeaderFormat(QStringLiteral(">   3.937"));
        engine.setFooterFormat(QStringLiteral(">   3.937"));
        engine.setHeader(QStringLiteral("Benchmark {$DATE}"));
        engine.setShowProgress(false);
        QElapsedTimer clock;
        clock.start();
        engine.PrintRichEdit(&memo, 1);
        run.engineMs = double(clock.nsecsElapsed()) / 1e6;
        run.pages = engine.CurrentPage();
    }
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("qt.pdf"));
        printer.setPageSize(QPageSize(QPageSize::Letter));
        printer.setPageMargins(QMarginsF(25.4, 25.4, 25.4, 25.4), QPageLayout::Millimeter);
        std::unique_ptr<QTextDocument> document(memo.document()->clone());
        QElapsedTimer clock;
        clock.start();
        document->print(&printer);
        run.qtMs = double(clock.nsecsElapsed()) / 1e6;
    }
    return run;
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
    const int repeats = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    QTemporaryDir dir;
    platform::UserStore store(dir.filePath("user.reg"));
    platform::RichEdit memo;
    QFont body(QStringLiteral("Liberation Serif"));
    body.setPointSize(12);
    memo.document()->setDefaultFont(body);

    // How many paragraphs fill a page.
    memo.setPlainText(paragraphs(200));
    const Run probe = printBoth(dir, memo, store);
    const double perPage = 200.0 / probe.pages;

    std::printf("pages  engine ms (median of %d)  ms/page  QTextDocument::print ms  ms/page  "
                "ratio\n",
                repeats);
    std::vector<double> medians;
    for (int target : {100, 1000}) {
        // Aimed from the probe, then corrected once by the pages it gave.
        int count = int(target * perPage);
        memo.setPlainText(paragraphs(count));
        const int pages = printBoth(dir, memo, store).pages;
        if (pages != target) {
            count = int(count * double(target) / pages) - 1;
            memo.setPlainText(paragraphs(count));
        }
        std::vector<Run> runs;
        for (int r = 0; r < repeats; ++r)
            runs.push_back(printBoth(dir, memo, store));
        std::sort(runs.begin(), runs.end(),
                  [](const Run &a, const Run &b) { return a.engineMs < b.engineMs; });
        const Run engineMedian = runs[runs.size() / 2];
        std::sort(runs.begin(), runs.end(),
                  [](const Run &a, const Run &b) { return a.qtMs < b.qtMs; });
        const double qtMedian = runs[runs.size() / 2].qtMs;
        std::printf("%5d  %23.1f  %7.2f  %24.1f  %7.2f  %5.2f\n", engineMedian.pages,
                    engineMedian.engineMs, engineMedian.engineMs / engineMedian.pages, qtMedian,
                    qtMedian / engineMedian.pages, engineMedian.engineMs / qtMedian);
        medians.push_back(engineMedian.engineMs);

        const QByteArray rtf = memo.toRtf();
        libreOffice(dir, rtf, QStringLiteral("warmup")); // the first start sets up its profile
        const double lo = libreOffice(dir, rtf, QStringLiteral("doc%1").arg(target));
        if (lo < 0)
            std::printf("       LibreOffice: not installed or failed\n");
        else
            std::printf(
                "       LibreOffice RTF to PDF: %.1f ms, %.2f ms/page, engine %.1fx faster\n", lo,
                lo / engineMedian.pages, lo / engineMedian.engineMs);
    }
    std::printf("1000 pages / 100 pages: %.2f\n", medians[1] / medians[0]);
    return 0;
}
