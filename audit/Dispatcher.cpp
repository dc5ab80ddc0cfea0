#include "Dispatcher.h"

#include "ScriptText.h"
#include "Writers.h"

#include <string_view>
#include <unordered_map>

namespace audit {

namespace {

using namespace writers;

// In the order of comparison; twins without a writer of their own write their twin's line.
constexpr Keyword Table[] = {
    {"CA1", 1, 1, CA1},
    {"CA1_", 3, 3, CA1_},
    {"CA2", 4, 4, CA2},
    {"CA2_", 4, 4, CA2_},
    {"CA3", 8, 8, CA3},
    {"CA3_", 6, 6, CA3_},
    {"CA4", 4, 4, CA4},
    {"CA4_", 5, 5, CA4_},
    {"CA7", 6, 6, CA7},
    {"CA7_", 4, 4, CA7_},
    {"CA8", 2, 2, CA8},
    {"CA8_", 3, 3, CA8_},
    {"CA9", 2, 2, CA9},
    {"CA9_", 2, 2, CA9_},
    {"CA10", 2, 2, CA10},
    {"CA10_", 3, 3, CA10_},
    {"CA11", 9, 8, CA11},
    {"CA11_", 6, 5, CA11_},
    {"CA13", 7, 6, CA13},
    {"CA14", 6, 5, CA14},
    {"CA14_", 6, 5, CA14_},
    {"CA15", 5, 4, CA15},
    {"CA15_", 4, 4, CA15_},
    {"DA1", 1, 1, DA1},
    {"DA2", 3, 3, DA2},
    {"DA2_", 4, 4, DA2_},
    {"DA4", 2, 2, DA4},
    {"DA4_", 3, 3, DA4_},
    {"DA5", 2, 2, DA5},
    {"DA5_", 3, 3, DA5_},
    {"EA1", 2, 2, EA1},
    {"EA2", 3, 2, EA2},
    {"EA2_BIT", 5, 3, EA2_BIT, EA2_fallback},
    {"EA2_BYTE", 5, 3, EA2_BYTE, EA2_fallback},
    {"EA3", 7, 7, EA3},
    {"EA3_", 7, 7, EA3},
    {"EA6", 1, 1, EA6},
    {"EA7", 2, 2, EA7},
    {"EA7_", 3, 3, EA7_},
    {"ID1", 8, 8, ID1},
    {"ID1_", 5, 5, ID1_},
    {"ID4", 3, 3, ID4},
    {"ID4_", 3, 3, ID4_},
    {"ID5", 5, 5, ID5},
    {"ID5_", 5, 5, ID5},
    {"ID7", 4, 4, ID7},
    {"PA1", 5, 4, PA1},
    {"PA1_", 5, 4, PA1_},
    {"PA2", 4, 3, PA2},
    {"PA2_", 3, 2, PA2_},
    {"PA3", 4, 3, PA3},
    {"PA3_", 3, 2, PA3_},
    {"PA4", 4, 3, PA4},
    {"PA4_", 3, 2, PA4_},
    {"PA5", 5, 4, PA5},
    {"PA6", 3, 2, PA6},
    {"PA10_", 3, 2, PA10_},
    {"PA11", 1, 1, PA11},
    {"PA11_", 2, 2, PA11_},
    {"PA1V", 6, 5, PA1V},
    {"PA1V_", 5, 4, PA1V_},
    {"PA1V_50", 6, 4, PA1V_50},
    {"PA2V", 5, 4, PA2V},
    {"PA2V_", 3, 2, PA2_},
    {"PA3V", 5, 4, PA3V},
    {"PA3V_", 3, 2, PA3_},
    {"PA4V", 5, 4, PA4V},
    {"PA4V_", 3, 2, PA4_},
    {"PA5V", 6, 5, PA5V},
    {"PA1W", 6, 5, PA1W},
    {"PA2W", 5, 4, PA2W},
    {"PA3W", 5, 4, PA3W},
    {"PA4W", 5, 4, PA4W},
    {"PA5W", 6, 5, PA5W},
    {"SA1", 5, 4, SA1},
    {"SA1G", 3, 3, SA1G},
    {"SA1B", 3, 3, SA1B},
    {"SA1V", 6, 5, SA1V},
    {"SA1W", 6, 5, SA1W},
    {"TA1", 2, 2, TA1},
    {"TA1_", 4, 4, TA1_},
    {"TA2", 4, 4, TA2},
    {"TA2_", 5, 5, TA2_},
    {"TA3", 2, 2, TA3},
    {"TA3_", 3, 3, TA3_},
    {"TA5", 2, 2, TA5},
    {"TA5_", 3, 3, TA5_},
    {"TA7", 4, 3, TA7},
    {"TA7_", 5, 4, TA7_},
    {"TA10", 2, 1, TA10},
    {"VA1", 4, 4, VA1},
    {"VA1_", 4, 4, VA1_},
    {"VA2", 2, 2, VA2},
    {"VA2_", 1, 1, VA2_},
    {"VA3", 3, 3, VA3},
    {"VA3_", 1, 1, VA3_},
};

} // namespace

std::span<const Keyword> DispatchTable()
{
    return Table;
}

const Keyword *FindKeyword(QByteArrayView field)
{
    static const std::unordered_map<std::string_view, const Keyword *> byName = [] {
        std::unordered_map<std::string_view, const Keyword *> index;
        for (const Keyword &keyword : Table)
            index.emplace(std::string_view(keyword.name.data(), size_t(keyword.name.size())),
                          &keyword);
        return index;
    }();
    const auto found = byName.find(std::string_view(field.data(), size_t(field.size())));
    return found == byName.end() ? nullptr : found->second;
}

bool ResolveParameters(int n, std::span<const QByteArrayView> fields, const AddressTable &addresses,
                       Params &params)
{
    for (int i = 1; i <= n; ++i) {
        if (size_t(i) >= fields.size())
            return false;
        const std::optional<qint16> value = ResolveAddress(fields[i], addresses);
        if (!value)
            return false;
        params[i - 1] = *value;
    }
    return true;
}

bool ResolveParameters(int n, const QList<QByteArray> &fields, const AddressTable &addresses,
                       Params &params)
{
    const FieldViews views(fields.cbegin(), fields.cend());
    return ResolveParameters(n, views, addresses, params);
}

bool AddressesInRange(int v, const Params &params, qint32 auditImageLength)
{
    for (int i = 0; i < v; ++i)
        if (params[i] >= auditImageLength)
            return false;
    return true;
}

bool DecodeScriptLine(std::span<const QByteArrayView> fields, const ScriptSources &sources,
                      QIODevice &out)
{
    if (fields.empty())
        return false;
    const Keyword *keyword = FindKeyword(fields[0]);
    if (!keyword)
        return true;
    Params params{};
    if (!ResolveParameters(keyword->n, fields, sources.addresses, params))
        return false;
    Writer writer = keyword->writer;
    if (!AddressesInRange(keyword->v, params, sources.image.AuditImageLength())) {
        if (!keyword->fallback)
            return true;
        writer = keyword->fallback;
    }
    Record record(sources.image, sources.tables, params, out);
    writer(record);
    return !record.failed();
}

bool DecodeScriptLine(const QList<QByteArray> &fields, const ScriptSources &sources, QIODevice &out)
{
    const FieldViews views(fields.cbegin(), fields.cend());
    return DecodeScriptLine(views, sources, out);
}

} // namespace audit
