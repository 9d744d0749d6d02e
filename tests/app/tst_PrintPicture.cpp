// "&Quillet!" in screen mode: the image editor's picture printed on one page
// into a PDF file of the test services' printer (Letter at 600 dpi with a
// 150-pixel unprintable strip, so the page is 4800 pixels wide), read back
// with poppler's tools: the page rendered at the printer's resolution for the
// picture's place, pdftotext for the text, pdfimages for the embedded image.
#include "app/Startup.h"
#include "app/TrayT1.h"
#include "editor/edits.h"
#include "imaging/Editscreen.h"
#include "platform/ProgramFolder.h"
#include "platform/RichEdit.h"
#include "platform/Services.h"
#include "platform/qt/QtPrinter.h"
#include "richprint/RichPrint.h"
#include "settings/IniFile.h"
#include "tests/support/PdfText.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestServices.h"

#include <QAction>
#include <QFontMetrics>
#include <QPainter>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {

constexpr int Dpi = 600;
constexpr int Strip = 150; // the unprintable strip, in printer pixels

// The box of the page's non-white pixels below `fromY`, in printable-area
// pixels at the printer's resolution.
QRect inkBox(const QString &pdf, int fromY)
{
    return PdfText::inkBox(pdf, Dpi, Strip + fromY).translated(-Strip, -Strip);
}

// A picture in dark colours (none near white), with many distinct colours
// when `colourful`.
QImage darkPicture(int width, int height, bool colourful)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           colourful ? qRgb((x * 7) % 200, (y * 3) % 200, (x * y) % 200)
                                     : qRgb(20, 40, 160));
    return image;
}

} // namespace

class tst_PrintPicture : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void placement_data();
    void placement();
    void titleMovesPicture_data();
    void titleMovesPicture();
    void tallPictureCutOnOnePageIn256Colours();
    void engineHeaderFontKept();

private:
    // The printer-pixel height of "X" in the picture page's font.
    int lineUnit() const;
    void printPicture(const QImage &picture);

    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
};

void tst_PrintPicture::init()
{
    m_folder = std::make_unique<TestFolder>();
    platform::setProgramFolderForTesting(m_folder->path());
    CaptureStatus.clear();
    PrintCancel.clear();
    TitleAccepted = false;
    m_dir = std::make_unique<QTemporaryDir>();
    m_file = m_dir->filePath(QStringLiteral("picture.pdf"));
    TestServices::instance().usePdfPrinter(m_file);
    TestServices::instance().useUserStore(m_dir->filePath(QStringLiteral("user.reg")));
    QCOMPARE(createForms(), -1);
    TrayForm->UsePrintDialog1->setChecked(false);
    if (!TrayForm->screenMode())
        TrayForm->CaptureScreen1Click();
    QVERIFY(TrayForm->screenMode());
    // The PDF printer at 600 dpi: a page 4800 pixels wide.
    auto &printer = dynamic_cast<platform::QtPrinter &>(TrayForm->RichPrinter1->printer());
    printer.qprinter().setResolution(Dpi);
    QCOMPARE(printer.pageWidth(), 4800);
}

void tst_PrintPicture::cleanup()
{
    destroyForms();
    platform::setProgramFolderForTesting({});
    m_folder.reset();
}

int tst_PrintPicture::lineUnit() const
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    return QFontMetrics(font, TrayForm->RichPrinter1->printer().device()).height();
}

void tst_PrintPicture::printPicture(const QImage &picture)
{
    EditScreen->setPicture(picture);
    TrayForm->Prints();
    QVERIFY(QFileInfo(m_file).size() > 0);
    QCOMPARE(PdfText::pageCount(m_file), 1);
}

void tst_PrintPicture::placement_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("printed"); // printable-area pixels, y apart

    QTest::newRow("small: seven times, centred") << QSize(100, 50) << QRect(2050, 0, 700, 350);
    QTest::newRow("wide: page width") << QSize(1000, 333) << QRect(0, 0, 4800, 333 * 4800 / 1000);
    QTest::newRow("seven times just fits") << QSize(685, 10) << QRect(3, 0, 4795, 70);
    QTest::newRow("seven times too wide") << QSize(686, 10) << QRect(0, 0, 4800, 69);
    QTest::newRow("odd width") << QSize(3, 3) << QRect(2390, 0, 21, 21);
}

void tst_PrintPicture::placement()
{
    QFETCH(QSize, picture);
    QFETCH(QRect, printed);
    printPicture(darkPicture(picture.width(), picture.height(), false));
    const QRect box = inkBox(m_file, 0);
    const QRect expected = printed.translated(0, 4 * lineUnit());
    const auto near = [](int a, int b) { return std::abs(a - b) <= 1; };
    QVERIFY2(near(box.left(), expected.left()) && near(box.top(), expected.top()) &&
                 near(box.right(), expected.right()) && near(box.bottom(), expected.bottom()),
             qPrintable(QStringLiteral("printed at %1, expected %2")
                            .arg(PdfText::describe(box), PdfText::describe(expected))));
}

