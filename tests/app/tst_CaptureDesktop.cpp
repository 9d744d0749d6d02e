// "&Edit this now!" against the programs of a Linux desktop on the test
// session's X server: terminals, where Ctrl+C would interrupt the program
// running in them; the modifiers of a hotkey still held when the capture
// starts; the user's clipboard, which is given back afterwards; and
// captures that end as soon as the copy has arrived.
#include "app/QuilletApplication.h"
#include "app/Startup.h"
#include "app/TrayT1.h"
#include "editor/edits.h"
#include "platform/Clipboard.h"
#include "platform/ProgramFolder.h"
#include "platform/RichEdit.h"
#include "tests/support/Answerer.h"
#include "tests/support/Desktop.h"
#include "tests/support/Mousepad.h"
#include "tests/support/SelectionSource.h"
#include "tests/support/TestFolder.h"
#include "tests/support/WordFormat.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

// Letters only, so that a double click highlights all of it.
const QString Word = QStringLiteral("QuilletHighlightedWord");

QString memoText()
{
    return Editor->memo->toPlainText();
}

// A terminal emulator whose shell prints the word on three lines and then
// runs `sleep 1000` in its place.
class Terminal {
public:
    Terminal(const QString &program, const QStringList &options)
    {
        const QString command =
            QStringLiteral("printf '%1\\n%1\\n%1\\n'; exec sleep 1000").arg(Word);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(program,
                        options + QStringList{QStringLiteral("sh"), QStringLiteral("-c"), command});
    }
    ~Terminal()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // Waits until the window is shown and the shell has become `sleep`.
    bool waitForSleep(const QString &windowClass)
    {
        return QTest::qWaitFor(
            [&] {
                const auto windows = Desktop::windowsOfClass(windowClass);
                m_window = windows.isEmpty() ? 0 : windows.first();
                return m_window && sleepRunning();
            },
            30000);
    }

    // Highlights the word as a user does: a double click on the second of
    // its lines (the window is four lines high).
    void highlightWord()
    {
        const QRect frame = Desktop::geometry(m_window);
        Desktop::run(QStringLiteral("xdotool"),
                     {QStringLiteral("mousemove"), QStringLiteral("--window"),
                      QString::number(m_window), QStringLiteral("40"),
                      QString::number(frame.height() * 3 / 8), QStringLiteral("click"),
                      QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("--delay"),
                      QStringLiteral("60"), QStringLiteral("1")});
    }

    bool sleepRunning()
    {
        const QString pid = Desktop::run(
            QStringLiteral("pgrep"), {QStringLiteral("-P"), QString::number(m_process.processId()),
                                      QStringLiteral("-x"), QStringLiteral("sleep")});
        return !pid.isEmpty();
    }

private:
    QProcess m_process;
    qulonglong m_window = 0;
};

// The keys that are down on the X server's keyboards now (key codes): the
// session's keyboard and the one synthetic key events come from.
QList<int> keysDown()
{
    QList<int> down;
    static const QRegularExpression key(QStringLiteral("key\\[(\\d+)\\]=down"));
    for (const QString &device :
         {QStringLiteral("Virtual core XTEST keyboard"), QStringLiteral("Xvfb keyboard")}) {
        const QString state =
            Desktop::run(QStringLiteral("xinput"), {QStringLiteral("query-state"), device});
        for (auto it = key.globalMatch(state); it.hasNext();)
            down.append(it.next().captured(1).toInt());
    }
    std::sort(down.begin(), down.end());
    return down;
}

void xdotoolKeys(const QString &direction)
{
    Desktop::run(QStringLiteral("xdotool"),
                 {direction, QStringLiteral("Control_L"), QStringLiteral("Alt_L")});
}

// The clipboard's content in one format, as another program reads it. This
// program may be the clipboard's owner: its events go on meanwhile.
QByteArray clipboardAs(const QString &target)
{
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                 QStringLiteral("-t"), target});
    if (!QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 10000))
        return "(xclip did not finish)";
    return xclip.readAllStandardOutput();
}

