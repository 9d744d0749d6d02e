// Pastes into the rich-text control, one shape a run, as the editor's paste
// does (through the clipboard), with the time and the peak memory of the run.
//   bench_paste rtf-text|rtf-empty|html-text|html-nested|text|store [megabytes=20]
// "store" loads a generated user store of that many megabytes instead.
// QUILLET_BENCH_SAVE=<file> also writes the RTF or HTML offered to that file.
// A paste prints when paste() returned, when the control had painted what is
// in view, when the layout reached the insertion point (the view follows it
// then) and the longest the event loop was held meanwhile, and whether the
// control holds the whole text. QUILLET_BENCH_AFTER=type instead types a key
// right after paste() returns and prints when it was taken.
#include "platform/RichEdit.h"
#include "platform/UserStore.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Paragraphs of ordinary formatted text, as a word processor offers them.
void ordinary(qsizetype bytes, QByteArray &rtf, QByteArray &html, QString &text)
{
    const QByteArray rtfPara = "{\\f0\\fs24 The quick brown fox jumps over }{\\f0\\fs24\\b the "
                               "lazy dog}{\\f0\\fs24  and runs on through the field.}\\par\n";
    const QByteArray htmlPara = "<p>The quick brown fox jumps over <b>the lazy dog</b> and runs on "
                                "through the field.</p>\n";
    const QString line = QStringLiteral("The quick brown fox jumps over the lazy dog and runs on "
                                        "through the field.\n");
    rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\n" +
          rtfPara.repeated(bytes / rtfPara.size()) + "}";
    html = htmlPara.repeated(bytes / htmlPara.size());
    text = line.repeated(bytes / line.size());
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString shape = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("rtf-text");
    const qsizetype bytes = qsizetype(argc > 2 ? std::atof(argv[2]) : 20) * 1024 * 1024;

    if (shape == QLatin1String("store")) {
        // Margins beside many keys and values, as a store that grew by hand.
        QTemporaryDir dir;
        QByteArray store = "Windows Registry Editor Version 5.00\n\n";
        for (int k = 0; store.size() < bytes; ++k) {
            store += "[HKEY_CURRENT_USER\\Software\\Key" + QByteArray::number(k) + "]\n";
            for (int v = 0; v < 20; ++v)
                store += "\"Value" + QByteArray::number(v) + "\"=hex:00,00,00,00,00,00,f0,3f\n";
        }
        QFile file(dir.filePath(QStringLiteral("user.reg")));
        if (!file.open(QIODevice::WriteOnly) || file.write(store) != store.size())
            return 1;
        file.close();
        const platform::UserStore userStore(file.fileName());
        QElapsedTimer t;
        t.start();
        const platform::StoreSnapshot snapshot = userStore.read();
        const double ms = t.nsecsElapsed() / 1e6;
        std::printf("store %.2f MB: load %.1f ms, peak %.0f MB (%s)\n", store.size() / 1048576.0,
                    ms, peakMegabytes(),
                    snapshot.keyExists(QStringLiteral("Software")) ? "ok" : "?");
        return 0;
    }

    QByteArray rtf;
    QByteArray html;
    QString text;
    if (shape == QLatin1String("rtf-empty")) {
        rtf = "{\\rtf1 " + QByteArray("\\par\n").repeated(bytes / 5) + "}";
        text = QString(bytes / 5, u'\n');
    } else if (shape == QLatin1String("html-nested")) {
        const qsizetype levels = bytes / 11;
        html =
            QByteArray("<div>").repeated(levels) + "deep" + QByteArray("</div>").repeated(levels);
        text = QStringLiteral("deep");
    } else {
        ordinary(bytes, rtf, html, text);
        if (shape == QLatin1String("html-text"))
            rtf.clear();
        else if (shape == QLatin1String("text"))
            rtf.clear(), html.clear();
        else
            html.clear();
    }
    auto *mime = new QMimeData;
    if (!rtf.isEmpty())
        mime->setData(QStringLiteral("text/rtf"), rtf);
    if (!html.isEmpty())
        mime->setData(QStringLiteral("text/html"), html);
    mime->setText(text);
    const qsizetype offered = std::max({rtf.size(), html.size(), text.size()});
    // QUILLET_BENCH_SAVE=<file> keeps the formatted offer, for the peer to convert.
    if (!qEnvironmentVariableIsEmpty("QUILLET_BENCH_SAVE")) {
        QFile out(qEnvironmentVariable("QUILLET_BENCH_SAVE"));
        if (out.open(QIODevice::WriteOnly))
            out.write(rtf.isEmpty() ? html : rtf);
    }
    QApplication::clipboard()->setMimeData(mime);

    QString message;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            message += (message.isEmpty() ? "" : " / ") + box->text();
            box->accept();
        }
    });
    closer.start(10);
    platform::RichEdit edit;
    edit.resize(620, 340);
    edit.show();
    // Focused, as when the user pastes with Ctrl+V: the insertion point blinks.
    edit.activateWindow();
    edit.setFocus();
    QElapsedTimer focusWait;
    focusWait.start();
    while (!edit.hasFocus() && focusWait.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (!edit.hasFocus())
        std::fprintf(stderr, "the control has no focus\n");
    const double before = peakMegabytes();
    QElapsedTimer t;
    t.start();
    edit.paste();
    const double pasteMs = t.nsecsElapsed() / 1e6;
    const auto cursorLaidOut = [&] {
        const QTextBlock block = edit.textCursor().block();
        return block.layout() && block.layout()->lineCount() > 0;
    };
    // "type": a key typed at the insertion point right after the paste.
    if (qEnvironmentVariable("QUILLET_BENCH_AFTER") == QLatin1String("type")) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, QStringLiteral("Z"));
        QApplication::sendEvent(edit.viewport(), &press);
        const double keyMs = t.nsecsElapsed() / 1e6;
        const QTextCursor cursor = edit.textCursor();
        QTextCursor typed(cursor);
        typed.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor);
        std::printf("%s %.1f MB: paste %.0f ms, key typed and shown at the cursor %.0f ms after "
                    "the paste began (%s), peak %.0f MB\n",
                    qPrintable(shape), offered / 1048576.0, pasteMs, keyMs,
                    typed.selectedText() == QLatin1String("Z") ? "landed" : "LOST",
                    peakMegabytes());
        return 0;
    }
    // Then the control paints what is in view, and the event loop runs until
    // the layout has reached the insertion point, with the longest time the
    // loop was kept from answering.
    edit.viewport()->repaint();
    const double paintMs = t.nsecsElapsed() / 1e6;
    double longestGapMs = 0;
    qint64 last = t.nsecsElapsed();
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = t.nsecsElapsed();
        longestGapMs = std::max(longestGapMs, (now - last) / 1e6);
        last = now;
    });
    ticker.start(0);
    while (!cursorLaidOut())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double laidOutMs = t.nsecsElapsed() / 1e6;
    ticker.stop();
    const bool complete = edit.toPlainText() == text;
    std::printf("%s %.1f MB: paste %.0f ms, painted %.0f ms, laid out to the cursor %.0f ms "
                "(event loop held at most %.0f ms), peak %.0f MB (%.0f MB before), %d "
                "paragraphs%s, text %s\n",
                qPrintable(shape), offered / 1048576.0, pasteMs, paintMs, laidOutMs, longestGapMs,
                peakMegabytes(), before, edit.document()->blockCount(),
                message.isEmpty() ? "" : qPrintable(", message: " + message),
                complete ? "complete" : "DIFFERS");
    return 0;
}
