#pragma once

#include <QByteArray>
#include <QList>

namespace audit {

// The texts the event and product records use for the machine's small numbers.
struct CodeTables
{
    QList<QByteArray> EventIds;       // 147 entries, by event number
    QList<QByteArray> EventDetails;   // 40 entries, by the detail byte of event 144
    QList<QByteArray> SelectionCodes; // 48 entries, "11" to "68"
    QList<QByteArray> ProductNumbers; // 30 entries, "01" to "30"
};

void FillCodeTables(CodeTables &tables);

// Scripts index the tables with unchecked numbers; outside a table the text is empty.
inline QByteArray CodeText(const QList<QByteArray> &table, qint64 index)
{
    return index >= 0 && index < table.size() ? table[index] : QByteArray();
}

} // namespace audit
