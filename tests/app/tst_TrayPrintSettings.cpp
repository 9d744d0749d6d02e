// The tray form's print engine: built by the form on first use, in inches, with the
// tray's margins, formats and converted logo and border lengths.
#include "app/TrayT1.h"

#include "platform/ProgramFolder.h"
#include "richprint/RichPrint.h"
#include "tests/support/TestFolder.h"

#include <QPrinterInfo>
#include <QtTest>

class tst_TrayPrintSettings : public QObject {
    Q_OBJECT
private slots:
    void richPrinterTakesTraySettings();
};

void tst_TrayPrintSettings::richPrinterTakesTraySettings()
{
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        QSKIP("this machine has print destinations; the figures below are for none");
    TestFolder folder;
    platform::setProgramFolderForTesting(folder.path());
    auto restore = qScopeGuard([] { platform::setProgramFolderForTesting({}); });

    TTrayForm form;
    QVERIFY(!form.isSecondCopy());
    TRichPrinter *engine = form.RichPrinter1();
    QVERIFY(engine);
    QCOMPARE(engine->parent(), &form);

    const auto exact = [](double actual, double expected) { return actual == expected; };
    QCOMPARE(engine->MeasureUnit(), muInches);
    QVERIFY(engine->SaveMargins());
    for (double m :
         {engine->MarginTop(), engine->MarginBottom(), engine->MarginLeft(), engine->MarginRight()})
        QVERIFY(exact(m, 0.9999999999999999));
    QVERIFY(exact(engine->LogoWidth(), 0.984251968503937));
    QVERIFY(exact(engine->LogoHeight(), 0.7874015748031497));
    QVERIFY(exact(engine->LogoTop(), 0));
    QVERIFY(exact(engine->LogoLeft(), 0));
    QVERIFY(exact(engine->BorderOffset(), 0.07874015748031496));
    QCOMPARE(engine->Header(), QString("{$TITLE}"));
    QCOMPARE(engine->HeaderFormat(), QString(">   3.937"));
    QCOMPARE(engine->Footer(), QString("Page {$PAGE}"));
    QCOMPARE(engine->FooterFormat(), QString(">   3.937"));
    QCOMPARE(engine->ShowProgress(), false);
    // No printer here: a Letter page at 600 dpi with one-inch margins.
    QCOMPARE(engine->LeftOffset(), 450);
    QCOMPARE(engine->TextAreaWidth(), 3900);
    QCOMPARE(engine->Title(), QString("<Unknown>"));
}

QTEST_MAIN(tst_TrayPrintSettings)
#include "tst_TrayPrintSettings.moc"
