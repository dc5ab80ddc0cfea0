#include "ConsoleRig.h"
#include "FrmCall.h"
#include "MachineDb.h"
#include "MachineListModel.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>

namespace {
struct Machine
{
    const char *description;
    const char *gsm;
};

// The console window over a database holding the given machines, on virtual time.
using Rows = QList<Machine>;
struct WindowRig : ConsoleRig
{
    explicit WindowRig(const QList<Machine> &rows)
    {
        SqlMachineDb seed(dbPath());
        if (seed.open())
            for (const Machine &m : rows)
                seed.append(MachineTables::Distributori,
                            {{"Description", m.description},
                             {"GSM", m.gsm},
                             {"Sale point", QStringLiteral("Station hall")}});
        session.select(QString(), QString()); // the rig's own selection is not the window's
        session.enabled.fill(false);
        window.setCallQueue([this] { return queue.isEmpty() ? QString() : queue.takeFirst(); });
        window.setFillList([this] {
            if (db.isOpen() || db.open())
                machines.fill(db);
        });
    }
    QString dbPath() const { return file(QStringLiteral("Dati.mdb")); }
    QList<bool> commandStates() const
    {
        QList<bool> out;
        for (QPushButton *b : {window.Command2, window.Command7, window.Command8, window.Command6,
                               window.Command9, window.Command10, window.Command12})
            out << b->isEnabled();
        return out;
    }

    SqlMachineDb db{dbPath()};
    MachineListModel machines;
    FrmCall window{session, machines};
    QStringList queue;
};
const QList<bool> AllOff(7, false);
const QList<bool> AllOn(7, true);
} // namespace

class FrmCallTest : public QObject
{
    Q_OBJECT
private slots:
    void selection_data()
    {
        QTest::addColumn<int>("machines");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("label1");
        QTest::newRow("a machine with a number enables the commands") << 2 << 0 << "3351234567";
        QTest::newRow("a machine without a number enables nothing") << 2 << 1 << "";
        QTest::newRow("an empty table enables nothing") << 0 << 0 << "";
    }
    void selection()
    {
        QFETCH(int, machines);
        QFETCH(int, row);
        QFETCH(QString, label1);
        WindowRig rig(Rows{{"Corridor A", "3351234567"}, {"Store room", ""}}.mid(0, machines));
        rig.window.show();
        rig.window.activated();
        QCOMPARE(rig.machines.rowCount(), machines);
        rig.window.rowClicked(row);
        QCOMPARE(rig.window.Label1->text(), label1);
        QCOMPARE(rig.commandStates(), label1.isEmpty() ? AllOff : AllOn);
        QStringList opened;
        rig.window.setOpenSchedule([&](const QString &n) { opened << n; });
        QCOMPARE(rig.window.CommandSchedule->isEnabled(), !label1.isEmpty());
        rig.window.CommandSchedule->click();
        QCOMPARE(opened, label1.isEmpty() ? QStringList() : QStringList{label1});
    }

    void queuedCallsPreselect()
    {
        WindowRig rig(Rows{
            {"Corridor A", "3351234567"}, {"Corridor B", "3351234568"}, {"Hall", "3351234569"}});
        rig.queue = {"3351234569  ", "3351234567"};
        rig.window.show();
        rig.window.activated();
        QCOMPARE(rig.window.ListView1->currentIndex().row(), 2); // the last row
        QCOMPARE(rig.window.Label1->text(), QStringLiteral("3351234569"));
        QCOMPARE(rig.window.Label4->text(), QStringLiteral("Hall"));
        QCOMPARE(rig.commandStates(), AllOff); // nothing enabled, nothing dialled
        rig.window.activated();
        QCOMPARE(rig.window.ListView1->currentIndex().row(), 0);
        QCOMPARE(rig.window.Label1->text(), QStringLiteral("3351234567"));
        QVERIFY(rig.queue.isEmpty());
        QVERIFY(rig.port.written().isEmpty());
    }

    void closingGivesThePortBackAndRefillsNextTime()
    {
        WindowRig rig(Rows{{"Corridor A", "3351234567"}});
        rig.window.show();
        rig.window.activated();
        rig.stationState.StationActive = false;
        rig.window.close();
        QVERIFY(!rig.window.isLoaded());
        QVERIFY(rig.stationState.StationActive);
        QCOMPARE(rig.timer2.interval(), 100);
        QVERIFY(rig.timer2.isEnabled());
        rig.db.append(MachineTables::Distributori, {{"Description", "New"}, {"GSM", "1"}});
        rig.window.show();
        rig.window.activated();
        QCOMPARE(rig.machines.rowCount(), 2);
    }
};

QTEST_MAIN(FrmCallTest)
#include "tst_frmcall.moc"
