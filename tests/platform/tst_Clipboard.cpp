// The clipboard while another program holds it.

#include "platform/Clipboard.h"
#include "platform/DesktopWindows.h"
#include "platform/Services.h"
#include "platform/SyntheticInput.h"
#include "tests/support/SelectionSource.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>
#include <QWidget>

class tst_Clipboard : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void ownContentEmptied();
    void emptiedWhenAnotherProgramHoldsIt();

private:
    QWidget m_window; // a window of the program, as Quillet always has one
};

void tst_Clipboard::initTestCase()
{
    m_window.winId();
}

void tst_Clipboard::emptiedWhenAnotherProgramHoldsIt()
{
    SelectionSource source({QStringLiteral("--title"), QStringLiteral("Holder"),
                            QStringLiteral("--text"), QStringLiteral("held text")});
    QVERIFY(source.waitForWindow());
    auto &clipboard = platform::services().clipboard();
    clipboard.clear();
    QVERIFY(!clipboard.hasText());

    // The other program copies on a synthetic Ctrl+C, stamped later than
    // anything this program has seen from the server.
    QVERIFY(platform::services().windows().activate(source.window()));
    platform::services().input().PostKeyEx32(0x43, platform::CtrlBit, false);
    QTRY_COMPARE(source.copies(), 1);
    QTRY_VERIFY(clipboard.hasText());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("held text"));

    clipboard.clear();
    QVERIFY(!clipboard.hasText());
    QTRY_VERIFY(QGuiApplication::clipboard()->text().isEmpty());

    // The program can take the clipboard again without waiting for input.
    QTRY_VERIFY([] {
        QGuiApplication::clipboard()->setText(QStringLiteral("mine again"));
        return QGuiApplication::clipboard()->ownsClipboard();
    }());
    QVERIFY(clipboard.hasText());
}

void tst_Clipboard::ownContentEmptied()
{
    auto &clipboard = platform::services().clipboard();
    QGuiApplication::clipboard()->setText(QStringLiteral("ours"));
    QTRY_VERIFY(clipboard.hasText());
    clipboard.clear();
    QVERIFY(!clipboard.hasText());
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
}

QTEST_MAIN(tst_Clipboard)
#include "tst_Clipboard.moc"
