// Alarms that wait for "OK": the station as the program wires it (StationDesk) with the
// demonstration fleet on virtual time, stopped without a word and started again on the same
// database; and a database from before alarms waited.
#include "AlarmQueue.h"
#include "EventsModel.h"
#include "FrmSms.h"
#include "GsmModem.h"
#include "MachineDb.h"
#include "StationDesk.h"
#include "StationFixture.h"

#include <QAction>
#include <QPushButton>
#include <QRegularExpression>
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
    bool start()
    {
        desk.emplace(services, &gsm);
        return desk->station().load() &&
               time.rt.runUntil([this] { return desk->station().mnuCall->isEnabled(); }, 120'000);
    }
    FrmSms &window() { return desk->sms().smsWindow(); }
    // The queue as shown: "number|date|time|text" per row.
    QStringList queue()
    {
        QStringList out;
        for (int i = 0; i < window().queued(); ++i) {
            const QTreeWidgetItem *it = window().ListView1->topLevelItem(i);
            out << QStringList{it->text(1), it->text(2), it->text(3), it->text(4)}.join('|');
        }
        return out;
    }
    // "number|date time|text|acknowledged|station|pending" per event, in filing order.
    QStringList events() const
    {
        SqlMachineDb db(QDir(programFolder()).filePath("Dati.mdb"));
        db.open();
        QStringList out;
        for (const DbRecord &e : db.records(MachineTables::Eventi))
            out << QStringList{e.value("Number"),       e.value("Data"),    e.value("SMS"),
                               e.value("Acknowledged"), e.value("Station"), e.value("Pending")}
                       .join('|');
        return out;
    }
    GsmModem gsm;
    std::optional<StationDesk> desk;
};

// "number|date|time|text" as filed: "number|date time|text|||1".
QStringList filedPending(const QStringList &queue)
{
    QStringList out;
    for (const QString &row : queue) {
        const QStringList f = row.split('|');
        out << QStringList{f[0], f[1] + ' ' + f[2], f[3], "", "", "1"}.join('|');
    }
    return out;
}
} // namespace

class AlarmsTest : public QObject
{
    Q_OBJECT

private slots:
    // Received, the station stopped before "OK", started again: the alarms are shown again and
    // filed once each; acknowledged one by one or all at once, they carry time and station and
    // do not come back at the next start.
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
        QVERIFY(r.start());
        QVERIFY(r.time.rt.runUntil([&] { return r.window().queued() >= 2; }, 120'000));
        const QStringList queue = r.queue(); // newest first, one alarm per poll
        QStringList filed = queue;
        std::reverse(filed.begin(), filed.end());
        QCOMPARE(r.events(), filedPending(filed));

        r.desk.reset();
        r.desk.emplace(r.services, &r.gsm);
        QVERIFY(r.window().isVisible());
        QCOMPARE(r.queue(), queue);
        QCOMPARE(r.events(), filedPending(filed));

        r.clock.set(QDateTime(QDate(2026, 12, 5), QTime(9, 30, 5)));
        if (all) {
            r.dialogs.answerNext(MsgResult::Yes);
            r.window().Command3->click();
            QCOMPARE(r.dialogs.boxes(),
                     QStringList{QString("SMS|Acknowledge the %1 messages in the queue?|"
                                         "Question|YesNo")
                                     .arg(queue.size())});
        } else {
            for (int i = 0; i < queue.size(); ++i)
                r.window().Command1->click();
        }
        QVERIFY(!r.window().isLoaded());
        QStringList acknowledged;
        for (QString e : filedPending(filed))
            acknowledged << e.replace(QRegularExpression("\\|\\|\\|1$"),
                                      "|05/12/26 09:30:05|" + AlarmQueue::stationName() + '|');
        QCOMPARE(r.events(), acknowledged);

        r.desk.reset();
        r.desk.emplace(r.services, &r.gsm);
        QVERIFY(!r.window().isLoaded());
    }

    // An older file gains the columns when it is opened; its events read as acknowledged, and
    // an alarm listed again before the modem deleted it is filed once.
    void anOldDatabaseIsUpgradedAtOpen()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("Dati.mdb");
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase("QSQLITE", "raw");
            raw.setDatabaseName(file);
            QVERIFY(raw.open());
            for (const char *sql :
                 {"CREATE TABLE Distributori (GSM TEXT, Description TEXT, \"Sale point\" TEXT, "
                  "Operator TEXT)",
                  "CREATE TABLE PuntiVendita (Name TEXT, Address TEXT, City TEXT, Telephone TEXT)",
                  "CREATE TABLE Operatori (Name TEXT, Celular TEXT)",
                  "CREATE TABLE Eventi (Number TEXT, Data TEXT, SMS TEXT, \"Vending machine\" "
                  "TEXT, \"Sale point\" TEXT, Operator TEXT)",
                  "INSERT INTO Eventi (Number, Data, SMS) VALUES ('+39111', '01/02/26 10:00:00', "
                  "'DOOR')"})
                QVERIFY2(QSqlQuery(raw).exec(sql), sql);
        }
        QSqlDatabase::removeDatabase("raw");
        SqlMachineDb db(file);
        QVERIFY2(db.open(), qPrintable(db.error()));
        QVERIFY(AlarmQueue::waiting(db).isEmpty());

        const IncomingSms::Shown alarm{"+39222", "02/02/26", "11:00:00", "ALARM 15"};
        const qint64 id = AlarmQueue::file(db, alarm);
        QVERIFY(id > 0);
        QCOMPARE(AlarmQueue::file(db, alarm), id);
        QCOMPARE(AlarmQueue::waiting(db).size(), 1);

        EventsModel events(db);
        const auto shown = [&](EventsModel::State state) {
            EventsModel::Filter f;
            f.state = state;
            events.setEventFilter(f);
            QStringList out;
            for (int row = 0; row < events.rowCount(); ++row)
                out << events.index(row, 2).data().toString() + '|' +
                           events.index(row, 6).data().toString();
            return out;
        };
        QCOMPARE(shown(EventsModel::State::Any), QStringList({"ALARM 15|waiting", "DOOR|"}));
        QCOMPARE(shown(EventsModel::State::Pending), QStringList{"ALARM 15|waiting"});
        QCOMPARE(shown(EventsModel::State::Acknowledged), QStringList{"DOOR|"});
    }
};

QTEST_MAIN(AlarmsTest)
#include "tst_alarms.moc"
