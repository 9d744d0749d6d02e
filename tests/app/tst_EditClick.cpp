// "Edit this now!" against real programs on the test session's X server: the
// tests' own selection source and a text editor from the distribution. The
// capture's own waits are the program's behaviour; the test only waits for
// conditions.
#include "app/QuilletApplication.h"
#include "app/Startup.h"
#include "app/TrayT1.h"
#include "editor/edits.h"
#include "platform/Clipboard.h"
#include "platform/DesktopWindows.h"
#include "platform/ProgramFolder.h"
#include "platform/RichEdit.h"
#include "platform/Services.h"
#include "platform/TrayIcon.h"
#include "tests/support/Answerer.h"
#include "tests/support/Desktop.h"
#include "tests/support/Mousepad.h"
#include "tests/support/SelectionSource.h"
#include "tests/support/TestFolder.h"
#include "tests/support/WordFormat.h"

#include <QAction>
#include <QClipboard>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

QStringList sourceArgs(const QString &title, const QString &text, const QStringList &more = {})
{
    return QStringList{QStringLiteral("--title"), title, QStringLiteral("--text"), text} + more;
}

QString memoText()
{
    return Editor->memo->toPlainText();
}

QTextCharFormat formatOf(const QString &word)
{
    return formatOfWord(Editor->memo->document(), word);
}

} // namespace

class tst_EditClick : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void copiesSelection_data();
    void copiesSelection();
    void copiesFromMousepad();
    void richTextKeepsBoldAndItalic_data();
    void richTextKeepsBoldAndItalic();
    void remember_data();
    void remember();
    void titleLines();
    void leadingBlanksRemoved();
    void nothingSelectedFromSource();
    void nothingSelectedFromMousepad();
    void topmostOrdinaryWindowIsChosen();
    void leftClickRunsCapture();
    void followingActionHidesEditor();
    void screenModeHandsOver();

private:
    // Runs "&Edit this now!" as the tray menu does.
    void editThisNow() { TrayForm->Edit->trigger(); }
    // Checks the failure path: error box, status, editor, clipboard.
    void expectNothingCopied();

    std::unique_ptr<TestFolder> m_folder;
};

void tst_EditClick::init()
{
    m_folder = std::make_unique<TestFolder>();
    platform::setProgramFolderForTesting(m_folder->path());
    WaitTime = 1000;
    PromptTitle.clear();
    TrimLeadingBlanks = false;
    SelectionTitle.clear();
    TitleAccepted = false;
    CaptureStatus.clear();
    QCOMPARE(createForms(), -1);
    QVERIFY(TrayForm && Editor && Editor->memo);
}

void tst_EditClick::cleanup()
{
    destroyForms();
    platform::setProgramFolderForTesting({});
    m_folder.reset();
}

void tst_EditClick::copiesSelection_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("one line") << QStringLiteral("The quick brown fox");
    QTest::newRow("lines") << QStringLiteral("First line\nSecond line\nThird line");
    QTest::newRow("non-Latin") << QStringLiteral("Grüße, Ζεύς, 東京");
}

void tst_EditClick::copiesSelection()
{
    QFETCH(QString, text);
    SelectionSource source(sourceArgs(QStringLiteral("Source"), text));
    QVERIFY(source.waitForWindow());
    editThisNow();
    QCOMPARE(source.copies(), 1);
    // The user's window got exactly Ctrl down, C down, C up, Ctrl up.
    const QList<QPair<bool, int>> keys{
        {true, Qt::Key_Control}, {true, Qt::Key_C}, {false, Qt::Key_C}, {false, Qt::Key_Control}};
    QCOMPARE(source.keyEvents(), keys);
    QCOMPARE(memoText(), text);
    QVERIFY(Editor->isVisible());
    QVERIFY(WindowActivated);
    QCOMPARE(CaptureStatus, QString());
    QVERIFY(!platform::services().clipboard().hasText());
    QTRY_COMPARE(Desktop::activeWindow(), qulonglong(Editor->winId()));
}

