#include "platform/PdfImageUpdate.h"
#include "platform/Printer.h"
#include "tests/support/PdfText.h"

#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace Update = platform::PdfImageUpdate;

namespace {

constexpr int Dpi = 600;

// An indexed picture of `colours` dark colours (none near white, so every
// pixel shows as ink), each index used, in a pattern that is not uniform.
QImage indexedPicture(int width, int height, int colours)
{
    QImage picture(width, height, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < colours; ++i)
        table.append(qRgb((i * 37) % 200, (i * 11) % 200, 199 - (i * 7) % 200));
    picture.setColorTable(table);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, uint((x * 7 + y * 13 + x * y) % colours));
    return picture;
}

// A one-page PDF as Qt writes it: a line of text and a one-pixel white
// placeholder image drawn into `target` (device pixels at `Dpi`).
QByteArray placeholderPdf(const QString &file, const QRect &target)
{
    {
        QPdfWriter writer(file);
        writer.setResolution(Dpi);
        writer.setPageSize(QPageSize(QPageSize::Letter));
        writer.setPageMargins(QMarginsF());
        QPainter painter(&writer);
        painter.setFont(QFont(QStringLiteral("Liberation Sans"), 10));
        painter.drawText(QPoint(300, 200), QStringLiteral("Heading"));
        QImage placeholder(1, 1, QImage::Format_RGB32);
        placeholder.fill(Qt::white);
        painter.setRenderHint(QPainter::LosslessImageRendering);
        painter.drawImage(target, placeholder);
    }
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

// What poppler says on standard error while rendering the page (a broken
// cross-reference table or image stream is reported there, then repaired).
QByteArray popplerComplaints(const QString &file, const QString &folder)
{
    QProcess process;
    process.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("20"), file,
                                               folder + QStringLiteral("/check")});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return "pdftoppm failed: " + process.readAllStandardError();
    return process.readAllStandardError();
}

} // namespace

class tst_PdfImageUpdate : public QObject {
    Q_OBJECT

private slots:
    void pictureReplacesPlaceholder_data();
    void pictureReplacesPlaceholder();
    void unusableInputFails_data();
    void unusableInputFails();
};

void tst_PdfImageUpdate::pictureReplacesPlaceholder_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QRect>("target");
    QTest::addColumn<int>("level");

    QTest::newRow("one pixel, one colour")
        << indexedPicture(1, 1, 1) << QRect(600, 900, 60, 60) << 1;
    QTest::newRow("odd width, two colours, scaled 7x")
        << indexedPicture(37, 5, 2) << QRect(1000, 1200, 259, 35) << 1;
    QTest::newRow("all 256 colours, page wide")
        << indexedPicture(510, 300, 256) << QRect(0, 1500, 5100, 3000) << 1;
    QTest::newRow("smallest output")
        << indexedPicture(64, 40, 200) << QRect(300, 600, 640, 400) << 9;
    QTest::newRow("cut at the page's bottom")
        << indexedPicture(20, 400, 17) << QRect(2000, 5000, 140, 2800) << 6;
}

void tst_PdfImageUpdate::pictureReplacesPlaceholder()
{
    QFETCH(QImage, picture);
    QFETCH(QRect, target);
    QFETCH(int, level);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("page.pdf"));
    const QByteArray pdf = placeholderPdf(file, target);
    QVERIFY(pdf.startsWith("%PDF"));

    const QByteArray update =
        Update::indexedImage(pdf, Update::lastImageObject(pdf), picture, level);
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(pdf + update);
    out.close();

    QCOMPARE(popplerComplaints(file, dir.path()), QByteArray());
    QCOMPARE(PdfText::pageCount(file), 1);
    QVERIFY(PdfText::pages(file).value(0).contains(QStringLiteral("Heading")));

    // Poppler sees one image: the picture at its own size, indexed, with its
    // own colours pixel for pixel.
    const QList<PdfText::Image> images = PdfText::images(file);
    QCOMPARE(images.size(), 1);
    QCOMPARE(images[0].size, picture.size());
    QCOMPARE(images[0].colour, QStringLiteral("index"));
    const QList<QImage> extracted = PdfText::extractImages(file, dir.path());
    QCOMPARE(extracted.size(), 1);
    QCOMPARE(extracted[0].convertToFormat(QImage::Format_RGB32),
             picture.convertToFormat(QImage::Format_RGB32));

    // Placed where the placeholder was, scaled by the reader, cut by the page.
    const QRect page(0, 0, 5100, 6600);
    const QRect expected = target & page;
    const QRect ink = PdfText::inkBox(file, Dpi, 400);
    QVERIFY2((ink.topLeft() - expected.topLeft()).manhattanLength() <= 2 &&
                 (ink.bottomRight() - expected.bottomRight()).manhattanLength() <= 2,
             qPrintable(PdfText::describe(ink) + QStringLiteral(" instead of ") +
                        PdfText::describe(expected)));
}

void tst_PdfImageUpdate::unusableInputFails_data()
{
    QTest::addColumn<QByteArray>("pdf");
    QTest::addColumn<QImage>("picture");

    QTemporaryDir dir;
    const QByteArray good =
        placeholderPdf(dir.filePath(QStringLiteral("good.pdf")), QRect(0, 0, 10, 10));
    const QImage picture = indexedPicture(4, 4, 3);

    QTest::newRow("empty") << QByteArray() << picture;
    QTest::newRow("no image") << QByteArray("%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\nendobj\n")
                              << picture;
    QTest::newRow("cut off before its cross-reference table")
        << good.left(good.lastIndexOf("xref")) << picture;
    QTest::newRow("cross-reference offset past the end")
        << QByteArray(good).replace(good.lastIndexOf("startxref") + 10, 1, "9999999") << picture;
    QTest::newRow("compressed cross-reference stream")
        << QByteArray("%PDF-1.5\n1 0 obj\n<< /Type /XObject /Subtype /Image >>\nendobj\n"
                      "2 0 obj\n<< /Type /XRef /Size 3 >>\nstream\nendstream\nendobj\n"
                      "startxref\n60\n%%EOF\n")
        << picture;
    QTest::newRow("not an indexed picture")
        << good << picture.convertToFormat(QImage::Format_RGB32);
    QTest::newRow("no colours") << good << QImage(4, 4, QImage::Format_Indexed8);
}

void tst_PdfImageUpdate::unusableInputFails()
{
    QFETCH(QByteArray, pdf);
    QFETCH(QImage, picture);
    QVERIFY_THROWS_EXCEPTION(platform::PrinterError, {
        const int object = Update::lastImageObject(pdf);
        Update::indexedImage(pdf, object, picture, 1);
    });
}

QTEST_MAIN(tst_PdfImageUpdate)
#include "tst_PdfImageUpdate.moc"
