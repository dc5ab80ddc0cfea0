#include "Clock.h"
#include "GsmModem.h"
#include "LoopbackPort.h"
#include "ModemPreparation.h"
#include "PinFile.h"
#include "Runtime.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(ModemPreparation::Outcome)

namespace {
using Outcome = ModemPreparation::Outcome;

// Preparation against the simulated modem plugged into one of the port numbers, on virtual time.
struct PrepRig
{
    explicit PrepRig(const GsmModemConfig &cfg, int modemPort = 1) : modem(cfg)
    {
        if (modemPort > 0)
            port.plug(modemPort, &modem);
        QObject::connect(&prep, &ModemPreparation::note,
                         [this](const QString &line) { notes << line; });
    }
    Outcome run(int ports) { return prep.run(ports, tmp.path()); }
    bool storePin(const QByteArray &pin)
    {
        FakeClock clock{QDateTime(QDate(2026, 12, 5), QTime(9, 0))};
        return PinFile::write(tmp.path(), pin, clock);
    }
    int sent(const QByteArray &line) const { return int(modem.commands().count(line)); }

    VirtualTimeScope time;
    QTemporaryDir tmp;
    LoopbackPort port;
    GsmModem modem;
    ModemPreparation prep{port};
    QStringList notes;
};
} // namespace

class PreparationTest : public QObject
{
    Q_OBJECT
private slots:
    void outcomes_data()
    {
        QTest::addColumn<int>("sim");
        QTest::addColumn<QByteArray>("storedPin"); // empty: no Pin.set
        QTest::addColumn<int>("registration");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("note"); // a line that must have come out
        const int ready = int(SimCardState::Ready);
        const int pin = int(SimCardState::WantsPin);
        QTest::newRow("SIM ready, home network")
            << ready << QByteArray() << 1 << Outcome::Ready << "network: Connect Home network";
        QTest::newRow("roaming counts as registered")
            << ready << QByteArray() << 5 << Outcome::Ready << "network: Connect Roaming network";
        QTest::newRow("PIN from Pin.set") << pin << QByteArray("1234") << 1 << Outcome::Ready
                                          << "SIM unlocked with the stored PIN";
        QTest::newRow("PIN wanted, no Pin.set")
            << pin << QByteArray() << 1 << Outcome::SimNotReady << "modem found on port 1";
        QTest::newRow("wrong PIN in Pin.set")
            << pin << QByteArray("4321") << 1 << Outcome::SimNotReady << "PIN: Error PIN";
        QTest::newRow("PUK wanted") << int(SimCardState::WantsPuk) << QByteArray("1234") << 1
                                    << Outcome::SimNotReady << "PUK: Error PUK";
        QTest::newRow("phone lock")
            << int(SimCardState::PhoneLock) << QByteArray() << 1 << Outcome::SimNotReady
            << "Waiting for Phone to SIM card(antitheft)";
        QTest::newRow("a SIM that answers ERROR is no modem")
            << int(SimCardState::Failing) << QByteArray() << 1 << Outcome::NoModem
            << "ERROR: NO GSM FOUND!";
        QTest::newRow("searching for the operator")
            << ready << QByteArray() << 2 << Outcome::NotRegistered << "SIM ready";
        QTest::newRow("registration denied")
            << ready << QByteArray() << 3 << Outcome::NotRegistered << "SIM ready";
    }
    void outcomes()
    {
        QFETCH(int, sim);
        QFETCH(QByteArray, storedPin);
        QFETCH(int, registration);
        QFETCH(Outcome, outcome);
        QFETCH(QString, note);
        GsmModemConfig cfg;
        cfg.sim = SimCardState(sim);
        cfg.registration = registration;
        PrepRig rig(cfg);
        if (!storedPin.isEmpty())
            QVERIFY(rig.storePin(storedPin));
        QCOMPARE(rig.run(1), outcome);
        QVERIFY2(rig.notes.contains(note), qPrintable(rig.notes.join(u'\n')));
        QCOMPARE(rig.prep.reason().isEmpty(), outcome == Outcome::Ready);
        QCOMPARE(rig.port.isOpen(), outcome != Outcome::NoModem);
        if (outcome == Outcome::Ready) {
            QCOMPARE(rig.modem.simState(), SimCardState::Ready);
            QCOMPARE(rig.sent("AT+COPS=0"), 1);
            QCOMPARE(rig.port.settings(), QStringLiteral("19200,N,8,1"));
        }
        // The stored PIN goes out once at most: a refused one is never tried again.
        QVERIFY(rig.sent("AT+CPIN=\"" + storedPin + '"') <= 1);
    }

    void notRegisteredGivesUpAfterTheWait()
    {
        GsmModemConfig cfg;
        cfg.registration = 2;
        PrepRig rig(cfg);
        const qint64 start = rig.time.rt.nowMs();
        QCOMPARE(rig.run(1), Outcome::NotRegistered);
        QCOMPARE(rig.prep.reason(),
                 QStringLiteral("not registered on the network after 60 s (Searching operator)"));
        const qint64 waited = rig.time.rt.nowMs() - start;
        QVERIFY2(waited >= 60000 && waited < 75000, qPrintable(QString::number(waited)));
        QVERIFY(rig.sent("AT+CREG?") >= 20);
    }

    // Ports in order, each at the station's speeds, until one answers.
    void searchesThePortsInOrder()
    {
        PrepRig rig(GsmModemConfig(), 3);
        QCOMPARE(rig.run(4), Outcome::Ready);
        QCOMPARE(rig.port.commPort(), 3);
        const QStringList opens = rig.port.openAttempts();
        QCOMPARE(opens.mid(0, 4),
                 (QStringList{"1:19200,N,8,1", "1:9600,N,8,1", "1:115200,N,8,1", "1:19200,N,8,1"}));
        QCOMPARE(opens.at(8), QStringLiteral("3:19200,N,8,1"));
        QCOMPARE(rig.modem.commands().first(), QByteArray("ATZ"));
    }

    void noModemOnAnyPort()
    {
        PrepRig rig(GsmModemConfig(), 0);
        QCOMPARE(rig.run(2), Outcome::NoModem);
        QCOMPARE(rig.notes, QStringList{"ERROR: NO GSM FOUND!"});
        QCOMPARE(rig.port.openAttempts().size(), 8); // four speeds on each port
        QVERIFY(!rig.port.isOpen());
    }

    void modemAt115200IsBroughtTo19200()
    {
        GsmModemConfig cfg;
        cfg.bauds = {115200};
        PrepRig rig(cfg);
        QCOMPARE(rig.run(1), Outcome::Ready);
        QCOMPARE(rig.sent("AT+IPR=19200"), 1);
        QCOMPARE(rig.port.settings(), QStringLiteral("19200,N,8,1"));
    }
};

QTEST_GUILESS_MAIN(PreparationTest)
#include "tst_preparation.moc"