void tst_EditClick::copiesFromMousepad()
{
    const QString text = QStringLiteral("Dear diary,\n\tindented line\nlast line");
    Mousepad mousepad(text.toUtf8());
    QVERIFY2(mousepad.waitForWindow(), "mousepad did not show its window");
    mousepad.selectAll();
    editThisNow();
    QCOMPARE(memoText(), text);
    QVERIFY(Editor->isVisible());
    QCOMPARE(CaptureStatus, QString());
    QVERIFY(!platform::services().clipboard().hasText());
}

void tst_EditClick::richTextKeepsBoldAndItalic_data()
{
    QTest::addColumn<QStringList>("offer");
    QTest::newRow("HTML") << QStringList{QStringLiteral("--html"),
                                         QStringLiteral("<b>strong</b> and <i>slanted</i>")};
    QTest::newRow("RTF") << QStringList{
        QStringLiteral("--rtf"),
        QStringLiteral("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 {\\b strong} and "
                       "{\\i slanted}\\par}")};
}

void tst_EditClick::richTextKeepsBoldAndItalic()
{
    QFETCH(QStringList, offer);
    SelectionSource source(
        sourceArgs(QStringLiteral("Rich"), QStringLiteral("strong and slanted"), offer));
    QVERIFY(source.waitForWindow());
    editThisNow();
    QVERIFY2(memoText().startsWith(QLatin1String("strong and slanted")), qPrintable(memoText()));
    QVERIFY(formatOf(QStringLiteral("strong")).fontWeight() >= QFont::Bold);
    QVERIFY(!formatOf(QStringLiteral("strong")).fontItalic());
    QVERIFY(formatOf(QStringLiteral("slanted")).fontItalic());
    QVERIFY(formatOf(QStringLiteral("slanted")).fontWeight() < QFont::Bold);
    QVERIFY(formatOf(QStringLiteral("and")).fontWeight() < QFont::Bold);
}

void tst_EditClick::remember_data()
{
    QTest::addColumn<bool>("remember");
    QTest::addColumn<QString>("expected");
    QTest::newRow("off: the second replaces the first") << false << QStringLiteral("second\n");
    QTest::newRow("on: the second follows the first") << true << QStringLiteral("first\nsecond\n");
}

void tst_EditClick::remember()
{
    QFETCH(bool, remember);
    QFETCH(QString, expected);
    if (remember)
        TrayForm->Remember1->trigger();
    QCOMPARE(TrayForm->Remember1->isChecked(), remember);
    {
        SelectionSource first(sourceArgs(QStringLiteral("First"), QStringLiteral("first\n")));
        QVERIFY(first.waitForWindow());
        editThisNow();
        QCOMPARE(memoText(), QStringLiteral("first\n"));
    }
    SelectionSource second(sourceArgs(QStringLiteral("Second"), QStringLiteral("second\n")));
    QVERIFY(second.waitForWindow());
    editThisNow();
    QCOMPARE(memoText(), expected);
}

void tst_EditClick::titleLines()
{
    PromptTitle = QStringLiteral("yes");
    SelectionTitle = QStringLiteral("Old title");
    QString prefilled;
    int maxLength = 0;
    {
        SelectionSource source(sourceArgs(QStringLiteral("Titled"), QStringLiteral("body text")));
        QVERIFY(source.waitForWindow());
        Answerer answer(QStringLiteral("SelectionTitleDialog"), [&](QWidget *w) {
            auto *dialog = static_cast<QInputDialog *>(w);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Selection Title"));
            QCOMPARE(dialog->labelText(), QStringLiteral("Text to appear above copied area."));
            prefilled = dialog->textValue();
            maxLength = dialog->findChild<QLineEdit *>()->maxLength();
            dialog->setTextValue(QStringLiteral("Meeting notes"));
            dialog->accept();
        });
        editThisNow();
        QVERIFY(answer.answered());
    }
    QCOMPARE(prefilled, QStringLiteral("Old title"));
    QCOMPARE(maxLength, 255);
    QVERIFY(TitleAccepted);
    QCOMPARE(SelectionTitle, QStringLiteral("Meeting notes"));
    QCOMPARE(memoText(), QStringLiteral("Meeting notes\n\nbody text"));

    // Prompting switched off: the last confirmed title still comes first.
    PromptTitle.clear();
    {
        SelectionSource source(sourceArgs(QStringLiteral("Later"), QStringLiteral("later text")));
        QVERIFY(source.waitForWindow());
        editThisNow();
    }
    QCOMPARE(memoText(), QStringLiteral("Meeting notes\n\nlater text"));

    // Cancelling leaves the title out but not the capture.
    PromptTitle = QStringLiteral("yes");
    SelectionSource source(sourceArgs(QStringLiteral("Untitled"), QStringLiteral("plain text")));
    QVERIFY(source.waitForWindow());
    Answerer cancel(QStringLiteral("SelectionTitleDialog"), [&](QWidget *w) {
        prefilled = static_cast<QInputDialog *>(w)->textValue();
        static_cast<QInputDialog *>(w)->reject();
    });
    editThisNow();
    QVERIFY(cancel.answered());
    QCOMPARE(prefilled, QStringLiteral("Meeting notes"));
    QVERIFY(!TitleAccepted);
    QCOMPARE(SelectionTitle, QStringLiteral("Meeting notes"));
    QCOMPARE(memoText(), QStringLiteral("plain text"));
}