// Another program (xclip) takes the clipboard with one format.
bool putOnClipboard(const QString &target, const QByteArray &content)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("content")));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return false;
    file.close();
    Desktop::run(QStringLiteral("xclip"),
                 {QStringLiteral("-i"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                  QStringLiteral("-t"), target, file.fileName()});
    return QTest::qWaitFor(
        [&] { return clipboardAs(QStringLiteral("TARGETS")).contains(target.toLatin1()); }, 10000);
}

QByteArray pngPicture()
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    image.setPixel(3, 4, qRgb(250, 10, 20));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// LibreOffice Writer with a profile of its own, showing `file`.
class Writer {
public:
    explicit Writer(const QString &file)
    {
        // No tip of the day over the document.
        QDir().mkpath(m_profile.filePath(QStringLiteral("user")));
        QFile settings(m_profile.filePath(QStringLiteral("user/registrymodifications.xcu")));
        if (settings.open(QIODevice::WriteOnly)) {
            settings.write(
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
                "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
                "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
                "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop "
                "oor:name=\"ShowTipOfTheDay\" oor:op=\"fuse\"><value>false</value></prop></item>\n"
                "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop "
                "oor:name=\"FirstRun\" oor:op=\"fuse\"><value>false</value></prop></item>\n"
                "</oor:items>\n");
            settings.close();
        }
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(QStringLiteral("soffice"),
                        {QStringLiteral("-env:UserInstallation=") +
                             QUrl::fromLocalFile(m_profile.path()).toString(),
                         QStringLiteral("--norestore"), QStringLiteral("--nologo"),
                         QStringLiteral("--writer"), file});
    }
    ~Writer()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(15000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    bool waitForDocument(const QString &name)
    {
        return QTest::qWaitFor(
            [&] {
                for (const qulonglong w :
                     Desktop::windowsOfClass(QStringLiteral("libreoffice-writer"))) {
                    if (Desktop::windowName(w).startsWith(name)) {
                        m_window = w;
                        return true;
                    }
                }
                return false;
            },
            120000);
    }
    void selectAll()
    {
        Desktop::run(QStringLiteral("xdotool"),
                     {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                      QString::number(m_window), QStringLiteral("key"),
                      QStringLiteral("--clearmodifiers"), QStringLiteral("ctrl+a")});
    }

private:
    QTemporaryDir m_profile;
    QProcess m_process;
    qulonglong m_window = 0;
};

} // namespace

class tst_CaptureDesktop : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void terminalKeepsRunning_data();
    void terminalKeepsRunning();
    void heldModifiers_data();
    void heldModifiers();
    void clipboardGivenBack_data();
    void clipboardGivenBack();
    void oversizedFormatLeftOut();
    void captureArrivesEarly_data();
    void captureArrivesEarly();

private:
    void editThisNow() { TrayForm->Edit->trigger(); }

    std::unique_ptr<TestFolder> m_folder;
};

void tst_CaptureDesktop::init()
{
    m_folder = std::make_unique<TestFolder>();
    platform::setProgramFolderForTesting(m_folder->path());
    WaitTime = 1000;
    PromptTitle.clear();
    TrimLeadingBlanks = false;
    TitleAccepted = false;
    CaptureStatus.clear();
    QCOMPARE(createForms(), -1);
}

void tst_CaptureDesktop::cleanup()
{
    destroyForms();
    platform::setProgramFolderForTesting({});
    m_folder.reset();
}

void tst_CaptureDesktop::terminalKeepsRunning_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("windowClass");
    // xterm has no copy key: its highlighted text is taken. The VTE
    // terminal copies with Ctrl+Shift+C.
    QTest::newRow("xterm") << QStringLiteral("xterm")
                           << QStringList{QStringLiteral("-geometry"), QStringLiteral("60x4+0+0"),
                                          QStringLiteral("-e")}
                           << QStringLiteral("XTerm");
    QTest::newRow("xfce4-terminal")
        << QStringLiteral("xfce4-terminal")
        << QStringList{QStringLiteral("--disable-server"),    QStringLiteral("--hide-menubar"),
                       QStringLiteral("--hide-toolbar"),      QStringLiteral("--hide-scrollbar"),
                       QStringLiteral("--geometry=60x4+0+0"), QStringLiteral("-x")}
        << QStringLiteral("Xfce4-terminal");
}

