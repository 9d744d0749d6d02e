// The tray's commands in screen mode: each starts a capture on the frozen
// screen, and the purpose the command set is carried out when the user has
// marked the rectangle, or dropped when a key cancels.
#include "app/QuilletApplication.h"
#include "app/Startup.h"
#include "app/TrayT1.h"
#include "imaging/Editscreen.h"
#include "imaging/thescreen.h"
#include "platform/ProgramFolder.h"
#include "tests/support/Answerer.h"
#include "tests/support/Desktop.h"
#include "tests/support/PdfText.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestServices.h"

#include <QAction>
#include <QPointer>
#include <QtTest>

#include <memory>

namespace {

void xdotool(const QStringList &args)
{
    Desktop::run(QStringLiteral("xdotool"), args);
}

// The frozen screen the command started.
TScreenLock *frozenScreen()
{
    TScreenLock *lock = nullptr;
    QElapsedTimer clock;
    clock.start();
    while (!(lock = EditScreen->findChild<TScreenLock *>()) && clock.elapsed() < 5000)
        QTest::qWait(10);
    return lock;
}

// Marks the rectangle from (300, 200) to (340, 220), which holds 38 x 18
// pixels inside its outline.
bool mark(TScreenLock *lock)
{
    QPointer<TScreenLock> alive(lock);
    xdotool({"mousemove", "300", "200", "click", "1"});
    if (!QTest::qWaitFor([&] { return lock->selecting(); }))
        return false;
    xdotool({"mousemove", "340", "220"});
    if (!QTest::qWaitFor([&] { return lock->bevel1() == QRect(300, 200, 40, 20); }))
        return false;
    xdotool({"click", "1"});
    return QTest::qWaitFor([&] { return alive.isNull(); });
}

} // namespace

class tst_ScreenMode : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void printMarksThenPrints();
    void cancelledSaveThenEdit();

private:
    std::unique_ptr<TestFolder> m_folder;
    QString m_pdf;
};

void tst_ScreenMode::init()
{
    m_folder = std::make_unique<TestFolder>();
    m_folder->write(QStringLiteral("Quillet.ini"), "[storage]\nscreencap=yes\n");
    platform::setProgramFolderForTesting(m_folder->path());
    // Print jobs go to a PDF file in the test folder.
    m_pdf = m_folder->path() + QStringLiteral("/print.pdf");
    TestServices::instance().usePdfPrinter(m_pdf);
    CaptureStatus.clear();
    PendingAction.clear();
    QCOMPARE(createForms(), -1);
    QVERIFY(TrayForm->screenMode());
}

void tst_ScreenMode::cleanup()
{
    destroyForms();
    platform::setProgramFolderForTesting({});
    m_folder.reset();
}

void tst_ScreenMode::printMarksThenPrints()
{
    bool printing = false;
    Answerer watch(QStringLiteral("printit"), [&](QWidget *) { printing = true; });
    TrayForm->Quillet1->trigger();
    // The command has returned; the purpose waits for the selection.
    QCOMPARE(CaptureStatus, QStringLiteral("no"));
    QCOMPARE(PendingAction, QStringLiteral("printthis"));
    TScreenLock *lock = frozenScreen();
    QVERIFY(lock);
    QVERIFY(!printing);
    QVERIFY(mark(lock));
    QTRY_VERIFY(printing);
    QCOMPARE(EditScreen->picture().size(), QSize(38, 18));
    // The marked picture printed as a page of its own.
    QTRY_COMPARE_WITH_TIMEOUT(PdfText::pageCount(m_pdf), 1, 10000);
    QVERIFY(!EditScreen->isVisible());
    QCOMPARE(CaptureStatus, QString());
    QCOMPARE(PendingAction, QString());
}

void tst_ScreenMode::cancelledSaveThenEdit()
{
    // What "Save this now!" sets before its capture.
    CaptureStatus = QStringLiteral("no");
    PendingAction = QStringLiteral("savethis");
    const QImage before = EditScreen->picture();
    TrayForm->EditClick();
    TScreenLock *lock = frozenScreen();
    QVERIFY(lock);
    QPointer<TScreenLock> alive(lock);
    xdotool({"key", "shift"});
    QTRY_VERIFY(alive.isNull());
    QCOMPARE(CaptureStatus, QString());
    QCOMPARE(PendingAction, QString());
    QCOMPARE(EditScreen->picture(), before);

    TrayForm->Edit->trigger();
    lock = frozenScreen();
    QVERIFY(lock);
    QVERIFY(mark(lock));
    QTRY_VERIFY(EditScreen->isVisible());
    QCOMPARE(EditScreen->picture().size(), QSize(38, 18));
}

int main(int argc, char **argv)
{
    QuilletApplication app(argc, argv);
    tst_ScreenMode test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ScreenMode.moc"