void tst_EditClick::leadingBlanksRemoved()
{
    TrayForm->Remember1->trigger();
    {
        SelectionSource older(
            sourceArgs(QStringLiteral("Older"), QStringLiteral("   \told line\n")));
        QVERIFY(older.waitForWindow());
        editThisNow();
        QCOMPARE(memoText(), QStringLiteral("   \told line\n"));
    }
    TrimLeadingBlanks = true;
    SelectionSource newer(
        sourceArgs(QStringLiteral("Newer"), QStringLiteral("   \tnew line\n  \x01second"
                                                           " keeps  inner  blanks")));
    QVERIFY(newer.waitForWindow());
    editThisNow();
    QCOMPARE(memoText(), QStringLiteral("old line\nnew line\nsecond keeps  inner  blanks"));
}

void tst_EditClick::expectNothingCopied()
{
    QString caption;
    QString message;
    qint64 shownAfter = 0;
    QElapsedTimer clock;
    Answerer answer(QStringLiteral("CaptureErrorBox"), [&](QWidget *w) {
        shownAfter = clock.elapsed();
        auto *box = static_cast<QMessageBox *>(w);
        caption = box->windowTitle();
        message = box->text();
        box->accept();
    });
    QGuiApplication::clipboard()->setText(QStringLiteral("stale text from before"));
    clock.start();
    editThisNow();
    QVERIFY(answer.answered());
    // Nothing came: the whole wait time was waited.
    QVERIFY2(shownAfter >= WaitTime, qPrintable(QString::number(shownAfter)));
    QCOMPARE(caption, QStringLiteral("Quillet! Error"));
    QCOMPARE(message, QStringLiteral("Troubleshooting:\r\n"
                                     "  1. Check to make sure that you had text selected.\r\n"
                                     "  2. Increase \"Action Wait Time\" in Options"));
    QCOMPARE(CaptureStatus, QStringLiteral("stop"));
    QVERIFY(!Editor->isVisible());
    // The user's clipboard is back.
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("stale text from before"));
    QCOMPARE(memoText(), QStringLiteral("No text could be copied."));
    QCOMPARE(Editor->memo->textCursor().selectedText(), QStringLiteral("No text could be copied."));
}

void tst_EditClick::nothingSelectedFromSource()
{
    SelectionSource source(sourceArgs(QStringLiteral("Nothing"), QStringLiteral("unselected"),
                                      {QStringLiteral("--no-selection")}));
    QVERIFY(source.waitForWindow());
    expectNothingCopied();
}

void tst_EditClick::nothingSelectedFromMousepad()
{
    Mousepad mousepad("some text, none of it selected\n");
    QVERIFY2(mousepad.waitForWindow(), "mousepad did not show its window");
    expectNothingCopied();
}