void tst_CaptureDesktop::terminalKeepsRunning()
{
    QFETCH(QString, program);
    QFETCH(QStringList, options);
    QFETCH(QString, windowClass);
    if (QStandardPaths::findExecutable(program).isEmpty())
        QSKIP("the terminal is not installed");
    Terminal terminal(program, options);
    QVERIFY2(terminal.waitForSleep(windowClass), "the terminal did not start sleep");
    // The setting: the word is highlighted.
    QGuiApplication::clipboard()->clear(QClipboard::Selection);
    QVERIFY(QTest::qWaitFor(
        [&] {
            terminal.highlightWord();
            return Desktop::run(QStringLiteral("xclip"),
                                {QStringLiteral("-o"), QStringLiteral("-selection"),
                                 QStringLiteral("primary")}) == Word;
        },
        20000));

    Answerer nothingCopied(QStringLiteral("CaptureErrorBox"),
                           [](QWidget *w) { static_cast<QMessageBox *>(w)->accept(); });
    editThisNow();
    QCOMPARE(memoText(), Word);
    QCOMPARE(CaptureStatus, QString());
    QVERIFY(Editor->isVisible());
    QVERIFY2(terminal.sleepRunning(), "the terminal's program was interrupted");
}

void tst_CaptureDesktop::heldModifiers_data()
{
    QTest::addColumn<bool>("releasedInTime");
    QTest::newRow("released while the capture waits") << true;
    QTest::newRow("still held after 2 s") << false;
}

void tst_CaptureDesktop::heldModifiers()
{
    QFETCH(bool, releasedInTime);
    const QString text = QStringLiteral("Held keys, kept text\n");
    Mousepad mousepad(text.toUtf8());
    QVERIFY2(mousepad.waitForWindow(), "mousepad did not show its window");
    mousepad.selectAll();
    QCOMPARE(keysDown(), QList<int>());
    // The hotkey's Ctrl+Alt, still down as the capture starts.
    xdotoolKeys(QStringLiteral("keydown"));
    const QList<int> held = keysDown();
    QCOMPARE(held.size(), 2);
    constexpr int releaseAfterMs = 500;
    if (releasedInTime)
        QTimer::singleShot(releaseAfterMs, [] { xdotoolKeys(QStringLiteral("keyup")); });
    QElapsedTimer clock;
    clock.start();
    editThisNow();
    const qint64 took = clock.elapsed();

    // mousepad copied: it got Ctrl+C, not Ctrl+Alt+C.
    QCOMPARE(memoText(), text);
    QCOMPARE(CaptureStatus, QString());
    if (releasedInTime) {
        // The keystroke waited for the keys to come up, and none is down now.
        QVERIFY2(took >= releaseAfterMs, qPrintable(QString::number(took)));
        QCOMPARE(keysDown(), QList<int>());
    } else {
        // Sent after 2 s with the keys let go around it, then put back.
        QVERIFY2(took >= 2000, qPrintable(QString::number(took)));
        QCOMPARE(keysDown(), held);
        xdotoolKeys(QStringLiteral("keyup"));
        QCOMPARE(keysDown(), QList<int>());
    }
}

void tst_CaptureDesktop::clipboardGivenBack_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("selected");
    const QByteArray text = QStringLiteral("Before the capture: Grüße, 東京\n").toUtf8();
    const QByteArray html = "<p>Copied <b>before</b> the capture</p>";
    const QByteArray png = pngPicture();
    for (const bool selected : {true, false}) {
        const char *how = selected ? "after a capture" : "after a failed capture";
        QTest::addRow("text %s", how) << QStringLiteral("UTF8_STRING") << text << selected;
        QTest::addRow("HTML %s", how) << QStringLiteral("text/html") << html << selected;
        QTest::addRow("PNG image %s", how) << QStringLiteral("image/png") << png << selected;
    }
}

