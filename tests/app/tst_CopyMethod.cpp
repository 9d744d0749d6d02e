// Which way the capture takes a window's selection, from the window's class
// and the user's list of further terminals.
#include "app/CopyMethod.h"

#include <QtTest>

Q_DECLARE_METATYPE(CopyMethod)

class tst_CopyMethod : public QObject {
    Q_OBJECT
private slots:
    void method_data();
    void method();
};

void tst_CopyMethod::method_data()
{
    QTest::addColumn<QStringList>("windowClass");
    QTest::addColumn<QString>("extra");
    QTest::addColumn<CopyMethod>("expected");
    const auto cls = [](const char *instance, const char *name) {
        return QStringList{QString::fromLatin1(instance), QString::fromLatin1(name)};
    };
    QTest::newRow("text editor") << cls("mousepad", "Mousepad") << QString() << CopyMethod::CtrlC;
    QTest::newRow("no class") << QStringList() << QString() << CopyMethod::CtrlC;
    QTest::newRow("xterm: highlighted text")
        << cls("xterm", "XTerm") << QString() << CopyMethod::Primary;
    QTest::newRow("urxvt") << cls("urxvt", "URxvt") << QString() << CopyMethod::Primary;
    QTest::newRow("VTE terminal") << cls("xfce4-terminal", "Xfce4-terminal") << QString()
                                  << CopyMethod::CtrlShiftC;
    QTest::newRow("by class name only")
        << cls("gnome-terminal-server", "Gnome-terminal") << QString() << CopyMethod::CtrlShiftC;
    QTest::newRow("no partial names")
        << cls("stalonetray", "stalonetray") << QString() << CopyMethod::CtrlC;
    QTest::newRow("user's terminal")
        << cls("cool-retro-term", "cool-retro-term") << QStringLiteral("Eterm, cool-retro-term")
        << CopyMethod::CtrlShiftC;
    QTest::newRow("user's terminal without copy key")
        << cls("Eterm", "Eterm") << QStringLiteral("eterm:primary;cool-retro-term")
        << CopyMethod::Primary;
    QTest::newRow("user's entry overrides a known one")
        << cls("xterm", "XTerm") << QStringLiteral("  xterm  ") << CopyMethod::CtrlShiftC;
    QTest::newRow("unlisted window, list given")
        << cls("mousepad", "Mousepad") << QStringLiteral("Eterm:primary") << CopyMethod::CtrlC;
}

void tst_CopyMethod::method()
{
    QFETCH(QStringList, windowClass);
    QFETCH(QString, extra);
    QFETCH(CopyMethod, expected);
    QCOMPARE(copyMethodFor(windowClass, extra), expected);
}

QTEST_APPLESS_MAIN(tst_CopyMethod)
#include "tst_CopyMethod.moc"
