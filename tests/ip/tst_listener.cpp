// Machines that connect to the station: the identification line, hostile peers, held
// connections, and the Address and Identity columns that name them in the machine file.
#include "../dbtool/DbFixture.h"
#include "MachineListener.h"
#include "Rows.h"
#include "Runtime.h"
#include "TableIo.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QSqlRecord>
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

// What the peer sends, whether it half-closes then, the virtual time after the bytes
// arrived, the one line logged.
using Identifies = Rows<QByteArray, bool, int, QString>;
using Displaced = Rows<int, QString>; // the held limit, the one offline line
using Imported = Rows<QByteArray, QString>; // the rows, the problem ("" imported)

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
    // A peer comes online with one line naming a known machine, or ends closed with one log
    // line; either way the machine already online stays so, its connection clean.
    void identification_data()
    {
        const QByteArray max(64, '7');
        const QString online = "machine +39111 online from";
        const QString tooLong = "no line break in the first 64 bytes";
        const QString silent = "no identification within 30 s";
        const auto row = Identifies::table();
        row("LF ends it, the rest dropped", "+39111\nxyz", false, 0, online);
        row("greeting breaks skipped", "\r\n\r\n+39111\r\n", false, 0, online);
        row("blanks trimmed", " +39111 \r", false, 0, online);
        row("64 bytes then CR", max + "\r", false, 0, QString("unknown identity \"%1\"").arg(max));
        row("64 bytes, no end", max, false, 30000, silent);
        row("breaks count against the limit", QByteArray(60, '\n') + "+39111\r", false, 0, tooLong);
        row("silent", "", false, 30000, silent);
        row("slow but in time, unknown", "+39999\r", false, 29999, "unknown identity \"+39999\"");
        row("1 MiB without a line break", mib('A'), false, 0, tooLong);
        row("control bytes as identity", QByteArray("\x01\xff\r", 3), false, 0,
            "unknown identity \"\\x01\\xff\"");
        row("half-close before identifying", "+391", true, 0, "closed before identifying itself");
        row("valid identity, then 1 MiB of garbage", "+39111\r\n" + mib('\x55'), false, 0,
            "machine +39111 offline: sent");
        row("valid identity, then half-close", "+39111\n", true, 0,
            "machine +39111 offline: closed by");
    }
    void identification()
    {
        const auto [sends, halfClose, waitMs, logged] = Identifies::fetch();
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
        const bool online = logged.contains(" online ");
        QVERIFY(pump([&] { return online ? rig.listener.isOnline("+39111") : peer.closed; }));
        QVERIFY2(rig.log.filter(logged).size() == 1, qPrintable(rig.log.join('\n')));
        QCOMPARE(rig.listener.waitingCount(), 0);
        QCOMPARE(rig.listener.online().first(), QString("+39222"));
        QCOMPARE(rig.listener.online().size(), online ? 2 : 1);
        QVERIFY(!bystander->closed);
        const auto held = rig.listener.take("+39222");
        QVERIFY(held);
        QCOMPARE(held->bytesAvailable(), 0);
    }

    // A second connection with the same identity replaces the first; past the limit of held
    // connections the oldest goes. Either way the newcomer's connection is the one a call gets.
    void displaced_data()
    {
        const auto row = Displaced::table();
        row("same identity", 1000, "machine +39111 offline: replaced by a new");
        row("held limit", 1, "machine +39222 offline: the oldest of 1 held");
    }
    void displaced()
    {
        const auto [maxHeld, logged] = Displaced::fetch();
        MachineListener::Limits limits;
        limits.maxHeld = maxHeld;
        Rig rig(limits);
        Peer first(rig.listener.port());
        first.send(maxHeld == 1 ? "RTR-2\r" : "+39111\r");
        QVERIFY(pump([&] { return rig.listener.online().size() == 1; }));
        Peer second(rig.listener.port());
        second.send("+39111\r");
        QVERIFY(pump([&] { return first.closed && rig.listener.isOnline("+39111"); }));
        QCOMPARE(rig.listener.online(), QStringList{"+39111"});
        const QStringList offline = rig.log.filter("offline");
        QVERIFY2(offline.size() == 1 && offline[0].startsWith(logged),
                 qPrintable(offline.join('\n')));
        const auto line = rig.listener.take("+39111");
        line->write("hello");
        QVERIFY(pump([&] { return second.received == "hello"; }));
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
    // What gsmdb lets into the file: the address by the one parser, the identity by its own
    // rules and unique among identities and numbers.
    void importChecks_data()
    {
        const auto row = Imported::table();
        row("inbound", "+39555,Tea,inbound,\n", "");
        row("host name and port", "+39555,Tea,router-7.example.net:4001,\n", "");
        row("port 0", "+39555,Tea,10.0.0.7:0,\n", "from 1 to 65535");
        row("inbound in capitals", "+39555,Tea,INBOUND,\n", "is not HOST:PORT or \"inbound\"");
        row("identity", "+39555,Tea,inbound,RTR-0042\n", "");
        row("identity with a blank", "+39555,Tea,inbound,RTR 0042\n", "without blanks");
        row("identity of 65 characters",
            "+39555,Tea,inbound,"
            "12345678901234567890123456789012345678901234567890123456789012345\n",
            "1 to 64");
        row("identity taken on file", "+39555,Tea,inbound,ROUTER-A\n",
            "already machine \"Coffee 7\"");
        row("identity is another machine's number", "+39555,Tea,inbound,+39222\n",
            "already machine \"Snack 2\"");
        row("number is another machine's identity", "+39777,Tea,,\n",
            "is the identity of machine \"Juice\"");
        row("identity twice in the file", "+39555,Tea,inbound,X1\n+39556,Pop,inbound,X1\n",
            "already machine \"Tea\"");
    }
    void importChecks()
    {
        const auto [rows, problem] = Imported::fetch();
        DbFixture f(true);
        QSqlQuery(f.db->database())
            .exec("UPDATE Distributori SET Identity = 'ROUTER-A' WHERE GSM = '+39111'");
        QSqlQuery(f.db->database())
            .exec("INSERT INTO Distributori (GSM, Description, Identity) "
                  "VALUES ('+39888', 'Juice', '+39777')");
        const TableIo::ImportPlan plan = TableIo::plan(*f.db, MachineTables::Distributori,
                                                       "GSM,Description,Address,Identity\n" + rows);
        QVERIFY2(plan.fileError.isEmpty(), qPrintable(plan.fileError));
        QCOMPARE(plan.problems.size(), problem.isEmpty() ? 0 : 1);
        if (problem.isEmpty())
            QVERIFY(TableIo::apply(*f.db, plan, false, nullptr));
        else
            QVERIFY2(plan.problems.first().reason.contains(problem),
                     qPrintable(plan.problems.first().reason));
    }

    // A file written before machines had addresses opens, keeps its machines and gains the
    // fields; a connecting machine is then found by its identity or by its number.
    void oldFileGainsTheFields()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Dati.mdb");
        {
            SqlMachineDb fresh(path);
            QVERIFY(fresh.open());
            QSqlQuery q(fresh.database());
            QVERIFY(q.exec("DROP TABLE Distributori"));
            QVERIFY(q.exec("CREATE TABLE Distributori (GSM TEXT, Description TEXT, "
                           "\"Sale point\" TEXT, Operator TEXT)"));
            QVERIFY(q.exec("INSERT INTO Distributori VALUES ('+39111', 'Coffee 7', NULL, NULL)"));
        }
        SqlMachineDb db(path);
        QVERIFY2(db.open(), qPrintable(db.error()));
        const QSqlRecord fields = db.database().record(MachineTables::Distributori);
        QVERIFY(fields.contains("Address") && fields.contains("Identity"));
        QVERIFY(db.append(MachineTables::Distributori,
                          {{"GSM", "+39222"}, {"Description", "Tea"}, {"Identity", "RTR-9"}}));
        QCOMPARE(machineIdentifiedBy(db, "+39111"), QString("+39111"));
        QCOMPARE(machineIdentifiedBy(db, "RTR-9"), QString("+39222"));
        QCOMPARE(machineIdentifiedBy(db, "RTR-8"), QString());
        QCOMPARE(machineIdentifiedBy(db, ""), QString());
    }
};

QTEST_GUILESS_MAIN(TestListener)
#include "tst_listener.moc"
