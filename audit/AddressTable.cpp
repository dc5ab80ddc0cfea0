#include "AddressTable.h"

#include "Numbers.h"

namespace audit {

namespace {
std::string_view view(QByteArrayView s)
{
    return {s.data(), size_t(s.size())};
}
} // namespace

AddressTable AddressTable::fromText(const QByteArray &text)
{
    // The lines are read in place: a table of thousands of names is loaded once per
    // conversion, so it must cost no allocation per line.
    AddressTable table;
    table.m_text = text;
    const QByteArrayView all(table.m_text);
    table.m_firstMatch.reserve(size_t(all.count('\n')) + 1);
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf('\n', start);
        const qsizetype next = end < 0 ? all.size() : end + 1;
        if (end < 0)
            end = all.size();
        else if (end > start && all[end - 1] == '\r')
            --end;
        const QByteArrayView line = all.sliced(start, end - start);
        start = next;
        if (line.isEmpty()) {
            // Every later line lies behind this one, so no search ever reaches it.
            table.m_hasEmptyLine = true;
            break;
        }
        // Fields are split at every ","; the name is the first, the value the second.
        const qsizetype comma = line.indexOf(',');
        const QByteArrayView name = comma < 0 ? line : line.first(comma);
        std::optional<qint16> value;
        if (comma >= 0) {
            const QByteArrayView rest = line.sliced(comma + 1);
            const qsizetype second = rest.indexOf(',');
            value = ToParameter(LeadingNumber(second < 0 ? rest : rest.first(second)));
        }
        table.m_firstMatch.try_emplace(view(name), value);
    }
    return table;
}

std::optional<qint16> AddressTable::lookup(QByteArrayView name) const
{
    if (const auto found = m_firstMatch.find(view(name)); found != m_firstMatch.end())
        return found->second;
    if (m_hasEmptyLine)
        return std::nullopt;
    return 0;
}

std::optional<qint16> ResolveAddress(QByteArrayView text, const AddressTable &addresses)
{
    if (const std::optional<double> number = NumericValue(text))
        return ToParameter(*number);
    return addresses.lookup(text);
}

} // namespace audit