void tst_PrintPicture::titleMovesPicture_data()
{
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("topLines"); // the picture's top, in lines of h

    QTest::newRow("confirmed title") << true << 6;
    QTest::newRow("no title") << false << 4;
}

void tst_PrintPicture::titleMovesPicture()
{
    QFETCH(bool, accepted);
    QFETCH(int, topLines);
    IniFile::programIni().writeString("Settings", "head", "Minutes");
    SelectionTitle = QStringLiteral("Quarterly");
    TitleAccepted = accepted;
    printPicture(darkPicture(100, 50, false));

    const int h = lineUnit();
    // Below the header's line, and below the title's when there is one.
    const QRect box = inkBox(m_file, (topLines - 1) * h);
    QVERIFY2(std::abs(box.top() - topLines * h) <= 1,
             qPrintable(QStringLiteral("picture at %1, h = %2").arg(box.top()).arg(h)));

    // Printer pixels to PDF points from the paper's corner.
    const auto points = [](int pixels) { return (pixels + Strip) * 72.0 / Dpi; };
    QHash<QString, PdfText::Line> byText;
    for (const PdfText::Line &line : PdfText::lines(m_file))
        byText.insert(line.text, line);
    QCOMPARE(byText.contains("Quarterly"), accepted);
    const PdfText::Line header = byText.value("Minutes");
    QCOMPARE(header.fontFamily, QFontInfo(QFont("Arial")).family().remove(' '));
    QCOMPARE(header.fontSize, 10);
    QVERIFY2(std::abs(header.box.center().x() - points(2400)) <= 1.5,
             qPrintable(QString::number(header.box.center().x())));
    if (accepted) {
        const PdfText::Line title = byText.value("Quarterly");
        QVERIFY2(std::abs(title.box.left() - points(240)) <= 1,
                 qPrintable(QString::number(title.box.left())));
        QVERIFY(title.box.top() > points(3 * h) && title.box.bottom() < points(6 * h));
    }
}

void tst_PrintPicture::tallPictureCutOnOnePageIn256Colours()
{
    // 50 x 2000 at seven times: 350 x 14000 printer pixels, far taller than
    // the page; thousands of colours.
    const QImage picture = darkPicture(50, 2000, true);
    QVERIFY(PdfText::colourCount(picture) > 256);
    printPicture(picture);

    // Not shrunk: the full seven times wide, down to the page's bottom edge.
    const int pageHeight = TrayForm->RichPrinter1->printer().pageHeight();
    const QRect box = inkBox(m_file, 0);
    QVERIFY2(std::abs(box.width() - 350) <= 2 && box.bottom() >= pageHeight - 1,
             qPrintable(QStringLiteral("%1 wide, ends at %2 of %3")
                            .arg(box.width())
                            .arg(box.bottom())
                            .arg(pageHeight)));

    // The embedded image is the picture at its own size, indexed, in 256
    // colours at most.
    const QList<PdfText::Image> images = PdfText::images(m_file);
    QCOMPARE(images.size(), 1);
    QCOMPARE(images[0].size, picture.size());
    QCOMPARE(images[0].colour, QStringLiteral("index"));
    const QList<QImage> extracted = PdfText::extractImages(m_file, m_dir->path());
    QCOMPARE(extracted.size(), 1);
    QCOMPARE(extracted[0].size(), picture.size());
    const int colours = PdfText::colourCount(extracted[0]);
    QVERIFY2(colours <= 256 && colours > 16, qPrintable(QString::number(colours)));
}

void tst_PrintPicture::engineHeaderFontKept()
{
    // A text print after a picture print still sets its header in the font
    // the tray gave the engine, not in the picture page's font.
    const QFont before = TrayForm->RichPrinter1->Font_HeaderFooter();
    IniFile::programIni().writeString("Settings", "head", "Minutes");
    // The picture printed through the image editor's print button.
    EditScreen->setPicture(darkPicture(20, 20, false));
    auto *printButton = EditScreen->findChild<QToolButton *>(QStringLiteral("SpeedButton1"));
    QVERIFY(printButton);
    printButton->click();
    QCOMPARE(PdfText::pageCount(m_file), 1);
    QVERIFY(!PdfText::lines(m_file).isEmpty());
    QCOMPARE(PdfText::lines(m_file).first().fontFamily,
             QFontInfo(QFont("Arial")).family().remove(' '));
    QCOMPARE(TrayForm->RichPrinter1->Font_HeaderFooter(), before);

    // The same engine prints the next job into the same file.
    TrayForm->CaptureText1Click();
    QVERIFY(TrayForm->textMode());
    Editor->memo->setPlainText("Body");
    TrayForm->Prints();
    QHash<QString, PdfText::Line> byText;
    for (const PdfText::Line &line : PdfText::lines(m_file))
        byText.insert(line.text, line);
    QVERIFY(byText.contains("Body"));
    QCOMPARE(byText.value("Minutes").fontFamily, QFontInfo(before).family().remove(' '));
    QVERIFY(byText.value("Minutes").fontFamily != QFontInfo(QFont("Arial")).family().remove(' '));
}

QTEST_MAIN(tst_PrintPicture)
#include "tst_PrintPicture.moc"
