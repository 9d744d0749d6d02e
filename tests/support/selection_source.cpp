// A stand-in for the user's program: a window that shows a known text
// selected and answers Ctrl+C by putting it on the clipboard, as plain text
// and, when asked for, also as HTML and RTF.
//
//   selection_source --title T [--text S] [--html H] [--rtf R] [--no-selection]
//                    [--minimized] [--dock] [--dialog TITLE] [--geometry X,Y,W,H]
//
// Prints the window id of its main window (decimal) on standard output once
// the window is shown, one line "key press|release QT_KEY" for every key
// event it gets, and one line "copied" after each copy.

#include <QApplication>
#include <QClipboard>
#include <QCommandLineParser>
#include <QDialog>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QWidget>

#include <cstdio>

namespace {

class SourceWindow : public QWidget {
public:
    SourceWindow(const QString &text, const QString &html, const QByteArray &rtf, bool selected)
        : m_text(text), m_html(html), m_rtf(rtf), m_selected(selected)
    {
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().base());
        const QRect area = rect().adjusted(8, 8, -8, -8);
        const QRect used = p.boundingRect(area, Qt::AlignLeft | Qt::AlignTop, m_text);
        if (m_selected)
            p.fillRect(used, palette().highlight());
        p.setPen(m_selected ? palette().highlightedText().color() : palette().text().color());
        p.drawText(area, Qt::AlignLeft | Qt::AlignTop, m_text);
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        report("press", event);
        if (event->matches(QKeySequence::Copy)) {
            if (m_selected) {
                auto *mime = new QMimeData;
                mime->setText(m_text);
                if (!m_html.isEmpty())
                    mime->setHtml(m_html);
                if (!m_rtf.isEmpty())
                    mime->setData(QStringLiteral("text/rtf"), m_rtf);
                QGuiApplication::clipboard()->setMimeData(mime, QClipboard::Clipboard);
                std::printf("copied\n");
                std::fflush(stdout);
            }
            return;
        }
        QWidget::keyPressEvent(event);
    }

    void keyReleaseEvent(QKeyEvent *event) override
    {
        report("release", event);
        QWidget::keyReleaseEvent(event);
    }

private:
    static void report(const char *what, const QKeyEvent *event)
    {
        if (event->isAutoRepeat())
            return;
        std::printf("key %s %d\n", what, event->key());
        std::fflush(stdout);
    }

    QString m_text;
    QString m_html;
    QByteArray m_rtf;
    bool m_selected;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption title(QStringLiteral("title"), QStringLiteral("Window title."),
                                   QStringLiteral("title"), QStringLiteral("Selection Source"));
    const QCommandLineOption text(QStringLiteral("text"), QStringLiteral("Selected text."),
                                  QStringLiteral("text"), QStringLiteral("Selected text"));
    const QCommandLineOption html(QStringLiteral("html"), QStringLiteral("Also offer HTML."),
                                  QStringLiteral("html"));
    const QCommandLineOption rtf(QStringLiteral("rtf"), QStringLiteral("Also offer RTF."),
                                 QStringLiteral("rtf"));
    const QCommandLineOption noSelection(QStringLiteral("no-selection"),
                                         QStringLiteral("Nothing is selected."));
    const QCommandLineOption minimized(QStringLiteral("minimized"),
                                       QStringLiteral("Start minimised."));
    const QCommandLineOption dock(QStringLiteral("dock"), QStringLiteral("Be a dock window."));
    const QCommandLineOption dialog(QStringLiteral("dialog"),
                                    QStringLiteral("Also show a dialog owned by the window."),
                                    QStringLiteral("title"));
    const QCommandLineOption geometry(QStringLiteral("geometry"), QStringLiteral("X,Y,W,H."),
                                      QStringLiteral("geometry"),
                                      QStringLiteral("100,100,400,200"));
    parser.addOptions({title, text, html, rtf, noSelection, minimized, dock, dialog, geometry});
    parser.process(app);

    SourceWindow window(parser.value(text), parser.value(html), parser.value(rtf).toUtf8(),
                        !parser.isSet(noSelection));
    window.setWindowTitle(parser.value(title));
    const QStringList g = parser.value(geometry).split(u',');
    if (g.size() == 4)
        window.setGeometry(g[0].toInt(), g[1].toInt(), g[2].toInt(), g[3].toInt());
    if (parser.isSet(minimized))
        window.showMinimized();
    else
        window.show();
    if (parser.isSet(dock)) {
        // Qt writes the window type itself as the window is shown; a panel of
        // another toolkit says "dock" instead.
        QProcess::execute(
            QStringLiteral("xprop"),
            {QStringLiteral("-id"), QString::number(window.winId()), QStringLiteral("-f"),
             QStringLiteral("_NET_WM_WINDOW_TYPE"), QStringLiteral("32a"), QStringLiteral("-set"),
             QStringLiteral("_NET_WM_WINDOW_TYPE"), QStringLiteral("_NET_WM_WINDOW_TYPE_DOCK")});
    }

    QDialog owned(&window);
    if (parser.isSet(dialog)) {
        owned.setWindowTitle(parser.value(dialog));
        owned.resize(200, 100);
        owned.show();
    }

    std::printf("%llu\n", static_cast<unsigned long long>(window.winId()));
    std::fflush(stdout);
    return app.exec();
}
