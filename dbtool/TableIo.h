#pragma once

#include "Csv.h"
#include "MachineDb.h"

#include <QList>
#include <QString>

class QIODevice;
class QSqlQuery;

// Machines, sale points and operators to and from CSV files with a header row naming the fields.
// An import is planned first (every row read and checked, nothing written) and then applied in
// one transaction, so a file is taken whole or not at all unless its invalid rows are skipped.
namespace TableIo {

// The tables by the names the command line uses: machines, salepoints, operators, events.
QString tableNamed(const QString &name);
QString nameOf(const QString &table);
QStringList importable();
QStringList exportable();

struct RowProblem
{
    int line = 0;
    QString reason;
};

struct ImportPlan
{
    struct Row
    {
        int line = 0;
        DbRecord values;   // the columns the file holds, normalised
        qint64 rowid = -1; // the record on file with the same key, updated; -1: added
    };
    QString table;
    QStringList columns; // the file's columns, as field names
    Csv::Encoding encoding = Csv::Encoding::Utf8;
    QString fileError; // the file as a whole cannot be imported (header); nothing else is set
    QStringList warnings; // columns of the file that are ignored
    int rowsRead = 0;
    QList<Row> valid;
    QList<RowProblem> problems;

    int additions() const;
    int updates() const;
};

// Reads and checks every row of a CSV file for table against the database and the rows above it.
// A row whose key (GSM number, name) is on file updates that record in the columns the file
// holds; any other row adds a record.
ImportPlan plan(SqlMachineDb &db, const QString &table, const QByteArray &csv);

// Writes the plan's valid rows in one transaction. Refuses (writing nothing) when the plan has
// invalid rows and skipInvalid is false. False with the reason in error when the database refused.
bool apply(SqlMachineDb &db, const ImportPlan &plan, bool skipInvalid, QString *error);

// Writes every record of table in record order, UTF-8 with a byte order mark (which spreadsheets
// need to take the file as UTF-8), lines ended by CR LF. rows gets the count of records.
bool exportTable(SqlMachineDb &db, const QString &table, QIODevice &out, int *rows, QString *error);
// Writes a header and the rows of an executed query, which holds exactly those columns.
bool writeRows(QSqlQuery &query, const QStringList &header, QIODevice &out, int *rows,
               QString *error);
} // namespace TableIo
