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
        QTest::addColumn<QString>("modem"); // "port of ports at baud"; "" none
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("note"); // a line that must have come out
        const int ready = int(SimCardState::Ready);
        const int pin = int(SimCardState::WantsPin);
        const auto row = [](const char *tag, int sim, const QByteArray &storedPin, int registration,
                            Outcome outcome, const char *note,
                            const char *modem = "1 of 1 at 19200") {
            QTest::newRow(tag) << sim << storedPin << registration << QString(modem) << outcome
                               << QString(note);
        };
        row("SIM ready, home network", ready, "", 1, Outcome::Ready,
            "network: Connect Home network");
        row("roaming counts as registered", ready, "", 5, Outcome::Ready,
            "network: Connect Roaming network");
        row("ports in order; a modem at 115200 is brought to 19200", ready, "", 1, Outcome::Ready,
            "modem found on port 3", "3 of 4 at 115200");
        row("no modem on either port", ready, "", 1, Outcome::NoModem, "ERROR: NO GSM FOUND!", "");
        row("PIN from Pin.set", pin, "1234", 1, Outcome::Ready, "SIM unlocked with the stored PIN");
        row("PIN wanted, no Pin.set", pin, "", 1, Outcome::SimNotReady, "modem found on port 1");
        row("wrong PIN in Pin.set", pin, "4321", 1, Outcome::SimNotReady, "PIN: Error PIN");
        row("PUK wanted", int(SimCardState::WantsPuk), "1234", 1, Outcome::SimNotReady,
            "PUK: Error PUK");
        row("phone lock", int(SimCardState::PhoneLock), "", 1, Outcome::SimNotReady,
            "Waiting for Phone to SIM card(antitheft)");
        row("a SIM that answers ERROR is no modem", int(SimCardState::Failing), "", 1,
            Outcome::NoModem, "ERROR: NO GSM FOUND!");
        row("searching for the operator", ready, "", 2, Outcome::NotRegistered, "SIM ready");
        row("registration denied", ready, "", 3, Outcome::NotRegistered, "SIM ready");
    }
    void outcomes()
    {
        QFETCH(int, sim);
        QFETCH(QByteArray, storedPin);
        QFETCH(int, registration);
        QFETCH(QString, modem);
        QFETCH(Outcome, outcome);
        QFETCH(QString, note);
        GsmModemConfig cfg;
        cfg.sim = SimCardState(sim);
        cfg.registration = registration;
        const QStringList where = modem.split(' '); // port, "of", ports, "at", baud
        cfg.bauds = {modem.isEmpty() ? 19200 : where[4].toInt()};
        PrepRig rig(cfg, modem.isEmpty() ? 0 : where[0].toInt());
        if (!storedPin.isEmpty())
            QVERIFY(rig.storePin(storedPin));
        QCOMPARE(rig.run(modem.isEmpty() ? 2 : where[2].toInt()), outcome);
        QVERIFY2(rig.notes.contains(note), qPrintable(rig.notes.join(u'\n')));
        QCOMPARE(rig.prep.reason().isEmpty(), outcome == Outcome::Ready);
        QCOMPARE(rig.port.isOpen(), outcome != Outcome::NoModem);
        if (outcome == Outcome::Ready) {
            QCOMPARE(rig.modem.simState(), SimCardState::Ready);
            QCOMPARE(rig.sent("AT+COPS=0"), 1);
            QCOMPARE(rig.port.commPort(), where[0].toInt());
            QCOMPARE(rig.port.settings(), QStringLiteral("19200,N,8,1"));
            QCOMPARE(rig.sent("AT+IPR=19200"), int(where[4] != "19200"));
        }
        if (modem.isEmpty()) { // four speeds on each port, and nothing else to tell
            QCOMPARE(rig.port.openAttempts().size(), 8);
            QCOMPARE(rig.notes, QStringList{note});
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
};

QTEST_GUILESS_MAIN(PreparationTest)
#include "tst_preparation.moc"
