// "Save this now!" in text mode on the test session's X server: the capture
// from a real program, the save dialog answered with keystrokes, the
// file-exists prompt, the bytes of the files written and merged, refused
// writes, and LibreOffice reading a merged RTF file.
#include "app/FileLbl.h"
#include "app/Startup.h"
#include "app/TextFile.h"
#include "app/TrayT1.h"
#include "app/fexists.h"
#include "editor/edits.h"
#include "platform/ProgramFolder.h"
#include "platform/RichEdit.h"
#include "tests/support/Answerer.h"
#include "tests/support/Desktop.h"
#include "tests/support/FileDialogInput.h"
#include "tests/support/Mousepad.h"
#include "tests/support/SelectionSource.h"
#include "tests/support/TestFolder.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCompleter>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

const QString Capture = QStringLiteral("capture 1\ncapture 2");

// Answers the editor's save dialog as a user would: picks the filter,
// types the name into the name field and presses Enter. Any question the
// dialog asks itself is counted and refused.
class SaveDialogAnswer {
public:
    // `fileName` is a full path: the dialog is put into its folder, then the
    // name is typed.
    SaveDialogAnswer(const QString &fileName, int filterIndex)
        : m_answer("SaveDialog", [fileName, filterIndex](QWidget *w) {
              auto *dialog = static_cast<QFileDialog *>(w);
              dialog->selectNameFilter(dialog->nameFilters().at(filterIndex - 1));
              dialog->setDirectory(QFileInfo(fileName).path());
              typeFileName(dialog, QFileInfo(fileName).fileName());
              auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
              // Pressed once this callback has returned, so that a question
              // the dialog might ask cannot block it; the name field's
              // completion list would take the key, so it is closed first.
              QTimer::singleShot(0, name, [name] {
                  if (QCompleter *completer = name->completer())
                      completer->popup()->hide();
                  QTest::keyClick(name, Qt::Key_Return);
              });
          })
    {
        QObject::connect(&m_watch, &QTimer::timeout, [this] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(w);
                if (box && box->isVisible() && box->parentWidget() == Editor->SaveDialog) {
                    ++m_questions;
                    box->reject();
                    Editor->SaveDialog->reject();
                }
            }
        });
        m_watch.start(10);
    }
    bool answered() const { return m_answer.answered(); }
    int questions() const { return m_questions; }

private:
    Answerer m_answer;
    QTimer m_watch;
    int m_questions = 0;
};

// The plain text of a file as the rich-text control reads it.
QStringList linesOf(const QByteArray &bytes)
{
    platform::RichEdit reader;
    reader.loadFromStream(bytes);
    return TextFile::documentLines(*reader.document());
}

} // namespace

class tst_Saver : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void savesInFormat_data();
    void savesInFormat();
    void merges_data();
    void merges();
    void promptAnswers_data();
    void promptAnswers();
    void failedSaveKeepsFile_data();
    void failedSaveKeepsFile();
    void editorSaveButton();
    void savesFromMousepad();
    void libreOfficeReadsMergedRtf();

private:
    // Captures `text` from the tests' selection source and saves it as
    // `fileName` with the given filter.
    void saveThisNow(const QString &fileName, int filterIndex, const QStringList &offer = {});

    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<TestFolder> m_files;
};

void tst_Saver::init()
{
    m_folder = std::make_unique<TestFolder>();
    m_files = std::make_unique<TestFolder>();
    platform::setProgramFolderForTesting(m_folder->path());
    WaitTime = 500;
    CaptureStatus.clear();
    SaveAnswer.clear();
    QCOMPARE(createForms(), -1);
    // The editor takes its place once, shortly after start-up; the tests
    // compare its place before and after a save.
    QTRY_VERIFY_WITH_TIMEOUT(!Editor->Timer1->isActive(), 10000);
}

void tst_Saver::cleanup()
{
    destroyForms();
    platform::setProgramFolderForTesting({});
    m_files.reset();
    m_folder.reset();
}

