// "&Quillet!" through a real print queue: the session's print service with
// its PDF printer (cups-pdf) as the default destination. The captured
// selection and the page number must arrive in the PDF the queue writes.
#include "app/Startup.h"
#include "app/TrayT1.h"
#include "editor/edits.h"
#include "imaging/Editscreen.h"
#include "platform/Printer.h"
#include "platform/ProgramFolder.h"
#include "platform/RichEdit.h"
#include "richprint/RichPrint.h"
#include "settings/IniFile.h"
#include "settings/fVisible.h"
#include "tests/support/Answerer.h"
#include "tests/support/PdfText.h"
#include "tests/support/SelectionSource.h"
#include "tests/support/TestFolder.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

// Waits for the queue, which converts and writes a job on its own time, to
// write exactly one PDF of one page after `since`; its path, or empty.
QString queueOutput(const QDateTime &since)
{
    QString found;
    const bool written = QTest::qWaitFor(
        [&] {
            const QStringList files = PdfText::pdfsNewerThan(PdfText::queueOutputFolder(), since);
            if (files.size() == 1 && PdfText::pageCount(files[0]) == 1)
                found = files[0];
            return !found.isEmpty();
        },
        90000);
    return written ? found : QString();
}

} // namespace

class tst_CupsPrint : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void quilletPrintsToQueue();
    void pictureThroughQueue();
    // Last: the file it chooses stays the program's printer.
    void imageEditorPrinterSetupChoosesPrinter();

private:
    std::unique_ptr<TestFolder> m_folder;
};

// Every test needs the session's print service, and gets the program's forms
// with a settings file of its own.
void tst_CupsPrint::init()
{
    if (qEnvironmentVariableIsSet("QUILLET_CUPS_SKIP"))
        QSKIP(qPrintable(QStringLiteral("no print service for this test: ") +
                         qEnvironmentVariable("QUILLET_CUPS_SKIP")));
    m_folder = std::make_unique<TestFolder>();
    platform::setProgramFolderForTesting(m_folder->path());
    TitleAccepted = false;
    QCOMPARE(createForms(), -1);
}

void tst_CupsPrint::cleanup()
{
    if (!m_folder)
        return;
    destroyForms();
    platform::setProgramFolderForTesting({});
    m_folder.reset();
}

void tst_CupsPrint::quilletPrintsToQueue()
{
    platform::Printer &printer = TrayForm->RichPrinter1()->printer();
    QVERIFY2(printer.isReachable(), "the queue is not the default destination");
    QCOMPARE(printer.printerName(), QString("QuilletPDF"));

    TrayForm->UsePrintDialog1->setChecked(false);
    ViewableForm->chkpagenumbers->setChecked(true);
    IniFile::programIni().writeString("Settings", "head", "Queue test {$TITLE}");
    const QDateTime start = QDateTime::currentDateTime().addSecs(-1);
    SelectionSource source({"--title", "Source", "--text", "Words sent through the queue"});
    QVERIFY(source.waitForWindow());
    TrayForm->Quillet1->trigger();
    QCOMPARE(source.copies(), 1);

    const QString file = queueOutput(start);
    QVERIFY(!file.isEmpty());
    const auto removeOutput = qScopeGuard([&file] { QFile::remove(file); });
    const QString text = PdfText::pages(file).value(0);
    QVERIFY2(text.contains("Words sent through the queue"), qPrintable(text));
    QVERIFY2(text.contains("Page 1"), qPrintable(text));
    QVERIFY2(text.contains("Queue test Quillet!"), qPrintable(text));
}

void tst_CupsPrint::imageEditorPrinterSetupChoosesPrinter()
{
    // The image editor's "Printer Setup" chooses the program's printer: a
    // file chosen there receives the next print instead of the queue.
    const QString target = m_folder->file(QStringLiteral("chosen.pdf"));
    QString offered;
    Answerer answer(QStringLiteral("PrinterSetupDialog1"), [&](QWidget *dialog) {
        auto *printers = dialog->findChild<QComboBox *>(QStringLiteral("printers"));
        offered = printers ? printers->currentText() : QString();
        if (printers)
            printers->setCurrentIndex(printers->count() - 1); // printing to a file
        if (auto *file = dialog->findChild<QLineEdit *>(QStringLiteral("filename")))
            file->setText(target);
        static_cast<QDialog *>(dialog)->accept();
    });
    EditScreen->show();
    EditScreen->SpeedButton2->click();
    QVERIFY(answer.answered());
    QCOMPARE(offered, QString("QuilletPDF"));

    TrayForm->UsePrintDialog1->setChecked(false);
    Editor->memo->setPlainText(QStringLiteral("Printed where the setup pointed"));
    TrayForm->Prints();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(target).size() > 0, 30000);
    QVERIFY(PdfText::pages(target).value(0).contains("Printed where the setup pointed"));
}

