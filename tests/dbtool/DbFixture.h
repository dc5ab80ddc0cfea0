#pragma once

#include "../support/Files.h"
#include "MachineDb.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// A machine database on a temporary file, with sale point "Bar Roma", operators "Rossi" and
// "Verdi" and, when asked, two machines.
struct DbFixture
{
    explicit DbFixture(bool machines = false)
    {
        db = std::make_unique<SqlMachineDb>(path());
        if (!db->open())
            qFatal("%s", qPrintable(db->error()));
        // A throw-away file: no waiting for the disk at every commit.
        QSqlQuery(db->database()).exec("PRAGMA synchronous = OFF");
        add("PuntiVendita", {{"Name", "Bar Roma"}, {"Address", "Via Po 1"}, {"City", "Torino"}});
        add("Operatori", {{"Name", "Rossi"}, {"Celular", "+39333"}});
        add("Operatori", {{"Name", "Verdi"}, {"Celular", "+39444"}});
        if (machines) {
            add("Distributori", {{"GSM", "+39111"},
                                 {"Description", "Coffee 7"},
                                 {"Sale point", "Bar Roma"},
                                 {"Operator", "Rossi"}});
            add("Distributori", {{"GSM", "+39222"}, {"Description", "Snack 2"}});
        }
    }

    QString path() const { return dir.filePath("Dati.mdb"); }
    QString file(const QString &name) const { return dir.filePath(name); }
    void add(const QString &table, const DbRecord &r)
    {
        if (!db->append(table, r))
            qFatal("cannot add to %s", qPrintable(table));
    }
    QByteArray read(const QString &name) const { return readFile(file(name)); }
    void write(const QString &name, const QByteArray &bytes) const
    {
        if (!writeFile(file(name), bytes))
            qFatal("cannot write %s", qPrintable(name));
    }

    // The table as stored, one "a|b|c" line per record in record order, NULL shown as "~",
    // read through a connection of its own.
    QStringList rows(const QString &table) const
    {
        SqlMachineDb other(path());
        other.open();
        QStringList names;
        for (const QString &f : MachineTables::fields(table))
            names << other.quoted(f);
        QSqlQuery q(other.database());
        q.exec(QString("SELECT %1 FROM %2 ORDER BY rowid").arg(names.join(", "), table));
        QStringList out;
        while (q.next()) {
            QStringList fields;
            for (int i = 0; i < names.size(); ++i)
                fields << (q.value(i).isNull() ? QString("~") : q.value(i).toString());
            // A machine's address fields show only when set, so dialled machines read as ever.
            while (table == MachineTables::Distributori && fields.size() > 4 &&
                   fields.last() == "~")
                fields.removeLast();
            out << fields.join('|');
        }
        return out;
    }

    QTemporaryDir dir;
    std::unique_ptr<SqlMachineDb> db;
};
