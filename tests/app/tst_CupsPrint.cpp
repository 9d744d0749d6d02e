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
#include <QLineEdit>
#include <QToolButton>
#include <QtTest>

class tst_CupsPrint : public QObject {
    Q_OBJECT
private slots:
    void init();
    void quilletPrintsToQueue();
    void imageEditorPrinterSetupChoosesPrinter();
};

// Every test needs the session's print service.
void tst_CupsPrint::init()
{
    if (qEnvironmentVariableIsSet("QUILLET_CUPS_SKIP"))
        QSKIP(qPrintable(QStringLiteral("no print service for this test: ") +
                         qEnvironmentVariable("QUILLET_CUPS_SKIP")));
}

void tst_CupsPrint::quilletPrintsToQueue()
{
    TestFolder folder;
    platform::setProgramFolderForTesting(folder.path());
    const auto restore = qScopeGuard([] {
        destroyForms();
        platform::setProgramFolderForTesting({});
    });
    QCOMPARE(createForms(), -1);
    platform::Printer &printer = TrayForm->RichPrinter1->printer();
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

    // The queue converts and writes the job on its own time.
    const QString out = PdfText::queueOutputFolder();
    QStringList files;
    QTRY_VERIFY_WITH_TIMEOUT((files = PdfText::pdfsNewerThan(out, start),
                              files.size() == 1 && PdfText::pageCount(files[0]) == 1),
                             90000);
    const auto removeOutput = qScopeGuard([&files] { QFile::remove(files[0]); });
    const QString text = PdfText::pages(files[0]).value(0);
    QVERIFY2(text.contains("Words sent through the queue"), qPrintable(text));
    QVERIFY2(text.contains("Page 1"), qPrintable(text));
    QVERIFY2(text.contains("Queue test Quillet!"), qPrintable(text));
}

void tst_CupsPrint::imageEditorPrinterSetupChoosesPrinter()
{
    // The image editor's "Printer Setup" chooses the program's printer: a
    // file chosen there receives the next print instead of the queue.
    TestFolder folder;
    platform::setProgramFolderForTesting(folder.path());
    const auto restore = qScopeGuard([] {
        destroyForms();
        platform::setProgramFolderForTesting({});
    });
    QCOMPARE(createForms(), -1);
    const QString target = folder.path() + QStringLiteral("/chosen.pdf");
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

QTEST_MAIN(tst_CupsPrint)
#include "tst_CupsPrint.moc"
