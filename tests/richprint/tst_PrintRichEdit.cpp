// Whole print jobs of the engine into PDF files, read back with poppler's
// pdftotext and pdfinfo: pages, header and footer texts and their positions.
#include "richprint/RichPrint.h"

#include "platform/RichEdit.h"
#include "platform/UserStore.h"
#include "platform/qt/QtPrinter.h"
#include "tests/support/PdfText.h"

#include <QDate>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A Letter page with a quarter-inch strip the device cannot print on.
constexpr double StripMm = 6.35;

QString numberedLines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("Line%1").arg(i);
    return lines.join(QLatin1Char('\n'));
}

int occurrences(const QString &page, const QString &word)
{
    return int(
        page.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).count(word));
}

} // namespace

class tst_PrintRichEdit : public QObject {
    Q_OBJECT
private slots:
    void init();
    void pagesCarryHeaderAndNumbers_data();
    void pagesCarryHeaderAndNumbers();
    void emptyDocumentPrintsOnePage();
    void noTrailingPage_data();
    void noTrailingPage();
    void lastCharacterGetsItsPage();
    void fallbackFontManyPagesIn();
    void headerTexts_data();
    void headerTexts();
    void headerAndFooterPositions();
    void fitTextKeepsLongestPrefix_data();
    void fitTextKeepsLongestPrefix();
    void failedJobIsThrownAway();
    void bordersAndLogo();
    void fontMatchedToPrinter_data();
    void fontMatchedToPrinter();

private:
    // Prints `text` as the tray does, returns the PDF's file name.
    QString print(const QString &text, int firstPage = 1);
    void setUpEngine();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<platform::UserStore> m_store;
    std::unique_ptr<platform::QtPrinter> m_printer;
    std::unique_ptr<TRichPrinter> m_engine;
    std::unique_ptr<platform::RichEdit> m_memo;
    int m_jobs = 0;
    QString m_file;
    int m_linesPerPage = 0;
};

void tst_PrintRichEdit::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<platform::UserStore>(m_dir->filePath("user.reg"));
    m_file = m_dir->filePath("out.pdf");
    m_printer = std::make_unique<platform::QtPrinter>(
        m_file, QPageSize(QPageSize::Letter), QMarginsF(StripMm, StripMm, StripMm, StripMm));
    m_printer->qprinter().setResolution(600);
    m_memo = std::make_unique<platform::RichEdit>();
    QFont body(QStringLiteral("Liberation Serif"));
    body.setPointSize(12);
    m_memo->document()->setDefaultFont(body);
    setUpEngine();

    // How many of these lines a page holds, as the printed file shows it.
    if (m_linesPerPage == 0) {
        const QStringList pages = PdfText::pages(print(numberedLines(200)));
        QVERIFY(pages.size() >= 3);
        for (int i = 1; i <= 200; ++i)
            if (pages.first().contains(QStringLiteral("Line%1\n").arg(i)))
                m_linesPerPage = i;
        QVERIFY(m_linesPerPage > 20);
    }
}

void tst_PrintRichEdit::setUpEngine()
{
    // The tray's settings: inches, one-inch margins, one right-aligned column
    // of 3.937 inches for header and footer, no progress window.
    m_engine = std::make_unique<TRichPrinter>(*m_printer, *m_store);
    m_engine->setMeasureUnit(muInches);
    for (auto setter : {&TRichPrinter::setMarginTop, &TRichPrinter::setMarginBottom,
                        &TRichPrinter::setMarginLeft, &TRichPrinter::setMarginRight})
        (m_engine.get()->*setter)(1.0);
    m_engine->setHeaderFormat(QStringLiteral(">   3.937"));
    m_engine->setFooterFormat(QStringLiteral(">   3.937"));
    m_engine->setHeader(QStringLiteral("Quarterly"));
    m_engine->setFooter(QStringLiteral("Page {$PAGE}"));
    m_engine->setShowProgress(false);
    m_engine->setTitle(QStringLiteral("Quillet!"));
}

QString tst_PrintRichEdit::print(const QString &text, int firstPage)
{
    m_memo->setPlainText(text);
    m_engine->PrintRichEdit(m_memo.get(), firstPage);
    return m_file;
}

void tst_PrintRichEdit::pagesCarryHeaderAndNumbers_data()
{
    QTest::addColumn<bool>("numbers");
    QTest::addColumn<int>("firstPage");
    QTest::newRow("numbered from 1") << true << 1;
    QTest::newRow("numbered from 5") << true << 5;
    QTest::newRow("page numbers off") << false << 1;
}

