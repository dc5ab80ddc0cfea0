#include "AddressTable.h"

#include "Numbers.h"
#include "ScriptText.h"

namespace audit {

AddressTable AddressTable::fromText(const QByteArray &text)
{
    AddressTable table;
    for (const QByteArray &line : TextLines(text)) {
        const QList<QByteArray> fields = LineFields(line);
        if (fields.isEmpty()) {
            // Every later line lies behind this one, so no search ever reaches it.
            table.m_hasEmptyLine = true;
            break;
        }
        if (table.m_firstMatch.contains(fields[0]))
            continue;
        std::optional<qint16> value;
        if (fields.size() > 1)
            value = ToParameter(LeadingNumber(fields[1]));
        table.m_firstMatch.insert(fields[0], value);
    }
    return table;
}

std::optional<qint16> AddressTable::lookup(const QByteArray &name) const
{
    if (const auto found = m_firstMatch.constFind(name); found != m_firstMatch.cend())
        return *found;
    if (m_hasEmptyLine)
        return std::nullopt;
    return 0;
}

std::optional<qint16> ResolveAddress(const QByteArray &text, const AddressTable &addresses)
{
    if (const std::optional<double> number = NumericValue(text))
        return ToParameter(*number);
    return addresses.lookup(text);
}

} // namespace audit
