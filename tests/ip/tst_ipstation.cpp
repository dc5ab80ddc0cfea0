// The station's unattended collection reaching machines on IP, wired as the program wires it
// (StationDesk), on virtual time with real loopback sockets: the modem stays with the station.
#include "AuditJob.h"
#include "CallSession.h"
#include "Files.h"
#include "FrmCall.h"
#include "GsmModem.h"
#include "MachineController.h"
#include "MachineDb.h"
#include "MachineListModel.h"
#include "MachineListener.h"
#include "StationDesk.h"
#include "StationFixture.h"
#include "TcpMachine.h"
#include "UnattendedCollector.h"

#include <QAction>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {
const QString Corridor = QStringLiteral("3351234567"); // answers data calls on the modem
const QString Router = QStringLiteral("3357654321");   // on IP

struct Rig : StationFixture
{
    Rig()
    {
        gsm.setLatency(0);
        port.plug(1, &gsm);
        gsm.addMachine(Corridor.toLatin1(), &corridor);
        QObject::connect(&gsm, &ModemSim::commandReceived,
                         [this](const QByteArray &line) { modemLog << line; });
    }
    bool start(const QString &address, bool scheduled = true)
    {
        SqlMachineDb db(QDir(programFolder()).filePath("Dati.mdb"));
        Schedule schedule(QDir(programFolder()).filePath("PROGOR.DAT"));
        schedule[0].setNumber(Router);
        schedule[0].setHour(9);
        schedule[0].setMinute(3);
        schedule[0].setWeekday(6, scheduled);
        schedule[0].setWeekly(true);
        schedule[0].setUnattended(true);
        QString error;
        return db.open() &&
               db.append(MachineTables::Distributori,
                         {{"Description", "Corridor A"}, {"GSM", Corridor}}) &&
               db.append(MachineTables::Distributori, {{"Description", "Station router"},
                                                       {"GSM", Router},
                                                       {"Address", address},
                                                       {"Identity", "RTR-7"}}) &&
               writeFile(programFolder() + "/decod.asm", "CA2,CASH,3,6,8\r\nDA1,BLOCK\r\n") &&
               writeFile(programFolder() + "/address.asm", "CASH,0\r\nBLOCK,10\r\n") &&
               schedule.save() &&
               desk.listen("127.0.0.1:0", &error) && desk.station().load() &&
               time.rt.runUntil([this] { return desk.station().Timer2.isEnabled(); }, 120'000);
    }

    GsmModem gsm;
    MachineController corridor{MachineProfile::forNumber(Corridor.toLatin1())};
    MachineController routed{MachineProfile::forNumber(Router.toLatin1())};
    TcpMachine router{&routed};
    StationDesk desk{services, nullptr};
    UnattendedCollector &collector = *desk.collect().collector();
    QList<QByteArray> modemLog;
};
} // namespace

class IpStationTest : public QObject
{
    Q_OBJECT

private slots:
    void collectedOverIp_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("result");
        QTest::newRow("inbound, held online") << "inbound" << int(AuditJobOutcome::Completed);
        QTest::newRow("outbound") << "outbound" << int(AuditJobOutcome::Completed);
        QTest::newRow("inbound, never connected") << "absent" << int(AuditJobOutcome::DialFailed);
    }
    // The audit is read without the modem: nothing dialled, the station polls on during the
    // call and its menus stay available; a held machine is online again after its call.
    void collectedOverIp()
    {
        QFETCH(QString, kind);
        QFETCH(int, result);
        Rig r;
        QString address = QStringLiteral("inbound");
        if (kind == "outbound") {
            QVERIFY(r.router.listen(QHostAddress::LocalHost, 0));
            address = QStringLiteral("127.0.0.1:%1").arg(r.router.port());
        }
        QVERIFY(r.start(address));
        if (kind == "inbound") {
            r.router.connectTo("127.0.0.1", r.desk.listener()->port(), "RTR-7", 5000);
            QVERIFY(r.time.rt.runUntil([&] { return r.desk.listener()->isOnline(Router); },
                                       60'000));
        }
        QSignalSpy finished(&r.collector, &UnattendedCollector::attemptFinished);
        qsizetype polled = -1;
        bool menuDuringCall = false;
        QObject::connect(&r.collector, &UnattendedCollector::attemptStarted, [&] {
            polled = r.modemLog.count("AT+CSQ");
            menuDuringCall = r.desk.station().mnuCall->isEnabled();
        });
        QObject::connect(&r.collector, &UnattendedCollector::attemptFinished,
                         [&] { polled = r.modemLog.count("AT+CSQ") - polled; });
        QVERIFY(r.time.rt.runUntil([&] { return finished.size() == 1; }, 30 * 60'000));
        QCOMPARE(int(finished[0][1].value<AuditJobOutcome>().result), result);
        QVERIFY(menuDuringCall);
        QVERIFY(std::none_of(r.modemLog.cbegin(), r.modemLog.cend(),
                             [](const QByteArray &l) { return l.startsWith("ATD"); }));
        const QStringList files = QDir(r.workFolder() + "/Audit/" + Router).entryList(QDir::Files);
        if (result == AuditJobOutcome::Completed) {
            QCOMPARE(files, QStringList({"20261205-0903.img", "20261205-0903.txt"}));
            QVERIFY(polled > 0);
        } else {
            QCOMPARE(files, QStringList());
        }
        if (kind == "inbound")
            QVERIFY(r.time.rt.runUntil([&] { return r.desk.listener()->isOnline(Router); },
                                       60'000));
    }

    // The console lists a connected machine as online, and its call runs on that connection;
    // after the hang-up the machine connects again and is online again.
    void consoleCallsAnOnlineMachine()
    {
        Rig r;
        QVERIFY(r.start("inbound", false));
        r.router.connectTo("127.0.0.1", r.desk.listener()->port(), "RTR-7", 5000);
        QVERIFY(r.time.rt.runUntil([&] { return r.desk.listener()->isOnline(Router); }, 60'000));
        FrmCall &window = r.desk.calls().window();
        CallSession &session = r.desk.calls().session();
        window.show();
        window.activated();
        const QModelIndex shown = r.desk.calls().machines().index(1, MachineListModel::Description);
        QCOMPARE(shown.data().toString(), QString("Station router (online)"));
        window.rowClicked(1);
        window.Command2->click();
        QVERIFY(r.time.rt.runUntil([&] { return session.callUp(); }, 60'000));
        QCOMPARE(shown.data().toString(), QString("Station router"));
        QVERIFY(r.time.rt.runUntil([&] { return !session.busy(); }, 10 * 60'000));
        window.Command4->click();
        QVERIFY(!session.callUp());
        QVERIFY(r.time.rt.runUntil([&] { return r.desk.listener()->isOnline(Router); }, 60'000));
        QCOMPARE(shown.data().toString(), QString("Station router (online)"));
        QCOMPARE(r.router.connections(), 2);
        QVERIFY(std::none_of(r.modemLog.cbegin(), r.modemLog.cend(),
                             [](const QByteArray &l) { return l.startsWith("ATD"); }));
    }
};

QTEST_MAIN(IpStationTest)
#include "tst_ipstation.moc"
