// Whole print jobs of formatted documents, rendered with poppler's pdftoppm and
// compared pixel for pixel with reference prints of the same documents kept in
// tests/richprint/pages/: the pages must look exactly as they always did.
#include "richprint/RichPrint.h"
#include "tests/support/OneInchPage.h"

#include "platform/RichEdit.h"
#include "platform/UserStore.h"
#include "platform/qt/QtPrinter.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>
#include <QTextTable>
#include <QtTest>

#include <functional>

namespace {

constexpr double StripMm = 6.35;
constexpr int RenderDpi = 150;

using Builder = std::function<void(QTextDocument &)>;

QString sentence(int i)
{
    return QStringLiteral("Paragraph %1: the quick brown fox jumps over the lazy dog, "
                          "and the rain in Spain stays mainly in the plain.")
        .arg(i);
}

void plainParagraphs(QTextDocument &doc)
{
    QStringList text;
    for (int i = 1; i <= 130; ++i)
        text << (i % 17 == 0 ? QString() : sentence(i));
    doc.setPlainText(text.join(QLatin1Char('\n')));
}

QTextCharFormat charFormat(const QString &family, double points, QColor colour, bool bold,
                           bool italic)
{
    QTextCharFormat format;
    format.setFontFamilies({family});
    format.setFontPointSize(points);
    format.setForeground(colour);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(italic);
    return format;
}

void mixedFonts(QTextDocument &doc)
{
    QTextCursor cursor(&doc);
    const QStringList families{"Liberation Serif", "Liberation Sans", "Liberation Mono"};
    const QList<double> sizes{8, 10, 12, 17, 24};
    const QList<QColor> colours{Qt::black, Qt::darkRed, QColor(0, 96, 160), Qt::darkGreen};
    for (int p = 0; p < 60; ++p) {
        if (p > 0)
            cursor.insertBlock();
        for (int run = 0; run < 5; ++run) {
            const int k = p * 5 + run;
            cursor.insertText(
                QStringLiteral("run %1 of paragraph %2, ").arg(run).arg(p),
                charFormat(families[k % 3], sizes[k % 5], colours[k % 4], k % 7 == 0, k % 3 == 1));
        }
    }
}

void lines(QTextDocument &doc)
{
    QTextCursor cursor(&doc);
    for (int p = 0; p < 70; ++p) {
        if (p > 0)
            cursor.insertBlock();
        QTextCharFormat format;
        format.setFontUnderline(p % 3 == 0);
        format.setFontStrikeOut(p % 3 == 1);
        if (p % 4 == 2) {
            format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
            format.setUnderlineColor(Qt::red);
        }
        cursor.insertText(QStringLiteral("Plain start, "));
        cursor.insertText(sentence(p), format);
        cursor.insertText(QStringLiteral(" plain end."), QTextCharFormat());
    }
}

void tabs(QTextDocument &doc)
{
    QTextCursor cursor(&doc);
    for (int p = 0; p < 120; ++p) {
        if (p > 0)
            cursor.insertBlock();
        if (p % 2 == 1) {
            QTextBlockFormat stops;
            stops.setTabPositions({QTextOption::Tab(72, QTextOption::LeftTab),
                                   QTextOption::Tab(300, QTextOption::RightTab),
                                   QTextOption::Tab(400, QTextOption::CenterTab)});
            cursor.setBlockFormat(stops);
        }
        cursor.insertText(
            QStringLiteral("%1\tname %2\t%3.50\tcentre\tend").arg(p).arg(p * 7).arg(p * 13));
    }
}

void longParagraphs(QTextDocument &doc)
{
    QStringList text;
    for (int p = 0; p < 3; ++p) {
        QStringList words;
        for (int i = 0; i < 60 + 40 * p; ++i)
            words << sentence(i);
        text << words.join(QLatin1Char(' '));
    }
    doc.setPlainText(text.join(QLatin1Char('\n')));
}

void paragraphFormats(QTextDocument &doc, int count)
{
    QTextCursor cursor(&doc);
    const QList<Qt::Alignment> aligns{Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight,
                                      Qt::AlignJustify};
    QTextList *list = nullptr;
    for (int p = 0; p < count; ++p) {
        QTextBlockFormat format;
        format.setAlignment(aligns[p % 4]);
        format.setLeftMargin(p % 5 == 0 ? 36 : 0);
        format.setRightMargin(p % 6 == 0 ? 48 : 0);
        format.setTextIndent(p % 3 == 0 ? 24 : (p % 3 == 1 ? -12 : 0));
        format.setTopMargin(p % 4 == 1 ? 10 : 0);
        format.setBottomMargin(p % 7 == 2 ? 14 : 0);
        if (p % 9 == 4)
            format.setLineHeight(150, QTextBlockFormat::ProportionalHeight);
        if (p > 0)
            cursor.insertBlock(format);
        else
            cursor.setBlockFormat(format);
        if (p % 10 >= 6) {
            // Runs of bullets, as the editor's bullet style makes them.
            if (p % 10 == 6 || !list) {
                QTextListFormat bullets;
                bullets.setStyle(QTextListFormat::ListDisc);
                list = cursor.createList(bullets);
            } else {
                list->add(cursor.block());
            }
        }
        cursor.insertText(sentence(p) + QStringLiteral(" ") + sentence(p + 1));
    }
}

// Paragraphs around a table and a picture: laid out as one document.
void tableAndPicture(QTextDocument &doc)
{
    QImage picture(120, 80, QImage::Format_RGB32);
    picture.fill(QColor(200, 40, 40));
    doc.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("picture")), picture);
    QTextCursor cursor(&doc);
    for (int p = 0; p < 30; ++p)
        cursor.insertText(sentence(p) + QLatin1Char('\n'));
    QTextImageFormat image;
    image.setName(QStringLiteral("picture"));
    cursor.insertText(QStringLiteral("A picture "));
    cursor.insertImage(image);
    cursor.insertText(QStringLiteral(" in a line.\n"));
    QTextTable *table = cursor.insertTable(3, 3);
    for (int cell = 0; cell < 9; ++cell)
        table->cellAt(cell / 3, cell % 3).firstCursorPosition().insertText(sentence(cell));
    cursor.movePosition(QTextCursor::End);
    for (int p = 30; p < 80; ++p)
        cursor.insertText(QLatin1Char('\n') + sentence(p));
}

} // namespace

