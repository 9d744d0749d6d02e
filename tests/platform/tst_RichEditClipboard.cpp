#include "SelectText.h"
#include "platform/RichEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTextCursor>
#include <QTimer>

using platform::RichEdit;

namespace {

// Runs a program while this one keeps serving its own clipboard; returns its output.
QByteArray runServing(const QString &program, const QStringList &args)
{
    QProcess process;
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(program, args);
    if (!finished.wait(20000))
        return {};
    return process.readAllStandardOutput();
}

// Puts the formats given (the non-empty ones) on the clipboard.
void offer(const QByteArray &rtf, const QByteArray &html, const QString &plain)
{
    auto *mime = new QMimeData;
    if (!rtf.isEmpty())
        mime->setData(QStringLiteral("text/rtf"), rtf);
    if (!html.isEmpty())
        mime->setData(QStringLiteral("text/html"), html);
    mime->setText(plain);
    QApplication::clipboard()->setMimeData(mime);
}

// Reads and closes whatever message box a paste shows, while it lives.
class MessageCloser {
public:
    MessageCloser()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                m_messages << box->text();
                box->accept();
            }
        });
        m_timer.start(20);
    }
    QStringList messages() const { return m_messages; }

private:
    QTimer m_timer;
    QStringList m_messages;
};

} // namespace

class tst_RichEditClipboard : public QObject {
    Q_OBJECT
private slots:
    void pasteTakesRichestFormat_data();
    void pasteTakesRichestFormat();
    void copyOffersAllFormats();
    void copyAndPasteBetweenControls();
    void hostilePastes_data();
    void hostilePastes();
    void largePasteLaysOutAfterwards_data();
    void largePasteLaysOutAfterwards();
};

void tst_RichEditClipboard::pasteTakesRichestFormat_data()
{
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");

    const QStringList rtf{"--rtf", "{\\rtf1 {\\b from rtf}}"};
    const QStringList html{"--html", "<i>from html</i>"};
    const QStringList text{"--text", "from text"};
    QTest::newRow("rtf, html and text") << rtf + html + text << "from rtf" << true << false;
    QTest::newRow("html and text") << html + text << "from html" << false << true;
    QTest::newRow("text only") << text << "from text" << false << false;
    QTest::newRow("broken rtf falls back")
        << QStringList{"--rtf", "not rtf at all"} + html << "from html" << false << true;
}

void tst_RichEditClipboard::pasteTakesRichestFormat()
{
    QFETCH(QStringList, offered);
    QFETCH(QString, text);
    QFETCH(bool, bold);
    QFETCH(bool, italic);

    QProcess owner;
    owner.start(QStringLiteral(CLIPBOARD_OWNER), offered);
    QVERIFY(owner.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(owner.canReadLine(), 20000);
    QCOMPARE(owner.readLine().trimmed(), QByteArray("ready"));
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::clipboard()->ownsClipboard(), 5000);

    RichEdit edit;
    edit.show();
    // Plain text takes the format of the insertion point.
    platform::CharAttributes font = edit.selAttributes();
    font.face = QStringLiteral("DejaVu Sans Mono");
    edit.setSelAttributes(font);
    edit.paste();
    QCOMPARE(edit.paragraph(0), text);
    select(edit, 1, 2);
    QCOMPARE(edit.selAttributes().bold, bold);
    QCOMPARE(edit.selAttributes().italic, italic);
    if (offered.size() == 2 && offered[0] == QLatin1String("--text"))
        QCOMPARE(edit.selAttributes().face, QStringLiteral("DejaVu Sans Mono"));

    owner.kill();
    owner.waitForFinished();
}