void tst_PrintRichEdit::pagesCarryHeaderAndNumbers()
{
    QFETCH(bool, numbers);
    QFETCH(int, firstPage);
    if (!numbers)
        m_engine->setFooter(QString());
    const int lines = 2 * m_linesPerPage + m_linesPerPage / 2;
    const QString file = print(numberedLines(lines), firstPage);
    QCOMPARE(PdfText::pageCount(file), 3);
    QCOMPARE(PdfText::info(file, "Title"), QString("Quillet!"));
    const QStringList pages = PdfText::pages(file);
    QCOMPARE(pages.size(), 3);
    for (int p = 0; p < 3; ++p) {
        QCOMPARE(occurrences(pages[p], "Quarterly"), 1);
        QCOMPARE(occurrences(pages[p], "Page"), numbers ? 1 : 0);
        if (numbers)
            QVERIFY2(pages[p].contains(QStringLiteral("Page %1").arg(firstPage + p)),
                     qPrintable(pages[p].right(200)));
    }
    // Every line is printed once, in order, none lost at the page breaks.
    const QString all = pages.join(QLatin1Char('\n'));
    for (int i = 1; i <= lines; ++i)
        QCOMPARE(occurrences(all, QStringLiteral("Line%1").arg(i)), 1);
    QVERIFY(pages[1].contains(QStringLiteral("Line%1\n").arg(m_linesPerPage + 1)));
}

void tst_PrintRichEdit::emptyDocumentPrintsOnePage()
{
    const QString file = print(QString());
    QCOMPARE(PdfText::pageCount(file), 1);
    const QStringList words =
        PdfText::pages(file).value(0).split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
    QCOMPARE(words, QStringList({"Quarterly", "Page", "1"}));
}

void tst_PrintRichEdit::noTrailingPage_data()
{
    QTest::addColumn<QString>("tail");
    QTest::newRow("ends at the page boundary") << QString();
    QTest::newRow("final paragraph mark") << QStringLiteral("\n");
}

void tst_PrintRichEdit::noTrailingPage()
{
    QFETCH(QString, tail);
    const QString file = print(numberedLines(2 * m_linesPerPage) + tail);
    QCOMPARE(PdfText::pageCount(file), 2);
    QVERIFY(
        PdfText::pages(file).value(1).contains(QStringLiteral("Line%1").arg(2 * m_linesPerPage)));
}

void tst_PrintRichEdit::lastCharacterGetsItsPage()
{
    // One character left for the next page is real text and is printed.
    const QString file = print(numberedLines(m_linesPerPage) + QStringLiteral("\nx"));
    QCOMPARE(PdfText::pageCount(file), 2);
    QCOMPARE(occurrences(PdfText::pages(file).value(1), "x"), 1);
}

void tst_PrintRichEdit::fallbackFontManyPagesIn()
{
    // A character the body font lacks, far into a long job (its paragraph is
    // laid out apart from the first pages'): it prints in a font that has it.
    const QString file = print(numberedLines(3000) + QStringLiteral("\nsnow \u2603 man"));
    const QStringList pages = PdfText::pages(file);
    QVERIFY2(pages.size() > 20, qPrintable(QString::number(pages.size())));
    QVERIFY(pages.last().contains(QChar(0x2603)));
    QCOMPARE(occurrences(pages.join(QString()), "Line3000"), 1);
    QStringList lastPageFonts;
    for (const PdfText::Line &line : PdfText::lines(file))
        if (line.page == pages.size())
            lastPageFonts << line.fontFamily;
    QVERIFY2(lastPageFonts.contains("DejaVuSans"), qPrintable(lastPageFonts.join(' ')));
}

void tst_PrintRichEdit::headerTexts_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("expected");
    const QString today = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
    QTest::newRow("date") << "Quillet!"
                          << "{$DATE}" << today;
    QTest::newRow("bar keeps the first column") << "Quillet!"
                                                << "Left|Right"
                                                << "Left";
    QTest::newRow("title") << "Quillet!"
                           << "{$TITLE}"
                           << "Quillet!";
    QTest::newRow("title holding its macro") << "Job {$TITLE}"
                                             << "{$TITLE}"
                                             << "{$TITLE}";
    QTest::newRow("title holding the date macro") << "At {$DATE}"
                                                  << "{$TITLE}"
                                                  << "At {$DATE}";
    QTest::newRow("lower-case macro") << "Quillet!"
                                      << "{$page}"
                                      << "{$page}";
    QTest::newRow("line counter") << "Quillet!"
                                  << "L{$LINE}"
                                  << "L0";
    QTest::newRow("page in header") << "Quillet!"
                                    << "P{$PAGE}"
                                    << "P1";
}

