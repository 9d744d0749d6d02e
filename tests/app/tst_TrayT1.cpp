// The tray core in-process: forms created as at start-up, driven through real
// events, with the settings file in a temporary program folder.
#include "app/QuilletApplication.h"
#include "app/Startup.h"
#include "app/TrayT1.h"
#include "editor/edits.h"
#include "imaging/Editscreen.h"
#include "platform/ProgramFolder.h"
#include "platform/TrayIcon.h"
#include "settings/IniFile.h"
#include "settings/fVisible.h"
#include "tests/support/TestFolder.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <memory>

class tst_TrayT1 : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void menuItemsInOrder();
    void printDialogCheckAtStartUp_data();
    void printDialogCheckAtStartUp();
    void startUpReadsTrayState();
    void captureModeFlips_data();
    void captureModeFlips();
    void screenModeSurvivesRestart();
    void rememberDisablesPrintAndSave();
    void toolTipIsCut_data();
    void toolTipIsCut();
    void leftClickDispatch_data();
    void leftClickDispatch();
    void rememberWithViewEditorOnlyShowsEditor();
    void parkedEditorComesBackOnScreen();
    void optionsAreCentred();
    void usePrintDialogWritesSetting();
    void popupClearsSaveAnswer();
    void errorInHandlerShowsErrorBox();

private:
    void start();
    void restart();
    void clickMenuItem(QAction *action);
    const IniFile ini() const { return IniFile(m_folder->iniPath()); }

    std::unique_ptr<TestFolder> m_folder;
};

void tst_TrayT1::init()
{
    m_folder = std::make_unique<TestFolder>();
    platform::setProgramFolderForTesting(m_folder->path());
    // Shared state belongs to one run of the program; each test is a new run.
    WaitTime = 1000;
    PromptTitle.clear();
    TrimLeadingBlanks = false;
    SaveAnswer.clear();
}

void tst_TrayT1::cleanup()
{
    destroyForms();
    platform::setProgramFolderForTesting({});
    m_folder.reset();
}

void tst_TrayT1::start()
{
    QCOMPARE(createForms(), -1);
    QVERIFY(TrayForm && ViewableForm && Editor && EditScreen);
}

void tst_TrayT1::restart()
{
    destroyForms();
    PromptTitle.clear();
    start();
}

void tst_TrayT1::clickMenuItem(QAction *action)
{
    QMenu *menu = TrayForm->PopupMenu1;
    menu->popup(QPoint(300, 300));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    const QRect where = menu->actionGeometry(action);
    QVERIFY(where.isValid());
    QTest::mouseClick(menu, Qt::LeftButton, {}, where.center());
    QTRY_VERIFY(!menu->isVisible());
}

void tst_TrayT1::menuItemsInOrder()
{
    start();
    QStringList captions;
    for (QAction *a : TrayForm->PopupMenu1->actions())
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    const QStringList expected{"&Quillet!",
                               "&Save this now!",
                               "&Edit this now!",
                               "&View Editor",
                               "-",
                               "Capture &Text",
                               "Capture S&creen",
                               "&Remember",
                               "-",
                               "Text &Margins",
                               "&Options",
                               "&Help",
                               "&About",
                               "-",
                               "&Exit"};
    QCOMPARE(captions, expected);
    QVERIFY(!TrayForm->PopupMenu1->actions().contains(TrayForm->UsePrintDialog1));
    QVERIFY(TrayForm->CaptureText1->isChecked());
    QVERIFY(!TrayForm->CaptureScreen1->isChecked());
    QVERIFY(!TrayForm->Remember1->isChecked());
    QVERIFY(TrayForm->Remember1->isEnabled());
    QVERIFY(TrayForm->PageSetup1->isEnabled());
    QVERIFY(TrayForm->Quillet1->isEnabled() && TrayForm->SaveSelection1->isEnabled());
    QVERIFY(!TrayForm->isVisible());
    QCOMPARE(TrayForm->x(), -5000);
    QCOMPARE(TrayForm->windowTitle(), QString("+"));
}

void tst_TrayT1::printDialogCheckAtStartUp_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("checked");
    // The tray reads "pdialog" with default true, then the options dialog
    // reads it with default false and its box takes the tray's item along.
    QTest::newRow("absent") << QByteArray() << false;
    QTest::newRow("on") << QByteArray("[Settings]\npdialog=1\n") << true;
    QTest::newRow("off") << QByteArray("[Settings]\npdialog=0\n") << false;
}

void tst_TrayT1::printDialogCheckAtStartUp()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, checked);
    if (!ini.isEmpty())
        m_folder->write("Quillet.ini", ini);
    start();
    QCOMPARE(TrayForm->UsePrintDialog1->isChecked(), checked);
    QCOMPARE(ViewableForm->chkprintdialog->isChecked(), checked);
}

