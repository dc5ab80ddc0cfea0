#include "SmsListing.h"

#include <QTest>

using namespace SmsListing;
Q_DECLARE_METATYPE(SmsListing::Form)
Q_DECLARE_METATYPE(SmsListing::Outcome)

// The listing taken apart header by header; these are the shapes modems send
// and the shapes a garbled or cut answer takes.
class ListingTest : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<Form>("form");
        QTest::addColumn<QStringList>("messages"); // "index|number|date|time|text" or "index|-"
        const Form G = Form::Generic;
        const Form T = Form::Telit;
        QTest::newRow("21 March 2005 10:15:00, empty alpha field")
            << QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+393471234567\",,\"05/03/21,10:15:00+04\""
                          "\r\nALARM 12 door open\r\n\r\nOK\r\n")
            << G << QStringList{"1|+393471234567|21/03/05|10:15:00|ALARM 12 door open"};
        QTest::newRow("no alpha field")
            << QByteArray("\r\n+CMGL: 7,\"REC READ\",\"+393470000001\",\"26/12/05,09:00:41+04\""
                          "\r\nCOIN JAM\r\n\r\nOK\r\n")
            << G << QStringList{"7|+393470000001|05/12/26|09:00:41|COIN JAM"};
        QTest::newRow("several messages, in listing order")
            << QByteArray(
                   "\r\n+CMGL: 3,\"REC UNREAD\",\"+391\",,\"26/12/05,08:00:00+04\"\r\nA\r\n"
                   "+CMGL: 12,\"REC UNREAD\",\"+392\",,\"26/12/06,08:30:00+04\"\r\nB b\r\n"
                   "+CMGL: 4,\"REC READ\",\"3471\",\"26/11/30,23:59:59-08\"\r\n\r\n\r\nOK\r\n")
            << G
            << QStringList{"3|+391|05/12/26|08:00:00|A", "12|+392|06/12/26|08:30:00|B b",
                           "4|3471|30/11/26|23:59:59|"};
        QTest::newRow("header without time stamp is unparsed, the next one still read")
            << QByteArray("\r\n+CMGL: 4,\"REC UNREAD\"\r\ngarbled\r\n"
                          "+CMGL: 6,\"REC UNREAD\",\"+39\",,\"26/01/02,03:04:05+00\"\r\nok\r\n")
            << G << QStringList{"4|-", "6|+39|02/01/26|03:04:05|ok"};
        QTest::newRow("listing cut inside the last text line")
            << QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+39\",,\"26/01/02,03:04:05+00\"\r\nAL")
            << G << QStringList{"1|-"};
        QTest::newRow("header without any comma ends the walk")
            << QByteArray("\r\n+CMGL: 9") << G << QStringList{};
        QTest::newRow("Telit header, index of two digits")
            << QByteArray("\r\n+CMGL: 12,\"REC UNREAD\",\"+393471234567\"\r\nALARM 3\r\n\r\nOK\r\n")
            << T << QStringList{"12|+393471234567|||ALARM 3"};
        QTest::newRow("Telit header without number is unparsed")
            << QByteArray("\r\n+CMGL: 3,\"REC UNREAD\"\r\nA\r\n") << T << QStringList{"3|-"};
    }
    void parse()
    {
        QFETCH(QByteArray, listing);
        QFETCH(Form, form);
        QFETCH(QStringList, messages);
        QStringList got;
        for (const Message &m : SmsListing::parse(listing, form))
            got << QString::fromLatin1(m.parsed ? QByteArrayList{QByteArray::number(m.index),
                                                                 m.number, m.date, m.time, m.text}
                                                      .join('|')
                                                : QByteArray::number(m.index) + "|-");
        QCOMPARE(got, messages);
    }

    // Only a well-formed header line names an index that may be deleted (more noise: the
    // reception test).
    void genuinelyListed_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<bool>("listed");
        const QByteArray stamp = ",,\"05/03/21,10:15:00+04\"";
        QTest::newRow("generic header") << "+CMGL: 7,\"REC UNREAD\",\"+391\"" + stamp << true;
        QTest::newRow("Telit header") << QByteArray("+CMGL: 12,\"REC READ\",\"+391\"") << true;
        QTest::newRow("stored outgoing message")
            << QByteArray("+CMGL: 3,\"STO SENT\",\"+391\"") << true;
        QTest::newRow("empty number") << QByteArray("+CMGL: 3,\"REC READ\",\"\"") << true;
        QTest::newRow("largest index") << QByteArray("+CMGL: 9999,\"REC READ\",\"+39\"") << true;
        QTest::newRow("index beyond any store")
            << QByteArray("+CMGL: 10000,\"REC READ\",\"+39\"") << false;
        QTest::newRow("no index") << QByteArray("+CMGL: ,\"REC READ\",\"+39\"") << false;
        QTest::newRow("status without quotes") << QByteArray("+CMGL: 7,REC READ,\"+39\"") << false;
        QTest::newRow("number never closed") << QByteArray("+CMGL: 7,\"REC READ\",\"+39") << false;
        QTest::newRow("control character in the number")
            << QByteArray("+CMGL: 7,\"REC READ\",\"+3\x01\"") << false;
    }
    void genuinelyListed()
    {
        QFETCH(QByteArray, header);
        QFETCH(bool, listed);
        for (Form form : {Form::Generic, Form::Telit}) {
            const QList<Message> got =
                SmsListing::parse("\r\n" + header + "\r\nA\r\n\r\nOK\r\n", form);
            QCOMPARE(got.size(), 1);
            QCOMPARE(got.first().listed, listed);
        }
    }

    // A final result is a line of its own, never the text line of a message: cut anywhere, a
    // text reading "OK" or "ERROR" neither ends nor fails the answer.
    void finalResult_data()
    {
        QTest::addColumn<bool>("read"); // judged as a single read ("+CMGR:") or as the listing
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<Outcome>("outcome");
        const QByteArray readHead =
            "\r\n+CMGR: \"REC READ\",\"+391\",,\"05/03/21,10:15:00+04\"\r\n";
        const QByteArray listHead = "\r\n+CMGL: 1,\"REC READ\",\"+391\"\r\n";
        QTest::newRow("read: text ending in OK, final OK still to come")
            << true << readHead + "POWER OK\r\n\r\n"
            << Outcome::Pending;
        QTest::newRow("read: text OK alone") << true << readHead + "OK\r\n" << Outcome::Pending;
        QTest::newRow("read: final OK after the text")
            << true << readHead + "POWER OK\r\n\r\nOK\r\n"
            << Outcome::Complete;
        QTest::newRow("read: OK not yet ended by CR LF")
            << true << readHead + "A\r\n\r\nOK\r" << Outcome::Pending;
        QTest::newRow("read: no such message")
            << true << QByteArray("\r\n+CMS ERROR: 321\r\n") << Outcome::Failed;
        QTest::newRow("read: text ERROR") << true << readHead + "ERROR\r\n" << Outcome::Pending;
        QTest::newRow("listing: text OK, then the final OK")
            << false << listHead + "OK\r\n\r\nOK\r\n"
            << Outcome::Complete;
        QTest::newRow("listing: a read header does not make a text line")
            << false << readHead + "OK\r\n"
            << Outcome::Complete;
        QTest::newRow("listing: ERROR") << false << QByteArray("\r\nERROR\r\n") << Outcome::Failed;
    }
    void finalResult()
    {
        QFETCH(bool, read);
        QFETCH(QByteArray, answer);
        QFETCH(Outcome, outcome);
        QCOMPARE(read ? judgeRead(answer) : judge(answer), outcome);
    }
};

QTEST_MAIN(ListingTest)
#include "tst_listing.moc"
