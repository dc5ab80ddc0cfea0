#pragma once

#include "MachineDb.h"
#include "SqlOnFile.h"

#include <QSqlTableModel>

// One of the editable tables (machines, sale points, operators) as a Qt SQL table model: every
// change is checked against the rules and saved at once, or refused with its reason and nothing
// saved. The tables have no key column of their own, so a changed or deleted row is found by its
// old values and only the first such record is touched. Renaming a sale point or an operator
// renames it in the machines that name it, in the same transaction.
class DbTableModel : public QSqlTableModel
{
    Q_OBJECT
public:
    DbTableModel(SqlMachineDb &db, const QString &table, QObject *parent = nullptr);

    QString table() const { return m_table; }
    QString fieldAt(int column) const;
    int columnOf(const QString &field) const;

    // Leaves the rows with text in any field (ASCII letters in either case) and selects again.
    bool setSearch(const QString &text);
    QString search() const { return m_search; }
    // Rows the search leaves, and all the table's rows, whether fetched yet or not.
    int matchingRows() const;
    int totalRows() const;

    DbRecord recordAt(int row) const;
    // Checks and adds a record at the end of the rows fetched so far.
    bool addRecord(const DbRecord &record);
    // Deletes the rows' records in one transaction and selects again.
    bool deleteRows(QList<int> rows);
    // How many machines name this sale point or operator.
    int machinesNaming(const QString &field, const QString &name) const;

    // Why the last change was refused.
    QString refusal() const { return m_refusal; }

    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    void refused(const QString &reason);
    // Records were added, changed or deleted; machines renamed: other views of the file go stale.
    void changedOnFile();
    // Machines took the new name of their sale point or operator.
    void machinesRenamed();

protected:
    bool updateRowInTable(int row, const QSqlRecord &values) override;
    bool insertRowIntoTable(const QSqlRecord &values) override;
    bool deleteRowFromTable(int row) override;

private:
    bool refuse(const QString &reason);
    // "rowid = (first record with these values)"
    QString firstMatch(const QSqlRecord &old, QVariantList &binds) const;
    bool deleteOne(const QSqlRecord &old);

    SqlMachineDb &m_db;
    SqlOnFile m_onFile;
    QString m_table;
    QString m_search;
    QString m_refusal;
    bool m_adding = false;
};