void tst_EditClick::topmostOrdinaryWindowIsChosen()
{
    // From the bottom: an ordinary window with an owned dialog above it, a
    // minimised window, a dock, and the editor of this program, visible.
    SelectionSource owner(sourceArgs(QStringLiteral("Owner"), QStringLiteral("owner's text"),
                                     {QStringLiteral("--dialog"), QStringLiteral("Owned")}));
    QVERIFY(owner.waitForWindow());
    QTRY_VERIFY(!Desktop::windowsNamed(QStringLiteral("Owned")).isEmpty());
    SelectionSource minimised(sourceArgs(QStringLiteral("Minimised"),
                                         QStringLiteral("minimised text"),
                                         {QStringLiteral("--minimized")}));
    QVERIFY(minimised.waitForWindow());
    SelectionSource dock(sourceArgs(QStringLiteral("Dock"), QStringLiteral("dock text"),
                                    {QStringLiteral("--dock")}));
    QVERIFY(dock.waitForWindow());
    TrayForm->showEditor();
    QVERIFY(QTest::qWaitForWindowExposed(Editor));

    // They lie in that order, topmost first (the minimised one anywhere).
    auto &windows = platform::services().windows();
    QTRY_VERIFY(windows.activate(Editor->winId()));
    const QList<platform::WindowHandle> order = windows.topLevelWindows();
    const auto owned = Desktop::windowsNamed(QStringLiteral("Owned"));
    QVERIFY(order.indexOf(Editor->winId()) < order.indexOf(dock.window()));
    QVERIFY(order.indexOf(dock.window()) < order.indexOf(owned.first()));
    QVERIFY(order.indexOf(owned.first()) < order.indexOf(owner.window()));

    editThisNow();
    QCOMPARE(owner.copies(), 1);
    QCOMPARE(minimised.copies() + dock.copies(), 0);
    QCOMPARE(memoText(), QStringLiteral("owner's text"));
}

void tst_EditClick::leftClickRunsCapture()
{
    m_folder->write(QStringLiteral("Quillet.ini"), "[Settings]\nlc=Edit this now!\n");
    SelectionSource source(sourceArgs(QStringLiteral("Clicked"), QStringLiteral("clicked text")));
    QVERIFY(source.waitForWindow());
    // A real click on the icon docked in the notification area (Qt's icon
    // widget of this process).
    QWidget *icon = nullptr;
    QTRY_VERIFY((icon = [] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("QSystemTrayIconSys") && w->isVisible())
                return w;
        }
        return static_cast<QWidget *>(nullptr);
    }()));
    QVERIFY(QTest::qWaitForWindowExposed(icon));
    Desktop::click(icon->winId(), 5, 5);
    QTRY_COMPARE(memoText(), QStringLiteral("clicked text"));
    QTRY_VERIFY(Editor->isVisible());
}

void tst_EditClick::followingActionHidesEditor()
{
    // A print or save follows: the editor stays hidden, the marker is cleared.
    SelectionSource source(sourceArgs(QStringLiteral("Quiet"), QStringLiteral("quiet text")));
    QVERIFY(source.waitForWindow());
    CaptureStatus = QStringLiteral("no");
    TrayForm->EditClick();
    QCOMPARE(memoText(), QStringLiteral("quiet text"));
    QVERIFY(!Editor->isVisible());
    QCOMPARE(CaptureStatus, QString());
}

void tst_EditClick::screenModeHandsOver()
{
    TrayForm->CaptureScreen1->trigger();
    QVERIFY(TrayForm->screenMode());
    SelectionSource source(sourceArgs(QStringLiteral("Screen"), QStringLiteral("screen text")));
    QVERIFY(source.waitForWindow());
    Editor->memo->setPlainText(QStringLiteral("kept"));
    QGuiApplication::clipboard()->setText(QStringLiteral("kept too"));
    CaptureStatus = QStringLiteral("no");
    QElapsedTimer clock;
    clock.start();
    TrayForm->EditClick();
    QVERIFY(clock.elapsed() > 100);
    // The user's window was activated for the grab; nothing was copied.
    QVERIFY(WindowActivated);
    QCOMPARE(platform::services().windows().activeWindow(), source.window());
    QCOMPARE(source.copies(), 0);
    QCOMPARE(CaptureStatus, QStringLiteral("no"));
    QCOMPARE(memoText(), QStringLiteral("kept"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept too"));
}

int main(int argc, char **argv)
{
    QuilletApplication app(argc, argv);
    tst_EditClick test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_EditClick.moc"
