// The options dialog and the about box in-process, driven through their
// controls on the test session's X server, with the settings file in a
// temporary program folder and stand-ins for the desktop's URL opener.
#include "app/QuilletApplication.h"
#include "app/Startup.h"
#include "app/TrayT1.h"
#include "app/printing.h"
#include "editor/edits.h"
#include "platform/AutostartEntry.h"
#include "platform/Dialogs.h"
#include "platform/ProgramFolder.h"
#include "platform/RichEdit.h"
#include "platform/TrayIcon.h"
#include "settings/About.h"
#include "settings/IniFile.h"
#include "settings/fVisible.h"
#include "tests/support/Desktop.h"
#include "tests/support/TestFolder.h"
#include "tests/support/TestServices.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QtTest>

#include <memory>

class tst_Options : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void saveWaitField_data();
    void saveWaitField();
    void savedActionRulesLeftClick_data();
    void savedActionRulesLeftClick();
    void wordWrapSave_data();
    void wordWrapSave();
    void startAtLogin();
    void autostartEntryIsValid_data();
    void autostartEntryIsValid();
    void unwritableAutostartFolderIsIgnored();
    void printDialogBoxAndClosingKeepEdits();
    void panelsAndHelp();
    void aboutBox();
    void screenshots();

private:
    void start();
    void save();
    void setText(QLineEdit *field, const QString &text);
    // The line the URL opener stand-in wrote for its latest call.
    QString lastOpened() const;
    QString validate(const QString &file) const;
    // The raw text of `key` in the autostart entry.
    static QString entryValue(const QString &key);
    IniFile ini() const { return IniFile(m_folder->iniPath()); }

    QTemporaryDir m_home;
    std::unique_ptr<TestFolder> m_folder;
    QString m_savedError;
};

void tst_Options::initTestCase()
{
    QVERIFY(m_home.isValid());
    // The URL opener stand-in appends each address it is asked to open.
    QVERIFY(QDir().mkpath(m_home.filePath("bin")));
    QFile opener(m_home.filePath("bin/xdg-open"));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\necho \"$@\" >> " + m_home.filePath("opened.txt").toUtf8() + "\n");
    opener.close();
    opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", m_home.filePath("bin").toUtf8() + ":" + qgetenv("PATH"));
    qputenv("XDG_CONFIG_HOME", m_home.filePath("config").toUtf8());
    TestServices::instance().useScriptedDesktop(true);
}

void tst_Options::init()
{
    m_folder = std::make_unique<TestFolder>();
    platform::setProgramFolderForTesting(m_folder->path());
    WaitTime = 1000;
    PromptTitle.clear();
    TrimLeadingBlanks = false;
    m_savedError.clear();
    QFile::remove(platform::AutostartEntry::path());
    QFile::remove(m_home.filePath("opened.txt"));
}

void tst_Options::cleanup()
{
    destroyForms();
    platform::setProgramFolderForTesting({});
    m_folder.reset();
}

void tst_Options::start()
{
    QCOMPARE(createForms(), -1);
    TrayForm->options();
    QVERIFY(QTest::qWaitForWindowExposed(ViewableForm));
}

void tst_Options::setText(QLineEdit *field, const QString &text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
    QCOMPARE(field->text(), text);
}

void tst_Options::save()
{
    // The error box is modal: note its message and answer it.
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [this] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            m_savedError = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    closer.start(20);
    QTest::mouseClick(ViewableForm->Button1, Qt::LeftButton);
}

QString tst_Options::lastOpened() const
{
    QFile file(m_home.filePath("opened.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    return QString::fromUtf8(lines.last());
}

QString tst_Options::validate(const QString &file) const
{
    QProcess validator;
    validator.setProcessChannelMode(QProcess::MergedChannels);
    validator.start(QStringLiteral("desktop-file-validate"), {file});
    if (!validator.waitForFinished(10000))
        return QStringLiteral("desktop-file-validate did not finish");
    const QString output = QString::fromUtf8(validator.readAll());
    return validator.exitCode() == 0 && output.trimmed().isEmpty() ? QString() : output + "!";
}

QString tst_Options::entryValue(const QString &key)
{
    QFile file(platform::AutostartEntry::path());
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("(no entry)");
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith(key.toUtf8() + '='))
            return QString::fromUtf8(line.mid(key.size() + 1));
    return QStringLiteral("(no key)");
}

void tst_Options::saveWaitField_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("waitTime");

    QTest::newRow("empty") << ""
                           << "'' is not a valid integer value" << 1000;
    QTest::newRow("leading blank") << " 500"
                                   << "" << 500;
    QTest::newRow("hexadecimal") << "$1F4"
                                 << "" << 500;
    QTest::newRow("negative") << "-3"
                              << "" << -3;
    QTest::newRow("zero") << "0"
                          << "" << 0;
    QTest::newRow("hexadecimal bits") << "$FFFFFFFF"
                                      << "" << -1;
    QTest::newRow("smallest") << "-2147483648"
                              << "" << int(0x80000000);
    QTest::newRow("trailing blank") << "500 "
                                    << "'500 ' is not a valid integer value" << 1000;
    QTest::newRow("too large") << "2147483648"
                               << "'2147483648' is not a valid integer value" << 1000;
}

