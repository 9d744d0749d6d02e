// Top-level windows of the test's X session: their order, the kinds of window
// a capture must pass over, and activation. The other windows are separate
// programs (selection_source), as the user's windows would be.

#include "platform/DesktopWindows.h"
#include "platform/Services.h"
#include "platform/x11/X11DesktopWindows.h"
#include "tests/support/Desktop.h"
#include "tests/support/SelectionSource.h"

#include <QTest>
#include <QWidget>

#include <memory>

using platform::WindowHandle;

namespace {

platform::DesktopWindows &windows()
{
    return platform::services().windows();
}

// The first top-level window titled `title`, or 0.
WindowHandle windowTitled(const QString &title)
{
    for (WindowHandle w : windows().topLevelWindows()) {
        if (windows().title(w) == title)
            return w;
    }
    return 0;
}

} // namespace

class tst_DesktopWindows : public QObject {
    Q_OBJECT

private slots:
    void stackingOrderTopmostFirst();
    void kinds_data();
    void kinds();
    void ownWindow();
    void activateRestoresMinimised();
    void vanishedWindow();
};

void tst_DesktopWindows::stackingOrderTopmostFirst()
{
    SelectionSource lower({QStringLiteral("--title"), QStringLiteral("Lower")});
    QVERIFY(lower.waitForWindow());
    SelectionSource upper({QStringLiteral("--title"), QStringLiteral("Upper")});
    QVERIFY(upper.waitForWindow());

    auto position = [](platform::DesktopWindows &list, WindowHandle w) {
        return list.topLevelWindows().indexOf(w);
    };
    platform::X11DesktopWindows fromRootChildren(platform::X11DesktopWindows::Order::RootChildren);
    QTRY_VERIFY(position(windows(), upper.window()) >= 0);
    QTRY_VERIFY(position(windows(), upper.window()) < position(windows(), lower.window()));
    QVERIFY(position(fromRootChildren, upper.window()) >= 0);
    QVERIFY(position(fromRootChildren, upper.window()) <
            position(fromRootChildren, lower.window()));

    // Activation raises: now the lower one is on top, by both accounts.
    QVERIFY(windows().activate(lower.window()));
    QCOMPARE(windows().activeWindow(), WindowHandle(lower.window()));
    QCOMPARE(Desktop::activeWindow(), lower.window());
    QTRY_VERIFY(position(windows(), lower.window()) < position(windows(), upper.window()));
    QTRY_VERIFY(position(fromRootChildren, lower.window()) <
                position(fromRootChildren, upper.window()));
}

void tst_DesktopWindows::kinds_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("title"); // of the window to look at
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("minimized");
    QTest::addColumn<bool>("owned");
    QTest::addColumn<bool>("tool");

    QTest::newRow("ordinary") << QStringList{QStringLiteral("--title"), QStringLiteral("Plain")}
                              << QStringLiteral("Plain") << true << false << false << false;
    QTest::newRow("minimised") << QStringList{QStringLiteral("--title"), QStringLiteral("Iconic"),
                                              QStringLiteral("--minimized")}
                               << QStringLiteral("Iconic") << false << true << false << false;
    QTest::newRow("owned dialog") << QStringList{QStringLiteral("--title"), QStringLiteral("Owner"),
                                                 QStringLiteral("--dialog"),
                                                 QStringLiteral("Owned")}
                                  << QStringLiteral("Owned") << true << false << true << false;
    QTest::newRow("owner of a dialog")
        << QStringList{QStringLiteral("--title"), QStringLiteral("Owner"),
                       QStringLiteral("--dialog"), QStringLiteral("Owned")}
        << QStringLiteral("Owner") << true << false << false << false;
    QTest::newRow("dock") << QStringList{QStringLiteral("--title"), QStringLiteral("Dock"),
                                         QStringLiteral("--dock")}
                          << QStringLiteral("Dock") << true << false << false << true;
}

void tst_DesktopWindows::kinds()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, title);
    QFETCH(bool, visible);
    QFETCH(bool, minimized);
    QFETCH(bool, owned);
    QFETCH(bool, tool);

    SelectionSource source(arguments);
    QVERIFY(source.waitForWindow());
    QTRY_VERIFY(windowTitled(title) != 0);
    const WindowHandle w = windowTitled(title);
    QTRY_COMPARE(windows().isVisible(w), visible);
    QTRY_COMPARE(windows().isMinimized(w), minimized);
    QCOMPARE(windows().hasOwner(w), owned);
    QCOMPARE(windows().isToolWindow(w), tool);
    QCOMPARE(windows().isOwnWindow(w), false);
}

void tst_DesktopWindows::ownWindow()
{
    // The test's own windows count as this program's, others' do not.
    QWidget mine;
    mine.setWindowTitle(QStringLiteral("Mine"));
    mine.resize(200, 100);
    mine.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mine));
    SelectionSource other({QStringLiteral("--title"), QStringLiteral("Theirs")});
    QVERIFY(other.waitForWindow());

    QTRY_VERIFY(windows().topLevelWindows().contains(mine.winId()));
    QVERIFY(windows().isOwnWindow(mine.winId()));
    QVERIFY(windows().isVisible(mine.winId()));
    QVERIFY(!windows().isOwnWindow(other.window()));
    // The notification area is a dock, not one of the user's windows.
    const auto trays = Desktop::windowsOfClass(QStringLiteral("trayer"));
    QVERIFY(!trays.isEmpty());
    QVERIFY(windows().isToolWindow(trays.first()));
}

void tst_DesktopWindows::activateRestoresMinimised()
{
    SelectionSource source(
        {QStringLiteral("--title"), QStringLiteral("Sleeper"), QStringLiteral("--minimized")});
    QVERIFY(source.waitForWindow());
    QTRY_VERIFY(windows().isMinimized(source.window()));
    QVERIFY(windows().activate(source.window()));
    QVERIFY(windows().isVisible(source.window()));
    QTRY_VERIFY(!windows().isMinimized(source.window()));
}

void tst_DesktopWindows::vanishedWindow()
{
    // A window that went away answers false, without an X error ending us.
    qulonglong gone = 0;
    {
        SelectionSource source({QStringLiteral("--title"), QStringLiteral("Brief")});
        QVERIFY(source.waitForWindow());
        gone = source.window();
    }
    QTRY_VERIFY(!windows().topLevelWindows().contains(gone));
    QVERIFY(!windows().isVisible(gone));
    QVERIFY(!windows().isMinimized(gone));
    QVERIFY(!windows().hasOwner(gone));
    QVERIFY(!windows().isToolWindow(gone));
    QVERIFY(!windows().isOwnWindow(gone));
    QVERIFY(windows().title(gone).isEmpty());
    QVERIFY(!windows().activate(gone));
}

QTEST_MAIN(tst_DesktopWindows)
#include "tst_DesktopWindows.moc"
