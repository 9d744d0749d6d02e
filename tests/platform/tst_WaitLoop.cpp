// The wait loop: how long it waits and that the program's events go on.

#include "platform/WaitLoop.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

class tst_WaitLoop : public QObject {
    Q_OBJECT

private slots:
    void lastsLongerThanTheLimit_data();
    void lastsLongerThanTheLimit();
    void handlesEventsMeanwhile();
    void nestedWaitsBothEnd();
};

void tst_WaitLoop::lastsLongerThanTheLimit_data()
{
    QTest::addColumn<int>("limit");
    QTest::newRow("0 still lets the clock advance") << 0;
    QTest::newRow("1") << 1;
    QTest::newRow("40") << 40;
    QTest::newRow("negative counts as 0") << -5;
}

void tst_WaitLoop::lastsLongerThanTheLimit()
{
    QFETCH(int, limit);
    QElapsedTimer clock;
    clock.start();
    platform::waitMs(limit);
    QVERIFY2(clock.elapsed() > qMax(0, limit), qPrintable(QString::number(clock.elapsed())));
}

void tst_WaitLoop::handlesEventsMeanwhile()
{
    bool timerRan = false;
    bool posted = false;
    QTimer::singleShot(5, this, [&] { timerRan = true; });
    QMetaObject::invokeMethod(
        this, [&] { posted = true; }, Qt::QueuedConnection);
    platform::waitMs(30);
    QVERIFY(posted);
    QVERIFY(timerRan);
}

void tst_WaitLoop::nestedWaitsBothEnd()
{
    // An event handled during a wait may wait itself (a second capture
    // started inside the first); both waits end.
    bool innerDone = false;
    QTimer::singleShot(1, this, [&] {
        platform::waitMs(20);
        innerDone = true;
    });
    QElapsedTimer clock;
    clock.start();
    platform::waitMs(5);
    QVERIFY(innerDone);
    QVERIFY(clock.elapsed() > 20);
}

QTEST_GUILESS_MAIN(tst_WaitLoop)
#include "tst_WaitLoop.moc"
