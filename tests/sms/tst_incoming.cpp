#include "IncomingSms.h"

#include <QTest>

using IncomingSms::Shown;

namespace {
// The machine database in memory: tables of records, first match by exact equality.
class MemoryDb : public MachineDb
{
public:
    std::optional<DbRecord> findFirst(const QString &table, const QString &field,
                                      const QString &value) override
    {
        for (const DbRecord &r : m_tables.value(table))
            if (r.contains(field) && r.value(field) == value)
                return r;
        return std::nullopt;
    }
    QList<DbRecord> records(const QString &table) override { return m_tables.value(table); }
    bool append(const QString &table, const DbRecord &record) override
    {
        m_tables[table] << record;
        return true;
    }

private:
    QHash<QString, QList<DbRecord>> m_tables;
};

// Machine "+39111" at sale point "Bar Roma" looked after by "Rossi"; machine "+39222" whose sale
// point and operator are in neither table; a sale point and an operator with empty names.
void seed(MachineDb &db)
{
    db.append("Distributori", {{"GSM", "+39111"},
                               {"Description", "Coffee 7"},
                               {"Sale point", "Bar Roma"},
                               {"Operator", "Rossi"}});
    db.append("Distributori", {{"GSM", "+39222"},
                               {"Description", "Snack 2"},
                               {"Sale point", "Nowhere"},
                               {"Operator", "Nobody"}});
    db.append("Distributori", {{"GSM", "+39111"}, {"Description", "a later record"}});
    db.append("PuntiVendita", {{"Name", "Bar Roma"},
                               {"Address", "Via Po 1"},
                               {"City", "Torino"},
                               {"Telephone", "011 22"}});
    db.append("PuntiVendita", {{"Name", ""}, {"Address", "empty name"}});
    db.append("Operatori", {{"Name", "Rossi"}, {"Celular", "+39333"}});
    db.append("Operatori", {{"Name", ""}, {"Celular", "+39000"}});
}
} // namespace

// The incoming SMS window's decisions over the machine database, without widgets.
class IncomingTest : public QObject
{
    Q_OBJECT

private slots:
    // The sender is identified by an exact comparison with the number as received; "OK" files
    // what is on show, "Send" composes the forward and chooses where it goes.
    void identifyFileAndForward_data()
    {
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("machine"); // "" when none is identified
        QTest::addColumn<QString>("event");   // the Eventi record, fields in table order
        QTest::addColumn<QString>("forward"); // text, then "->" and the number
        QTest::newRow("known machine, sale point and operator")
            << "+39111"
            << "Coffee 7|Bar Roma|Rossi"
            << "+39111|21/03/05 10:15:00|ALARM|Coffee 7|Bar Roma|Rossi"
            << "Bar Roma\r\nVia Po 1\r\nTorino\r\n011 22\r\nCoffee 7\r\nALARM->+39333";
        QTest::newRow("sale point and operator unknown: description, back to the machine")
            << "+39222"
            << "Snack 2|Nowhere|Nobody"
            << "+39222|21/03/05 10:15:00|ALARM|Snack 2|Nowhere|Nobody"
            << "Snack 2\r\nALARM->+39222";
        QTest::newRow("unknown sender: empty machine fields, the text alone back to the sender")
            << "+39999"
            << ""
            << "+39999|21/03/05 10:15:00|ALARM|-|-|-"
            << "ALARM->+39999";
        QTest::newRow("the leading + counts") << "39111"
                                              << ""
                                              << "39111|21/03/05 10:15:00|ALARM|-|-|-"
                                              << "ALARM->39111";
        QTest::newRow("a number longer than 15 is cut in the event only")
            << "+390123456789012"
            << ""
            << "+39012345678901|21/03/05 10:15:00|ALARM|-|-|-"
            << "ALARM->+390123456789012";
    }
    void identifyFileAndForward()
    {
        QFETCH(QString, sender);
        QFETCH(QString, machine);
        QFETCH(QString, event);
        QFETCH(QString, forward);
        MemoryDb db;
        seed(db);
        const Shown m = IncomingSms::identify(&db, sender, "21/03/05", "10:15:00", "ALARM");
        QCOMPARE(m.machineKnown, !machine.isEmpty());
        if (m.machineKnown)
            QCOMPARE(QStringList({m.machine, m.salePoint, m.operatorName}).join('|'), machine);
        const DbRecord e = IncomingSms::event(m);
        QStringList fields;
        for (const char *f : {"Number", "Data", "SMS", "Vending machine", "Sale point", "Operator"})
            fields << e.value(f, "-");
        QCOMPARE(fields.join('|'), event);
        const IncomingSms::Forward f = IncomingSms::forward(&db, m);
        QCOMPARE(f.text + "->" + f.number, forward);
    }

    void theEventKeeps160CharactersOfTheText()
    {
        Shown m{"+39111", "21/03/05", "10:15:00", QString(160, 'x') + "y"};
        QCOMPARE(IncomingSms::event(m).value("SMS"), QString(160, 'x'));
    }

    // Without a usable database nothing is identified and the forward goes back to the sender.
    void withoutADatabaseNothingIsFound()
    {
        const Shown m = IncomingSms::identify(nullptr, "+39111", "d", "t", "ALARM");
        QVERIFY(!m.machineKnown);
        const IncomingSms::Forward f = IncomingSms::forward(nullptr, m);
        QCOMPARE(f.text + "->" + f.number, QString("ALARM->+39111"));
    }
};

QTEST_GUILESS_MAIN(IncomingTest)
#include "tst_incoming.moc"
