#include "DbFixture.h"
#include "DbTableModel.h"
#include "Dialogs.h"
#include "EventsModel.h"
#include "FrmDb.h"
#include "Rows.h"
#include "Rules.h"
#include "Runtime.h"
#include "SqlOnFile.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>

namespace {
QStringList shown(const QAbstractItemModel &m, int column)
{
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out << m.index(r, column).data().toString();
    return out;
}

// "field=value;field=value"
DbRecord rec(const QString &text)
{
    DbRecord r;
    for (const QString &pair : text.split(';', Qt::SkipEmptyParts))
        r.insert(pair.section('=', 0, 0), pair.section('=', 1));
    return r;
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

// The tab, the rows selected, the answer, the question asked, the count afterwards.
using Deletion = Rows<int, QList<int>, bool, QString, QString>;
using Import = Rows<QByteArray, MsgResult, QStringList, int>; // file, answer, boxes, rows
// The table, the record, the record before ("" for a new one), the problem.
using Problem = Rows<QString, QString, QString, QString>;
using Refusal = Rows<QString, int, QString, QString, QString>; // table, row, field, value, why
using Search = Rows<QString, QStringList>;                     // text, the machines left
// The filter, the column sorted by (-1 newest first), the events shown.
using Journal = Rows<EventsModel::Filter, int, QStringList>;

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
        const auto row = Deletion::table();
        const QString coffee = "Delete machine \"Coffee 7\" (+39111)?";
        row("machine, confirmed", 0, {0}, true, coffee, "1 machine");
        row("machine, cancelled", 0, {0}, false, coffee, "2 machines");
        row("sale point that machines name", 1, {0}, true,
            "Delete sale point \"Bar Roma\"?\n2 machines name it and keep the name.",
            "1 sale point");
        row("two operators", 2, {1, 0}, true,
            "Delete 2 operators?\n1 machine names them and keeps the names.", "0 operators");
    }
    void deletionAsksFirst()
    {
        const auto [tab, rows, yes, question, count] = Deletion::fetch();
        Rig r;
        r.f.add("PuntiVendita", {{"Name", "Bar Po"}});
        r.f.add("Distributori",
                {{"GSM", "+39333"}, {"Description", "x"}, {"Sale point", "Bar Roma"}});
        if (tab == 0)
            QSqlQuery(r.f.db->database()).exec("DELETE FROM Distributori WHERE GSM = '+39333'");
        TableTab *t = QList<TableTab *>{r.w.machines, r.w.salePoints, r.w.operators}[tab];
        t->reload();
        QVERIFY(!t->deleteButton->isEnabled());
        for (int row : rows)
            t->view->selectionModel()->select(t->view->model()->index(row, 0),
                                              QItemSelectionModel::Select |
                                                  QItemSelectionModel::Rows);
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
        QCOMPARE(shown(*point->model(), 0), QStringList({"", "Bar Roma"}));
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
        QCOMPARE(shown(*view->model(), 1), QStringList({"Coffee 7", "Snack 2"}));

        // Sale points and operators are chosen from the names on file, or none.
        auto *names = openEditor<QComboBox>(view, 1, 3);
        QVERIFY(names);
        QCOMPARE(shown(*names->model(), 0), QStringList({"", "Rossi", "Verdi"}));
        names->setCurrentIndex(2);
        leave(names);
        QCOMPARE(r.f.rows("Distributori").last(), QString("+39222|Snack 2|~|Verdi"));
        QCOMPARE(r.dialogs.boxes().size(), 1);

        // A sale point or an operator renamed shows at once in every machine that names it.
        QVERIFY(view->model()->setData(view->model()->index(1, 2), "Bar Roma"));
        const auto rename = [](TableTab *tab, int row, const char *name) {
            auto *edit = openEditor<QLineEdit>(tab->view, row, 0);
            edit->setText(name);
            leave(edit);
        };
        rename(r.w.salePoints, 0, "Bar Rome");
        QCOMPARE(shown(*view->model(), 2), QStringList({"Bar Rome", "Bar Rome"}));
        rename(r.w.operators, 1, "Verdini");
        QCOMPARE(shown(*view->model(), 3), QStringList({"Rossi", "Verdini"}));
        QCOMPARE(r.f.rows("Distributori"), QStringList({"+39111|Coffee 7|Bar Rome|Rossi",
                                                        "+39222|Snack 2|Bar Rome|Verdini"}));
    }