void tst_Options::saveWaitField()
{
    QFETCH(QString, typed);
    QFETCH(QString, error);
    QFETCH(int, waitTime);
    start();
    setText(ViewableForm->txtHeader, QStringLiteral("My header"));
    setText(ViewableForm->txtWait, typed);
    save();

    QCOMPARE(ini().readString("Settings", "head", "absent"), QString("My header"));
    QCOMPARE(WaitTime, waitTime);
    if (!error.isEmpty()) {
        QTRY_COMPARE(m_savedError, error);
        // Only the header was written, and the dialog is still open.
        QCOMPARE(m_folder->read("Quillet.ini").count('='), 1);
        QVERIFY(ViewableForm->isVisible());
    } else {
        QCOMPARE(m_savedError, QString());
        QCOMPARE(ini().readString("Settings", "wait", "absent"), typed);
        QVERIFY(!ViewableForm->isVisible());
    }
}

void tst_Options::savedActionRulesLeftClick_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("captures");

    QTest::newRow("unknown name") << "print" << false;
    QTest::newRow("edit") << "Edit this now!" << true;
}

void tst_Options::savedActionRulesLeftClick()
{
    QFETCH(QString, action);
    QFETCH(bool, captures);
    // The other program answers the copy keys with a known text.
    FakeInput &input = TestServices::instance().fakeInput;
    input.sent.clear();
    input.onKey = [](const SentKey &) {
        QGuiApplication::clipboard()->setText(QStringLiteral("captured words"));
    };
    start();
    setText(ViewableForm->cboLeftclick->lineEdit(), action);
    setText(ViewableForm->txtWait, QStringLiteral("10"));
    save();
    QCOMPARE(ini().readString("Settings", "lc", {}), action);

    emit TrayForm->TrayIcon1->clicked();
    if (captures)
        QTRY_VERIFY(Editor->memo->toPlainText().contains("captured words"));
    QCOMPARE(!input.sent.isEmpty(), captures);
    QCOMPARE(Editor->isVisible(), captures);
    QVERIFY(!ViewableForm->isVisible());
    input.onKey = nullptr;
}

void tst_Options::wordWrapSave_data()
{
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QString>("stored");

    QTest::newRow("off") << false << "no";
    QTest::newRow("on") << true << "";
}

void tst_Options::wordWrapSave()
{
    QFETCH(bool, checked);
    QFETCH(QString, stored);
    start();
    Editor->setWordWrap(!checked);
    if (ViewableForm->chkWordwrap->isChecked() != checked)
        QTest::mouseClick(ViewableForm->chkWordwrap, Qt::LeftButton, {}, QPoint(5, 5));
    save();
    QCOMPARE(Editor->wordWrap(), checked);
    QCOMPARE(ini().readString("Settings", "ww", "absent"), stored);
}

void tst_Options::startAtLogin()
{
    start();
    const QString entry = platform::AutostartEntry::path();
    QVERIFY(entry.startsWith(m_home.filePath("config/autostart/")));
    QVERIFY(ViewableForm->chkAutostart->isChecked());
    save();
    QVERIFY(QFile::exists(entry));
    QCOMPARE(entryValue("Hidden"), QString("false"));
    QCOMPARE(entryValue("Exec"), '"' + QCoreApplication::applicationFilePath() + '"');
    QCOMPARE(validate(entry), QString());
    QCOMPARE(ini().readString("Settings", "start", "absent"), QString());

    TrayForm->options();
    QTest::mouseClick(ViewableForm->chkAutostart, Qt::LeftButton, {}, QPoint(5, 5));
    save();
    QCOMPARE(entryValue("Hidden"), QString("true"));
    QCOMPARE(entryValue("Exec"), '"' + QCoreApplication::applicationFilePath() + '"');
    QCOMPARE(validate(entry), QString());
    QCOMPARE(ini().readString("Settings", "start", "absent"), QString("none"));
}

