// Alarms that wait for "OK": the station as the program wires it (StationDesk) with the
// demonstration fleet on virtual time, stopped without a word and started again on the same
// database; and a database from before alarms waited.
#include "AlarmQueue.h"
#include "EventsModel.h"
#include "FrmSms.h"
#include "GsmModem.h"
#include "PgServer.h"
#include "StationDesk.h"
#include "StationFixture.h"

#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <QTreeWidget>
#include <optional>

namespace {
struct Rig : StationFixture
{
    Rig()
    {
        gsm.setLatency(0);
        port.plug(1, &gsm);
    }
    // A station on the program folder, the one before it gone as if killed.
    FrmSms &restart()
    {
        desk.reset();
        desk.emplace(services, &gsm);
        return desk->sms().smsWindow();
    }
    // "number|date time|text" per queued row.
    QStringList queue()
    {
        const QTreeWidget *list = desk->sms().smsWindow().ListView1;
        QStringList out;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *it = list->topLevelItem(i);
            out << it->text(1) + '|' + it->text(2) + ' ' + it->text(3) + '|' + it->text(4);
        }
        return out;
    }
    // "number|date time|text|acknowledged|station|pending" per event, in filing order.
    QStringList events() const
    {
        SqlMachineDb db(QDir(programFolder()).filePath("Dati.mdb"));
        db.open();
        QStringList out;
        for (const DbRecord &e : db.records(MachineTables::Eventi)) {
            QStringList f;
            for (const char *name : {"Number", "Data", "SMS", "Acknowledged", "Station", "Pending"})
                f << e.value(name);
            out << f.join('|');
        }
        return out;
    }
    GsmModem gsm;
    std::optional<StationDesk> desk;
};
} // namespace

class AlarmsTest : public QObject
{
    Q_OBJECT

private slots:
    // Received, then the station stopped before "OK" and started again: shown again, filed once
    // each; acknowledged with time and station, they do not come back.
    void alarmsWaitAcrossARestart_data()
    {
        QTest::addColumn<bool>("all");
        QTest::newRow("OK one by one") << false;
        QTest::newRow("Acknowledge all") << true;
    }
    void alarmsWaitAcrossARestart()
    {
        QFETCH(bool, all);
        Rig r;
        FrmSms &first = r.restart();
        QVERIFY(r.desk->station().load());
        QVERIFY(r.time.rt.runUntil([&] { return first.queued() >= 2; }, 180'000));
        const QStringList queue = r.queue(); // newest first, one alarm per poll
        QStringList filed;
        for (const QString &q : queue)
            filed.prepend(q + "|||1");
        QCOMPARE(r.events(), filed);

        FrmSms &again = r.restart();
        QVERIFY(again.isVisible());
        QCOMPARE(r.queue(), queue);
        QCOMPARE(r.events(), filed);
        r.clock.set(QDateTime(QDate(2026, 12, 5), QTime(9, 30, 5)));
        r.dialogs.answerNext(MsgResult::Yes);
        for (int i = 0; i < (all ? 1 : queue.size()); ++i)
            (all ? again.Command3 : again.Command1)->click();
        QVERIFY(!again.isLoaded());
        for (QString &e : filed)
            e.replace("|||1", "|05/12/26 09:30:05|" + AlarmQueue::stationName() + '|');
        QCOMPARE(r.events(), filed);
        QVERIFY(!r.restart().isLoaded());
    }

    // An older database gains the columns at open and its events read as acknowledged; an
    // alarm listed again before the modem deleted it is filed once.
    void anOldDatabaseIsUpgradedAtOpen_data()
    {
        QTest::addColumn<bool>("postgres");
        QTest::newRow("SQLite file") << false;
        QTest::newRow("PostgreSQL") << true;
    }
    void anOldDatabaseIsUpgradedAtOpen()
    {
        QFETCH(bool, postgres);
        QTemporaryDir dir;
        std::unique_ptr<PgServer> pg;
        DatabaseTarget target;
        if (postgres) {
            pg = std::make_unique<PgServer>();
            QVERIFY2(pg->ok(), qPrintable(pg->error()));
        }
        QVERIFY(DatabaseTarget::parse(pg ? pg->newDatabase("old") : dir.filePath("Dati.mdb"),
                                      &target, nullptr));
        {
            SqlMachineDb db(target);
            QVERIFY(db.open());
            QVERIFY(db.append(MachineTables::Eventi,
                              {{"Number", "+39111"}, {"Data", "01/02/26 10:00:00"}, {"SMS", "DOOR"}}));
            QSqlQuery q(db.database());
            for (const char *f : {"Acknowledged", "Station", "Pending", "Received by"})
                QVERIFY(q.exec(QString("ALTER TABLE %1 DROP COLUMN %2")
                                   .arg(db.quoted("Eventi"), db.quoted(f))));
            // And from before machines on IP.
            QVERIFY(q.exec(QString("DROP INDEX %1").arg(db.quoted("Distributori_Identity"))));
            for (const char *f : {"Address", "Identity"})
                QVERIFY(q.exec(QString("ALTER TABLE %1 DROP COLUMN %2")
                                   .arg(db.quoted("Distributori"), db.quoted(f))));
        }
        SqlMachineDb db(target);
        QVERIFY2(db.open(), qPrintable(db.error()));
        QVERIFY(db.append(MachineTables::Distributori, {{"GSM", "+39333"}, {"Address", "inbound"}}));
        const IncomingSms::Shown alarm{"+39222", "02/02/26", "11:00:00", "ALARM 15"};
        const qint64 id = AlarmQueue::file(db, alarm, "desk");
        QVERIFY(id > 0);
        QCOMPARE(AlarmQueue::file(db, alarm, "desk"), id);
        EventsModel events(db);
        QStringList shown;
        for (auto state : {EventsModel::State::Any, EventsModel::State::Pending,
                           EventsModel::State::Acknowledged}) {
            events.setEventFilter({state});
            for (int row = 0; row < events.rowCount(); ++row)
                shown << events.index(row, 2).data().toString() + '|' +
                             events.index(row, 6).data().toString();
            shown << "-";
        }
        QCOMPARE(shown, QStringList({"ALARM 15|waiting", "DOOR|", "-", "ALARM 15|waiting", "-",
                                     "DOOR|", "-"}));
        QVERIFY(AlarmQueue::acknowledge(db, {id}, QDateTime::currentDateTime(), "desk"));
        QVERIFY(AlarmQueue::waiting(db)->isEmpty());
    }
};

QTEST_MAIN(AlarmsTest)
#include "tst_alarms.moc"
