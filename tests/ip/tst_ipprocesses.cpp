// gsmcollect, the station program and gsmsim as separate processes on real loopback sockets and
// real time: machines reached at their routers, and machines that connect out to the program.
#include "Files.h"
#include "GsmSimProcess.h"
#include "MachineDb.h"
#include "Rows.h"
#include "Schedule.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <memory>

namespace {
const QString Number = QStringLiteral("5550001");

quint16 freePort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

bool installScripts(const QString &prog)
{
    return QDir().mkpath(prog) &&
           QProcess::execute(GSMSIM, {"--machine", Number, "--install-scripts", prog}) == 0;
}
} // namespace

// How gsmcollect reaches the machine, the peer (router, refusing, machine: it connects out,
// taken), the job, the exit status, and what standard error says (%A the address).
using Run = Rows<QString, QString, QStringList, int, QStringList>;

class IpProcessesTest : public QObject
{
    Q_OBJECT

private slots:
    // No modem, no --ports: the job runs on a connection to the machine's router or on the one
    // the machine opens; failures are the console's, a port in use a usage error.
    void gsmcollect_data()
    {
        const QStringList telemetry{"--read-telemetry", "t.tlm"};
        const auto row = Run::table();
        row("telemetry read", "--address", "router", telemetry, 0,
            {"gsmcollect: connected to %A\n", "gsmcollect: done\n"});
        row("audit", "--address", "router", {"--audit", "a.txt", "--image", "a.img"}, 0,
            {"gsmcollect: done\n"});
        row("refused port", "--address", "refusing", telemetry, 1,
            {"gsmcollect: no connection to %A: Connection refused\n", "gsmcollect: NO CARRIER\n",
             "gsmcollect: failed: the call did not connect: NO CARRIER\n"});
        row("machine connects", "--listen", "machine", telemetry, 0, {"gsmcollect: done\n"});
        row("port in use", "--listen", "taken", telemetry, 2, {"gsmcollect: cannot listen on %A: "});
    }
    void gsmcollect()
    {
        const auto [how, peer, job, status, said] = Run::fetch();
        QTemporaryDir tmp;
        const QString prog = tmp.filePath("prog");
        QVERIFY(installScripts(prog));
        QTcpServer taken;
        std::unique_ptr<GsmSimProcess> sim;
        QString address = QStringLiteral("127.0.0.1:%1").arg(freePort());
        if (peer == "router") {
            sim = std::make_unique<GsmSimProcess>(
                QStringList{"--tcp-machines", "0", "--machine", Number, "--verbose"});
            const QStringList served = sim->device().split(u' ');
            QCOMPARE(served.value(1), Number);
            address = served.first();
        } else if (peer == "taken") {
            QVERIFY(taken.listen(QHostAddress::LocalHost, 0));
            address = QStringLiteral("127.0.0.1:%1").arg(taken.serverPort());
        }
        QProcess collect;
        collect.setWorkingDirectory(tmp.path());
        collect.start(GSMCOLLECT,
                      QStringList{"--home", prog, "--number", Number, how, address, "--verbose"} +
                          job);
        QVERIFY(collect.waitForStarted());
        if (peer == "machine") // it connects again and again until gsmcollect listens
            sim = std::make_unique<GsmSimProcess>(
                QStringList{"--connect", address, "--machine", Number, "--retry", "200"});
        QVERIFY(collect.waitForFinished(180'000));
        const QString err = QString::fromLocal8Bit(collect.readAllStandardError());
        QVERIFY2(collect.exitCode() == status, qPrintable(err));
        for (const QString &l : said)
            QVERIFY2(err.contains(QString(l).replace("%A", address)), qPrintable(err));
        QVERIFY(!err.contains("modem"));
        if (peer == "router") // the hang-up is the end of the connection
            QVERIFY(sim->output().contains(Number.toLatin1() + " disconnected"));
        QCOMPARE(QFileInfo(tmp.filePath("t.tlm")).size(),
                 job.contains("t.tlm") && status == 0 ? 1403 : 0);
        if (job.contains("a.img")) {
            // The image holds the machine's memory, the clock aside (it moves on).
            const QString expected = tmp.filePath("expected.img");
            QCOMPARE(QProcess::execute(GSMSIM, {"--machine", Number, "--audit-image", expected}),
                     0);
            const QByteArray image = readFile(tmp.filePath("a.img"));
            const QByteArray machine = readFile(expected);
            QCOMPARE(image.size(), machine.size());
            QCOMPARE(image.mid(8, image.size() - 10), machine.mid(8, machine.size() - 10));
            QVERIFY(QFileInfo(tmp.filePath("a.txt")).size() > 0);
        }
    }

    void inboundMachineIsCollectedUnattended()
    {
        QTemporaryDir tmp;
        const QString prog = tmp.filePath("prog");
        QVERIFY(installScripts(prog));
        SqlMachineDb db(QDir(prog).filePath("Dati.mdb"));
        QVERIFY(db.open() &&
                db.append(MachineTables::Distributori,
                          {{"GSM", Number}, {"Description", "Router"}, {"Address", "inbound"}}));
        // Due this minute and the next: the schedule is checked twice a minute.
        const QDateTime now = QDateTime::currentDateTime();
        Schedule schedule(QDir(prog).filePath("PROGOR.DAT"));
        for (int i = 0; i < 2; ++i) {
            const QDateTime at = now.addSecs(60 * i);
            schedule[i].setNumber(Number);
            schedule[i].setHour(at.time().hour());
            schedule[i].setMinute(at.time().minute());
            schedule[i].setWeekday(at.date().dayOfWeek(), true);
            schedule[i].setWeekly(true);
            schedule[i].setUnattended(true);
        }
        QVERIFY(schedule.save());

        const QString listen = QStringLiteral("127.0.0.1:%1").arg(freePort());
        QProcess station;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TMPDIR", tmp.path());
        station.setProcessEnvironment(env);
        station.start(GSMSTATION, {"--home", prog, "--simulate", "--verbose", "--listen", listen});
        QVERIFY(station.waitForStarted());
        GsmSimProcess machine({"--connect", listen, "--machine", Number, "--retry", "500"});
        QCOMPARE(machine.device(), Number + " -> " + listen);

        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        const QByteArray done = "unattended: " + Number.toLatin1() + ": ";
        while (!out.contains(done) && clock.elapsed() < 150'000 &&
               station.state() == QProcess::Running)
            if (station.waitForReadyRead(1000))
                out += station.readAllStandardOutput();
        out += station.readAllStandardOutput();
        station.kill();
        station.waitForFinished();
        const QByteArray err = station.readAllStandardError();
        QVERIFY2(out.contains(done + "Completed"), (out + err).constData());
        QVERIFY2(err.contains("machine " + Number.toLatin1() + " online from 127.0.0.1:"),
                 err.constData());
        QVERIFY(!out.contains("modem <- ATD" + Number.toLatin1()));
        const QStringList files =
            QDir(tmp.filePath("Audit/" + Number)).entryList({"*.txt", "*.img"}, QDir::Files);
        QVERIFY(!files.isEmpty() && files.size() % 2 == 0);
    }
};

QTEST_GUILESS_MAIN(IpProcessesTest)
#include "tst_ipprocesses.moc"