void tst_Options::autostartEntryIsValid_data()
{
    QTest::addColumn<QString>("executable");

    QTest::newRow("blanks") << "/opt/My Programs/quillet";
    QTest::newRow("shell characters") << "/home/a$b/`x`/\"q\"/quillet";
    QTest::newRow("backslash and percent") << "/tmp/back\\slash/100%/quillet";
}

void tst_Options::autostartEntryIsValid()
{
    QFETCH(QString, executable);
    QVERIFY(platform::AutostartEntry::write(executable, true));
    QCOMPARE(validate(platform::AutostartEntry::path()), QString());
    // The command line, unescaped the way a session reads it, is the path:
    // first the string's own escapes, then the quoted argument's.
    const QString raw = entryValue("Exec");
    QString exec;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw.at(i) == u'\\' && i + 1 < raw.size())
            ++i;
        exec += raw.at(i);
    }
    QVERIFY2(exec.startsWith('"') && exec.endsWith('"'), qPrintable(raw));
    exec = exec.mid(1, exec.size() - 2);
    QString unquoted;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        if (i + 1 < exec.size() &&
            (exec.at(i) == u'\\' || (exec.at(i) == u'%' && exec.at(i + 1) == u'%')))
            ++i;
        unquoted += exec.at(i);
    }
    QCOMPARE(unquoted, executable);
}

