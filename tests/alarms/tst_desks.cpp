// Two desks on one shared database: an alarm received on one appears on the other, and "OK" on
// either clears both, also across a restart of the server. The notifications come through the
// server's real socket.
#include "AlarmQueue.h"
#include "AtExchange.h"
#include "FrmSend.h"
#include "FrmSms.h"
#include "PgServer.h"
#include "Rows.h"
#include "StationFixture.h"
#include "Timer.h"

#include <QDeadlineTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <memory>

namespace {
struct Desk
{
    Desk(const Services &s, const QString &db, FrmSend &send, const QString &name)
        : sms(s, db, send)
    {
        sms.setStationName(name);
        sms.showPending();
    }
    // "number|text|station" per queued row.
    QStringList queue() const
    {
        QStringList out;
        for (int i = 0; i < sms.queued(); ++i) {
            const QTreeWidgetItem *it = sms.ListView1->topLevelItem(i);
            out << it->text(1) + '|' + it->text(4) + '|' + it->text(5);
        }
        return out;
    }
    // Runs the event loop until the queue is want, woken by the desk's notifications; false
    // when 5 s pass first.
    bool hears(const QStringList &want)
    {
        QSignalSpy spy(sms.findChild<AlarmWatch *>(), &AlarmWatch::changed);
        const QDeadlineTimer deadline(5000);
        while (queue() != want)
            if (deadline.hasExpired() || !spy.wait(int(deadline.remainingTime())))
                return queue() == want;
        return true;
    }
    FrmSms sms;
};
// Who acknowledges, whether the other desk starts after the alarm, whether the server restarts
// before the acknowledgement (both desks reconnect).
using Acked = Rows<bool, bool, bool>;
} // namespace

class DesksTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<PgServer> m_pg;
    int m_databases = 0;

private slots:
    void initTestCase()
    {
        m_pg = std::make_unique<PgServer>();
        QVERIFY2(m_pg->ok(), qPrintable(m_pg->error()));
    }

    void anAcknowledgementClearsEveryDesk_data()
    {
        const auto row = Acked::table();
        row("ack on the receiving desk", false, false, false);
        row("ack on the other desk", true, false, false);
        row("other desk started after the alarm", true, true, false);
        row("server restarted before the ack", false, false, true);
    }
    void anAcknowledgementClearsEveryDesk()
    {
        const auto [otherAcks, otherStartsLater, serverRestarts] = Acked::fetch();
        const QString url = m_pg->newDatabase(QString("desks%1").arg(++m_databases));
        StationFixture f;
        Timer timeout("Timer3", 2000, false);
        AtExchange at(f.port, timeout);
        QWidget main;
        FrmSend send(f.services, at, &main, f.workFolder());
        std::unique_ptr<Desk> other;
        const auto startOther = [&] { other = std::make_unique<Desk>(f.services, url, send, "B"); };
        Desk receiver(f.services, url, send, "A");
        if (!otherStartsLater)
            startOther();

        receiver.sms.insertItem(1, {0, 7, true, "+39111", "05/12/26", "09:00:00", "ALARM 15"});
        const QStringList alarm{"+39111|ALARM 15|A"};
        QCOMPARE(receiver.queue(), alarm);
        if (otherStartsLater)
            startOther();
        QVERIFY(other->hears(alarm));
        QVERIFY(other->sms.isVisible());

        f.time.rt.runFor(60'000); // up a while: a lost connection is opened again at once
        if (serverRestarts)
            QVERIFY2(m_pg->restart(), qPrintable(m_pg->error()));
        f.clock.set(QDateTime(QDate(2026, 12, 5), QTime(9, 1, 2)));
        (otherAcks ? other->sms : receiver.sms).Command1->click();
        QVERIFY((otherAcks ? receiver : *other).hears({}));
        QVERIFY(!receiver.sms.isLoaded() && !other->sms.isLoaded());
        SqlMachineDb db(url);
        QVERIFY(db.open());
        QStringList filed;
        for (const DbRecord &e : db.records(MachineTables::Eventi))
            for (const char *field :
                 {"Number", "SMS", "Received by", "Acknowledged", "Station", "Pending"})
                filed << e.value(field);
        QCOMPARE(filed, QStringList({"+39111", "ALARM 15", "A", "05/12/26 09:01:02",
                                     otherAcks ? "B" : "A", ""}));
    }
};

QTEST_MAIN(DesksTest)
#include "tst_desks.moc"
