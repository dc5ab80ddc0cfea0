#include "TableIo.h"

#include "Rules.h"

#include <QCoreApplication>
#include <QHash>
#include <QIODevice>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace TableIo {

namespace {
const struct
{
    const char *name;
    const QString &table;
    bool importable;
} Names[] = {{"machines", MachineTables::Distributori, true},
             {"salepoints", MachineTables::PuntiVendita, true},
             {"operators", MachineTables::Operatori, true},
             {"events", MachineTables::Eventi, false}};

// An empty field is stored as NULL, as the station leaves the fields it does not write.
QVariant stored(const QString &value)
{
    return value.isEmpty() ? QVariant() : QVariant(value);
}

struct OnRecord
{
    qint64 rowid = -1;
    DbRecord values;
};

// The file as it stands before the import: the first record of each key, and the names a
// machine may refer to.
class Snapshot : public Rules::OnFile
{
public:
    Snapshot(SqlMachineDb &db, const QString &table) : m_db(db), m_table(table)
    {
        const QString key = Rules::keyField(table);
        QSqlQuery q(db.database());
        q.setForwardOnly(true);
        q.exec(QStringLiteral("SELECT rowid, * FROM %1 ORDER BY rowid").arg(db.quoted(table)));
        while (q.next()) {
            OnRecord r;
            r.rowid = q.value(0).toLongLong();
            const QSqlRecord rec = q.record();
            for (int i = 1; i < rec.count(); ++i)
                r.values.insert(rec.fieldName(i), q.value(i).toString());
            const QString k = r.values.value(key);
            if (!m_records.contains(k))
                m_records.insert(k, r);
            if (table == MachineTables::Distributori)
                claimIdentity(r.values);
        }
        if (table == MachineTables::Distributori) {
            m_salePoints = names(MachineTables::PuntiVendita);
            m_operators = names(MachineTables::Operatori);
        }
    }

    const OnRecord *find(const QString &key) const
    {
        const auto it = m_records.constFind(key);
        return it == m_records.cend() ? nullptr : &*it;
    }

    std::optional<QString> machineWithGsm(const QString &gsm) override
    {
        const OnRecord *r = m_table == MachineTables::Distributori ? find(gsm) : nullptr;
        return r ? std::optional<QString>(r->values.value(QStringLiteral("Description")))
                 : std::nullopt;
    }
    std::optional<QString> machineWithIdentity(const QString &identity) override
    {
        const auto it = m_identities.constFind(identity);
        return it == m_identities.cend() ? std::nullopt : std::optional<QString>(*it);
    }
    // A machine's identity taken by a row of the file, so a later row cannot take it again.
    void claimIdentity(const DbRecord &machine)
    {
        const QString identity = machine.value(QStringLiteral("Identity"));
        if (!identity.isEmpty() && !m_identities.contains(identity))
            m_identities.insert(identity, machine.value(QStringLiteral("Description")));
    }
    bool hasSalePoint(const QString &name) override
    {
        return m_table == MachineTables::PuntiVendita ? find(name) != nullptr
                                                      : m_salePoints.contains(name);
    }
    bool hasOperator(const QString &name) override
    {
        return m_table == MachineTables::Operatori ? find(name) != nullptr
                                                   : m_operators.contains(name);
    }

private:
    QSet<QString> names(const QString &table)
    {
        QSet<QString> out;
        QSqlQuery q(m_db.database());
        q.setForwardOnly(true);
        q.exec(QStringLiteral("SELECT %1 FROM %2").arg(m_db.quoted("Name"), m_db.quoted(table)));
        while (q.next())
            out.insert(q.value(0).toString());
        return out;
    }

    SqlMachineDb &m_db;
    QString m_table;
    QHash<QString, OnRecord> m_records;
    QHash<QString, QString> m_identities; // identity -> description
    QSet<QString> m_salePoints;
    QSet<QString> m_operators;
};

QString columnsOf(const QString &table)
{
    return MachineTables::fields(table).join(QStringLiteral(", "));
}
} // namespace

QString tableNamed(const QString &name)
{
    for (const auto &n : Names)
        if (name == QLatin1String(n.name))
            return n.table;
    return {};
}