void tst_Saver::saveThisNow(const QString &fileName, int filterIndex, const QStringList &offer)
{
    SelectionSource source(QStringList{"--title", "Source", "--text", Capture} + offer);
    QVERIFY(source.waitForWindow());
    SaveDialogAnswer dialog(m_files->file(fileName), filterIndex);
    TrayForm->SaveSelection1->trigger();
    QCOMPARE(source.copies(), 1);
    QCOMPARE(PendingAction, QString("savethis"));
    QVERIFY(dialog.answered());
    QCOMPARE(dialog.questions(), 0);
    QVERIFY(!Editor->isVisible());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void tst_Saver::savesInFormat_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("filter");
    QTest::addColumn<QStringList>("offer");
    QTest::addColumn<bool>("rtf");
    const QStringList html{"--html", "<p><b>capture 1</b></p><p>capture 2</p>"};
    QTest::newRow(".TXT under the RTF filter") << "upper.TXT" << 1 << QStringList() << true;
    QTest::newRow(".htm writes plain text") << "page.htm" << 1 << html << false;
    QTest::newRow(".txt") << "plain.txt" << 1 << html << false;
    QTest::newRow(".rtf under the Text filter") << "rich.rtf" << 2 << html << true;
}

void tst_Saver::savesInFormat()
{
    QFETCH(QString, name);
    QFETCH(int, filter);
    QFETCH(QStringList, offer);
    QFETCH(bool, rtf);
    // The file exists: the save dialog must not ask, the prompt does.
    m_files->write(name, "old\r\n");
    Answerer overwrite("saveprompt", [](QWidget *w) {
        QTest::keyClick(w, Qt::Key_Return); // Enter is "Overwrite"
    });
    saveThisNow(name, filter, offer);
    QVERIFY(overwrite.answered());
    QCOMPARE(SaveAnswer, QString("overwrite"));
    const QByteArray bytes = m_files->read(name);
    if (rtf) {
        QVERIFY2(bytes.startsWith("{\\rtf"), bytes.left(40).constData());
        QCOMPARE(linesOf(bytes).mid(0, 2), QStringList({"capture 1", "capture 2"}));
    } else {
        QCOMPARE(bytes, QByteArray("capture 1\r\ncapture 2\r\n"));
    }
}

void tst_Saver::merges_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QByteArray>("merged");
    const QByteArray top = "capture 1\r\ncapture 2\r\n\r\nold 1\r\nold 2\r\nold 3\r\n";
    const QByteArray bottom = "old 1\r\nold 2\r\nold 3\r\n\r\n\r\ncapture 1\r\ncapture 2\r\n";
    QTest::newRow("top, LF lines") << "AddToTop" << QByteArray("old 1\nold 2\nold 3\n") << top;
    QTest::newRow("top, CR LF lines, no final break")
        << "AddToTop" << QByteArray("old 1\r\nold 2\r\nold 3") << top;
    QTest::newRow("bottom, LF lines")
        << "AddToBottom" << QByteArray("old 1\nold 2\nold 3\n") << bottom;
    QTest::newRow("bottom, CR LF lines")
        << "AddToBottom" << QByteArray("old 1\r\nold 2\r\nold 3\r\n") << bottom;
    QTest::newRow("bottom, Windows-1252")
        << "AddToBottom" << QByteArray("caf\xE9\n")
        << QByteArray("caf\xC3\xA9\r\n\r\n\r\ncapture 1\r\ncapture 2\r\n");
}

void tst_Saver::merges()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, old);
    QFETCH(QByteArray, merged);
    m_files->write("old.txt", old);
    const QPoint parked = Editor->pos();
    Answerer answer("saveprompt",
                    [button](QWidget *w) { w->findChild<QPushButton *>(button)->click(); });
    saveThisNow("old.txt", 1);
    QVERIFY(answer.answered());
    QCOMPARE(m_files->read("old.txt"), merged);
    // The merged document stays in the editor, which is back where it was.
    QCOMPARE(TextFile::crlfText(TextFile::documentLines(*Editor->memo->document())), merged);
    QCOMPARE(Editor->pos(), parked);
}

