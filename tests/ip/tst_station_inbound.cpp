// The station program, gsmcollect and gsmsim as separate processes on real loopback sockets:
// machines that connect out to the program that listens for them.
#include "GsmSimProcess.h"
#include "MachineDb.h"
#include "Schedule.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTemporaryDir>

namespace {
const QString Number = QStringLiteral("5550007");

quint16 freePort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}
} // namespace

class StationInboundTest : public QObject
{
    Q_OBJECT

private slots:
    // gsmcollect --listen: the job runs on the connection the machine opens; a port already
    // taken is a usage error.
    void gsmcollectListens_data()
    {
        QTest::addColumn<bool>("portTaken");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said"); // on standard error, %L the address
        QTest::newRow("machine connects") << false << 0 << "gsmcollect: done";
        QTest::newRow("port in use") << true << 2 << "gsmcollect: cannot listen on %L: ";
    }
    void gsmcollectListens()
    {
        QFETCH(bool, portTaken);
        QFETCH(int, status);
        QFETCH(QString, said);
        QTemporaryDir tmp;
        QTcpServer taken;
        quint16 port = freePort();
        if (portTaken) {
            QVERIFY(taken.listen(QHostAddress::LocalHost, 0));
            port = taken.serverPort();
        }
        const QString listen = QStringLiteral("127.0.0.1:%1").arg(port);
        QProcess collect;
        collect.start(GSMCOLLECT, {"--home", tmp.path(), "--number", Number, "--listen", listen,
                                   "--read-telemetry", tmp.filePath("t.tlm")});
        QVERIFY(collect.waitForStarted());
        // It connects again and again until gsmcollect listens.
        GsmSimProcess machine({"--connect", listen, "--machine", Number, "--retry", "200"});
        QVERIFY(collect.waitForFinished(120'000));
        const QString err = QString::fromLocal8Bit(collect.readAllStandardError());
        QVERIFY2(collect.exitCode() == status, qPrintable(err));
        QVERIFY2(err.contains(said.replace("%L", listen)), qPrintable(err));
        QCOMPARE(QFileInfo(tmp.filePath("t.tlm")).size(), status == 0 ? 1403 : 0);
    }

    void inboundMachineIsCollectedUnattended()
    {
        QTemporaryDir tmp;
        const QString prog = tmp.filePath("prog");
        QVERIFY(QDir().mkpath(prog));
        QCOMPARE(QProcess::execute(GSMSIM, {"--machine", Number, "--install-scripts", prog}), 0);
        {
            SqlMachineDb db(QDir(prog).filePath("Dati.mdb"));
            QVERIFY(db.open());
            QVERIFY(db.append(MachineTables::Distributori, {{"GSM", Number},
                                                            {"Description", "Router 7"},
                                                            {"Address", "inbound"}}));
        }
        // Due this minute and the next: the schedule is checked twice a minute.
        const QDateTime now = QDateTime::currentDateTime();
        Schedule schedule(QDir(prog).filePath("PROGOR.DAT"));
        for (int i = 0; i < 2; ++i) {
            const QTime at = now.addSecs(60 * i).time();
            schedule[i].setNumber(Number);
            schedule[i].setHour(at.hour());
            schedule[i].setMinute(at.minute());
            schedule[i].setWeekday(now.addSecs(60 * i).date().dayOfWeek(), true);
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
        QCOMPARE(files.size() % 2, 0);
        QVERIFY(!files.isEmpty());
    }
};

QTEST_GUILESS_MAIN(StationInboundTest)
#include "tst_station_inbound.moc"