void tst_PrintRichEdit::headerTexts()
{
    QFETCH(QString, title);
    QFETCH(QString, header);
    QFETCH(QString, expected);
    m_engine->setTitle(title);
    m_engine->setHeader(header);
    m_engine->setFooter(QString());
    const QString page = PdfText::pages(print(QStringLiteral("body"))).value(0);
    const QStringList lines = page.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.first().trimmed(), expected);
}

void tst_PrintRichEdit::headerAndFooterPositions()
{
    print(QStringLiteral("body"));
    const QList<PdfText::Word> words = PdfText::words(m_file);
    const auto find = [&words](const QString &text) {
        for (const PdfText::Word &w : words)
            if (w.text == text)
                return w.box;
        return QRectF();
    };
    const QRectF header = find("Quarterly");
    const QRectF footer = find("1");
    QVERIFY(!header.isNull() && !footer.isNull());
    // Both end 3.937 inches right of the one-inch margin less 6 pixels at
    // 600 dpi: 150 + 450 + 2362 - 6 pixels from the paper's left edge.
    const double end = (150 + 450 + 2362 - 6) / 600.0 * 72;
    QVERIFY2(std::abs(header.right() - end) < 0.6, qPrintable(QString::number(header.right())));
    QVERIFY2(std::abs(footer.right() - end) < 0.6, qPrintable(QString::number(footer.right())));
    // The header lies in the band above the top margin, the footer below the
    // bottom margin.
    QVERIFY(header.top() > 18 && header.bottom() < 72);
    QVERIFY2(footer.top() > 720 && footer.bottom() < 792 - 18,
             qPrintable(QString::number(footer.top())));
    // Centred in its band: as far from the printable edge as from the margin,
    // to within the line's leading.
    const double gapAbove = header.top() - 18;
    const double gapBelow = 72 - header.bottom();
    QVERIFY2(std::abs(gapAbove - gapBelow) < 6,
             qPrintable(QStringLiteral("%1 %2").arg(gapAbove).arg(gapBelow)));
}

void tst_PrintRichEdit::fitTextKeepsLongestPrefix_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("letters"); // column width, in letters of the monospaced font
    QTest::addColumn<QString>("expected");
    QTest::newRow("seven into three") << "ABCDEFG" << 3 << "ABC";
    QTest::newRow("fits exactly") << "ABC" << 3 << "ABC";
    QTest::newRow("shorter") << "AB" << 3 << "AB";
    QTest::newRow("one into none keeps one") << "ABCDEFG" << 0 << "A";
    QTest::newRow("long text") << QString(200, 'W') << 150 << QString(150, 'W');
    QTest::newRow("empty") << "" << 0 << "";
}

void tst_PrintRichEdit::fitTextKeepsLongestPrefix()
{
    QFETCH(QString, text);
    QFETCH(int, letters);
    QFETCH(QString, expected);
    QFont mono(QStringLiteral("Liberation Mono"));
    mono.setPointSize(10);
    m_engine->setFont_HeaderFooter(mono, Qt::black);
    const QFontMetrics metrics(mono, m_printer->device());
    // A column exactly as wide as the expected prefix, and one just short of
    // the next character.
    const int fits = metrics.horizontalAdvance(QString(letters, 'M'));
    const int nextFits = metrics.horizontalAdvance(QString(letters + 1, 'M'));
    QCOMPARE(m_engine->FitText(text, fits), expected);
    QCOMPARE(m_engine->FitText(text, (fits + nextFits) / 2), expected);
}

void tst_PrintRichEdit::failedJobIsThrownAway()
{
    // A job that cannot write its file fails to start; nothing stays open.
    platform::QtPrinter nowhere(m_dir->filePath("missing/out.pdf"), QPageSize(QPageSize::Letter),
                                {});
    TRichPrinter engine(nowhere, *m_store);
    m_memo->setPlainText("text");
    QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
    try {
        engine.PrintRichEdit(m_memo.get(), 1);
        QFAIL("the job started");
    } catch (const ELinePrinter &error) {
        QVERIFY2(error.message().contains("missing/out.pdf"), qPrintable(error.message()));
    }
    QVERIFY(!nowhere.printing());
    // The engine's own printer prints the next job as usual.
    QCOMPARE(PdfText::pageCount(print("after")), 1);
}

