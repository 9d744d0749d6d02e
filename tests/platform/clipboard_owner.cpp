// A second program for the clipboard tests: it takes the CLIPBOARD and offers
// the formats given on its command line, as a word processor or browser would.
//   clipboard_owner [--rtf TEXT] [--html TEXT] [--text TEXT]
// It prints "ready" once it owns the clipboard and runs until another program
// takes the clipboard or it is ended.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    auto *data = new QMimeData;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString &value = args[i + 1];
        if (args[i] == QLatin1String("--rtf")) {
            data->setData(QStringLiteral("text/rtf"), value.toUtf8());
            data->setData(QStringLiteral("application/rtf"), value.toUtf8());
        } else if (args[i] == QLatin1String("--html")) {
            data->setHtml(value);
        } else if (args[i] == QLatin1String("--text")) {
            data->setText(value);
        }
    }
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(data);
    QObject::connect(clipboard, &QClipboard::changed, &app, [&](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard())
            app.quit();
    });
    QTimer::singleShot(0, &app, [] {
        std::puts("ready");
        std::fflush(stdout);
    });
    return app.exec();
}
