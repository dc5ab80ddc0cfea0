#include "Runtime.h"
#include "Timer.h"

#include <QSignalSpy>
#include <QTest>

// Virtual time must reproduce what the real event loop does with the station's timers: order,
// re-arming, ticks nested inside another tick's wait, and a loud failure instead of a hang.
class RuntimeTest : public QObject
{
    Q_OBJECT

private slots:
    void ticksComeInTimeOrder()
    {
        VirtualTimeScope vt;
        QStringList log;
        Timer a(QStringLiteral("A"), 300, true);
        Timer b(QStringLiteral("B"), 500, true);
        for (Timer *t : {&a, &b})
            connect(t, &Timer::tick, [&log, t, &vt] {
                log << QStringLiteral("%1@%2").arg(t->name()).arg(vt.rt.nowMs());
            });
        vt.rt.runFor(1000);
        QCOMPARE(log, QStringList({"A@300", "B@500", "A@600", "A@900", "B@1000"}));
        QCOMPARE(vt.rt.nowMs(), qint64(1000));
    }

    void switchingOnARunningTimerKeepsItsPeriod()
    {
        VirtualTimeScope vt;
        Timer t(QStringLiteral("T"), 1000, true);
        QSignalSpy spy(&t, &Timer::tick);
        vt.rt.runFor(600);
        t.setEnabled(true);
        vt.rt.runFor(400);
        QCOMPARE(spy.count(), 1);
        vt.rt.runFor(500);
        t.setInterval(1000); // a new interval restarts the period
        vt.rt.runFor(999);
        QCOMPARE(spy.count(), 1);
        vt.rt.runFor(1);
        QCOMPARE(spy.count(), 2);
    }

    void nestedYieldsRunOtherTimersButNotTheSameTick()
    {
        VirtualTimeScope vt;
        Timer outer(QStringLiteral("outer"), 100, true);
        Timer other(QStringLiteral("other"), 300, true);
        Timer wait(QStringLiteral("wait"), 1000, false);
        connect(&wait, &Timer::tick, [&] { wait.setEnabled(false); });
        QStringList log;
        connect(&other, &Timer::tick,
                [&] { log << QStringLiteral("other@%1").arg(vt.rt.nowMs()); });
        connect(&outer, &Timer::tick, [&] {
            log << QStringLiteral("outer@%1").arg(vt.rt.nowMs());
            outer.setEnabled(false);
            wait.setEnabled(true);
            while (wait.isEnabled())
                Runtime::current().yield();
            log << QStringLiteral("outer done@%1").arg(vt.rt.nowMs());
        });
        vt.rt.runFor(1200);
        QCOMPARE(log, QStringList({"outer@100", "other@300", "other@600", "other@900",
                                   "outer done@1100", "other@1200"}));
    }

    void aTickStillRunningSwallowsItsNextPeriod()
    {
        VirtualTimeScope vt;
        Timer t(QStringLiteral("T"), 100, true);
        Timer wait(QStringLiteral("wait"), 250, false);
        connect(&wait, &Timer::tick, [&] { wait.setEnabled(false); });
        int entered = 0, maxDepth = 0, depth = 0;
        connect(&t, &Timer::tick, [&] {
            ++entered;
            maxDepth = qMax(maxDepth, ++depth);
            if (entered == 1) {
                wait.setEnabled(true);
                while (wait.isEnabled())
                    Runtime::current().yield();
            }
            --depth;
        });
        vt.rt.runFor(400);
        QCOMPARE(maxDepth, 1);
        QCOMPARE(entered, 2); // ticks at 200 and 300 fell inside the first; 400 runs
    }

    // After the end a yield neither runs what is due nor stalls: the wait around it unwinds.
    void afterTheEndAYieldReturnsAtOnce()
    {
        VirtualTimeScope vt;
        QString why;
        vt.rt.setStallHandler([&why](const QString &m) { why = m; });
        bool ran = false;
        vt.rt.post(100, [&] { ran = true; });
        vt.rt.endProgram();
        Runtime::current().yield();
        QVERIFY(!ran);
        QCOMPARE(vt.rt.nowMs(), qint64(0));
        QCOMPARE(why, QString());
        vt.rt.runFor(100); // timers and deliveries still run outside a wait (the exit sequence)
        QVERIFY(ran);
    }

    void aDestroyedTimerNeverTicks()
    {
        VirtualTimeScope vt;
        int ticks = 0;
        {
            Timer t(QStringLiteral("T"), 100, true);
            connect(&t, &Timer::tick, [&] { ++ticks; });
        }
        vt.rt.runFor(1000);
        QCOMPARE(ticks, 0);
    }
};

QTEST_GUILESS_MAIN(RuntimeTest)
#include "tst_runtime.moc"