    void searchNarrowsTheRowsAndTheCount()
    {
        Rig r;
        TableTab *t = r.w.machines;
        QCOMPARE(t->countLabel->text(), QString("2 machines"));
        t->searchBox->setText("snack");
        QCOMPARE(shown(*t->view->model(), 0), QStringList{"+39222"});
        QCOMPARE(t->countLabel->text(), QString("1 of 2 machines"));
        t->searchBox->clear();
        QCOMPARE(t->countLabel->text(), QString("2 machines"));
    }

    void importFromTheWindow_data()
    {
        const auto row = Import::table();
        const QByteArray bad = "GSM,Description\n+39333,Water\n+39/444,Cold\n";
        const QString invalid =
            "|1 of 2 rows of in.csv are invalid:\nline 3: \"GSM\" must be 3 "
            "to 15 digits with an optional leading \"+\", not \"+39/444\".\n\n"
            "Import the 1 valid rows and skip the invalid ones?|Exclamation|YesNo";
        row("all valid", "GSM,Description\n+39111,Coffee 8\n+39333,W\n", MsgResult::Ok,
            {"|in.csv: 1 added, 1 updated.|Information|Ok"}, 3);
        row("invalid row, valid ones taken", bad, MsgResult::Yes,
            {invalid, "|in.csv: 1 added, 0 updated.|Information|Ok"}, 3);
        row("invalid row, nothing taken", bad, MsgResult::No, {invalid}, 2);
        row("header refused", "Name\nx\n", MsgResult::Ok,
            {"|in.csv: the column \"GSM\" is missing.|Exclamation|Ok"}, 2);
    }
    void importFromTheWindow()
    {
        const auto [csv, answer, boxes, rows] = Import::fetch();
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
        QCOMPARE(shown(*t->view->model(), 2), QStringList({"other", "new, \"hot\"", "old"}));
        t->machineFilter->setText("39111");
        QCOMPARE(t->countLabel->text(), QString("2 of 3 events"));
        r.dialogs.chooseFileNext(r.f.file("ev.csv"));
        t->exportButton->click();
        QCOMPARE(r.dialogs.boxes(), QStringList{"|2 events written to ev.csv.|Information|Ok"});
        QCOMPARE(r.f.read("ev.csv"), "\xEF\xBB\xBFNumber,Data,SMS,Vending machine,Sale point,"
                                     "Operator,Acknowledged,Station,Pending,Received by\r\n"
                                     "+39111,02/02/26 10:00:00,\"new, \"\"hot\"\"\",,,,,,,\r\n"
                                     "+39111,01/02/26 10:00:00,old,,,,,,,\r\n");
    }

    // --- the record rules and the models, read back through another connection ---

    // On file: machine +39111 "Coffee 7", sale point "Bar Roma", operators "Rossi" and "Verdi".
    // (Rules the import and the model's tables reach are checked there.)
    void problems_data()
    {
        const auto row = Problem::table();
        const QString M = "Distributori", P = "PuntiVendita", O = "Operatori";
        const QString digits = "\"GSM\" must be 3 to 15 digits with an optional leading \"+\", "
                               "not \"%1\".";
        row("a whole machine", M, "GSM=+39222;Description=S;Sale point=Bar Roma;Operator=Rossi", "",
            "");
        row("a machine without sale point nor operator", M, "GSM=0039222;Description=x", "", "");
        row("GSM of 2 digits", M, "GSM=+12;Description=x", "", digits.arg("+12"));
        row("GSM of 16 digits", M, "GSM=1234567890123456;Description=x", "",
            digits.arg("1234567890123456"));
        row("GSM of 15 digits", M, "GSM=+123456789012345;Description=x", "", "");
        row("GSM kept when the machine is edited", M, "GSM=+39111;Description=y",
            "GSM=+39111;Description=x", "");
        row("CR in a name", M, "GSM=+39222;Description=x;Sale point=a\rb", "",
            "\"Sale point\" must not hold a line break or a control character.");
        row("operator not on file", M, "GSM=+39222;Description=x;Operator=Bianchi", "",
            "Operator \"Bianchi\" is not on file.");
        row("an old sale point no longer on file stays", M,
            "GSM=+39222;Description=new;Sale point=Bar Po", "GSM=+39222;Sale point=Bar Po", "");
        row("changing to a sale point not on file", M, "GSM=+39222;Description=x;Sale point=Po",
            "GSM=+39222;Description=x;Sale point=Bar Roma", "Sale point \"Po\" is not on file.");
        row("a sale point with quotes in its address", P, "Name=Bar Po;Address=Via \"Po\", 1\n", "",
            "");
        row("a sale point's name is required", P, "Address=Via Po", "", "\"Name\" is required.");
        row("a sale point edited keeps its name", P, "Name=Bar Roma;City=Torino", "Name=Bar Roma",
            "");
        row("an operator", O, "Name=Bianchi;Celular=+39333", "", "");
        row("an operator already on file", O, "Name=Rossi;Celular=+39333", "",
            "Operator \"Rossi\" is already on file.");
        row("an operator without mobile number", O, "Name=Bianchi", "", "\"Celular\" is required.");
    }
    void problems()
    {
        const auto [table, record, before, problem] = Problem::fetch();
        DbFixture f;
        f.add("Distributori", {{"GSM", "+39111"}, {"Description", "Coffee 7"}});
        SqlOnFile onFile(*f.db);
        const DbRecord old = rec(before);
        QCOMPARE(Rules::problem(table, rec(record), before.isEmpty() ? nullptr : &old, onFile),
                 problem);
    }

