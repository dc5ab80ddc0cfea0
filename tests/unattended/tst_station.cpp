// The scheduler, the call console and the unattended collector in a station wired as the program
// wires it (StationDesk), against the simulated modem and machines, on virtual time.
#include "AuditFiles.h"
#include "FrmCall.h"
#include "GsmModem.h"
#include "MachineController.h"
#include "MachineDb.h"
#include "StationDesk.h"
#include "StationFixture.h"
#include "UnattendedCollector.h"

#include <QAction>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

namespace {
const QString Corridor = QStringLiteral("3351234567"); // answers data calls
const QString Busy = QStringLiteral("3359990001");     // always busy

// A station on Saturday 5 December 2026, 09:00, with two machines in its database, the
// conversion files in its program folder and one entry at 09:03 on Saturdays.
struct Rig : StationFixture
{
    Rig()
    {
        gsm.setLatency(0);
        port.plug(1, &gsm);
        gsm.addMachine(Corridor.toLatin1(), &machine);
        gsm.setDialAnswer(Busy.toLatin1(), DialAnswer::Busy);
        QObject::connect(&gsm, &ModemSim::commandReceived,
                         [this](const QByteArray &line) { log << Sent{now(), line}; });
    }
    bool start(const QString &number, bool unattended)
    {
        SqlMachineDb db(programFile("Dati.mdb"));
        Schedule schedule(programFile(QStringLiteral("PROGOR.DAT")));
        schedule[0].setNumber(number);
        schedule[0].setHour(9);
        schedule[0].setMinute(3);
        schedule[0].setWeekday(6, true);
        schedule[0].setWeekly(true);
        schedule[0].setUnattended(unattended);
        return db.open() &&
               db.append(MachineTables::Distributori,
                         {{"Description", "Corridor A"}, {"GSM", Corridor}}) &&
               db.append(MachineTables::Distributori,
                         {{"Description", "Busy corner"}, {"GSM", Busy}}) &&
               write(programFile("decod.asm"), "CA2,CASH,3,6,8\r\nDA1,BLOCK\r\n") &&
               write(programFile("address.asm"), "CASH,0\r\nBLOCK,10\r\n") && schedule.save() &&
               desk.station().load() &&
               time.rt.runUntil([this] { return desk.station().Timer2.isEnabled(); }, 120'000);
    }
    QString programFile(const QString &name) const { return QDir(programFolder()).filePath(name); }
    QString auditFile(const QString &rel) const { return workFolder() + "/Audit/" + rel; }
    QStringList logLines() const
    {
        return QString::fromLatin1(readAll(auditFile("collect.csv")))
            .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)
            .mid(1);
    }
    // Where each dial of number stands in the modem's log.
    QList<int> dials(const QString &number) const
    {
        QList<int> out;
        for (int i = 0; i < log.size(); ++i)
            if (log[i].line == "ATD" + number.toLatin1())
                out << i;
        return out;
    }
    // Whether network polling asked for the signal between two places of the log.
    bool polledBetween(int from, int to) const
    {
        for (int i = from + 1; i < to && i < log.size(); ++i)
            if (log[i].line == "AT+CSQ")
                return true;
        return false;
    }

    struct Sent
    {
        qint64 at;
        QByteArray line;
    };
    GsmModem gsm;
    MachineController machine{MachineProfile::forNumber(Corridor.toLatin1())};
    StationDesk desk{services, nullptr};
    FrmCall &window = desk.calls().window();
    UnattendedCollector &collector = *desk.collect().collector();
    QList<Sent> log;
};
} // namespace

