#include "Clock.h"
#include "CollectQueue.h"
#include "ConsoleAuditRunner.h"
#include "DatabaseTarget.h"
#include "Files.h"
#include "FleetCollector.h"
#include "GsmModem.h"
#include "LoopbackPort.h"
#include "MachineController.h"
#include "Runtime.h"

#include <QDir>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QtTest>
#include <array>
#include <memory>

namespace {
const QList<QByteArray> Numbers = {"3351000001", "3351000002", "3351000003", "3351000004"};

// A modem line of the collector: a simulated modem that reaches every machine of the fleet.
struct ModemLine
{
    ModemLine(int n, std::array<MachineController, 4> &fleet, const QString &programFolder)
    {
        port.plug(n, &modem);
        port.setSettings(QStringLiteral("19200,N,8,1"));
        port.setCommPort(n);
        port.open();
        modem.setEcho(false);
        for (int i = 0; i < Numbers.size(); ++i)
            modem.addMachine(Numbers[i], &fleet[i]);
        runner = std::make_unique<ConsoleAuditRunner>(port, programFolder);
    }
    LoopbackPort port;
    GsmModem modem;
    std::unique_ptr<ConsoleAuditRunner> runner;
};
} // namespace

// The collector on virtual time: two modem lines against the simulated fleet, the queue in a
// SQLite file (the server's side of the queue is the queue test's).
class FleetCollectorTest : public QObject
{
    Q_OBJECT
    struct Rig
    {
        Rig()
        {
            QDir(tmp.path()).mkpath(QStringLiteral("prog"));
            const QString prog = tmp.filePath(QStringLiteral("prog"));
            QVERIFY(writeFile(prog + "/decod.asm", "CA2,CASH,3,6,8\r\nDA1,BLOCK\r\n") &&
                    writeFile(prog + "/address.asm", "CASH,0\r\nBLOCK,10\r\n"));
            for (int n = 1; n <= 2; ++n)
                lines.push_back(std::make_unique<ModemLine>(n, fleet, prog));
            DatabaseTarget t;
            QString why;
            QVERIFY(DatabaseTarget::parse(tmp.filePath("fleet.db"), &t, &why));
            QVERIFY2(t.open(QStringLiteral("fleet"), &why), qPrintable(why));
            QVERIFY2(queue.prepare(&why), qPrintable(why));
            options.name = QStringLiteral("c1");
            options.workFolder = tmp.filePath(QStringLiteral("work"));
            collector = std::make_unique<FleetCollector>(queue, clock, options);
            for (auto &l : lines)
                collector->addModemLine(l->runner.get());
            QObject::connect(collector.get(), &FleetCollector::line,
                             [this](const QString &l) { log << l; });
        }
        ~Rig()
        {
            collector.reset();
            QSqlDatabase::database(QStringLiteral("fleet"), false).close();
            QSqlDatabase::removeDatabase(QStringLiteral("fleet"));
            QDir::setCurrent(QDir::tempPath());
        }
        void enqueueAll()
        {
            for (const QByteArray &n : Numbers)
                queue.enqueue(QString::fromLatin1(n), CollectQueue::AuditJob, true,
                              clock.now().toMSecsSinceEpoch(), "test");
        }
        bool allSettled() const
        {
            const auto rs = queue.requests();
            return std::all_of(rs.begin(), rs.end(), [](auto &r) { return r.state != "pending"; });
        }

        VirtualTimeScope time;
        QTemporaryDir tmp;
        std::array<MachineController, 4> fleet;
        std::vector<std::unique_ptr<ModemLine>> lines;
        FakeClock clock{QDateTime(QDate(2026, 12, 6), QTime(22, 0), Qt::UTC)};
        CollectQueue queue{QStringLiteral("fleet")};
        FleetCollector::Options options;
        std::unique_ptr<FleetCollector> collector;
        QStringList log;
    };

private slots:
    void aStoppedCollectorAbandonsItsCallsAfterTheGrace()
    {
        Rig rig;
        rig.enqueueAll();
        rig.collector->start();
        QSignalSpy stopped(rig.collector.get(), &FleetCollector::stopped);
        rig.time.rt.runFor(20'000); // both lines are in a call
        QVERIFY2(rig.collector->running() == 2, qPrintable(rig.log.join('\n')));
        rig.collector->stop();
        // Within 30 s, hang-ups included.
        QVERIFY2(rig.time.rt.runUntil([&] { return stopped.count() > 0; }, 30'000),
                 qPrintable(rig.log.join('\n')));
        QVERIFY(!rig.lines[0]->modem.callUp() && !rig.lines[1]->modem.callUp());
        int pending = 0;
        for (const auto &r : rig.queue.requests())
            pending += r.state == "pending" && r.holder.isEmpty() && r.attempts == 0;
        QCOMPARE(pending, Numbers.size());
        const auto attempts = rig.queue.attempts();
        QCOMPARE(attempts.size(), 2);
        QCOMPARE(attempts[0].outcome, CollectQueue::Abandoned);
        QVERIFY(rig.queue.audits().isEmpty());
    }

    void resultsWaitForTheDatabaseAndAreFiledOnce()
    {
        Rig rig;
        int reconnects = 0;
        rig.collector->setReconnect([&] {
            // The database comes back on the third try.
            return ++reconnects >= 3 && QSqlDatabase::database(QStringLiteral("fleet"), false).open();
        });
        rig.enqueueAll();
        rig.collector->start();
        rig.time.rt.runFor(20'000);
        QSqlDatabase::database(QStringLiteral("fleet"), false).close();
        QVERIFY2(rig.time.rt.runUntil([&] {
            return QSqlDatabase::database(QStringLiteral("fleet"), false).isOpen() && rig.allSettled();
        }, 3600'000), qPrintable(rig.log.join('\n')));
        QCOMPARE(reconnects, 3);
        QVERIFY(!rig.log.filter("retrying").isEmpty());
        QSet<QString> filed;
        for (const auto &a : rig.queue.audits())
            if (a.evaDts.startsWith("CA2*"))
                filed << a.gsm;
        QCOMPARE(filed.size(), Numbers.size());
        QCOMPARE(rig.queue.audits().size(), Numbers.size());
        // Two lines: each machine called once, the four calls in two rounds.
        QCOMPARE(rig.log.filter("calling").size(), Numbers.size());
    }
};

QTEST_GUILESS_MAIN(FleetCollectorTest)
#include "tst_collector.moc"