    void editsAndDeletionsAreSavedAtOnce()
    {
        DbFixture f(true);
        DbTableModel m(*f.db, "Distributori");
        QAbstractItemModelTester tester(&m);
        QCOMPARE(m.rowCount(), 2);
        QVERIFY(m.setData(m.index(1, m.columnOf("Description")), "  Snack 3 "));
        QVERIFY(m.setData(m.index(1, m.columnOf("Operator")), "Verdi"));
        QVERIFY(m.setData(m.index(0, m.columnOf("Sale point")), ""));
        QCOMPARE(f.rows("Distributori"),
                 QStringList({"+39111|Coffee 7|~|Rossi", "+39222|Snack 3|~|Verdi"}));
        QCOMPARE(m.index(1, m.columnOf("Description")).data().toString(), QString("Snack 3"));
        // A row is read back by its values: the one with a field emptied too.
        QCOMPARE(m.index(0, m.columnOf("GSM")).data().toString(), QString("+39111"));
        QVERIFY(!m.isDirty());
        QSignalSpy reset(&m, &QAbstractItemModel::modelReset);
        QVERIFY(m.deleteRows({1, 0, 1})); // several rows, one step
        QCOMPARE(f.rows("Distributori"), QStringList());
        QCOMPARE(m.rowCount(), 0);
        QCOMPARE(reset.count(), 1);
    }

    void aRefusedEditSavesNothing_data()
    {
        const auto row = Refusal::table();
        // The rules' look-ups and the record before the change, as the model passes them.
        row("GSM of the other machine", "Distributori", 1, "GSM", "+39111",
            "The GSM number +39111 is already machine \"Coffee 7\".");
        row("GSM emptied", "Distributori", 0, "GSM", " ", "\"GSM\" is required.");
        row("sale point named like another", "PuntiVendita", 1, "Name", "Bar Roma",
            "Sale point \"Bar Roma\" is already on file.");
        row("operator's mobile number", "Operatori", 0, "Celular", "tel. 333",
            "\"Celular\" must be 3 to 15 digits with an optional leading \"+\", not \"tel. "
            "333\".");
    }
    void aRefusedEditSavesNothing()
    {
        const auto [table, row, field, value, reason] = Refusal::fetch();
        DbFixture f(true);
        f.add("PuntiVendita", {{"Name", "Bar Duomo"}});
        const QStringList before = f.rows(table);
        DbTableModel m(*f.db, table);
        QSignalSpy refused(&m, &DbTableModel::refused);
        const QModelIndex at = m.index(row, m.columnOf(field));
        const QString old = at.data().toString();
        QVERIFY(!m.setData(at, value));
        QCOMPARE(refused.count(), 1);
        QCOMPARE(refused.first().first().toString(), reason);
        QCOMPARE(m.refusal(), reason);
        QCOMPARE(at.data().toString(), old);
        QVERIFY(!m.isDirty());
        QCOMPARE(f.rows(table), before);
    }

    // Records nothing tells apart: a change or a deletion touches exactly one of them.
    void oneOfTwoIdenticalRecordsChanges()
    {
        DbFixture f;
        f.add("Operatori", {{"Name", "Rossi"}, {"Celular", "+39333"}});
        DbTableModel m(*f.db, "Operatori");
        QCOMPARE(m.rowCount(), 3);
        QVERIFY(m.setData(m.index(2, 1), "+39999"));
        QCOMPARE(f.rows("Operatori"),
                 QStringList({"Rossi|+39999", "Verdi|+39444", "Rossi|+39333"}));
        // The row shown third now holds the changed values: those are the record deleted.
        QVERIFY(m.deleteRows({2}));
        QCOMPARE(f.rows("Operatori"), QStringList({"Verdi|+39444", "Rossi|+39333"}));
    }