QString nameOf(const QString &table)
{
    for (const auto &n : Names)
        if (table == n.table)
            return QString::fromLatin1(n.name);
    return {};
}

QStringList importable()
{
    QStringList out;
    for (const auto &n : Names)
        if (n.importable)
            out << QString::fromLatin1(n.name);
    return out;
}

QStringList exportable()
{
    QStringList out;
    for (const auto &n : Names)
        out << QString::fromLatin1(n.name);
    return out;
}

int ImportPlan::additions() const
{
    int n = 0;
    for (const Row &r : valid)
        n += r.rowid < 0;
    return n;
}

int ImportPlan::updates() const
{
    return int(valid.size()) - additions();
}

ImportPlan plan(SqlMachineDb &db, const QString &table, const QByteArray &csv)
{
    ImportPlan p;
    p.table = table;
    const Csv::Document doc = Csv::parse(csv);
    p.encoding = doc.encoding;
    if (doc.records.isEmpty()) {
        p.fileError = QCoreApplication::translate(
                          "TableIo", "the file is empty; its first row must name the columns (%1)")
                          .arg(columnsOf(table));
        return p;
    }
    const Csv::Record &header = doc.records.first();
    if (!header.error.isEmpty()) {
        p.fileError =
            QCoreApplication::translate("TableIo", "line %1: the header row cannot be read: %2")
                .arg(header.line)
                .arg(header.error);
        return p;
    }
    const QStringList fields = MachineTables::fields(table);
    QList<qsizetype> from; // the file's column of each of p.columns
    for (qsizetype c = 0; c < header.fields.size(); ++c) {
        const QString wanted = header.fields[c].trimmed();
        QString field;
        for (const QString &f : fields)
            if (f.compare(wanted, Qt::CaseInsensitive) == 0)
                field = f;
        // Spreadsheets carry notes and helper columns: the data is still good.
        if (field.isEmpty()) {
            p.warnings << (wanted.isEmpty()
                               ? QCoreApplication::translate("TableIo",
                                                             "column %1 has no name and is ignored")
                                     .arg(c + 1)
                               : QCoreApplication::translate(
                                     "TableIo", "the column \"%1\" is ignored; the columns are %2")
                                     .arg(wanted, columnsOf(table)));
            continue;
        }
        if (p.columns.contains(field)) {
            p.fileError = QCoreApplication::translate("TableIo", "the column \"%1\" appears twice")
                              .arg(field);
            return p;
        }
        p.columns << field;
        from << c;
    }
    const QString key = Rules::keyField(table);
    if (!p.columns.contains(key)) {
        p.fileError =
            QCoreApplication::translate("TableIo", "the column \"%1\" is missing").arg(key);
        return p;
    }

    Snapshot onFile(db, table);
    QHash<QString, int> seen; // key -> line of the valid row that holds it
    for (qsizetype i = 1; i < doc.records.size(); ++i) {
        const Csv::Record &rec = doc.records[i];
        ++p.rowsRead;
        if (!rec.error.isEmpty()) {
            p.problems << RowProblem{rec.line, rec.error};
            continue;
        }
        if (rec.fields.size() != header.fields.size()) {
            p.problems << RowProblem{rec.line, QStringLiteral("%1 fields where the header has %2")
                                                   .arg(rec.fields.size())
                                                   .arg(header.fields.size())};
            continue;
        }
        DbRecord values;
        values.reserve(p.columns.size());
        for (qsizetype c = 0; c < p.columns.size(); ++c)
            values.insert(p.columns[c], rec.fields[from[c]]);
        values = Rules::normalised(values, table);
        const QString k = values.value(key);
        if (const auto it = seen.constFind(k); it != seen.cend() && !k.isEmpty()) {
            p.problems << RowProblem{
                rec.line, QCoreApplication::translate("TableIo", "%1 \"%2\" is also on line %3.")
                              .arg(key, k)
                              .arg(*it)};
            continue;
        }
        const OnRecord *existing = k.isEmpty() ? nullptr : onFile.find(k);
        DbRecord whole = existing ? existing->values : DbRecord();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            whole.insert(it.key(), it.value());
        const QString why =
            Rules::problem(table, whole, existing ? &existing->values : nullptr, onFile);
        if (!why.isEmpty()) {
            p.problems << RowProblem{rec.line, why};
            continue;
        }
        seen.insert(k, rec.line);
        if (table == MachineTables::Distributori)
            onFile.claimIdentity(whole);
        p.valid << ImportPlan::Row{rec.line, std::move(values), existing ? existing->rowid : -1};
    }
    return p;
}

