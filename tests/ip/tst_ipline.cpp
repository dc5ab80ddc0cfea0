// The machine's line over TCP on virtual time with real loopback sockets: its address, how a
// connection fails, a held connection, an IP call beside a data call, and saving its files.
#include "CallSession.h"
#include "CollectJob.h"
#include "DemoScripts.h"
#include "Files.h"
#include "GsmModem.h"
#include "IoWatch.h"
#include "LoopbackPort.h"
#include "MachineAddress.h"
#include "MachineController.h"
#include "MachineFiles.h"
#include "Rows.h"
#include "Runtime.h"
#include "TcpLine.h"
#include "TcpMachine.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>

namespace {
using Kind = CollectJob::Kind;
const QByteArray GsmNumber = "3351234567";
const QByteArray IpNumber = "3357654321";
constexpr int IpStartMs = 15000; // while the data call transfers, past its dial and settle

// A loopback port that takes no connection: one connection fills its queue and nobody accepts,
// so the next attempt hears nothing, as a machine behind a dead router.
struct SilentPort
{
    SilentPort()
    {
        server.setListenBacklogSize(0);
        server.listen(QHostAddress::LocalHost, 0);
        server.pauseAccepting();
        filler.connectToHost(QHostAddress::LocalHost, server.serverPort());
    }
    QTcpServer server;
    QTcpSocket filler;
};

// One machine answering data calls through the simulated modem, another behind a router on
// loopback TCP, both on virtual time, with a program folder of their own.
struct Station
{
    explicit Station(const QString &folder) : folder(folder)
    {
        QDir().mkpath(folder);
        DemoScripts::install(folder);
        port.plug(1, &modem);
        port.setSettings(QStringLiteral("19200,N,8,1"));
        port.open();
        modem.setEcho(false);
        modem.addMachine(GsmNumber, &gsmMachine);
        // On the station's job runner, whose port is the modem's: the line keeps it off it.
        setLine(std::make_unique<TcpLine>(QStringLiteral("127.0.0.1"), router.port()));
    }
    ~Station() { QDir::setCurrent(QDir::tempPath()); }
    void setLine(std::unique_ptr<TcpLine> l)
    {
        line = std::move(l);
        ipJob.setLine(line.get());
    }

    CollectJob::Request request(Kind kind, const QByteArray &number, const QString &name) const
    {
        CollectJob::Request r;
        r.kind = kind;
        r.number = QString::fromLatin1(number);
        r.file = QDir(folder).filePath(name);
        if (kind == Kind::Audit)
            r.image = r.file + QStringLiteral(".img");
        return r;
    }

    QString folder;
    VirtualTimeScope time;
    LoopbackPort port;
    GsmModem modem;
    MachineController gsmMachine{MachineProfile::forNumber(GsmNumber)};
    MachineController ipMachine{MachineProfile::forNumber(IpNumber)};
    TcpMachine router{&ipMachine};
    const bool listening = router.listen(QHostAddress::LocalHost, 0);
    std::unique_ptr<TcpLine> line;
    CollectJob gsmJob{port, folder};
    CollectJob ipJob{port, folder};
};
} // namespace

// The text, whether it is an address to listen on, and host:port parsed ("-" refused).
using Address = Rows<QString, bool, QString>;
// The peer, the job's reason, the time waited (-1: whatever the transfer took), the line's.
using Failure = Rows<QString, QString, qint64, QString>;
using Beside = Rows<Kind, QStringList>; // the files in the program folder after both jobs
using Saved = Rows<QString, bool>; // how, saved

class IpLineTest : public QObject
{
    Q_OBJECT

private slots:
    void address_data()
    {
        const auto row = Address::table();
        row("IPv4", "127.0.0.1:4001", false, "127.0.0.1:4001");
        row("host name", "router-7.example.org:1", false, "router-7.example.org:1");
        row("IPv6 in brackets", "[::1]:65535", false, "::1:65535");
        row("IPv6 without brackets", "::1:502", false, "-");
        row("not an IPv6 address", "[router]:502", false, "-");
        row("no port", "router", false, "-");
        row("no host", ":4001", false, "-");
        row("port 0", "router:0", false, "-");
        row("port too big", "router:65536", true, "-");
        row("signed port", "router:+4001", false, "-");
        row("blank in the host", "rou ter:4001", false, "-");
        row("incomplete IPv4", "10.0.7:4001", false, "-");
        row("listening on any port", "127.0.0.1:0", true, "127.0.0.1:0");
        row("listening everywhere", "*:4001", true, ":4001");
        row("listening, no host", ":4001", true, ":4001");
    }
    void address()
    {
        const auto [text, listening, parsed] = Address::fetch();
        const MachineAddress a = MachineAddress::parseHostPort(
            text, listening ? MachineAddress::End::Listening : MachineAddress::End::Connecting);
        QCOMPARE(a.kind == MachineAddress::Kind::Connect, parsed != "-");
        QCOMPARE(a.problem.isEmpty(), parsed != "-");
        if (parsed != "-")
            QCOMPARE(a.host + ':' + QString::number(a.port), parsed);
    }

