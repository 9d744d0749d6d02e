// The smallest Qt tray program: an icon with a tooltip and nothing else. The
// start-up benchmark measures it beside quillet as the floor set by Qt itself.
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::darkCyan);
    QSystemTrayIcon icon{QIcon(pixmap)};
    icon.setToolTip(QStringLiteral("bare tray"));
    icon.show();
    return app.exec();
}
