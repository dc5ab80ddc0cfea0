#include "Identification.h"
#include "MachineListener.h"
#include "Runtime.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <memory>
#include <sys/socket.h>

namespace {
// Real loopback sockets on virtual time: the identification time-outs run on the virtual clock,
// the sockets' events are waited for in the event loop (woken by I/O, never by sleeping).
bool pump(const std::function<bool()> &done)
{
    bool late = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] { late = true; });
    guard.start(10000);
    while (!done() && !late)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

QByteArray mib(char c) { return QByteArray(1 << 20, c); }

struct Peer
{
    std::unique_ptr<QTcpSocket> socket = std::make_unique<QTcpSocket>();
    QByteArray received;
    bool closed = false;

    explicit Peer(quint16 port)
    {
        QObject::connect(socket.get(), &QTcpSocket::readyRead,
                         [this] { received += socket->readAll(); });
        QObject::connect(socket.get(), &QTcpSocket::disconnected, [this] { closed = true; });
        socket->connectToHost(QHostAddress::LocalHost, port);
    }
    void send(const QByteArray &bytes) { socket->write(bytes); }
};
} // namespace

class TestListener : public QObject
{
    Q_OBJECT

    struct Rig
    {
        VirtualTimeScope time;
        QStringList log;
        MachineListener listener;
        explicit Rig(MachineListener::Limits limits = {})
            : listener(
                  [](const QByteArray &id) {
                      return id == "RTR-2" ? QString("+39222") : id == "+39111" ? id : QString();
                  },
                  limits)
        {
            QObject::connect(&listener, &MachineListener::log, [this](const QString &l) {
                log << l;
            });
            QString error;
            if (!listener.listen("127.0.0.1:0", &error))
                qFatal("%s", qPrintable(error));
        }
        // A machine already online, which no other peer may disturb.
        std::unique_ptr<Peer> bystander()
        {
            auto p = std::make_unique<Peer>(listener.port());
            p->send("RTR-2\r\n");
            if (!pump([&] { return listener.isOnline("+39222"); }))
                qFatal("the bystander did not come online");
            return p;
        }
    };

private slots:
    void identificationLine_data()
    {
        QTest::addColumn<QByteArray>("buffer");
        QTest::addColumn<int>("state");
        QTest::addColumn<QByteArray>("identity");
        QTest::addColumn<int>("consumed");
        using S = Identification::State;
        const QByteArray max(64, '7');
        QTest::newRow("CR ends it") << QByteArray("+39111\r") << int(S::Complete)
                                    << QByteArray("+39111") << 7;
        QTest::newRow("LF ends it, the rest stays") << QByteArray("RTR-2\nxyz") << int(S::Complete)
                                                    << QByteArray("RTR-2") << 6;
        QTest::newRow("greeting breaks skipped") << QByteArray("\r\n\r\nRTR-2\r\n")
                                                 << int(S::Complete) << QByteArray("RTR-2") << 10;
        QTest::newRow("blanks trimmed") << QByteArray(" RTR-2 \r") << int(S::Complete)
                                        << QByteArray("RTR-2") << 8;
        QTest::newRow("no end yet") << QByteArray("RTR") << int(S::NeedMore) << QByteArray() << 0;
        QTest::newRow("64 bytes then CR") << max + "\r" << int(S::Complete) << max << 65;
        QTest::newRow("64 bytes, no end yet") << max << int(S::NeedMore) << QByteArray() << 0;
        QTest::newRow("65 bytes without an end") << max + "7" << int(S::TooLong) << QByteArray()
                                                 << 0;
        QTest::newRow("breaks count against the limit")
            << QByteArray(60, '\n') + "RTR-2\r" << int(S::TooLong) << QByteArray() << 0;
    }
    void identificationLine()
    {
        QFETCH(QByteArray, buffer);
        QFETCH(int, state);
        const Identification id = Identification::parse(buffer, 64);
        QCOMPARE(int(id.state), state);
        QTEST(id.identity, "identity");
        QTEST(int(id.consumed), "consumed");
    }