class StationCollectTest : public QObject
{
    Q_OBJECT

private slots:
    // A console entry falls due: Timer6 opens the console on that machine, nothing is dialled.
    void aDueEntryOpensTheConsoleOnItsMachine()
    {
        Rig r;
        QVERIFY(r.start(Corridor, false));
        QVERIFY(r.time.rt.runUntil([&] { return r.window.isLoaded(); }, 10 * 60'000));
        if (!r.desk.scheduler().queue().first().isEmpty())
            r.window.activated(); // what the window system does when the console comes up
        QCOMPARE(r.window.Label1->text(), Corridor);
        QCOMPARE(r.window.Label4->text(), QStringLiteral("Corridor A"));
        QCOMPARE(r.window.ListView1->currentIndex().row(), 0);
        QVERIFY(!r.window.Command9->isEnabled());
        r.time.rt.runFor(10 * 60'000);
        QVERIFY(r.dials(Corridor).isEmpty());
        QVERIFY(!QFile::exists(r.auditFile("collect.csv")));
    }

    // An unattended entry: the audit is read and filed without anyone, equal to what
    // evadts-convert makes of the same image, one log line, and polling goes on.
    void anUnattendedEntryIsCollectedAndFiled()
    {
        Rig r;
        QVERIFY(r.start(Corridor, true));
        QSignalSpy finished(&r.collector, &UnattendedCollector::attemptFinished);
        QList<bool> menu; // "Call", "Send SMS", "Setup" while the collection holds the port
        QObject::connect(&r.collector, &UnattendedCollector::attemptStarted, [&] {
            for (QAction *a : {r.desk.station().mnuCall, r.desk.station().mnuSSMS,
                               r.desk.station().mnuSet})
                menu << a->isEnabled();
        });
        QVERIFY(r.time.rt.runUntil([&] { return finished.size() == 1; }, 30 * 60'000));
        const int ended = int(r.log.size());
        QCOMPARE(menu, QList<bool>({false, false, false}));
        QVERIFY(r.desk.station().mnuCall->isEnabled() && r.desk.station().mnuSet->isEnabled());
        QCOMPARE(finished[0][1].value<AuditJobOutcome>().result, AuditJobOutcome::Completed);
        QVERIFY(!r.window.isLoaded());
        QCOMPARE(r.dials(Corridor).size(), 1);
        QCOMPARE(r.machine.eraseCount(), 0);
        QVERIFY(!r.gsm.callUp());

        const QDir folder(r.auditFile(Corridor));
        QCOMPARE(folder.entryList(QDir::Files),
                 QStringList({"20261205-0903.img", "20261205-0903.txt"}));
        QProcess convert;
        convert.setWorkingDirectory(r.programFolder());
        convert.start(QStringLiteral(EVADTS_CONVERT),
                      {"--script", "decod.asm", "--address", "address.asm", "--image",
                       folder.filePath("20261205-0903.img")});
        QVERIFY(convert.waitForFinished(60'000));
        QCOMPARE(convert.exitCode(), 0);
        const QByteArray records = convert.readAllStandardOutput();
        QVERIFY(records.startsWith("CA2*"));
        QCOMPARE(readAll(folder.filePath("20261205-0903.txt")), records);

        const QStringList lines = r.logLines();
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].startsWith("2026-12-05 09:03:"), qPrintable(lines[0]));
        QCOMPARE(lines[0].section(u',', 1),
                 QString("%1,Corridor A,Completed,%2,Audit/%1/20261205-0903.txt")
                     .arg(Corridor, lines[0].section(u',', 4, 4)));
        QVERIFY(lines[0].section(u',', 4, 4).toInt() > 60);
        r.time.rt.runFor(1000);
        QVERIFY(r.polledBetween(ended - 1, int(r.log.size())));
    }

    // A busy machine: three attempts 5 minutes apart, each logged, polling between them, and a
    // tray message at the end.
    void aBusyMachineIsTriedThreeTimes()
    {
        Rig r;
        QVERIFY(r.start(Busy, true));
        QSignalSpy finished(&r.collector, &UnattendedCollector::attemptFinished);
        QVERIFY(r.time.rt.runUntil([&] { return finished.size() == 3; }, 60 * 60'000));
        r.time.rt.runFor(30 * 60'000);
        const QList<int> dials = r.dials(Busy);
        QCOMPARE(dials.size(), 3);
        for (int i = 1; i < 3; ++i) {
            const qint64 gap = r.log[dials[i]].at - r.log[dials[i - 1]].at;
            QVERIFY2(gap >= 5 * 60'000 && gap < 6 * 60'000, qPrintable(QString::number(gap)));
            QVERIFY(r.polledBetween(dials[i - 1], dials[i]));
        }
        const QStringList lines = r.logLines();
        QCOMPARE(lines.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(lines[i].section(u',', 1, 3), QString(Busy + ",Busy corner,Busy"));
            QVERIFY2(lines[i].contains(QString("BUSY (attempt %1 of 3").arg(i + 1)),
                     qPrintable(lines[i]));
        }
        QCOMPARE(r.tray.messageTitle(), QStringLiteral("Audit not collected"));
        QVERIFY(r.tray.messageText().startsWith("Busy corner (" + Busy + "): Busy, attempt 3"));
        QCOMPARE(QDir(r.auditFile(Busy)).entryList(QDir::Files), QStringList());
        QVERIFY(r.desk.station().Timer2.isEnabled());
    }
};

QTEST_MAIN(StationCollectTest)
#include "tst_station.moc"
