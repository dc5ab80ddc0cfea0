#include "PollingRound.h"

#include <QTest>

// A network-polling round as rows: the four answers, and what the station shows after them.
class PollingTest : public QObject
{
    Q_OBJECT

private slots:
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

QTEST_APPLESS_MAIN(PollingTest)
#include "tst_polling.moc"
