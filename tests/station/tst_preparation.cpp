#include "Clock.h"
#include "GsmModem.h"
#include "LoopbackPort.h"
#include "ModemPreparation.h"
#include "PinFile.h"
#include "PollingRound.h"
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

// Preparing the modem, and a network-polling round as rows.
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

    // A network-polling round as rows: the four answers, and what the station shows after them.
    void rounds_data()
    {
        QTest::addColumn<QByteArrayList>("answers"); // "T" time-out, "E" ERROR
        QTest::addColumn<QString>("shown"); // GPRS bar|signal|tip|tray state|operator|asked, lost
        // Every row answers like this but for the query it names.
        const auto row = [](const char *tag, const QList<std::pair<int, QByteArray>> &changed,
                            const QString &shown) {
            QByteArrayList answers = {"+CGATT: 1", "+CSQ: 17,0", "+CREG: 0,1",
                                      "+COPS: 0,2,\"22201\""};
            for (const auto &[query, answer] : changed)
                answers[query] = answer;
            QTest::newRow(tag) << answers << shown;
        };
        enum { Gprs, Csq, Creg, Cops };
        row("all answered", {}, "1|17|Connect Home network|1| TIM|4");
        row("0 not registered", {{Creg, "+CREG: 0,0"}}, "1|17|NO connect|0| TIM|4");
        row("2 searching", {{Creg, "+CREG: 0,2"}}, "1|17|Searching operator|0| TIM|4");
        row("3 denied", {{Creg, "+CREG: 0,3"}}, "1|17|Operator registration denied|0| TIM|4");
        row("4 unknown", {{Creg, "+CREG: 0,4"}}, "1|17|Unknown|0| TIM|4");
        row("5 roaming works like home", {{Creg, "+CREG: 0,5"}},
            "1|17|Connect Roaming network|1| TIM|4");
        row("7 any other: empty tip", {{Creg, "+CREG: 0,7"}}, "1|17||0| TIM|4");
        row("no status: registration unchanged", {{Creg, ""}}, "1|17|-|-| TIM|4");
        row("signal 99,99 unknown gives 3", {{Csq, "+CSQ: 99,99"}},
            "1|3|Connect Home network|1| TIM|4");
        row("signal without a comma: unchanged", {{Csq, "+CSQ: 17"}},
            "1|-|Connect Home network|1| TIM|4");
        row("detached hides the GPRS bar", {{Gprs, "+CGATT: 0"}},
            "0|17|Connect Home network|1| TIM|4");
        row("numeric 22210 is OMNITEL", {{Cops, "+COPS: 0,2,\"22210\""}},
            "1|17|Connect Home network|1| OMNITEL|4");
        row("numeric 22288 is WIND", {{Cops, "+COPS: 0,2,\"22288\""}},
            "1|17|Connect Home network|1| WIND|4");
        row("numeric 22298 is BLUE", {{Cops, "+COPS: 0,2,\"22298\""}},
            "1|17|Connect Home network|1| BLUE|4");
        row("other Italian code", {{Cops, "+COPS: 0,2,\"22250\""}},
            "1|17|Connect Home network|1| Operator n\u00B050|4");
        row("name without 222 is unidentified", {{Cops, "+COPS: 0,0,\"GSM OPERATOR\""}},
            "1|17|Connect Home network|1| Unidentified|4");
        row("no quoted operator: unchanged", {{Cops, "+COPS: 0"}},
            "1|17|Connect Home network|1|-|4");
        row("two time-outs are tolerated; no GPRS answer hides its bar", {{Gprs, "T"}, {Csq, "T"}},
            "0|-|Connect Home network|1| TIM|4");
        row("three time-outs lose the modem", {{Gprs, "T"}, {Csq, "T"}, {Cops, "T"}},
            "0|-|Connect Home network|1|-|4, lost");
        row("ERROR to the registration query ends the round", {{Creg, "E"}}, "1|17|-|-|-|3, lost");
        row("ERROR to the operator query", {{Cops, "E"}}, "1|17|Connect Home network|1|-|4, lost");
    }
    void rounds()
    {
        QFETCH(QByteArrayList, answers);
        QFETCH(QString, shown);
        using Answer = PollingRound::Answer;
        PollingRound round;
        StatusChange seen;
        int asked = 0;
        for (QByteArray command; !(command = round.next()).isEmpty(); ++asked) {
            QVERIFY(asked < 4);
            const QByteArray a = answers[asked];
            QCOMPARE(round.errorLoses(), asked >= 2);
            const StatusChange c = round.take(a == "T"   ? Answer::TimedOut
                                              : a == "E" ? Answer::Error
                                                         : Answer::Ok,
                                              "\r\n" + a + "\r\n\r\nOK\r\n");
            seen.gprsShown = c.gprsShown ? c.gprsShown : seen.gprsShown;
            seen.signal = c.signal ? c.signal : seen.signal;
            seen.registration = c.registration ? c.registration : seen.registration;
            seen.operatorText = c.operatorText ? c.operatorText : seen.operatorText;
        }
        const auto text = [](const auto &v, const auto &f) { return v ? f(*v) : QString("-"); };
        const QStringList fields = {
            text(seen.gprsShown, [](bool b) { return QString::number(b); }),
            text(seen.signal, [](int s) { return QString::number(s); }),
            text(seen.registration, [](const Registration &r) { return r.toolTip; }),
            text(seen.registration,
                 [](const Registration &r) { return QString::number(r.trayState); }),
            text(seen.operatorText, [](const QString &s) { return s; }),
            QString::number(asked) + (round.lost() ? ", lost" : "")};
        QCOMPARE(fields.join('|'), shown);
    }
};

QTEST_GUILESS_MAIN(PreparationTest)
#include "tst_preparation.moc"
