#include "SmsListing.h"

#include <QTest>

using namespace SmsListing;
Q_DECLARE_METATYPE(SmsListing::Form)
Q_DECLARE_METATYPE(SmsListing::Outcome)

namespace {
// "index|parsed|number|date|time|text" per message, for compact tables.
QStringList describe(const QList<Message> &messages)
{
    QStringList out;
    for (const Message &m : messages)
        out << QStringLiteral("%1|%2|%3|%4|%5|%6")
                   .arg(m.index)
                   .arg(m.parsed ? "parsed" : "unparsed")
                   .arg(QString::fromLatin1(m.number), QString::fromLatin1(m.date),
                        QString::fromLatin1(m.time), QString::fromLatin1(m.text));
    return out;
}
} // namespace

// The listing is taken apart by fixed position arithmetic; these are the shapes modems send
// and the shapes a garbled or cut answer takes.
class ListingTest : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<Form>("form");
        QTest::addColumn<QStringList>("messages");
        const Form G = Form::Generic;
        const Form T = Form::Telit;

        QTest::newRow("21 March 2005 10:15:00, empty alpha field")
            << QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+393471234567\",,\"05/03/21,10:15:00+04\""
                          "\r\nALARM 12 door open\r\n\r\nOK\r\n")
            << G << QStringList{"1|parsed|+393471234567|21/03/05|10:15:00|ALARM 12 door open"};
        QTest::newRow("no alpha field")
            << QByteArray("\r\n+CMGL: 7,\"REC READ\",\"+393470000001\",\"26/12/05,09:00:41+04\""
                          "\r\nCOIN JAM\r\n\r\nOK\r\n")
            << G << QStringList{"7|parsed|+393470000001|05/12/26|09:00:41|COIN JAM"};
        QTest::newRow("several messages, in listing order")
            << QByteArray(
                   "\r\n+CMGL: 3,\"REC UNREAD\",\"+391\",,\"26/12/05,08:00:00+04\"\r\nA\r\n"
                   "+CMGL: 12,\"REC UNREAD\",\"+392\",,\"26/12/06,08:30:00+04\"\r\nB b\r\n"
                   "+CMGL: 4,\"REC READ\",\"3471\",\"26/11/30,23:59:59-08\"\r\n\r\n\r\nOK\r\n")
            << G
            << QStringList{"3|parsed|+391|05/12/26|08:00:00|A",
                           "12|parsed|+392|06/12/26|08:30:00|B b",
                           "4|parsed|3471|30/11/26|23:59:59|"};
        QTest::newRow("echoed command before the listing")
            << QByteArray(
                   "AT+CMGL=\"ALL\"\r\r\n+CMGL: 2,\"REC UNREAD\",\"+39\",,\"26/01/02,03:04:05+00\""
                   "\r\nx\r\n\r\nOK\r\n")
            << G << QStringList{"2|parsed|+39|02/01/26|03:04:05|x"};
        QTest::newRow("absent number field")
            << QByteArray("\r\n+CMGL: 5,\"REC UNREAD\",,,\"26/01/02,03:04:05+00\"\r\nhidden\r\n")
            << G << QStringList{"5|parsed||02/01/26|03:04:05|hidden"};
        QTest::newRow("header without time stamp is unparsed, the next one still read")
            << QByteArray("\r\n+CMGL: 4,\"REC UNREAD\"\r\ngarbled\r\n"
                          "+CMGL: 6,\"REC UNREAD\",\"+39\",,\"26/01/02,03:04:05+00\"\r\nok\r\n")
            << G << QStringList{"4|unparsed||||", "6|parsed|+39|02/01/26|03:04:05|ok"};
        QTest::newRow("listing cut inside the last text line")
            << QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+39\",,\"26/01/02,03:04:05+00\"\r\nAL")
            << G << QStringList{"1|unparsed||||"};
        QTest::newRow("listing cut inside a header")
            << QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+39\"") << G
            << QStringList{"1|unparsed||||"};
        QTest::newRow("header without any comma ends the walk")
            << QByteArray("\r\n+CMGL: 9") << G << QStringList{};
        QTest::newRow("no header at all") << QByteArray("\r\nOK\r\n") << G << QStringList{};

        QTest::newRow("Telit header, index of two digits")
            << QByteArray("\r\n+CMGL: 12,\"REC UNREAD\",\"+393471234567\"\r\nALARM 3\r\n\r\nOK\r\n")
            << T << QStringList{"12|parsed|+393471234567|||ALARM 3"};
        QTest::newRow("Telit, two messages")
            << QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+391\"\r\nA\r\n"
                          "+CMGL: 2,\"REC READ\",\"+392\"\r\n\r\n\r\nOK\r\n")
            << T << QStringList{"1|parsed|+391|||A", "2|parsed|+392|||"};
        QTest::newRow("Telit header without number is unparsed")
            << QByteArray("\r\n+CMGL: 3,\"REC UNREAD\"\r\nA\r\n") << T
            << QStringList{"3|unparsed||||"};
        QTest::newRow("Telit text line without its end")
            << QByteArray("\r\n+CMGL: 3,\"REC UNREAD\",\"+39\"\r\nA") << T
            << QStringList{"3|unparsed||||"};
    }
    void parse()
    {
        QFETCH(QByteArray, listing);
        QFETCH(Form, form);
        QFETCH(QStringList, messages);
        QCOMPARE(describe(SmsListing::parse(listing, form)), messages);
    }

    void readAnswer_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QByteArray>("date");
        QTest::addColumn<QByteArray>("time");
        QTest::newRow("text-mode read")
            << QByteArray("\r\n+CMGR: \"REC "
                          "READ\",\"+39347\",,\"05/03/21,10:15:00+04\"\r\nA\r\n\r\nOK\r\n")
            << true << QByteArray("21/03/05") << QByteArray("10:15");
        QTest::newRow("alpha field filled: no stamp found")
            << QByteArray(
                   "\r\n+CMGR: \"REC READ\",\"+39\",\"Mario\",\"05/03/21,10:15:00+04\"\r\nA\r\n")
            << false << QByteArray() << QByteArray();
        QTest::newRow("error") << QByteArray("\r\n+CMS ERROR: 321\r\n") << false << QByteArray()
                               << QByteArray();
        QTest::newRow("nothing") << QByteArray() << false << QByteArray() << QByteArray();
    }
    void readAnswer()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, found);
        QFETCH(QByteArray, date);
        QFETCH(QByteArray, time);
        const auto stamp = parseReadAnswer(answer);
        QCOMPARE(stamp.has_value(), found);
        if (found) {
            QCOMPARE(stamp->date, date);
            QCOMPARE(stamp->time, time);
        }
    }

    void judge_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<Outcome>("outcome");
        const QByteArray h = "+CMGL: 1,\"REC UNREAD\",\"+39\",,\"26/01/02,03:04:05+00\"\r\n";
        QTest::newRow("empty store") << QByteArray("\r\nOK\r\n") << Outcome::Complete;
        QTest::newRow("empty store, echoed")
            << QByteArray("AT+CMGL=\"ALL\"\r\r\nOK\r\n") << Outcome::Complete;
        QTest::newRow("OK not yet ended") << QByteArray("\r\nOK") << Outcome::Pending;
        QTest::newRow("ERROR") << QByteArray("\r\nERROR\r\n") << Outcome::Failed;
        QTest::newRow("+CMS ERROR") << QByteArray("\r\n+CMS ERROR: 302\r\n") << Outcome::Failed;
        QTest::newRow("listing complete") << "\r\n" + h + "A\r\n\r\nOK\r\n" << Outcome::Complete;
        QTest::newRow("text line reading OK, rest to come")
            << "\r\n" + h + "OK\r\n+CMGL: 2," << Outcome::Pending;
        QTest::newRow("text line reading ERROR, rest to come") << "\r\n" + h + "ERROR\r\n"
                                                               << Outcome::Pending;
        QTest::newRow("text line reading OK, then the final OK") << "\r\n" + h + "OK\r\n\r\nOK\r\n"
                                                                 << Outcome::Complete;
    }
    void judge()
    {
        QFETCH(QByteArray, answer);
        QFETCH(Outcome, outcome);
        QCOMPARE(SmsListing::judge(answer), outcome);
    }
};

QTEST_MAIN(ListingTest)
#include "tst_listing.moc"