void tst_PrintRichEdit::bordersAndLogo()
{
    m_engine->setPageBorders(pbTop | pbBottom | pbLeft | pbRight);
    m_engine->setBorderOffset(0.1);
    QImage logo(20, 10, QImage::Format_RGB32);
    logo.fill(Qt::black);
    m_engine->setBitmapLogo(logo);
    m_engine->setLogoLeft(1.0);
    m_engine->setLogoWidth(2.0);
    m_engine->setLogoHeight(0.5);
    print(QString());
    // The page as a grey picture at 300 dpi: half the printer's pixels.
    QProcess render;
    render.start("pdftoppm",
                 {"-r", "300", "-gray", "-f", "1", "-l", "1", m_file, m_dir->filePath("page")});
    QVERIFY(render.waitForFinished(60000) && render.exitCode() == 0);
    const QStringList out = QDir(m_dir->path()).entryList({"page*.pgm"});
    QCOMPARE(out.size(), 1);
    const QImage page(m_dir->filePath(out.first()));
    QCOMPARE(page.size(), QSize(2550, 3300));
    const auto dark = [&page](double xPx600, double yPx600) {
        // Device pixels at 600 dpi from the printable area's corner (a quarter inch in).
        return qGray(page.pixel(int((xPx600 + 150) / 2), int((yPx600 + 150) / 2))) < 128;
    };
    const int L = m_engine->LeftOffset(), T = m_engine->TopOffset();
    const int W = m_engine->TextAreaWidth(), H = m_engine->TextAreaHeight();
    const int b = 60; // 0.1 in
    // Top line once the offset above the text area, bottom line twice below it.
    QVERIFY(dark(L + W / 2, T - b) && !dark(L + W / 2, T - b - 8) && !dark(L + W / 2, T - b + 8));
    QVERIFY(dark(L + W / 2, T + H + 2 * b) && !dark(L + W / 2, T + H + b));
    QVERIFY(dark(L - b, T + H / 2) && !dark(L - b + 8, T + H / 2));
    QVERIFY(dark(L + W + b, T + H / 2) && !dark(L + W + b - 8, T + H / 2));
    // The logo, stretched over its rectangle right under the header line.
    const QRect r = m_engine->LogoRect();
    QVERIFY(dark(r.center().x(), r.center().y()));
    QVERIFY(dark(r.left() + 4, r.top() + 4) && dark(r.right() - 4, r.bottom() - 4));
    QVERIFY(!dark(r.left() - 10, r.center().y()) && !dark(r.right() + 10, r.center().y()));
    // 2 in over an 8.5 in sheet of a 3900-pixel text area; 0.5 in over 11 in of 5400.
    QCOMPARE(r.width(), 918);
    QCOMPARE(r.height(), 245);
    QCOMPARE(r.left(), L + 459);
}

void tst_PrintRichEdit::fontMatchedToPrinter_data()
{
    QTest::addColumn<int>("screenPixels");
    QTest::addColumn<double>("points");
    QTest::newRow("13 pixels: 10 points") << 13 << 10.0;
    QTest::newRow("26 pixels: 20 points") << 26 << 20.0;
}

void tst_PrintRichEdit::fontMatchedToPrinter()
{
    QFETCH(int, screenPixels);
    QFETCH(double, points);
    // The tray's font is given in screen pixels; it prints at the point size
    // those pixels make on the screen, not at printer pixels.
    QFont font(QStringLiteral("Courier New"));
    font.setPixelSize(screenPixels);
    m_engine->setFont_HeaderFooter(font, Qt::black);
    m_engine->setHeader("HEADER");
    print("body");
    QCOMPARE(m_printer->font().pointSize(), int(points));
    for (const PdfText::Word &w : PdfText::words(m_file)) {
        if (w.text == "HEADER") {
            // Six letters of a monospaced font 0.6 em wide.
            QVERIFY2(std::abs(w.box.width() - 6 * 0.6 * points) < 0.5,
                     qPrintable(QString::number(w.box.width())));
            return;
        }
    }
    QFAIL("no header printed");
}

QTEST_MAIN(tst_PrintRichEdit)
#include "tst_PrintRichEdit.moc"
