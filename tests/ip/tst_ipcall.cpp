#include "CollectJob.h"
#include "DemoScripts.h"
#include "GsmModem.h"
#include "LoopbackPort.h"
#include "MachineController.h"
#include "MachineFiles.h"
#include "Runtime.h"
#include "TcpLine.h"
#include "TcpMachine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>

Q_DECLARE_METATYPE(CollectJob::Kind)

namespace {
using Kind = CollectJob::Kind;
const QByteArray GsmNumber = "3351234567";
const QByteArray IpNumber = "3357654321";
constexpr int IpStartMs = 15000; // while the data call transfers, past its dial and settle

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no file>");
}

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
        router.listen(QHostAddress::LocalHost, 0);
        line = std::make_unique<TcpLine>(QStringLiteral("127.0.0.1"), router.port());
        // On the station's job runner, whose port is the modem's: the line keeps it off it.
        ipJob = std::make_unique<CollectJob>(port, folder);
        ipJob->setLine(line.get());
    }
    ~Station() { QDir::setCurrent(QDir::tempPath()); }

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
    std::unique_ptr<TcpLine> line;
    CollectJob gsmJob{port, folder};
    std::unique_ptr<CollectJob> ipJob;
};
} // namespace

class IpCallTest : public QObject
{
    Q_OBJECT

private slots:
    // An IP call runs beside a data call, on the same event loop, and neither notices: the files
    // are those each gives alone, the modem hears the same commands, the router one connection.
    void callOverTcpBesideDataCall_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QStringList>("files"); // in the program folder, after both jobs
        const QString gsmSnap = QStringLiteral("Cartella/%1.ntm").arg(QString::fromLatin1(GsmNumber));
        const QString ipSnap = QStringLiteral("Cartella/%1.ntm").arg(QString::fromLatin1(IpNumber));
        QTest::newRow("audits") << Kind::Audit
                                << QStringList{"gsm.txt", "gsm.img", "ip.txt", "ip.img"};
        QTest::newRow("configuration reads") << Kind::ReadConfig
                                             << QStringList{gsmSnap, ipSnap};
    }
    void callOverTcpBesideDataCall()
    {
        QFETCH(Kind, kind);
        QFETCH(QStringList, files);
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
                    ipResult = s.ipJob->run(s.request(kind, IpNumber, "ip" + suffix));
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
                    o.files[f] = contents(QDir(s.folder).filePath(f));
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
            const bool viaIp = it.key().contains(QString::fromLatin1(IpNumber)) ||
                               it.key().startsWith(QStringLiteral("ip"));
            QCOMPARE(it.value(), (viaIp ? ipAlone : gsmAlone).files.value(it.key()));
        }
        QCOMPARE(both.commands, gsmAlone.commands);
        QVERIFY(ipAlone.commands.isEmpty());
        QCOMPARE(both.connections, 1);
    }
};

QTEST_GUILESS_MAIN(IpCallTest)
#include "tst_ipcall.moc"