    void searchLeavesTheRowsThatHoldTheText_data()
    {
        const auto row = Search::table();
        row("nothing: every row", "", {"+39111", "+39222", "+39333", "+39444"});
        row("any field, either case", "bar", {"+39111", "+39222", "+39333"});
        row("part of a number", "922", {"+39222"});
        row("percent sign is itself", "100%", {"+39333"});
        row("percent sign is no wildcard", "a%b", {});
        row("underscore is itself", "a_b", {});
        row("quote is itself", "d'I", {"+39222"});
    }
    void searchLeavesTheRowsThatHoldTheText()
    {
        const auto [text, gsm] = Search::fetch();
        DbFixture f(true);
        QSqlQuery(f.db->database())
            .exec("UPDATE Distributori SET Description = 'Bar d''Italia' "
                  "WHERE GSM = '+39222'");
        f.add("Distributori", {{"GSM", "+39333"}, {"Description", "Juice 100% - BAR"}});
        f.add("Distributori", {{"GSM", "+39444"}, {"Description", "axb"}});
        DbTableModel m(*f.db, "Distributori");
        m.setSearch(text);
        QCOMPARE(shown(m, 0), gsm);
        QCOMPARE(m.matchingRows(), gsm.size());
        QCOMPARE(m.totalRows(), 4);
    }

    void sortingByAColumnAndBack()
    {
        DbFixture f(true);
        f.add("Distributori", {{"GSM", "+39000"}, {"Description", "Apple"}});
        DbTableModel m(*f.db, "Distributori");
        m.sort(m.columnOf("Description"), Qt::AscendingOrder);
        QCOMPARE(shown(m, 1), QStringList({"Apple", "Coffee 7", "Snack 2"}));
        m.sort(0, Qt::DescendingOrder);
        QCOMPARE(shown(m, 0), QStringList({"+39222", "+39111", "+39000"}));
        m.sort(-1, Qt::AscendingOrder);
        QCOMPARE(shown(m, 0), QStringList({"+39111", "+39222", "+39000"}));
    }

    // --- the journal ---

    void eventsAreNewestFirstAndFiltered_data()
    {
        const auto row = Journal::table();
        using F = EventsModel::Filter;
        const auto with = [](auto set) {
            F f;
            set(f);
            return f;
        };
        row("newest first, the same time latest filed first", {}, -1,
            {"e4", "e5", "e3", "e2", "e1"});
        row("machine by description", with([](F &f) { f.machine = "coffee"; }), -1, {"e3", "e1"});
        row("machine by number", with([](F &f) { f.machine = "39222"; }), -1, {"e5", "e2"});
        row("sale point", with([](F &f) { f.salePoint = "Bar Po"; }), -1, {"e5"});
        row("operator", with([](F &f) { f.operatorName = "Verdi"; }), -1, {"e5", "e2"});
        row("search in the text", with([](F &f) { f.search = "door"; }), -1, {"e4", "e1"});
        row("from a day", with([](F &f) { f.from = QDate(2026, 1, 31); }), -1, {"e4", "e5", "e3"});
        row("one day", with([](F &f) { f.from = f.to = QDate(2025, 12, 31); }), -1, {"e2"});
        row("oldest first by date", {}, 1, {"e1", "e2", "e3", "e5", "e4"});
    }
    void eventsAreNewestFirstAndFiltered()
    {
        const auto [filter, column, sms] = Journal::fetch();
        DbFixture f;
        const QStringList fields{"SMS",        "Data",    "Number", "Vending machine",
                                 "Sale point", "Operator"};
        for (const QString event : {"e1 Door open|30/12/25 10:00:00|+39111|Coffee 7|Bar Roma|Rossi",
                                    "e2|31/12/25 23:59:59|+39222|Snack 2|Bar Roma|Verdi",
                                    "e3|31/01/26 08:00:00|+39111|Coffee 7|Bar Roma|Rossi",
                                    "e4 door|01/02/26 00:00:00|+39555|||",
                                    "e5|31/01/26 08:00:00|+39222|Snack 2|Bar Po|Verdi"}) {
            DbRecord r;
            for (int i = 0; i < fields.size(); ++i)
                r.insert(fields[i], event.section('|', i, i));
            f.add("Eventi", r);
        }
        EventsModel m(*f.db);
        QAbstractItemModelTester tester(&m);
        m.setEventFilter(filter);
        if (column >= 0)
            m.sort(column, Qt::AscendingOrder);
        QStringList got;
        for (const QString &s : shown(m, 2))
            got << s.section(' ', 0, 0);
        QCOMPARE(got, sms);
        QCOMPARE(m.matchingRows(), sms.size());
        QCOMPARE(m.totalRows(), 5);
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
