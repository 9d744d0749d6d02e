#include "SelectText.h"
#include "platform/RichEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTextCursor>

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

} // namespace

class tst_RichEditClipboard : public QObject {
    Q_OBJECT
private slots:
    void pasteTakesRichestFormat_data();
    void pasteTakesRichestFormat();
    void copyOffersAllFormats();
    void copyAndPasteBetweenControls();
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

QTEST_MAIN(tst_RichEditClipboard)
#include "tst_RichEditClipboard.moc"