void tst_TrayT1::startUpReadsTrayState()
{
    m_folder->write("Quillet.ini", "[Settings]\npt=anything\nwait=0x3E8\nnospaces=1\n");
    WaitTime = 0;
    start();
    QCOMPARE(PromptTitle, QString("yes"));
    QCOMPARE(WaitTime, 1000);
    QVERIFY(TrimLeadingBlanks);
    QCOMPARE(ViewableForm->txtWait->text(), QString("1000"));
}

void tst_TrayT1::captureModeFlips_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("startInScreenMode");
    QTest::addColumn<bool>("screenAfter");
    QTest::addColumn<bool>("rememberStaysOn");
    // Either item always flips the mode, also the one already checked.
    QTest::newRow("screen from text") << "CaptureScreen1" << false << true << false;
    QTest::newRow("text from text") << "CaptureText1" << false << true << true;
    QTest::newRow("screen from screen") << "CaptureScreen1" << true << false << false;
    QTest::newRow("text from screen") << "CaptureText1" << true << false << true;
}

void tst_TrayT1::captureModeFlips()
{
    QFETCH(QString, item);
    QFETCH(bool, startInScreenMode);
    QFETCH(bool, screenAfter);
    QFETCH(bool, rememberStaysOn);
    if (startInScreenMode)
        m_folder->write("Quillet.ini", "[storage]\nscreencap=yes\n");
    start();
    QCOMPARE(TrayForm->screenMode(), startInScreenMode);
    TrayForm->Remember1->setChecked(true);
    TrayForm->Quillet1->setEnabled(false);

    clickMenuItem(TrayForm->findChild<QAction *>(item));

    QCOMPARE(TrayForm->screenMode(), screenAfter);
    QCOMPARE(TrayForm->textMode(), !screenAfter);
    QCOMPARE(TrayForm->Remember1->isEnabled(), !screenAfter);
    QCOMPARE(TrayForm->PageSetup1->isEnabled(), !screenAfter);
    QCOMPARE(TrayForm->Remember1->isChecked(), rememberStaysOn);
    // Only "Capture Screen" re-enables print and save.
    QCOMPARE(TrayForm->Quillet1->isEnabled(), !rememberStaysOn);
    QCOMPARE(ini().readString("storage", "screencap", "absent"),
             screenAfter ? QString("yes") : QString());
}

void tst_TrayT1::screenModeSurvivesRestart()
{
    start();
    clickMenuItem(TrayForm->CaptureScreen1);
    restart();
    QVERIFY(TrayForm->screenMode());
    QVERIFY(!TrayForm->CaptureText1->isChecked());
    QVERIFY(!TrayForm->Remember1->isEnabled());
    QVERIFY(!TrayForm->PageSetup1->isEnabled());
    clickMenuItem(TrayForm->CaptureText1);
    restart();
    QVERIFY(TrayForm->textMode());
    QVERIFY(TrayForm->Remember1->isEnabled());
}

void tst_TrayT1::rememberDisablesPrintAndSave()
{
    start();
    clickMenuItem(TrayForm->Remember1);
    QVERIFY(TrayForm->Remember1->isChecked());
    QVERIFY(!TrayForm->Quillet1->isEnabled());
    QVERIFY(!TrayForm->SaveSelection1->isEnabled());
    clickMenuItem(TrayForm->Remember1);
    QVERIFY(!TrayForm->Remember1->isChecked());
    QVERIFY(TrayForm->Quillet1->isEnabled());
    QVERIFY(TrayForm->SaveSelection1->isEnabled());
    // Remember is never stored.
    restart();
    QVERIFY(!TrayForm->Remember1->isChecked());
}

void tst_TrayT1::toolTipIsCut_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("short") << "Quillet!"
                           << "Quillet!";
    QTest::newRow("62") << QString(62, u'a') << QString(62, u'a');
    QTest::newRow("70") << QString(60, u'a') + "bcdefghijk" << QString(60, u'a') + "bc";
}

void tst_TrayT1::toolTipIsCut()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    start();
    QCOMPARE(TrayForm->TrayIcon1->toolTip(), QString("Quillet!"));
    QVERIFY(TrayForm->TrayIcon1->isActive());
    TrayForm->TrayIcon1->setToolTip(text);
    QCOMPARE(TrayForm->TrayIcon1->toolTip(), shown);
}

void tst_TrayT1::leftClickDispatch_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("shown"); // object of the window that appears, or empty
    QTest::newRow("no file") << QByteArray() << "options";
    QTest::newRow("empty") << QByteArray("[Settings]\nlc=\n") << "options";
    QTest::newRow("Options") << QByteArray("[Settings]\nlc=Options\n") << "options";
    QTest::newRow("View Editor") << QByteArray("[Settings]\nlc=View Editor\n") << "editor";
    QTest::newRow("case matters") << QByteArray("[Settings]\nlc=options\n") << "";
    QTest::newRow("unknown") << QByteArray("[Settings]\nlc=print\n") << "";
}