void tst_RichEditClipboard::copyOffersAllFormats()
{
    const QString xclip = QStandardPaths::findExecutable(QStringLiteral("xclip"));
    QVERIFY2(!xclip.isEmpty(), "xclip is needed (scripts/deps.sh test)");
    RichEdit edit;
    edit.show();
    edit.loadFromStream("{\\rtf1 plain {\\b bold} caf\\'e9}");
    select(edit, 0, edit.textLength());
    edit.copy();
    QVERIFY(QApplication::clipboard()->ownsClipboard());

    const QByteArray targets =
        runServing(xclip, {"-selection", "clipboard", "-o", "-t", "TARGETS"});
    QVERIFY2(targets.contains("text/rtf"), targets.constData());
    QVERIFY(targets.contains("application/rtf"));
    QVERIFY(targets.contains("text/html"));
    QVERIFY(targets.contains("UTF8_STRING"));

    const QByteArray rtf = runServing(xclip, {"-selection", "clipboard", "-o", "-t", "text/rtf"});
    QVERIFY2(rtf.startsWith("{\\rtf1"), rtf.constData());
    QVERIFY(rtf.contains("\\b bold"));
    QVERIFY(rtf.contains("caf\\'e9"));
    const QByteArray html = runServing(xclip, {"-selection", "clipboard", "-o", "-t", "text/html"});
    QVERIFY2(html.contains("font-weight"), html.constData());
    const QByteArray text =
        runServing(xclip, {"-selection", "clipboard", "-o", "-t", "UTF8_STRING"});
    QCOMPARE(QString::fromUtf8(text), QStringLiteral("plain bold café"));
}

void tst_RichEditClipboard::copyAndPasteBetweenControls()
{
    RichEdit from;
    from.loadFromStream("{\\rtf1{\\colortbl;\\red0\\green0\\blue255;}\\qc {\\cf1\\ul blue}\\par "
                        "next}");
    select(from, 0, from.textLength());
    from.copy();
    RichEdit to;
    to.paste();
    QCOMPARE(to.paragraphCount(), 2);
    select(to, 0, 2);
    QVERIFY(to.selAttributes().underline);
    QCOMPARE(to.selAttributes().color, QColor(0, 0, 255));
    QCOMPARE(to.paraAlignment(), platform::ParaAlignment::Center);
}

void tst_RichEditClipboard::hostilePastes_data()
{
    // Generated here, each offered with its plain text as browsers and word
    // processors do. `text` is what the control holds afterwards; `notice`
    // whether the message says the paste went in as plain text.
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("notice");
    const int emptyLines = 400000;
    QTest::newRow("RTF, 400,000 empty paragraphs")
        << "{\\rtf1 " + QByteArray("\\par\n").repeated(emptyLines) + "}" << QByteArray()
        << QString(emptyLines, u'\n') << QString(emptyLines, u'\n') << true;
    const QString shortLines = QString("ab\n").repeated(200000);
    QTest::newRow("RTF, 200,000 short paragraphs")
        << "{\\rtf1 " + QByteArray("ab\\par\n").repeated(200000) + "}" << QByteArray() << shortLines
        << shortLines << true;
    QTest::newRow("RTF nested 100,000 groups deep")
        << "{\\rtf1 " + QByteArray(100000, '{') + "deep" + QByteArray(100000, '}') + "}"
        << QByteArray() << "deep"
        << "deep" << true;
    QTest::newRow("HTML, 1,000,000 nested div")
        << QByteArray()
        << QByteArray("<div>").repeated(1000000) + "deep" + QByteArray("</div>").repeated(1000000)
        << "deep"
        << "deep" << true;
    QTest::newRow("HTML, 100,000 nested b, flattened")
        << QByteArray()
        << QByteArray("<b>").repeated(100000) + "deep" + QByteArray("</b>").repeated(100000)
        << "plain"
        << "deep" << false;
    const QString words = QString("Some words of a paragraph\n").repeated(60000);
    QTest::newRow("HTML, 60,000 paragraphs")
        << QByteArray() << QByteArray("<p>Some <b>words</b> of a paragraph</p>\n").repeated(60000)
        << words << words << true;
    const QString text = QString(QString(99, u'x') + u'\n').repeated(20000);
    QTest::newRow("2 MB of plain text") << QByteArray() << QByteArray() << text << text << false;
}

