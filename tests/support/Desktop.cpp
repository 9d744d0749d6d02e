#include "Desktop.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace Desktop {

QString run(const QString &program, const QStringList &args, int timeoutMs)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

namespace {

QList<qulonglong> ids(const QString &output)
{
    QList<qulonglong> result;
    for (const QString &line : output.split(u'\n', Qt::SkipEmptyParts))
        result.append(line.trimmed().toULongLong());
    return result;
}

QString hex(qulonglong window)
{
    return QStringLiteral("0x%1").arg(window, 0, 16);
}

// The window's own area in root coordinates, without a frame.
QRect ownArea(qulonglong window)
{
    const QString info =
        run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    auto field = [&](const char *name) {
        const QRegularExpression re(QStringLiteral("%1:\\s+(-?\\d+)").arg(QLatin1String(name)));
        return re.match(info).captured(1).toInt();
    };
    return QRect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
                 field("Height"));
}

} // namespace

QList<qulonglong> windowsNamed(const QString &title)
{
    return ids(
        run(QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
             QStringLiteral("^%1$").arg(QRegularExpression::escape(title))}));
}

QList<qulonglong> windowsOfClass(const QString &windowClass)
{
    return ids(run(QStringLiteral("xdotool"),
                   {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                    QStringLiteral("--class"), QStringLiteral("^%1$").arg(windowClass)}));
}

qulonglong waitForWindow(const QString &title, int timeoutMs)
{
    QList<qulonglong> found;
    if (!QTest::qWaitFor([&] { return !(found = windowsNamed(title)).isEmpty(); }, timeoutMs))
        return 0;
    return found.value(0);
}

QList<qulonglong> popupMenus(const QString &windowClass)
{
    // Menus are override-redirect windows that are not docked tray icons.
    const QList<qulonglong> icons = trayIcons();
    QList<qulonglong> result;
    for (qulonglong w : windowsOfClass(windowClass)) {
        if (icons.contains(w))
            continue;
        const QString info =
            run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(w)});
        if (info.contains(QLatin1String("Override Redirect State: yes")))
            result.append(w);
    }
    return result;
}

QRect geometry(qulonglong window)
{
    // xwininfo gives the absolute position of the window's own area; the
    // frame extents add the window manager's decoration.
    const QList<int> e = frameExtents(window);
    return ownArea(window).adjusted(-e[0], -e[2], e[1], e[3]);
}

QList<int> frameExtents(qulonglong window)
{
    const QString extents = run(QStringLiteral("xprop"), {QStringLiteral("-id"), hex(window),
                                                          QStringLiteral("_NET_FRAME_EXTENTS")});
    const auto m =
        QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)")).match(extents);
    if (!m.hasMatch())
        return {0, 0, 0, 0};
    return {m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
            m.captured(4).toInt()};
}

QStringList allowedActions(qulonglong window)
{
    const QString line = run(QStringLiteral("xprop"), {QStringLiteral("-id"), hex(window),
                                                       QStringLiteral("_NET_WM_ALLOWED_ACTIONS")});
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return {};
    QStringList actions = line.mid(equals + 1).split(u',', Qt::SkipEmptyParts);
    for (QString &a : actions)
        a = a.trimmed();
    return actions;
}

QList<QRect> titleBarButtons(qulonglong window)
{
    // The window manager reparents a framed window into its frame.
    const QString own = run(QStringLiteral("xwininfo"),
                            {QStringLiteral("-tree"), QStringLiteral("-id"), hex(window)});
    const auto parent =
        QRegularExpression(
            QStringLiteral("Parent window id: (0x[0-9a-f]+)( \\(the root window\\))?"))
            .match(own);
    if (!parent.hasMatch() || !parent.captured(2).isEmpty())
        return {};
    const QString frame = parent.captured(1);
    const QRect client = ownArea(window);
    // Each line of the frame's tree: "0x... name: (class)  WxH+x+y  +X+Y".
    const QString tree =
        run(QStringLiteral("xwininfo"), {QStringLiteral("-tree"), QStringLiteral("-id"), frame});
    const QRegularExpression line(QStringLiteral(
        "(0x[0-9a-f]+) .*\\s(\\d+)x(\\d+)[+-]-?\\d+[+-]-?\\d+\\s+\\+(-?\\d+)\\+(-?\\d+)"));
    QList<QRect> buttons;
    for (const QString &row : tree.split(u'\n')) {
        const auto m = line.match(row);
        if (!m.hasMatch())
            continue;
        const QRect r(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(2).toInt(),
                      m.captured(3).toInt());
        if (r.width() != r.height() || r.width() < 6 || r.bottom() >= client.top() ||
            r.center().x() <= client.center().x())
            continue;
        const QString info =
            run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), m.captured(1)});
        if (info.contains(QLatin1String("IsViewable")))
            buttons.append(r);
    }
    return buttons;
}

qulonglong activeWindow()
{
    return run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).toULongLong();
}

QString windowName(qulonglong window)
{
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("getwindowname"), QString::number(window)});
}

QSize screenSize()
{
    const QStringList wh =
        run(QStringLiteral("xdotool"), {QStringLiteral("getdisplaygeometry")}).split(u' ');
    return wh.size() == 2 ? QSize(wh[0].toInt(), wh[1].toInt()) : QSize();
}

void click(qulonglong window, int x, int y, int button)
{
    run(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(window),
         QString::number(x), QString::number(y), QStringLiteral("click"), QString::number(button)});
}

void pressKeys(qulonglong window, const QString &keys)
{
    run(QStringLiteral("xdotool"),
        {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window),
         QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys});
}

void moveMouse(int x, int y)
{
    run(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QString::number(x), QString::number(y)});
}

QList<qulonglong> trayIcons()
{
    // Docked icons are children of the notification area's window; xwininfo
    // lists them with their class.
    QList<qulonglong> result;
    for (qulonglong tray : windowsOfClass(QStringLiteral("trayer"))) {
        const QString tree =
            run(QStringLiteral("xwininfo"),
                {QStringLiteral("-id"), QString::number(tray), QStringLiteral("-tree")});
        const QRegularExpression re(QStringLiteral("(0x[0-9a-f]+) [^\\n]*\\(\"quillet\""));
        for (auto it = re.globalMatch(tree); it.hasNext();)
            result.append(it.next().captured(1).toULongLong(nullptr, 16));
    }
    return result;
}

qulonglong waitForTrayIcon()
{
    // The notification area takes an icon in (makes it its child) before it
    // maps it and gives it its place, while the program may still be
    // starting: a click goes only to an icon that is on screen and has kept
    // its place since the last look.
    qulonglong icon = 0;
    QString lastPlace;
    const auto settled = [&] {
        icon = trayIcons().value(0);
        if (!icon)
            return false;
        const QString info =
            run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(icon)});
        static const QRegularExpression placeLines(
            QStringLiteral("(Absolute upper-left [XY]|Width|Height): +-?\\d+"));
        QString place;
        for (auto it = placeLines.globalMatch(info); it.hasNext();)
            place += it.next().captured(0);
        const bool same = info.contains(QLatin1String("IsViewable")) && place == lastPlace;
        lastPlace = place;
        return same;
    };
    return QTest::qWaitFor(settled, 15000) ? icon : 0;
}

} // namespace Desktop