bool apply(SqlMachineDb &db, const ImportPlan &plan, bool skipInvalid, QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!plan.fileError.isEmpty())
        return fail(plan.fileError);
    if (!plan.problems.isEmpty() && !skipInvalid)
        return fail(QCoreApplication::translate("TableIo", "%1 of %2 rows are invalid")
                        .arg(plan.problems.size())
                        .arg(plan.rowsRead));
    QSqlDatabase conn = db.database();
    if (!db.isOpen() || !conn.transaction())
        return fail(conn.lastError().text());

    const QStringList fields = MachineTables::fields(plan.table);
    QStringList names, marks, sets;
    for (const QString &f : fields) {
        names << db.quoted(f);
        marks << QStringLiteral("?");
    }
    for (const QString &c : plan.columns)
        sets << db.quoted(c) + QStringLiteral(" = ?");
    QSqlQuery insert(conn);
    QSqlQuery update(conn);
    bool ok = insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                 .arg(db.quoted(plan.table), names.join(", "), marks.join(", "))) &&
              update.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                 .arg(db.quoted(plan.table), sets.join(", ")));
    QString why = ok ? QString() : insert.lastError().text() + update.lastError().text();
    for (const ImportPlan::Row &row : plan.valid) {
        if (!ok)
            break;
        if (row.rowid < 0) {
            for (int i = 0; i < fields.size(); ++i)
                insert.bindValue(i, stored(row.values.value(fields[i])));
            ok = insert.exec();
            if (!ok)
                why = QStringLiteral("line %1: %2").arg(row.line).arg(insert.lastError().text());
        } else {
            for (int i = 0; i < plan.columns.size(); ++i)
                update.bindValue(i, stored(row.values.value(plan.columns[i])));
            update.bindValue(int(plan.columns.size()), row.rowid);
            ok = update.exec();
            if (!ok)
                why = QStringLiteral("line %1: %2").arg(row.line).arg(update.lastError().text());
        }
    }
    if (ok && conn.commit())
        return true;
    if (ok)
        why = conn.lastError().text();
    conn.rollback();
    return fail(why);
}

bool writeRows(QSqlQuery &query, const QStringList &header, QIODevice &out, int *rows,
               QString *error)
{
    int count = 0;
    QByteArray chunk = QByteArrayLiteral("\xEF\xBB\xBF") + Csv::line(header).toUtf8();
    bool ok = true;
    const int columns = int(header.size());
    QStringList fields;
    while (ok && query.next()) {
        fields.clear();
        for (int i = 0; i < columns; ++i)
            fields << query.value(i).toString();
        chunk += Csv::line(fields).toUtf8();
        ++count;
        if (chunk.size() > (1 << 20)) {
            ok = out.write(chunk) == chunk.size();
            chunk.clear();
        }
    }
    ok = ok && out.write(chunk) == chunk.size();
    if (rows)
        *rows = count;
    if (!ok && error)
        *error = out.errorString();
    return ok;
}

bool exportTable(SqlMachineDb &db, const QString &table, QIODevice &out, int *rows, QString *error)
{
    const QStringList fields = MachineTables::fields(table);
    QStringList names;
    for (const QString &f : fields)
        names << db.quoted(f);
    QSqlQuery q(db.database());
    q.setForwardOnly(true);
    if (!db.isOpen() || !q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                                    .arg(names.join(", "), db.quoted(table)))) {
        if (error)
            *error = db.isOpen() ? q.lastError().text() : db.error();
        return false;
    }
    return writeRows(q, fields, out, rows, error);
}
} // namespace TableIo
