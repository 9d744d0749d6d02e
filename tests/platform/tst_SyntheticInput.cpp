// Synthetic key presses, observed by a window of the test's own that has the
// keyboard focus and records every key event the X server delivers to it.

#include "platform/DesktopWindows.h"
#include "platform/Services.h"
#include "platform/SyntheticInput.h"
#include "platform/x11/X11SyntheticInput.h"

#include <QKeyEvent>
#include <QTest>
#include <QWidget>

namespace {

struct KeyEvent {
    bool press;
    int key;      // Qt key
    quint32 code; // X key code
    Qt::KeyboardModifiers modifiers;
};

class KeyRecorder : public QWidget {
public:
    KeyRecorder() { setFocusPolicy(Qt::StrongFocus); }
    QList<KeyEvent> events;

protected:
    void keyPressEvent(QKeyEvent *e) override { record(true, e); }
    void keyReleaseEvent(QKeyEvent *e) override { record(false, e); }

private:
    void record(bool press, QKeyEvent *e)
    {
        if (!e->isAutoRepeat())
            events.append({press, e->key(), e->nativeScanCode(), e->modifiers()});
    }
};

using Press = QPair<bool, quint16>; // down?, virtual key

} // namespace

Q_DECLARE_METATYPE(QList<Press>)

class tst_SyntheticInput : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void events_data();
    void events();
    void copyKeystroke();
    void keyCodes_data();
    void keyCodes();

private:
    // Sends one key press and returns the events it produced. A press of
    // Escape follows as a marker: events arrive in order, so everything seen
    // before the marker's release, minus the marker, belongs to the press.
    QList<KeyEvent> eventsOf(quint16 key, quint8 modifiers);

    KeyRecorder m_recorder;
};

QList<KeyEvent> tst_SyntheticInput::eventsOf(quint16 key, quint8 modifiers)
{
    m_recorder.events.clear();
    auto &input = platform::services().input();
    input.PostKeyEx32(key, modifiers, false);
    input.PostKeyEx32(0x1B, 0, false);
    auto markerSeen = [this] {
        const auto &e = m_recorder.events;
        return e.size() >= 2 && e.last().key == Qt::Key_Escape && !e.last().press;
    };
    if (!QTest::qWaitFor(markerSeen, 10000))
        return {};
    return m_recorder.events.mid(0, m_recorder.events.size() - 2);
}

void tst_SyntheticInput::initTestCase()
{
    m_recorder.setWindowTitle(QStringLiteral("Key recorder"));
    m_recorder.resize(300, 200);
    m_recorder.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_recorder));
    auto &windows = platform::services().windows();
    QVERIFY(windows.activate(m_recorder.winId()));
    QTRY_VERIFY(m_recorder.isActiveWindow());
    m_recorder.setFocus();
}

void tst_SyntheticInput::events_data()
{
    QTest::addColumn<quint16>("key");
    QTest::addColumn<quint8>("modifiers");
    QTest::addColumn<QList<Press>>("expected");

    using namespace platform;
    QTest::newRow("Tab alone") << quint16(9) << quint8(0) << QList<Press>{{true, 9}, {false, 9}};
    QTest::newRow("Shift+Q") << quint16(0x51) << quint8(ShiftBit)
                             << QList<Press>{
                                    {true, 0x10}, {true, 0x51}, {false, 0x51}, {false, 0x10}};
    QTest::newRow("digit 7") << quint16(0x37) << quint8(0)
                             << QList<Press>{{true, 0x37}, {false, 0x37}};
    // All three modifiers go down in the order Ctrl, Shift, Alt and come up
    // in the reverse order.
    QTest::newRow("Ctrl+Shift+Alt+Home")
        << quint16(36) << quint8(CtrlBit | ShiftBit | AltBit)
        << QList<Press>{{true, 0x11}, {true, 0x10},  {true, 0x12},  {true, 36},
                        {false, 36},  {false, 0x12}, {false, 0x10}, {false, 0x11}};
}

void tst_SyntheticInput::events()
{
    QFETCH(quint16, key);
    QFETCH(quint8, modifiers);
    QFETCH(QList<Press>, expected);

    const QList<KeyEvent> seen = eventsOf(key, modifiers);
    QCOMPARE(seen.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(seen[i].press, expected[i].first);
        QCOMPARE(seen[i].code, platform::X11SyntheticInput::keyCodeFor(expected[i].second, false));
    }
}

void tst_SyntheticInput::copyKeystroke()
{
    // The capture's keystroke: exactly Ctrl down, C down, C up, Ctrl up, with
    // Ctrl held while C is pressed.
    const QList<KeyEvent> e = eventsOf(0x43, platform::CtrlBit);
    QCOMPARE(e.size(), 4);
    QCOMPARE(e[0].press, true);
    QCOMPARE(e[0].key, int(Qt::Key_Control));
    QCOMPARE(e[1].press, true);
    QCOMPARE(e[1].key, int(Qt::Key_C));
    QCOMPARE(e[1].modifiers, Qt::ControlModifier);
    QCOMPARE(e[2].press, false);
    QCOMPARE(e[2].key, int(Qt::Key_C));
    QCOMPARE(e[3].press, false);
    QCOMPARE(e[3].key, int(Qt::Key_Control));
}

void tst_SyntheticInput::keyCodes_data()
{
    QTest::addColumn<quint16>("key");
    QTest::addColumn<int>("qtKey");

    QTest::newRow("A") << quint16(0x41) << int(Qt::Key_A);
    QTest::newRow("C") << quint16(0x43) << int(Qt::Key_C);
    QTest::newRow("Z") << quint16(0x5A) << int(Qt::Key_Z);
    QTest::newRow("0") << quint16(0x30) << int(Qt::Key_0);
    QTest::newRow("9") << quint16(0x39) << int(Qt::Key_9);
    QTest::newRow("Tab") << quint16(9) << int(Qt::Key_Tab);
    QTest::newRow("Home") << quint16(36) << int(Qt::Key_Home);
    QTest::newRow("Ctrl") << quint16(0x11) << int(Qt::Key_Control);
    QTest::newRow("Shift") << quint16(0x10) << int(Qt::Key_Shift);
    QTest::newRow("Alt") << quint16(0x12) << int(Qt::Key_Alt);
}

void tst_SyntheticInput::keyCodes()
{
    // Each virtual key types the key Qt names the same, as seen by a window.
    QFETCH(quint16, key);
    QFETCH(int, qtKey);
    const QList<KeyEvent> e = eventsOf(key, 0);
    QCOMPARE(e.size(), 2);
    QCOMPARE(e[0].key, qtKey);
    QCOMPARE(e[0].press, true);
    QCOMPARE(e[1].key, qtKey);
    QCOMPARE(e[1].press, false);
}

QTEST_MAIN(tst_SyntheticInput)
#include "tst_SyntheticInput.moc"
