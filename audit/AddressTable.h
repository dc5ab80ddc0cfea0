#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace audit {

// "address.asm" held in memory, answering exactly as a fresh search of the file from its
// start would: the first line whose name equals the parameter (case and blanks count)
// gives the value, a name the file lacks gives 0, and the search fails on an empty line met
// before the match, on a matching line without a value, and on a value out of range.
class AddressTable
{
public:
    AddressTable() = default;
    static AddressTable fromText(const QByteArray &text);

    // The value of a name; nothing when the search fails.
    std::optional<qint16> lookup(QByteArrayView name) const;

private:
    QByteArray m_text; // the names below are views into it
    std::unordered_map<std::string_view, std::optional<qint16>> m_firstMatch; // lines before
                                                                              // the first empty
    bool m_hasEmptyLine = false;
};

// A parameter field: a number when it passes the numeric test, otherwise a name looked up
// in the table. Nothing when the line must fail.
std::optional<qint16> ResolveAddress(QByteArrayView text, const AddressTable &addresses);

} // namespace audit
