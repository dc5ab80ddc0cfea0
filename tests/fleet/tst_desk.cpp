// A station on the fleet's shared database, on virtual time against the simulated modem and
// machine: its unattended entries go to the queue, and its modem serves the queue between its
// own polling when "Setup" says so.
#include "AlarmQueue.h"
#include "CollectQueue.h"
#include "DatabaseTarget.h"
#include "DeskRig.h"
#include "FrmSet.h"
#include "PgServer.h"

#include <QApplication>
#include <QCheckBox>
#include <QTest>

class DeskTest : public QObject
{
    Q_OBJECT

private slots:
    void dueEntriesGoToTheQueueAndTheModemServesIt()
    {
        PgServer pg;
        QVERIFY2(pg.ok(), qPrintable(pg.error()));
        DeskRig r({}, nullptr, pg.newDatabase(QStringLiteral("desk")));
        QVERIFY(r.desk.collect().fleet());
        QVERIFY(r.start(DeskRig::Entry::Unattended));
        DatabaseTarget t;
        QString why;
        QVERIFY(DatabaseTarget::parse(r.services.database, &t, &why) && t.open("check", &why));
        CollectQueue queue(QStringLiteral("check"));
        auto state = [&] {
            const auto q = queue.requests();
            return q.size() == 1 ? q[0].state : QString::number(q.size());
        };
        const QByteArray dial = "ATD" + DeskRig::Corridor.toLatin1();

        // Due at 09:03: queued under the station's name, not called by the station itself.
        QVERIFY(r.runUntil([&] { return state() == "pending"; }, 10 * 60'000));
        QCOMPARE(queue.requests().first().requestedBy, AlarmQueue::stationName());
        r.time.rt.runFor(5 * 60'000);
        QCOMPARE(r.count(dial), 0);
        QVERIFY(r.collector.waiting().isEmpty());

        // Ticked in "Setup": the modem takes the request between two polling rounds.
        FrmSet *setup = r.station.loadSetupWindow();
        QVERIFY(setup->CheckQueue);
        setup->CheckQueue->setChecked(true);
        setup->unload();
        QVERIFY(r.runUntil([&] { return state() == "done"; }, 10 * 60'000));
        QCOMPARE(r.count(dial), 1);
        QVERIFY(r.log[r.indexOf(dial)].portLent);
        const auto audits = queue.audits();
        QCOMPARE(audits.size(), 1);
        QVERIFY(audits[0].evaDts.contains("CA2*"));
        QCOMPARE(queue.attempts().first().collector, AlarmQueue::stationName());
        QVERIFY(r.runUntilPolling(5000)); // the port is the station's again
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    DeskTest t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_desk.moc"
