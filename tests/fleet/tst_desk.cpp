// A station on the fleet's shared database, on virtual time against the simulated modem and
// machine: its unattended entries go to the queue, and its modem serves the queue between its
// own polling when "Setup" says so.
#include "AlarmQueue.h"
#include "CollectQueue.h"
#include "DatabaseTarget.h"
#include "FrmSet.h"
#include "FrmStGSM.h"
#include "GsmModem.h"
#include "MachineController.h"
#include "MachineDb.h"
#include "PgServer.h"
#include "Schedule.h"
#include "StationDesk.h"
#include "StationFixture.h"
#include "UnattendedCollector.h"

#include <QApplication>
#include <QCheckBox>
#include <QTest>

namespace {
const QString Corridor = QStringLiteral("3351234567");

bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
} // namespace

class DeskTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<PgServer> m_pg;

private slots:
    void initTestCase()
    {
        m_pg = std::make_unique<PgServer>();
        QVERIFY2(m_pg->ok(), qPrintable(m_pg->error()));
    }

    void dueEntriesGoToTheQueueAndTheModemServesIt()
    {
        StationFixture f;
        GsmModem gsm;
        MachineController machine{MachineProfile::forNumber(Corridor.toLatin1())};
        gsm.setLatency(0);
        f.port.plug(1, &gsm);
        gsm.addMachine(Corridor.toLatin1(), &machine);
        QList<QByteArray> dialled; // each with whether the station was polling meanwhile
        StationDesk *station = nullptr;
        QObject::connect(&gsm, &ModemSim::commandReceived, [&](const QByteArray &line) {
            if (line.startsWith("ATD"))
                dialled << line + (station->station().Timer2.isEnabled() ? " polling" : "");
        });
        f.services.database = m_pg->newDatabase(QStringLiteral("desk"));
        {
            DatabaseTarget t;
            QString why;
            QVERIFY(DatabaseTarget::parse(f.services.database, &t, &why));
            SqlMachineDb db(t);
            QVERIFY2(db.open(), qPrintable(db.error()));
            QVERIFY(db.append(MachineTables::Distributori,
                              {{"Description", "Corridor A"}, {"GSM", Corridor}}));
        }
        const QString prog = f.programFolder();
        Schedule schedule(QDir(prog).filePath(QStringLiteral("PROGOR.DAT")));
        schedule[0].setNumber(Corridor);
        schedule[0].setHour(9);
        schedule[0].setMinute(3);
        schedule[0].setWeekday(6, true);
        schedule[0].setWeekly(true);
        schedule[0].setUnattended(true);
        QVERIFY(schedule.save());
        QVERIFY(write(QDir(prog).filePath("decod.asm"), "CA2,CASH,3,6,8\r\nDA1,BLOCK\r\n"));
        QVERIFY(write(QDir(prog).filePath("address.asm"), "CASH,0\r\nBLOCK,10\r\n"));

        StationDesk desk(f.services, nullptr);
        station = &desk;
        QVERIFY(desk.collect().fleet());
        QVERIFY(desk.station().load());
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        DatabaseTarget t;
        QString why;
        QVERIFY(DatabaseTarget::parse(f.services.database, &t, &why) && t.open("check", &why));
        CollectQueue queue(QStringLiteral("check"));
        auto state = [&] {
            const auto r = queue.requests();
            return r.size() == 1 ? r[0].state : QString::number(r.size());
        };

        // Due at 09:03: queued under the station's name, not called by the station itself.
        QVERIFY(f.time.rt.runUntil([&] { return state() == "pending"; }, 10 * 60'000));
        QCOMPARE(queue.requests().first().requestedBy, AlarmQueue::stationName());
        f.time.rt.runFor(5 * 60'000);
        QVERIFY(dialled.isEmpty());
        QVERIFY(desk.collect().collector()->waiting().isEmpty());

        // Ticked in "Setup": the modem takes the request between two polling rounds.
        desk.station().loadSetupWindow();
        QVERIFY(desk.station().setupWindow()->CheckQueue);
        desk.station().setupWindow()->CheckQueue->setChecked(true);
        desk.station().setupWindow()->unload();
        QVERIFY(desk.collect().servesQueue());
        QVERIFY(f.time.rt.runUntil([&] { return state() == "done"; }, 10 * 60'000));
        QCOMPARE(dialled, QList<QByteArray>{"ATD" + Corridor.toLatin1()});
        const auto audits = queue.audits();
        QCOMPARE(audits.size(), 1);
        QVERIFY(audits[0].evaDts.contains("CA2*"));
        QCOMPARE(queue.attempts().first().collector, AlarmQueue::stationName());
        // The port is the station's again: polling goes on.
        QVERIFY(f.time.rt.runUntil([&] { return desk.station().Timer2.isEnabled(); }, 5000));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    DeskTest t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_desk.moc"