void tst_RichEditClipboard::hostilePastes()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QByteArray, html);
    QFETCH(QString, plain);
    QFETCH(QString, text);
    QFETCH(bool, notice);
    offer(rtf, html, plain);

    // Whatever message the paste shows is read and closed.
    const MessageCloser closer;
    RichEdit edit;
    edit.show();
    QElapsedTimer timer;
    timer.start();
    edit.paste();
    const qint64 elapsed = timer.elapsed();
    QCOMPARE(edit.toPlainText(), text);
    QCOMPARE(closer.messages(),
             notice ? QStringList{RichEdit::tooLargeToPasteMessage()} : QStringList());
    // Generous for a loaded machine and a debug build, and far below the
    // minutes a cost growing faster than the paste would take.
    QVERIFY2(elapsed < 60000, QByteArray::number(elapsed).constData());
}

void tst_RichEditClipboard::largePasteLaysOutAfterwards_data()
{
    // A large paste goes in without laying the text out; the layout follows
    // between events. `typed` is typed right after the paste; `pointSize`
    // the control's font; `messages` what the paste says.
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<QStringList>("messages");
    const QString lines = QString("Some words on a line\n").repeated(50000);
    QTest::newRow("plain text, 1 MB") << QByteArray() << lines << "" << 9 << QStringList();
    QTest::newRow("plain text, 1 MB, a key typed at once")
        << QByteArray() << lines << "z" << 9 << QStringList();
    // The last paragraph mark ends the last paragraph.
    const QString paragraphs = QString("Some words\n").repeated(30000).chopped(1);
    QTest::newRow("RTF, 30,000 paragraphs")
        << "{\\rtf1 " + QByteArray("Some words\\par\n").repeated(30000) + "}" << paragraphs << ""
        << 9 << QStringList();
    QTest::newRow("RTF beyond the paragraph limit, a key typed at once")
        << "{\\rtf1 " + QByteArray("ab\\par\n").repeated(60000) + "}"
        << QString("ab\n").repeated(60000) << "z" << 9
        << QStringList{RichEdit::tooLargeToPasteMessage()};
    // Taller than the layout can measure (2^25 pixels) at 72 points: the
    // layout of such a document never ends.
    QTest::newRow("400,000 empty lines at 72 points")
        << QByteArray() << QString(400000, u'\n') << "" << 72
        << QStringList{RichEdit::tooLongToPasteMessage()};
    // Formatted content too large whose plain text is too tall as well: only
    // the refusal is said, not that it is pasted as plain text.
    QTest::newRow("RTF of 400,000 empty paragraphs at 72 points")
        << "{\\rtf1 " + QByteArray("\\par\n").repeated(400000) + "}" << QString(400000, u'\n') << ""
        << 72 << QStringList{RichEdit::tooLongToPasteMessage()};
}

void tst_RichEditClipboard::largePasteLaysOutAfterwards()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, plain);
    QFETCH(QString, typed);
    QFETCH(int, pointSize);
    QFETCH(QStringList, messages);
    offer(rtf, QByteArray(), plain);

    const MessageCloser closer;
    RichEdit edit;
    QFont font = edit.document()->defaultFont();
    font.setPointSize(pointSize);
    edit.document()->setDefaultFont(font);
    edit.resize(400, 300);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.paste();
    if (!typed.isEmpty())
        QTest::keyClicks(&edit, typed);
    QCOMPARE(closer.messages(), messages);
    if (messages.contains(RichEdit::tooLongToPasteMessage())) {
        QCOMPARE(edit.toPlainText(), QString());
        return;
    }
    QCOMPARE(edit.toPlainText(), plain + typed);
    const QTextCursor cursor = edit.textCursor();
    QVERIFY(!cursor.hasSelection());
    QCOMPARE(cursor.position(), edit.document()->characterCount() - 1);
    // The view follows the insertion point once the layout has reached it.
    QTRY_VERIFY_WITH_TIMEOUT(edit.viewport()->rect().contains(edit.cursorRect().center()), 60000);
    // The paste is one step to undo.
    edit.undo();
    if (typed.isEmpty())
        QCOMPARE(edit.toPlainText(), QString());
}

QTEST_MAIN(tst_RichEditClipboard)
#include "tst_RichEditClipboard.moc"