    // The connection fails the way a dial does: the console's message, no call, no job, the
    // time the station waited, and the line's own reason for the trace.
    void connectionFailures_data()
    {
        const auto row = Failure::table();
        row("no answer", "silent", "the call did not connect: Time OUT",
            CallSession::ConnectTimeoutMs, "no connection after 20000 ms");
        row("closed during the call", "dropping", "the job did not complete: Lost Connection", -1,
            "closed");
        row("inbound machine not connected", "absent", "the call did not connect: NO CARRIER", 0,
            "the machine is not connected");
    }
    void connectionFailures()
    {
        const auto [peer, reason, waitedMs, why] = Failure::fetch();
        QTemporaryDir tmp;
        Station s(tmp.path());
        SilentPort dead;
        LinkFaults drop;
        drop.dropAfter = 10;
        s.ipMachine.setFaults(drop);
        if (peer == "absent")
            s.setLine(std::make_unique<TcpLine>(nullptr));
        else if (peer != "dropping")
            s.setLine(std::make_unique<TcpLine>(QStringLiteral("127.0.0.1"),
                                                dead.server.serverPort()));
        const CollectJob::Request r = s.request(Kind::ReadTelemetry, IpNumber, "t.tlm");
        const CollectJob::Result result = s.ipJob.run(r);
        QCOMPARE(result.status, CollectJob::Status::Failed);
        QCOMPARE(result.reason, reason);
        if (waitedMs >= 0) {
            QCOMPARE(s.time.rt.nowMs(), waitedMs);
            QVERIFY(!s.ipJob.connected());
        }
        QCOMPARE(s.line->state(), TcpLine::State::Closed);
        QVERIFY2(s.line->reason().contains(why, Qt::CaseInsensitive), qPrintable(s.line->reason()));
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
    // An IP call runs beside a data call, on the same event loop, and neither notices: the files
    // are those each gives alone, the modem hears the same commands, the router one connection.
    void callOverTcpBesideDataCall_data()
    {
        const auto row = Beside::table();
        row("audits", Kind::Audit, {"gsm.txt", "gsm.img", "ip.txt", "ip.img"});
        row("configuration reads", Kind::ReadConfig,
            {"Cartella/" + GsmNumber + ".ntm", "Cartella/" + IpNumber + ".ntm"});
    }
    void callOverTcpBesideDataCall()
    {
        const auto [kind, files] = Beside::fetch();
        QTemporaryDir tmp;
        const QString suffix = kind == Kind::ReadConfig ? QStringLiteral(".prm") : QString();
        struct Outcome
        {
            QMap<QString, QByteArray> files;
            QList<QByteArray> commands;
            int connections = 0;
            bool overlapped = false;
        };
        auto run = [&](const QString &name, bool gsm, bool ip, Outcome &o) {
            Station s(tmp.filePath(name));
            std::optional<CollectJob::Result> ipResult;
            if (ip)
                s.time.rt.post(IpStartMs, [&] {
                    o.overlapped = s.modem.callUp();
                    ipResult = s.ipJob.run(s.request(kind, IpNumber, "ip" + suffix));
                });
            if (gsm)
                QCOMPARE(s.gsmJob.run(s.request(kind, GsmNumber, "gsm" + suffix)).status,
                         CollectJob::Status::Done);
            s.time.rt.runUntil([&] { return !ip || ipResult; }, 3600 * 1000);
            if (ip)
                QCOMPARE(ipResult ? ipResult->status : CollectJob::Status::Failed,
                         CollectJob::Status::Done);
            for (const QString &f : files)
                if (QFile::exists(QDir(s.folder).filePath(f)))
                    o.files[f] = readFile(QDir(s.folder).filePath(f));
            o.commands = s.modem.commands();
            o.connections = s.router.connections();
            QVERIFY(!s.line->isOpen());
        };
        Outcome gsmAlone, ipAlone, both;
        run("gsm", true, false, gsmAlone);
        run("ip", false, true, ipAlone);
        run("both", true, true, both);
        QVERIFY(both.overlapped);
        QCOMPARE(both.files.size(), files.size());
        for (auto it = both.files.cbegin(); it != both.files.cend(); ++it) {
            const bool viaIp = it.key().contains(IpNumber) || it.key().startsWith("ip");
            QCOMPARE(it.value(), (viaIp ? ipAlone : gsmAlone).files.value(it.key()));
        }
        QCOMPARE(both.commands, gsmAlone.commands);
        QVERIFY(ipAlone.commands.isEmpty());
        QCOMPARE(both.connections, 1);
    }

    // A call's file reaches the disk off the event thread: its owner hears through the event
    // loop, never inside the call, and virtual time stands still meanwhile; a refused file
    // leaves nothing behind.
    void savedOffTheEventThread_data()
    {
        const auto row = Saved::table();
        row("saved", "", true);
        row("a folder where the file goes", "folder first", false);
        row("a folder put there before the rename", "folder later", false);
    }
    void savedOffTheEventThread()
    {
        const auto [how, saved] = Saved::fetch();
        VirtualTimeScope time;
        time.rt.runFor(1000);
        QTemporaryDir tmp;
        const QString path = tmp.filePath("t.tlm");
        QObject owner;
        std::optional<bool> told;
        if (how == "folder first")
            QVERIFY(QDir().mkpath(path + "/x"));
        if (how == "folder later") {
            OutputFile out(path);
            QVERIFY(out.open() && out.write("new"));
            QVERIFY(QDir().mkpath(path + "/x"));
            MachineFiles::commitLater(out, &owner,
                                      [&](const OutputFile::Committed &c) { told = c.ok; });
        } else {
            MachineFiles::writeWholeFileLater(
                path, "new", &owner, [&](const MachineFiles::Result &r) { told = r.ok(); });
        }
        QVERIFY(!told);
        QVERIFY(time.rt.runUntil([&] { return told.has_value(); }, 0));
        QCOMPARE(time.rt.nowMs(), 1000);
        QCOMPARE(*told, saved);
        QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"t.tlm"});
        if (saved)
            QCOMPARE(readFile(path), QByteArray("new"));
    }
};

QTEST_GUILESS_MAIN(IpLineTest)
#include "tst_ipline.moc"
