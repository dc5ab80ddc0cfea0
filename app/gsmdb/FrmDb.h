#pragma once

#include "Clock.h"
#include "CollectionsModel.h"
#include "EventsModel.h"
#include "MachineDb.h"

#include <QDialog>
#include <QHash>
#include <QStyledItemDelegate>
#include <QWidget>
#include <functional>

class Dialogs;
class DbTableModel;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;

// A form for a new record: a line per field, the names of sale points and operators chosen from
// those on file. OK hands the values over and the form stays open when they are refused.
class RecordDialog : public QDialog
{
    Q_OBJECT
public:
    RecordDialog(SqlMachineDb &db, const QString &table, const QString &title,
                 std::function<bool(const DbRecord &)> save, QWidget *parent);
    DbRecord values() const;
    // The editor of a field: a QLineEdit, or a QComboBox for "Sale point" and "Operator".
    QWidget *editor(const QString &field) const { return m_editors.value(field); }
    void accept() override;

private:
    QStringList m_fields;
    QHash<QString, QWidget *> m_editors;
    std::function<bool(const DbRecord &)> m_save;
};

// The in-place editor of a machine's sale point or operator: the names on file, or none.
class NameDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    NameDelegate(SqlMachineDb &db, const QString &table, QObject *parent);
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

private:
    SqlMachineDb &m_db;
    QString m_table;
};

// The names on file in a table's "Name" field, sorted, after an empty choice.
QStringList namesOnFile(SqlMachineDb &db, const QString &table);

// One editable table: search, add, delete, import and export, a row count.
class TableTab : public QWidget
{
    Q_OBJECT
public:
    TableTab(SqlMachineDb &db, Dialogs &dialogs, const QString &table, QWidget *parent = nullptr);

    void add();
    void deleteSelected();
    void importCsv();
    void exportCsv();
    void reload();
    void refreshCount();
    // "machine" / "machines" and the like.
    QString noun(int count) const;

    DbTableModel *model = nullptr;
    QTableView *view = nullptr;
    QLineEdit *searchBox = nullptr;
    QPushButton *addButton = nullptr;
    QPushButton *deleteButton = nullptr;
    QPushButton *importButton = nullptr;
    QPushButton *exportButton = nullptr;
    QLabel *countLabel = nullptr;

signals:
    // Machines were renamed along with a sale point or an operator.
    void machinesRenamed();

private:
    SqlMachineDb &m_db;
    Dialogs &m_dialogs;
    QString m_table;
};

// The event journal, read-only, filtered, newest first, exported as shown.
class EventsTab : public QWidget
{
    Q_OBJECT
public:
    EventsTab(SqlMachineDb &db, Dialogs &dialogs, QWidget *parent = nullptr);

    void applyFilter();
    void exportCsv();
    void refreshCount();

    EventsModel *model = nullptr;
    QTableView *view = nullptr;
    QLineEdit *machineFilter = nullptr;
    QLineEdit *salePointFilter = nullptr;
    QLineEdit *operatorFilter = nullptr;
    QLineEdit *searchBox = nullptr;
    QComboBox *stateFilter = nullptr; // all, waiting for "OK", acknowledged
    QCheckBox *fromCheck = nullptr;
    QDateEdit *fromDate = nullptr;
    QCheckBox *toCheck = nullptr;
    QDateEdit *toDate = nullptr;
    QPushButton *exportButton = nullptr;
    QLabel *countLabel = nullptr;

private:
    Dialogs &m_dialogs;
};

// The fleet's collection queue and the attempts made, read-only, filtered, read again on
// "Refresh" and whenever the tab is shown. One request selected shows its attempts only. Nothing
// is built or read before the tab is first shown: an editor opened for the machines leaves a
// fleet's queue alone.
class CollectionsTab : public QWidget
{
    Q_OBJECT
public:
    CollectionsTab(SqlMachineDb &db, QWidget *parent = nullptr);

    void refresh();

    CollectionsModel *requests = nullptr;
    CollectionsModel *attempts = nullptr;
    QTableView *requestsView = nullptr;
    QTableView *attemptsView = nullptr;
    QLineEdit *machineFilter = nullptr;
    QComboBox *stateFilter = nullptr;
    QComboBox *outcomeFilter = nullptr; // all, unfinished, then the outcomes on file
    QPushButton *refreshButton = nullptr;
    QLabel *requestsCount = nullptr;
    QLabel *attemptsCount = nullptr;

private:
    void build();
    void applyFilter();
    void listOutcomes();
    void showAttemptsOfSelected();

    SqlMachineDb &m_db;
    SystemClock m_clock;
};

// The database editor: one tab per table of the machine database, and the collections.
class FrmDb : public QWidget
{
    Q_OBJECT
public:
    FrmDb(SqlMachineDb &db, Dialogs &dialogs, QWidget *parent = nullptr);

    QTabWidget *tabs = nullptr;
    TableTab *machines = nullptr;
    TableTab *salePoints = nullptr;
    TableTab *operators = nullptr;
    EventsTab *events = nullptr;
    CollectionsTab *collections = nullptr;
};