void tst_Saver::promptAnswers_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("written");
    QTest::newRow("Enter") << "enter" << true;
    QTest::newRow("Esc") << "esc" << false;
    QTest::newRow("Cancel") << "cancel" << false;
    QTest::newRow("close button") << "close" << false;
    QTest::newRow("minimise") << "minimise" << false;
}

void tst_Saver::promptAnswers()
{
    QFETCH(QString, how);
    QFETCH(bool, written);
    const QString path = m_files->file("kept.txt");
    m_files->write("kept.txt", "untouched\r\n");
    QString shownPath;
    bool onTopAndCentred = false;
    bool addingEnabled = false;
    bool stuck = false;
    Answerer answer("saveprompt", [&](QWidget *w) {
        shownPath = static_cast<Tsaveprompt *>(w)->Label1->FileName();
        const QRect screen = w->screen()->geometry();
        onTopAndCentred = (w->windowFlags() & Qt::WindowStaysOnTopHint) &&
                          w->windowTitle() == "Save this now!" && w->size() == QSize(352, 93) &&
                          qAbs(w->geometry().center().x() - screen.center().x()) <= 1;
        addingEnabled = saveprompt->AddToTop->isEnabled() && saveprompt->AddToBottom->isEnabled();
        if (how == "enter")
            QTest::keyClick(w, Qt::Key_Enter);
        else if (how == "esc")
            QTest::keyClick(w, Qt::Key_Escape);
        else if (how == "cancel")
            saveprompt->Cancel->click();
        else if (how == "close") { // the window manager's close, as its close button does
            Desktop::run("xdotool", {"windowactivate", "--sync", QString::number(w->winId())});
            Desktop::run("xdotool", {"key", "--clearmodifiers", "alt+F4"});
        } else {
            w->showMinimized();
        }
        // An answer that does not arrive fails the test instead of leaving
        // the save waiting.
        if (!QTest::qWaitFor([w] { return !w->isVisible(); }, 10000)) {
            stuck = true;
            saveprompt->Cancel->click();
        }
    });
    saveThisNow("kept.txt", 2);
    QVERIFY(answer.answered());
    QVERIFY2(!stuck, "the prompt was still open after its answer");
    QCOMPARE(shownPath, path);
    QVERIFY(onTopAndCentred);
    QVERIFY(addingEnabled);
    QCOMPARE(SaveAnswer, QString(written ? "overwrite" : "cancel"));
    QTRY_VERIFY(!saveprompt->isVisible());
    QCOMPARE(m_files->read("kept.txt"),
             QByteArray(written ? "capture 1\r\ncapture 2\r\n" : "untouched\r\n"));
}

void tst_Saver::failedSaveKeepsFile_data()
{
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("message"); // %1: the file's path
    const QByteArray text = "old content\r\n";
    const QByteArray binary("\x01\x02\0\x03 not text", 14);
    QTest::newRow("read-only, overwrite") << text << true << "Overwrite"
                                          << "Cannot write file %1";
    QTest::newRow("read-only, merge") << text << true << "AddToBottom"
                                      << "Cannot write file %1";
    QTest::newRow("old file neither RTF nor text") << binary << false << "AddToTop"
                                                   << "Failed to Load Stream";
}