void tst_Options::unwritableAutostartFolderIsIgnored()
{
    // A plain file where the configuration folder should be: no folder can be
    // made beneath it, whoever runs the test.
    QFile blocker(m_home.filePath("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", blocker.fileName().toUtf8());
    start();
    QTest::mouseClick(ViewableForm->chkWordwrap, Qt::LeftButton, {}, QPoint(5, 5));
    save();
    qputenv("XDG_CONFIG_HOME", config);
    QCOMPARE(m_savedError, QString());
    QCOMPARE(ini().readString("Settings", "ww", {}), QString("no"));
    QVERIFY(!ViewableForm->isVisible());
}

void tst_Options::printDialogBoxAndClosingKeepEdits()
{
    start();
    // A first start with no file shows the box cleared, the tray's item with it.
    QVERIFY(!ViewableForm->chkprintdialog->isChecked());
    QTest::mouseClick(ViewableForm->chkprintdialog, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(TrayForm->UsePrintDialog1->isChecked());
    QTest::mouseClick(ViewableForm->chkprintdialog, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(!TrayForm->UsePrintDialog1->isChecked());
    QTest::mouseClick(ViewableForm->chkprintdialog, Qt::LeftButton, {}, QPoint(5, 5));
    setText(ViewableForm->txtHeader, QStringLiteral("unsaved"));

    // Close, Esc, the title bar's close and minimising all only hide.
    const std::function<void()> closers[] = {
        [] { QTest::mouseClick(ViewableForm->Button2, Qt::LeftButton); },
        [] { QTest::keyClick(ViewableForm->txtHeader, Qt::Key_Escape); },
        [] { ViewableForm->close(); },
        [] { ViewableForm->showMinimized(); },
    };
    int which = 0;
    for (const auto &close : closers) {
        ++which;
        TrayForm->options();
        QVERIFY(QTest::qWaitForWindowActive(ViewableForm));
        ViewableForm->txtHeader->setFocus();
        close();
        QTRY_VERIFY2(!ViewableForm->isVisible(), qPrintable(QString::number(which)));
        QVERIFY(!ViewableForm->isMinimized());
    }
    QVERIFY(TrayForm->UsePrintDialog1->isChecked());
    QVERIFY(!QFile::exists(m_folder->iniPath()));
    TrayForm->options();
    QCOMPARE(ViewableForm->txtHeader->text(), QString("unsaved"));
    QVERIFY(ViewableForm->chkprintdialog->isChecked());
}

void tst_Options::panelsAndHelp()
{
    start();
    QTest::mouseClick(ViewableForm->SpeedButton1, Qt::LeftButton);
    QVERIFY(ViewableForm->Panel1->isVisible());
    QTest::mouseClick(ViewableForm->SpeedButton2, Qt::LeftButton);
    QVERIFY(ViewableForm->Panel2->isVisible());
    QVERIFY(ViewableForm->Label5->text().contains("Some browsers may require 3500+"));
    // The panels lie over their rows.
    QVERIFY(ViewableForm->Panel1->geometry().contains(ViewableForm->txtWait->geometry()));
    QVERIFY(ViewableForm->childAt(ViewableForm->txtWait->geometry().center()) ==
            ViewableForm->Label5);
    QTest::mouseClick(ViewableForm->Label6, Qt::LeftButton);
    QVERIFY(!ViewableForm->Panel1->isVisible() && !ViewableForm->Panel2->isVisible());

    const QString help = QUrl::fromLocalFile(m_folder->file("quillet.html")).toString();
    QTest::mouseClick(ViewableForm->Button3, Qt::LeftButton);
    QTRY_COMPARE(lastOpened(), help + "#topic-7");
    QTest::keyClick(ViewableForm->chkpagenumbers, Qt::Key_F1);
    QTRY_COMPARE(lastOpened(), help + "#topic-101");
}

void tst_Options::aboutBox()
{
    start();
    ViewableForm->hide();
    TrayForm->About1Click();
    QVERIFY(QTest::qWaitForWindowExposed(AboutBox));
    QTRY_VERIFY(AboutBox->isActiveWindow());
    // Read back from the X server: centred, borderless, 306 x 217.
    const QList<qulonglong> windows = Desktop::windowsNamed(QStringLiteral("About Quillet!"));
    QCOMPARE(windows.size(), 1);
    const QRect onScreen = Desktop::geometry(windows.first());
    const QSize screen = Desktop::screenSize();
    QCOMPARE(onScreen.size(), QSize(306, 217));
    QCOMPARE(onScreen.topLeft(), QPoint((screen.width() - 306) / 2, (screen.height() - 217) / 2));

    // Losing the focus hides it.
    TrayForm->options();
    QTRY_VERIFY(!AboutBox->isVisible());

    // The link opens the project's page and hides the box.
    TrayForm->About1Click();
    QVERIFY(QTest::qWaitForWindowExposed(AboutBox));
    QTest::mouseClick(AboutBox, Qt::LeftButton, {}, AboutBox->linkRect().center());
    QTRY_COMPARE(lastOpened(), QStringLiteral(QUILLET_HOMEPAGE));
    QVERIFY(!AboutBox->isVisible());
}

// Not a test: with QUILLET_SCREENSHOTS naming a folder, writes pictures of the
// windows a user meets first, as the window manager frames them, for the
// project's documentation.
void tst_Options::screenshots()
{
    const QString folder = qEnvironmentVariable("QUILLET_SCREENSHOTS");
    if (folder.isEmpty())
        QSKIP("QUILLET_SCREENSHOTS is not set");
    auto snap = [&folder](QWidget *window, const QString &name) {
        QTRY_VERIFY(window->frameGeometry().size() != window->size() ||
                    window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QTest::qWait(300); // let the window manager finish drawing the frame
        const QRect frame = Desktop::geometry(window->winId());
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(
            0, frame.x(), frame.y(), frame.width(), frame.height());
        QVERIFY(shot.save(folder + '/' + name, "PNG"));
    };
    start();
    setText(ViewableForm->txtHeader, QStringLiteral("Meeting notes"));
    snap(ViewableForm, QStringLiteral("options.png"));
    ViewableForm->hide();

    TrayForm->About1Click();
    QVERIFY(QTest::qWaitForWindowActive(AboutBox));
    snap(AboutBox, QStringLiteral("about.png"));
    AboutBox->hide();

    printit->show();
    QVERIFY(QTest::qWaitForWindowExposed(printit));
    snap(printit, QStringLiteral("printing.png"));
    printit->hide();

    QTimer grabber;
    bool grabbed = false;
    connect(&grabber, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || grabbed)
            return;
        grabbed = true;
        snap(box, QStringLiteral("errorbox.png"));
        box->button(QMessageBox::Ok)->click();
    });
    grabber.start(50);
    platform::showErrorBox(QStringLiteral("'' is not a valid integer value"));
    QVERIFY(grabbed);
}

int main(int argc, char **argv)
{
    QuilletApplication app(argc, argv);
    tst_Options test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_Options.moc"
