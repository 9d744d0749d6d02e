// "&Edit this now!" on a page shown by a real Firefox ESR window on the test
// session's X server: the captured HTML keeps the page's look in the editor's
// default font, and the print and the RTF a save writes agree with it. One
// browser start for the whole test: it is slow under a virtual X server.
#include "app/Startup.h"
#include "app/TrayT1.h"
#include "editor/edits.h"
#include "platform/ProgramFolder.h"
#include "platform/RichEdit.h"
#include "platform/UserStore.h"
#include "platform/qt/QtPrinter.h"
#include "richprint/RichPrint.h"
#include "tests/support/Answerer.h"
#include "tests/support/Firefox.h"
#include "tests/support/PdfText.h"
#include "tests/support/TestFolder.h"
#include "tests/support/WordFormat.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

#include <memory>

namespace {

const QString kTitle = QStringLiteral("Browser capture");

QTextCharFormat formatOf(const QString &word)
{
    return formatOfWord(Editor->memo->document(), word);
}

QRectF printedBox(const QList<PdfText::Word> &words, const QString &text)
{
    for (const PdfText::Word &w : words) {
        if (w.text == text)
            return w.box;
    }
    return {};
}

} // namespace

class tst_BrowserCapture : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void pageKeepsItsLook();

private:
    std::unique_ptr<TestFolder> m_folder;
};

void tst_BrowserCapture::init()
{
    m_folder = std::make_unique<TestFolder>();
    platform::setProgramFolderForTesting(m_folder->path());
    // The browser can be slow to answer for the clipboard on a loaded machine.
    WaitTime = 5000;
    PromptTitle.clear();
    TrimLeadingBlanks = true;
    // The title lines come first, then the page.
    SelectionTitle = QStringLiteral("Page notes");
    TitleAccepted = true;
    CaptureStatus = QStringLiteral("no");
    QCOMPARE(createForms(), -1);
}

void tst_BrowserCapture::cleanup()
{
    destroyForms();
    platform::setProgramFolderForTesting({});
    m_folder.reset();
}

void tst_BrowserCapture::pageKeepsItsLook()
{
    if (QStandardPaths::findExecutable(QStringLiteral("firefox-esr")).isEmpty())
        QSKIP("firefox-esr is not installed");
    Firefox firefox(QStringLiteral(BROWSER_PAGE));
    QVERIFY2(firefox.waitForPage(kTitle), "Firefox did not show the page");

    // Firefox may still be settling its window when the first keys arrive:
    // a capture that finds nothing copied is answered and tried again.
    int tries = 0;
    QElapsedTimer clock;
    QVERIFY(QTest::qWaitFor(
        [&] {
            ++tries;
            Answerer nothingCopied(QStringLiteral("CaptureErrorBox"),
                                   [](QWidget *w) { static_cast<QMessageBox *>(w)->accept(); });
            firefox.selectAll();
            clock.start();
            TrayForm->Edit->trigger();
            return Editor->memo->toPlainText().contains(QLatin1String("Styled span"));
        },
        150000));
    qInfo("captured after %d tries", tries);
    // The capture ended when the copy had arrived, not after the wait time.
    QVERIFY2(clock.elapsed() < WaitTime, qPrintable(QString::number(clock.elapsed())));

    // The editor's default font, Times New Roman 12, for everything the page
    // left open, its multiples for the headings.
    const QString face = QStringLiteral("Times New Roman");
    const QString text = Editor->memo->toPlainText();
    QVERIFY2(text.startsWith(QLatin1String("Page notes\n\nHeading one\n")), qPrintable(text));

    const struct {
        const char *word;
        int points;
        bool bold;
    } expected[] = {{"Heading one", 24, true},   {"Heading two", 18, true},
                    {"Heading three", 14, true}, {"Body with", 12, false},
                    {"First bullet", 12, false}, {"Zürich", 12, false}};
    for (const auto &e : expected) {
        const QTextCharFormat f = formatOf(QString::fromUtf8(e.word));
        QVERIFY2(f.isValid(), e.word);
        QCOMPARE(f.fontFamilies().toStringList().value(0), face);
        QCOMPARE(f.fontPointSize(), double(e.points));
        QCOMPARE(f.fontWeight() >= QFont::Bold, e.bold);
    }
    const QTextCharFormat span = formatOf(QStringLiteral("Styled span"));
    QCOMPARE(span.fontFamilies().toStringList().value(0), QStringLiteral("Liberation Mono"));
    QCOMPARE(span.fontPointSize(), 14.0);
    QVERIFY(text.contains(QLatin1String("Name\tCount\nApples\t3")));

    // The size box shows the heading's size with the caret in it.
    QTextCursor caret(Editor->memo->document());
    caret.setPosition(Editor->memo->document()->find(QStringLiteral("Heading one")).position());
    Editor->memo->setTextCursor(caret);
    QCOMPARE(Editor->memo->selAttributes().size, 24);

    // What a save writes: the heading at 24 points, the body at 12.
    const QByteArray rtf = Editor->memo->toRtf();
    const auto sizeBefore = [&rtf](const QByteArray &words) {
        const qsizetype at = rtf.indexOf(words);
        const qsizetype fs = rtf.lastIndexOf("\\fs", at);
        if (at < 0 || fs < 0)
            return QByteArray();
        qsizetype end = fs + 3;
        while (end < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[end])))
            ++end;
        return rtf.mid(fs, end - fs);
    };
    QCOMPARE(sizeBefore("Heading one"), QByteArray("\\fs48"));
    QCOMPARE(sizeBefore("Body with"), QByteArray("\\fs24"));

    // The printed page: the heading's words stand twice as high as the body's.
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("capture.pdf"));
    platform::QtPrinter printer(pdf, QPageSize(QPageSize::Letter), QMarginsF(6, 6, 6, 6));
    platform::UserStore store(dir.filePath(QStringLiteral("user.reg")));
    TRichPrinter engine(printer, store);
    engine.setShowProgress(false);
    engine.PrintRichEdit(Editor->memo, 1);
    const QList<PdfText::Word> words = PdfText::words(pdf);
    const QRectF heading = printedBox(words, QStringLiteral("Heading"));
    const QRectF body = printedBox(words, QStringLiteral("Body"));
    QVERIFY2(!heading.isNull() && !body.isNull(), "heading or body not printed");
    const double ratio = heading.height() / body.height();
    QVERIFY2(ratio > 1.8 && ratio < 2.2, qPrintable(QString::number(ratio)));
}

QTEST_MAIN(tst_BrowserCapture)
#include "tst_BrowserCapture.moc"
