#include "DbFixture.h"
#include "DbTableModel.h"
#include "Dialogs.h"
#include "FrmDb.h"
#include "Runtime.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

namespace {
QStringList column(const QTableView *view, int c)
{
    QStringList out;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        out << view->model()->index(r, c).data().toString();
    return out;
}

void select(QTableView *view, const QList<int> &rows)
{
    view->clearSelection();
    for (int r : rows)
        view->selectionModel()->select(view->model()->index(r, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// The cell's own editor, opened as a double click does.
template <typename Editor> Editor *openEditor(QTableView *view, int row, int col)
{
    view->setCurrentIndex(view->model()->index(row, col));
    view->edit(view->currentIndex());
    return view->viewport()->findChild<Editor *>();
}

// Enter leaves the editor; the view takes the value on its next turn of the event loop.
void leave(QWidget *editor)
{
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
}
} // namespace

// The editor's window with scripted message boxes and file dialogs, on a temporary database.
class WindowTest : public QObject
{
    Q_OBJECT

    struct Rig
    {
        VirtualTimeScope time;
        DbFixture f{true};
        ScriptedDialogs dialogs;
        FrmDb w{*f.db, dialogs};
    };

private slots:
    void deletionAsksFirst_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("count"); // afterwards
        QTest::newRow("machine, confirmed")
            << 0 << QList<int>{0} << true << "Delete machine \"Coffee 7\" (+39111)?"
            << "1 machine";
        QTest::newRow("machine, cancelled")
            << 0 << QList<int>{0} << false << "Delete machine \"Coffee 7\" (+39111)?"
            << "2 machines";
        QTest::newRow("sale point that machines name")
            << 1 << QList<int>{0} << true
            << "Delete sale point \"Bar Roma\"?\n2 machines name it and keep the name."
            << "1 sale point";
        QTest::newRow("two operators") << 2 << QList<int>{1, 0} << true
                                       << "Delete 2 operators?\n1 machine names them and keeps "
                                          "the names."
                                       << "0 operators";
    }
    void deletionAsksFirst()
    {
        QFETCH(int, tab);
        QFETCH(QList<int>, rows);
        QFETCH(bool, yes);
        QFETCH(QString, question);
        QFETCH(QString, count);
        Rig r;
        r.f.add("PuntiVendita", {{"Name", "Bar Po"}});
        r.f.add("Distributori",
                {{"GSM", "+39333"}, {"Description", "x"}, {"Sale point", "Bar Roma"}});
        if (tab == 0)
            QSqlQuery(r.f.db->database()).exec("DELETE FROM Distributori WHERE GSM = '+39333'");
        TableTab *t = QList<TableTab *>{r.w.machines, r.w.salePoints, r.w.operators}[tab];
        t->reload();
        QVERIFY(!t->deleteButton->isEnabled());
        select(t->view, rows);
        QVERIFY(t->deleteButton->isEnabled());
        r.dialogs.answerNext(yes ? MsgResult::Yes : MsgResult::No);
        t->deleteButton->click();
        QCOMPARE(r.dialogs.boxes(), QStringList{"|" + question + "|Question|YesNo"});
        QCOMPARE(t->countLabel->text(), count);
        QCOMPARE(t->view->model()->rowCount(), count.section(' ', 0, 0).toInt());
    }

    void aRecordIsAddedThroughTheForm()
    {
        Rig r;
        TableTab *t = r.w.machines;
        t->addButton->click();
        auto *form = t->findChild<RecordDialog *>();
        QVERIFY(form);
        QVERIFY(form->isVisible());
        auto *point = qobject_cast<QComboBox *>(form->editor("Sale point"));
        QVERIFY(point);
        QCOMPARE(point->count(), 2);
        QCOMPARE(point->itemText(1), QString("Bar Roma"));
        qobject_cast<QLineEdit *>(form->editor("GSM"))->setText("+39111");
        qobject_cast<QLineEdit *>(form->editor("Description"))->setText("Tea 1");
        point->setCurrentIndex(1);
        auto *ok = form->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
        ok->click();
        QCOMPARE(r.dialogs.boxes(),
                 QStringList{"|The GSM number +39111 is already machine \"Coffee 7\".|"
                             "Exclamation|Ok"});
        QVERIFY(form->isVisible()); // to be put right
        QCOMPARE(r.f.rows("Distributori").size(), 2);

        qobject_cast<QLineEdit *>(form->editor("GSM"))->setText(" +39333 "); // stored trimmed
        ok->click();
        QCOMPARE(r.dialogs.boxes().size(), 1);
        QVERIFY(!form->isVisible());
        QCOMPARE(r.f.rows("Distributori").last(), QString("+39333|Tea 1|Bar Roma|~"));
        QCOMPARE(t->view->selectionModel()->selectedRows().value(0).row(), 2);
        QCOMPARE(t->countLabel->text(), QString("3 machines"));
    }

    void cellsAreEditedInPlace()
    {
        Rig r;
        QTableView *view = r.w.machines->view;
        auto *text = openEditor<QLineEdit>(view, 1, 1);
        QVERIFY(text);
        text->setText("Bar\aItalia");
        leave(text);
        QCOMPARE(r.dialogs.boxes(),
                 QStringList{"|\"Description\" must not hold a line break or a control "
                             "character.|Exclamation|Ok"});
        QCOMPARE(column(view, 1), QStringList({"Coffee 7", "Snack 2"}));

        // Sale points and operators are chosen from the names on file, or none.
        auto *names = openEditor<QComboBox>(view, 1, 3);
        QVERIFY(names);
        QStringList items;
        for (int i = 0; i < names->count(); ++i)
            items << names->itemText(i);
        QCOMPARE(items, QStringList({"", "Rossi", "Verdi"}));
        names->setCurrentIndex(2);
        leave(names);
        QCOMPARE(r.f.rows("Distributori").last(), QString("+39222|Snack 2|~|Verdi"));
        QCOMPARE(r.dialogs.boxes().size(), 1);
    }

    void renamingASalePointShowsInTheMachines()
    {
        Rig r;
        auto *name = openEditor<QLineEdit>(r.w.salePoints->view, 0, 0);
        name->setText("Bar Rome");
        leave(name);
        QCOMPARE(column(r.w.machines->view, 2), QStringList({"Bar Rome", ""}));
    }

    void searchNarrowsTheRowsAndTheCount()
    {
        Rig r;
        TableTab *t = r.w.machines;
        QCOMPARE(t->countLabel->text(), QString("2 machines"));
        t->searchBox->setText("snack");
        QCOMPARE(column(t->view, 0), QStringList{"+39222"});
        QCOMPARE(t->countLabel->text(), QString("1 of 2 machines"));
        t->searchBox->clear();
        QCOMPARE(t->countLabel->text(), QString("2 machines"));
    }

    void importFromTheWindow_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<MsgResult>("answer");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<int>("rows");
        const QByteArray bad = "GSM,Description\n+39333,Water\n+39/444,Cold\n";
        const QString invalid = "|1 of 2 rows of in.csv are invalid:\nline 3: \"GSM\" must be 3 "
                                "to 15 digits with an optional leading \"+\", not \"+39/444\".\n\n";
        QTest::newRow("all valid")
            << QByteArray("GSM,Description\n+39111,Coffee 8\n+39333,W\n") << MsgResult::Ok
            << QStringList{"|in.csv: 1 added, 1 updated.|Information|Ok"} << 3;
        QTest::newRow("invalid row, valid ones taken")
            << bad << MsgResult::Yes
            << QStringList{invalid + "Import the 1 valid rows and skip the invalid ones?|"
                                     "Exclamation|YesNo",
                           "|in.csv: 1 added, 0 updated.|Information|Ok"}
            << 3;
        QTest::newRow("invalid row, nothing taken")
            << bad << MsgResult::No
            << QStringList{invalid + "Import the 1 valid rows and skip the invalid ones?|"
                                     "Exclamation|YesNo"}
            << 2;
        QTest::newRow("header refused")
            << QByteArray("Name\nx\n") << MsgResult::Ok
            << QStringList{"|in.csv: the column \"GSM\" is missing.|Exclamation|Ok"} << 2;
    }
    void importFromTheWindow()
    {
        QFETCH(QByteArray, csv);
        QFETCH(MsgResult, answer);
        QFETCH(QStringList, boxes);
        QFETCH(int, rows);
        Rig r;
        r.f.write("in.csv", csv);
        r.dialogs.chooseFileNext(r.f.file("in.csv"));
        r.dialogs.answerNext(answer);
        r.w.machines->importButton->click();
        QCOMPARE(r.dialogs.boxes(), boxes);
        QCOMPARE(r.f.rows("Distributori").size(), rows);
        QCOMPARE(r.w.machines->view->model()->rowCount(), rows);
    }

    void eventsAreExportedAsShown()
    {
        Rig r;
        r.f.add("Eventi", {{"Number", "+39111"}, {"Data", "01/02/26 10:00:00"}, {"SMS", "old"}});
        r.f.add("Eventi",
                {{"Number", "+39111"}, {"Data", "02/02/26 10:00:00"}, {"SMS", "new, \"hot\""}});
        r.f.add("Eventi", {{"Number", "+39222"}, {"Data", "03/02/26 10:00:00"}, {"SMS", "other"}});
        r.w.tabs->setCurrentWidget(r.w.events);
        EventsTab *t = r.w.events;
        QCOMPARE(column(t->view, 2), QStringList({"other", "new, \"hot\"", "old"}));
        t->machineFilter->setText("39111");
        QCOMPARE(t->countLabel->text(), QString("2 of 3 events"));
        r.dialogs.chooseFileNext(r.f.file("ev.csv"));
        t->exportButton->click();
        QCOMPARE(r.dialogs.boxes(), QStringList{"|2 events written to ev.csv.|Information|Ok"});
        QCOMPARE(r.f.read("ev.csv"),
                 "\xEF\xBB\xBFNumber,Data,SMS,Vending machine,Sale point,"
                 "Operator,Acknowledged,Station,Pending\r\n"
                 "+39111,02/02/26 10:00:00,\"new, \"\"hot\"\"\",,,,,,\r\n"
                 "+39111,01/02/26 10:00:00,old,,,,,,\r\n");
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
