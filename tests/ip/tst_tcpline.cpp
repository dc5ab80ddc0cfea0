#include "CallSession.h"
#include "CollectJob.h"
#include "IoWatch.h"
#include "MachineAddress.h"
#include "MachineController.h"
#include "Runtime.h"
#include "TcpLine.h"
#include "TcpMachine.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// A loopback port that takes no connection: one connection fills its queue and nobody accepts,
// so the next attempt hears nothing, as a machine behind a dead router.
struct SilentPort
{
    SilentPort()
    {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(listener, reinterpret_cast<sockaddr *>(&a), len);
        ::listen(listener, 0);
        ::getsockname(listener, reinterpret_cast<sockaddr *>(&a), &len);
        port = ntohs(a.sin_port);
        filler = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(filler, reinterpret_cast<sockaddr *>(&a), len);
    }
    ~SilentPort()
    {
        ::close(filler);
        ::close(listener);
    }
    int listener = -1;
    int filler = -1;
    quint16 port = 0;
};

quint16 refusingPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}
} // namespace

class TcpLineTest : public QObject
{
    Q_OBJECT

private slots:
    void address_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("listening");
        QTest::addColumn<QString>("host"); // "-" refused
        QTest::addColumn<int>("port");
        QTest::newRow("IPv4") << "127.0.0.1:4001" << false << "127.0.0.1" << 4001;
        QTest::newRow("host name") << "router-7.example.org:1" << false << "router-7.example.org"
                                   << 1;
        QTest::newRow("IPv6 in brackets") << "[::1]:65535" << false << "::1" << 65535;
        QTest::newRow("IPv6 without brackets") << "::1:502" << false << "-" << 0;
        QTest::newRow("not an IPv6 address") << "[router]:502" << false << "-" << 0;
        QTest::newRow("no port") << "router" << false << "-" << 0;
        QTest::newRow("no host") << ":4001" << false << "-" << 0;
        QTest::newRow("port 0") << "router:0" << false << "-" << 0;
        QTest::newRow("port too big") << "router:65536" << true << "-" << 0;
        QTest::newRow("signed port") << "router:+4001" << false << "-" << 0;
        QTest::newRow("blank in the host") << "rou ter:4001" << false << "-" << 0;
        QTest::newRow("incomplete IPv4") << "10.0.7:4001" << false << "-" << 0;
        QTest::newRow("inbound is no address") << "inbound" << false << "-" << 0;
        QTest::newRow("listening on any port") << "127.0.0.1:0" << true << "127.0.0.1" << 0;
        QTest::newRow("listening everywhere") << "*:4001" << true << "" << 4001;
        QTest::newRow("listening, no host") << ":4001" << true << "" << 4001;
    }
    void address()
    {
        QFETCH(QString, text);
        QFETCH(bool, listening);
        QFETCH(QString, host);
        QFETCH(int, port);
        const MachineAddress a = MachineAddress::parseHostPort(
            text, listening ? MachineAddress::End::Listening : MachineAddress::End::Connecting);
        QCOMPARE(a.kind == MachineAddress::Kind::Connect, host != "-");
        QCOMPARE(a.problem.isEmpty(), host != "-");
        if (host != "-")
            QCOMPARE(a.host + ':' + QString::number(a.port), host + ':' + QString::number(port));
    }

    // The connection fails the way a dial does: the console's message, no call, no job, and the
    // time the station waited.
    void connectionFailures_data()
    {
        QTest::addColumn<QString>("peer");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<qint64>("waitedMs"); // -1: whatever the transfer took
        QTest::newRow("refused") << "refusing" << "the call did not connect: NO CARRIER"
                                 << qint64(0);
        QTest::newRow("no answer") << "silent" << "the call did not connect: Time OUT"
                                   << qint64(CallSession::ConnectTimeoutMs);
        QTest::newRow("closed during the call")
            << "dropping" << "the job did not complete: Lost Connection" << qint64(-1);
    }
    void connectionFailures()
    {
        QFETCH(QString, peer);
        QFETCH(QString, reason);
        QFETCH(qint64, waitedMs);
        VirtualTimeScope time;
        QTemporaryDir tmp;
        SilentPort dead;
        MachineController machine;
        LinkFaults drop;
        drop.dropAfter = 10;
        machine.setFaults(drop);
        TcpMachine router(&machine);
        router.listen(QHostAddress::LocalHost, 0);
        const quint16 port = peer == "silent"     ? dead.port
                             : peer == "refusing" ? refusingPort()
                                                  : router.port();
        TcpLine line(QStringLiteral("127.0.0.1"), port);
        CollectJob job(line, tmp.path());
        job.setLine(&line);
        CollectJob::Request r;
        r.kind = CollectJob::Kind::ReadTelemetry;
        r.number = QStringLiteral("5550001");
        r.file = tmp.filePath(QStringLiteral("t.tlm"));
        const CollectJob::Result result = job.run(r);
        QCOMPARE(result.status, CollectJob::Status::Failed);
        QCOMPARE(result.reason, reason);
        if (waitedMs >= 0) {
            QCOMPARE(time.rt.nowMs(), waitedMs);
            QVERIFY(!job.connected());
        }
        QCOMPARE(line.state(), TcpLine::State::Closed);
        QVERIFY(!QFile::exists(r.file));
    }

    // A connection the machine opened is held silent until a call takes it: what the machine
    // sends before is dropped, never taken as an answer; once the call has it, bytes count.
    void heldConnectionDropsWhatCameBeforeTheCall()
    {
        VirtualTimeScope time;
        QTcpServer station;
        QVERIFY(station.listen(QHostAddress::LocalHost, 0));
        IoWatch::watch(&station);
        QTcpSocket machine;
        IoWatch::watch(&machine);
        machine.connectToHost(QHostAddress::LocalHost, station.serverPort());
        QVERIFY(time.rt.runUntil([&] { return station.hasPendingConnections(); }, 1000));
        TcpLine line(station.nextPendingConnection());
        QCOMPARE(line.state(), TcpLine::State::Connected);
        machine.write("3351234567\r\nstale answer");
        machine.flush();
        time.rt.runFor(10);
        line.connectLine();
        QCOMPARE(line.inBufferCount(), 0);
        machine.write("<SOH>");
        machine.flush();
        time.rt.runFor(10);
        QCOMPARE(line.readAll(), QByteArray("<SOH>"));
        machine.close();
        time.rt.runFor(10);
        QCOMPARE(line.state(), TcpLine::State::Dropped);
        QVERIFY(!line.carrierDetect());
    }
};

QTEST_GUILESS_MAIN(TcpLineTest)
#include "tst_tcpline.moc"