void tst_TrayT1::leftClickDispatch()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, shown);
    start();
    // "lc" is read afresh at each click, so writing it after start-up counts.
    if (!ini.isEmpty())
        m_folder->write("Quillet.ini", ini);
    TrayForm->TrayIcon1->clicked();
    QCOMPARE(ViewableForm->isVisible(), shown == "options");
    QCOMPARE(Editor->isVisible(), shown == "editor");
    QVERIFY(!EditScreen->isVisible());
}

void tst_TrayT1::rememberWithViewEditorOnlyShowsEditor()
{
    start();
    m_folder->write("Quillet.ini", "[Settings]\nlc=View Editor\n");
    clickMenuItem(TrayForm->Remember1);
    clickMenuItem(TrayForm->CaptureScreen1); // unchecks Remember
    clickMenuItem(TrayForm->CaptureScreen1);
    clickMenuItem(TrayForm->Remember1);
    QVERIFY(TrayForm->Remember1->isChecked());
    emit TrayForm->TrayIcon1->clicked();
    QVERIFY(Editor->isVisible());
    QVERIFY(!ViewableForm->isVisible());
    QVERIFY(!EditScreen->isVisible());
}

void tst_TrayT1::parkedEditorComesBackOnScreen()
{
    start();
    Editor->move(100 - 5000, 80);
    clickMenuItem(TrayForm->ViewEditor1);
    QVERIFY(Editor->isVisible());
    QCOMPARE(Editor->x(), 100);
    // In screen mode "View Editor" shows the image editor instead.
    Editor->hide();
    clickMenuItem(TrayForm->CaptureScreen1);
    clickMenuItem(TrayForm->ViewEditor1);
    QVERIFY(EditScreen->isVisible());
    QVERIFY(!Editor->isVisible());
}

void tst_TrayT1::optionsAreCentred()
{
    start();
    clickMenuItem(TrayForm->Test11);
    QVERIFY(QTest::qWaitForWindowExposed(ViewableForm));
    QCOMPARE(ViewableForm->windowTitle(), QString("Quillet! Options"));
    const int screenWidth = QGuiApplication::primaryScreen()->geometry().width();
    const int width = ViewableForm->frameGeometry().width();
    QTRY_COMPARE(ViewableForm->frameGeometry().x(), screenWidth / 2 - width / 2);
}

void tst_TrayT1::usePrintDialogWritesSetting()
{
    start();
    QVERIFY(!TrayForm->UsePrintDialog1->isChecked());
    TrayForm->UsePrintDialog1->trigger();
    QVERIFY(TrayForm->UsePrintDialog1->isChecked());
    QCOMPARE(ini().readString("Settings", "pdialog", {}), QString("1"));
    TrayForm->UsePrintDialog1->trigger();
    QCOMPARE(ini().readString("Settings", "pdialog", {}), QString("0"));
    // Clicking the options dialog's box sets the item at once, without Save.
    QTest::mouseClick(ViewableForm->chkprintdialog, Qt::LeftButton);
    QVERIFY(TrayForm->UsePrintDialog1->isChecked());
    QCOMPARE(ini().readString("Settings", "pdialog", {}), QString("0"));
}

void tst_TrayT1::popupClearsSaveAnswer()
{
    start();
    SaveAnswer = QStringLiteral("overwrite");
    TrayForm->PopupMenu1->popup(QPoint(200, 200));
    QCOMPARE(SaveAnswer, QString());
    TrayForm->PopupMenu1->hide();
}

void tst_TrayT1::errorInHandlerShowsErrorBox()
{
    start();
    IniFile(m_folder->iniPath()).writeString("storage", "screencap", "");
    QFile::setPermissions(m_folder->iniPath(), QFile::ReadOwner);

    QString caption, message;
    bool okButton = false;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        caption = box->windowTitle();
        message = box->text();
        okButton = box->button(QMessageBox::Ok) != nullptr && box->buttons().size() == 1;
        box->button(QMessageBox::Ok)->click();
    });
    closer.start(20);

    clickMenuItem(TrayForm->CaptureScreen1);
    QTRY_COMPARE(message, "Unable to write to " + m_folder->iniPath());
    QCOMPARE(caption, QString("Quillet!"));
    QVERIFY(okButton);
    closer.stop();

    // The program goes on: the next command works.
    QFile::setPermissions(m_folder->iniPath(), QFile::ReadOwner | QFile::WriteOwner);
    clickMenuItem(TrayForm->Test11);
    QVERIFY(ViewableForm->isVisible());
}

int main(int argc, char **argv)
{
    // The application object of the program itself, so that errors reach the
    // same error box as in the running program.
    QuilletApplication app(argc, argv);
    tst_TrayT1 test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_TrayT1.moc"