    // Each hostile peer ends closed with one log line, and the machine already online is
    // still online and its connection clean.
    void hostilePeer_data()
    {
        QTest::addColumn<QByteArray>("sends");
        QTest::addColumn<bool>("halfClose");
        QTest::addColumn<int>("waitMs"); // virtual time after the bytes arrived
        QTest::addColumn<QString>("logged");
        QTest::newRow("silent") << QByteArray() << false << 30000
                                << "no identification within 30 s";
        QTest::newRow("slow but in time, unknown") << QByteArray("+39999\r") << false << 29999
                                                   << "unknown identity \"+39999\"";
        QTest::newRow("1 MiB without a line break") << mib('A') << false << 0
                                                    << "no line break in the first 64 bytes";
        QTest::newRow("control bytes as identity") << QByteArray("\x01\xff\r", 3) << false << 0
                                                   << "unknown identity \"\\x01\\xff\"";
        QTest::newRow("half-close before identifying") << QByteArray("+391") << true << 0
                                                       << "closed before identifying itself";
        QTest::newRow("valid identity, then 1 MiB of garbage")
            << "+39111\r\n" + mib('\x55') << false << 0
            << "machine +39111 offline: sent";
        QTest::newRow("valid identity, then half-close") << QByteArray("+39111\n") << true << 0
                                                         << "machine +39111 offline: closed by";
    }
    void hostilePeer()
    {
        QFETCH(QByteArray, sends);
        QFETCH(bool, halfClose);
        QFETCH(int, waitMs);
        QFETCH(QString, logged);
        Rig rig;
        const auto bystander = rig.bystander();
        rig.log.clear();
        Peer peer(rig.listener.port());
        QVERIFY(pump([&] { return rig.listener.waitingCount() == 1; }));
        peer.send(sends);
        if (halfClose) {
            QVERIFY(peer.socket->waitForBytesWritten(5000) || sends.isEmpty());
            ::shutdown(int(peer.socket->socketDescriptor()), SHUT_WR);
        }
        rig.time.rt.runFor(waitMs);
        QVERIFY(pump([&] { return peer.closed; }));
        QVERIFY2(rig.log.filter(logged).size() == 1, qPrintable(rig.log.join('\n')));
        QCOMPARE(rig.listener.waitingCount(), 0);
        QCOMPARE(rig.listener.online(), QStringList{"+39222"});
        QVERIFY(!bystander->closed);
        const auto held = rig.listener.take("+39222");
        QVERIFY(held);
        QCOMPARE(held->bytesAvailable(), 0);
    }

    void secondConnectionReplacesTheFirst()
    {
        Rig rig;
        Peer first(rig.listener.port());
        first.send("+39111\r");
        QVERIFY(pump([&] { return rig.listener.isOnline("+39111"); }));
        QSignalSpy changes(&rig.listener, &MachineListener::onlineChanged);
        Peer second(rig.listener.port());
        second.send("+39111\r");
        QVERIFY(pump([&] { return first.closed; }));
        QCOMPARE(rig.listener.online(), QStringList{"+39111"});
        QCOMPARE(rig.log.filter("replaced by a new connection").size(), 1);
        // The machine went off and on again; the call now reaches it through the second one.
        QCOMPARE(changes.size(), 2);
        const auto line = rig.listener.take("+39111");
        line->write("hello");
        QVERIFY(pump([&] { return second.received == "hello"; }));
    }

    void heldLimitDropsTheOldest()
    {
        MachineListener::Limits limits;
        limits.maxHeld = 1;
        Rig rig(limits);
        const auto older = rig.bystander();
        Peer newer(rig.listener.port());
        newer.send("+39111\r");
        QVERIFY(pump([&] { return older->closed && rig.listener.isOnline("+39111"); }));
        QCOMPARE(rig.listener.online(), QStringList{"+39111"});
        QCOMPARE(rig.log.filter("machine +39222 offline: the oldest of 1 held").size(), 1);
    }

    // 2,000 connections at once: those beyond the waiting limit are closed at once, the rest
    // when their time is up; the machine online meanwhile stays, and a new one still gets in.
    void twoThousandConnections()
    {
        MachineListener::Limits limits;
        limits.maxWaiting = 1500;
        Rig rig(limits);
        const auto bystander = rig.bystander();
        std::vector<std::unique_ptr<Peer>> crowd;
        for (int i = 0; i < 2000; ++i)
            crowd.push_back(std::make_unique<Peer>(rig.listener.port()));
        QVERIFY(pump([&] { return rig.log.filter("refused").size() == 500; }));
        QCOMPARE(rig.listener.waitingCount(), 1500);
        QCOMPARE(rig.log.filter("are already waiting").size(), 500);
        rig.time.rt.runFor(30000);
        QVERIFY(pump([&] {
            return std::all_of(crowd.begin(), crowd.end(), [](const auto &p) { return p->closed; });
        }));
        QCOMPARE(rig.listener.waitingCount(), 0);
        QCOMPARE(rig.log.filter("refused").size(), 2000);
        QVERIFY(!bystander->closed);
        Peer late(rig.listener.port());
        late.send("+39111\r");
        QVERIFY(pump([&] { return rig.listener.isOnline("+39111"); }));
        QCOMPARE(rig.listener.online(), (QStringList{"+39222", "+39111"}));
    }
};

QTEST_GUILESS_MAIN(TestListener)
#include "tst_listener.moc"
