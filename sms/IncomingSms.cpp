#include "IncomingSms.h"

namespace IncomingSms {
namespace {
const QString Crlf = QStringLiteral("\r\n");

std::optional<DbRecord> find(MachineDb *db, const QString &table, const QString &field,
                             const QString &value)
{
    return db ? db->findFirst(table, field, value) : std::nullopt;
}
} // namespace

Shown identify(MachineDb *db, const QString &number, const QString &date, const QString &time,
               const QString &text)
{
    Shown m{number, date, time, text};
    if (const auto machine = find(db, MachineTables::Distributori, QStringLiteral("GSM"), number)) {
        m.machineKnown = true;
        m.machine = machine->value(QStringLiteral("Description"));
        m.salePoint = machine->value(QStringLiteral("Sale point"));
        m.operatorName = machine->value(QStringLiteral("Operator"));
    }
    return m;
}

DbRecord event(const Shown &m)
{
    DbRecord e{{QStringLiteral("Number"), m.number.left(15)},
               {QStringLiteral("Data"), m.date + QLatin1Char(' ') + m.time},
               {QStringLiteral("SMS"), m.text.left(160)}};
    if (m.machineKnown) {
        e.insert(QStringLiteral("Vending machine"), m.machine);
        e.insert(QStringLiteral("Sale point"), m.salePoint);
        e.insert(QStringLiteral("Operator"), m.operatorName);
    }
    return e;
}

Forward forward(MachineDb *db, const Shown &m)
{
    Forward f;
    if (m.machineKnown) {
        if (const auto point =
                find(db, MachineTables::PuntiVendita, QStringLiteral("Name"), m.salePoint)) {
            for (const char *field : {"Name", "Address", "City", "Telephone"})
                f.text += point->value(QString::fromLatin1(field)) + Crlf;
        }
        f.text += m.machine + Crlf;
    }
    f.text += m.text;
    const auto op = m.machineKnown
                        ? find(db, MachineTables::Operatori, QStringLiteral("Name"), m.operatorName)
                        : std::nullopt;
    f.number = op ? op->value(QStringLiteral("Celular")) : m.number;
    return f;
}

} // namespace IncomingSms