class tst_PrintedPages : public QObject {
    Q_OBJECT
private slots:
    void pagesAsBefore_data();
    void pagesAsBefore();

private:
    // The PDF pages rendered in colour, in order; empty when pdftoppm fails.
    QList<QImage> render(const QString &pdf, const QString &prefix);
};

QList<QImage> tst_PrintedPages::render(const QString &pdf, const QString &prefix)
{
    QProcess process;
    process.start(QStringLiteral("pdftoppm"),
                  {QStringLiteral("-r"), QString::number(RenderDpi), pdf, prefix});
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        return {};
    const QFileInfo base(prefix);
    QDir dir(base.path());
    const QStringList files =
        dir.entryList({base.fileName() + QStringLiteral("-*.ppm")}, QDir::Files, QDir::Name);
    QList<QImage> pages;
    for (const QString &f : files)
        pages << QImage(dir.filePath(f)).convertToFormat(QImage::Format_RGB32);
    return pages;
}

void tst_PrintedPages::pagesAsBefore_data()
{
    QTest::addColumn<Builder>("build");
    QTest::addColumn<QString>("reference");
    QTest::newRow("plain paragraphs") << Builder(plainParagraphs) << "plain.pdf";
    QTest::newRow("fonts, sizes, colours") << Builder(mixedFonts) << "fonts.pdf";
    QTest::newRow("underline and strike-out") << Builder(lines) << "lines.pdf";
    QTest::newRow("tabs and tab stops") << Builder(tabs) << "tabs.pdf";
    QTest::newRow("paragraphs over page breaks") << Builder(longParagraphs) << "long.pdf";
    QTest::newRow("alignment, indents, spacing, bullets")
        << Builder([](QTextDocument &doc) { paragraphFormats(doc, 80); }) << "paragraphs.pdf";
    QTest::newRow("a table and a picture") << Builder(tableAndPicture) << "objects.pdf";
    // Long enough for the printed part to be let go of on the way.
    QTest::newRow("50 pages of formatted paragraphs")
        << Builder([](QTextDocument &doc) { paragraphFormats(doc, 700); }) << "paragraphs50.pdf";
}

void tst_PrintedPages::pagesAsBefore()
{
    QFETCH(Builder, build);
    QFETCH(QString, reference);
    QTemporaryDir dir;
    platform::UserStore store(dir.filePath("user.reg"));
    const QString file = dir.filePath("out.pdf");
    {
        platform::QtPrinter printer(file, QPageSize(QPageSize::Letter),
                                    QMarginsF(StripMm, StripMm, StripMm, StripMm));
        printer.qprinter().setResolution(600);
        platform::RichEdit memo;
        QFont body(QStringLiteral("Liberation Serif"));
        body.setPointSize(12);
        memo.document()->setDefaultFont(body);
        build(*memo.document());
        TRichPrinter engine(printer, store);
        setOneInchPage(engine);
        engine.setHeader(QStringLiteral("Quarterly"));
        engine.setFooter(QStringLiteral("Page {$PAGE}"));
        engine.setTitle(QStringLiteral("Pages"));
        engine.PrintRichEdit(&memo, 1);
    }
    const QString stored = QStringLiteral(PRINTED_PAGES) + QLatin1Char('/') + reference;
    QVERIFY2(QFileInfo::exists(stored), qPrintable(stored));
    const QList<QImage> expected = render(stored, dir.filePath("expected"));
    const QList<QImage> actual = render(file, dir.filePath("actual"));
    QVERIFY(!expected.isEmpty());
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype i = 0; i < actual.size(); ++i) {
        QCOMPARE(actual[i].size(), expected[i].size());
        if (actual[i] != expected[i]) {
            int differing = 0;
            for (int y = 0; y < actual[i].height(); ++y)
                for (int x = 0; x < actual[i].width(); ++x)
                    differing += actual[i].pixel(x, y) != expected[i].pixel(x, y);
            QFAIL(
                qPrintable(QStringLiteral("page %1: %2 pixels differ").arg(i + 1).arg(differing)));
        }
    }
}

QTEST_MAIN(tst_PrintedPages)
#include "tst_PrintedPages.moc"