void tst_Saver::failedSaveKeepsFile()
{
    QFETCH(QByteArray, old);
    QFETCH(bool, readOnly);
    QFETCH(QString, button);
    QFETCH(QString, message);
    const QString path = m_files->file("old.txt");
    m_files->write("old.txt", old);
    if (readOnly)
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup);
    const QPoint parked = Editor->pos();
    Answerer answer("saveprompt",
                    [button](QWidget *w) { w->findChild<QPushButton *>(button)->click(); });
    QString shown;
    Answerer error("StandardErrorBox", [&shown](QWidget *w) {
        shown = static_cast<QMessageBox *>(w)->text();
        static_cast<QMessageBox *>(w)->accept();
    });
    saveThisNow("old.txt", 2);
    QVERIFY(error.answered());
    QVERIFY2(shown.startsWith(message.arg(path)), qPrintable(shown));
    QCOMPARE(m_files->read("old.txt"), old);
    QCOMPARE(QDir(m_files->path()).entryList(QDir::Files), QStringList{"old.txt"});
    QCOMPARE(Editor->pos(), parked);
    // A file that could not be loaded leaves the capture in the editor.
    if (!readOnly)
        QCOMPARE(Editor->memo->toPlainText(), Capture);
}

void tst_Saver::editorSaveButton()
{
    TrayForm->ViewEditor1->trigger();
    QTRY_VERIFY(Editor->isVisible());
    Editor->memo->setPlainText("from the editor");
    // The extension added to a bare name follows the filter of the previous
    // save: "rtf" the first time, "txt" once the Text filter was chosen.
    for (const char *saved : {"edited.rtf", "again.txt"}) {
        SaveDialogAnswer dialog(m_files->file(QString(saved).section('.', 0, 0)), 2);
        Editor->cmdSave->click();
        QVERIFY(dialog.answered());
        QVERIFY(Editor->isVisible());
    }
    QVERIFY(m_files->read("edited.rtf").startsWith("{\\rtf"));
    QCOMPARE(linesOf(m_files->read("edited.rtf")).first(), QString("from the editor"));
    QCOMPARE(m_files->read("again.txt"), QByteArray("from the editor\r\n"));
}

void tst_Saver::savesFromMousepad()
{
    Mousepad mousepad("Dear diary,\n\tindented line\nlast line");
    QVERIFY2(mousepad.waitForWindow(), "mousepad did not show its window");
    mousepad.selectAll();
    SaveDialogAnswer dialog(m_files->file("diary.txt"), 1);
    TrayForm->SaveSelection1->trigger();
    QVERIFY(dialog.answered());
    QCOMPARE(m_files->read("diary.txt"),
             QByteArray("Dear diary,\r\n\tindented line\r\nlast line\r\n"));
}

void tst_Saver::libreOfficeReadsMergedRtf()
{
    m_files->write("old.rtf",
                   "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 old {\\b boldrun} line\\par "
                   "second old}");
    Answerer bottom("saveprompt", [](QWidget *) { saveprompt->AddToBottom->click(); });
    saveThisNow("old.rtf", 1);
    QVERIFY(bottom.answered());

    const QString out = m_files->file("out");
    for (const char *format : {"txt", "html"}) {
        QProcess soffice;
        soffice.start("soffice", {"--headless", "--convert-to", format, "--outdir", out,
                                  m_files->file("old.rtf")});
        QVERIFY(soffice.waitForFinished(120000));
    }
    QFile text(out + "/old.txt");
    QVERIFY2(text.open(QIODevice::ReadOnly), "LibreOffice wrote no text");
    QStringList lines = QString::fromUtf8(text.readAll()).remove(QChar(0xFEFF)).split('\n');
    for (QString &line : lines)
        line.remove('\r');
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    QCOMPARE(lines,
             QStringList({"old boldrun line", "second old", "", "", "capture 1", "capture 2"}));
    QFile html(out + "/old.html");
    QVERIFY2(html.open(QIODevice::ReadOnly), "LibreOffice wrote no HTML");
    const QString page = QString::fromUtf8(html.readAll());
    QVERIFY2(page.contains(QRegularExpression("<b>\\s*boldrun\\s*</b>")), qPrintable(page));
}

QTEST_MAIN(tst_Saver)
#include "tst_Saver.moc"