void tst_CupsPrint::pictureThroughQueue()
{
    // A captured picture of many colours, with a confirmed selection title,
    // printed in screen mode on the queue's printer: one page holding the
    // header, the title and the picture scaled seven times, centred, in at
    // most 256 colours.
    TrayForm->UsePrintDialog1->setChecked(false);
    TrayForm->CaptureScreen1Click();
    QVERIFY(TrayForm->screenMode());
    IniFile::programIni().writeString("Settings", "head", "Minutes");
    SelectionTitle = QStringLiteral("Quarterly");
    TitleAccepted = true;
    QImage picture(100, 50, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb((x * 7) % 200, (y * 3) % 200, (x * y) % 200));
    QVERIFY(PdfText::colourCount(picture) > 256);
    EditScreen->setPicture(picture);

    platform::Printer &printer = TrayForm->RichPrinter1()->printer();
    QVERIFY2(printer.isReachable(), "the queue is not the default destination");
    const int dpi = printer.logPixelsX();
    const QPoint origin(printer.physicalOffsetX(), printer.physicalOffsetY());
    const int pageWidth = printer.pageWidth();
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    const int h = QFontMetrics(font, printer.device()).height();
    const QDateTime start = QDateTime::currentDateTime().addSecs(-1);
    TrayForm->Prints();

    const QString file = queueOutput(start);
    QVERIFY(!file.isEmpty());
    const auto removeOutput = qScopeGuard([&file] { QFile::remove(file); });

    // The picture: below the title's line, 700 x 350 printer pixels, centred.
    // The queue's PostScript step clips an image to whole points, which may
    // take up to a point off its right edge; its scale is read from the image.
    const QRect box = PdfText::inkBox(file, dpi, origin.y() + 5 * h).translated(-origin);
    const QRect expected(pageWidth / 2 - 350, 6 * h, 700, 350);
    const auto near = [](int a, int b, int within) { return std::abs(a - b) <= within; };
    QVERIFY2(near(box.left(), expected.left(), 2) && near(box.top(), expected.top(), 2) &&
                 near(box.bottom(), expected.bottom(), 2) &&
                 near(box.right(), expected.right(), dpi / 72 + 2),
             qPrintable(QStringLiteral("printed at %1, expected %2 (%3 dpi)")
                            .arg(PdfText::describe(box), PdfText::describe(expected))
                            .arg(dpi)));

    // The header centred on the printable area, the title at 5 % of its width.
    const auto points = [dpi](int pixels) { return pixels * 72.0 / dpi; };
    QHash<QString, PdfText::Word> byText;
    for (const PdfText::Word &word : PdfText::words(file))
        byText.insert(word.text, word);
    QVERIFY(byText.contains("Minutes") && byText.contains("Quarterly"));
    QVERIFY2(std::abs(byText["Minutes"].box.center().x() - points(origin.x() + pageWidth / 2)) <=
                 1.5,
             qPrintable(QString::number(byText["Minutes"].box.center().x())));
    QVERIFY2(std::abs(byText["Quarterly"].box.left() -
                      points(origin.x() + (pageWidth * 5 + 50) / 100)) <= 1.5,
             qPrintable(QString::number(byText["Quarterly"].box.left())));

    // One image: the picture at its own size, in 256 colours at most.
    const QList<PdfText::Image> images = PdfText::images(file);
    QCOMPARE(images.size(), 1);
    QCOMPARE(images[0].size, picture.size());
    QCOMPARE(images[0].xPpi, qRound(dpi / 7.0)); // seven printer pixels a picture pixel
    QCOMPARE(images[0].yPpi, qRound(dpi / 7.0));
    QTemporaryDir extracted;
    const QList<QImage> pictures = PdfText::extractImages(file, extracted.path());
    QCOMPARE(pictures.size(), 1);
    const int colours = PdfText::colourCount(pictures[0]);
    QVERIFY2(colours <= 256 && colours > 16, qPrintable(QString::number(colours)));
}

QTEST_MAIN(tst_CupsPrint)
#include "tst_CupsPrint.moc"