void tst_CaptureDesktop::clipboardGivenBack()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, content);
    QFETCH(bool, selected);
    QVERIFY2(putOnClipboard(target, content), "xclip did not take the clipboard");
    SelectionSource source({QStringLiteral("--title"), QStringLiteral("Fresh"),
                            QStringLiteral("--text"), QStringLiteral("fresh words"),
                            selected ? QStringLiteral("--geometry=100,100,400,200")
                                     : QStringLiteral("--no-selection")});
    QVERIFY(source.waitForWindow());
    Answerer nothingCopied(QStringLiteral("CaptureErrorBox"),
                           [](QWidget *w) { static_cast<QMessageBox *>(w)->accept(); });
    editThisNow();
    QCOMPARE(memoText(),
             selected ? QStringLiteral("fresh words") : QStringLiteral("No text could be copied."));
    QCOMPARE(nothingCopied.answered(), !selected);
    QCOMPARE(clipboardAs(target), content);
}

void tst_CaptureDesktop::oversizedFormatLeftOut()
{
    // One byte over the limit: not kept, and the capture goes on as usual.
    const QByteArray big(platform::SavedFormatLimit + 1, 'x');
    QVERIFY2(putOnClipboard(QStringLiteral("application/x-big"), big),
             "xclip did not take the clipboard");
    SelectionSource source({QStringLiteral("--title"), QStringLiteral("Fresh"),
                            QStringLiteral("--text"), QStringLiteral("fresh words")});
    QVERIFY(source.waitForWindow());
    editThisNow();
    QCOMPARE(memoText(), QStringLiteral("fresh words"));
    QCOMPARE(clipboardAs(QStringLiteral("application/x-big")), QByteArray());
}

void tst_CaptureDesktop::captureArrivesEarly_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("mousepad") << QStringLiteral("mousepad");
    QTest::newRow("LibreOffice Writer") << QStringLiteral("writer");
}

void tst_CaptureDesktop::captureArrivesEarly()
{
    QFETCH(QString, program);
    std::unique_ptr<Mousepad> mousepad;
    std::unique_ptr<Writer> writer;
    QTemporaryDir dir;
    if (program == QLatin1String("mousepad")) {
        mousepad = std::make_unique<Mousepad>("Plain bold and slanted words");
        QVERIFY2(mousepad->waitForWindow(), "mousepad did not show its window");
    } else {
        // The distribution's headless build has no display plug-in.
        if (QDir(QStringLiteral("/usr/lib/libreoffice/program"))
                .entryList({QStringLiteral("libvclplug_*")})
                .isEmpty())
            QSKIP("LibreOffice is installed without its windows (headless build)");
        const QString file = dir.filePath(QStringLiteral("early.rtf"));
        QFile rtf(file);
        QVERIFY(rtf.open(QIODevice::WriteOnly));
        rtf.write("{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs24 Plain {\\b bold} and "
                  "{\\i slanted} words\\par}");
        rtf.close();
        writer = std::make_unique<Writer>(file);
        QVERIFY2(writer->waitForDocument(QStringLiteral("early")),
                 "Writer did not show the document");
    }

    // A capture ends on the copy, not on the wait time: with a wait time
    // far beyond any answer, it still comes back early.
    WaitTime = 20000;
    QElapsedTimer clock;
    QVERIFY(QTest::qWaitFor(
        [&] {
            Answerer nothingCopied(QStringLiteral("CaptureErrorBox"),
                                   [](QWidget *w) { static_cast<QMessageBox *>(w)->accept(); });
            if (mousepad)
                mousepad->selectAll();
            else
                writer->selectAll();
            clock.start();
            editThisNow();
            return memoText().contains(QLatin1String("Plain bold and slanted words"));
        },
        120000));
    QVERIFY2(clock.elapsed() < WaitTime / 2, qPrintable(QString::number(clock.elapsed())));
    if (writer) {
        QVERIFY(formatOfWord(Editor->memo->document(), QStringLiteral("bold")).fontWeight() >=
                QFont::Bold);
        QVERIFY(formatOfWord(Editor->memo->document(), QStringLiteral("slanted")).fontItalic());
    }
}

int main(int argc, char **argv)
{
    QuilletApplication app(argc, argv);
    tst_CaptureDesktop test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_CaptureDesktop.moc"
