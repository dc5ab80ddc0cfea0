#pragma once

#include "AddressTable.h"
#include "AuditImage.h"
#include "CodeTables.h"
#include "Record.h"

#include <QByteArrayView>
#include <QIODevice>
#include <QList>
#include <span>

namespace audit {

// A script keyword: how many parameters it reads (n), how many leading ones are addresses
// checked against the image length (v), its writer, and the writer used instead when an
// address is outside the image (only the event counters with a state have one).
struct Keyword
{
    QByteArrayView name;
    int n = 0;
    int v = 0;
    Writer writer = nullptr;
    Writer fallback = nullptr;
};

std::span<const Keyword> DispatchTable();
// Exact, case-sensitive comparison of the whole field; nullptr for an unknown keyword.
const Keyword *FindKeyword(QByteArrayView field);

// Everything a script line reads besides its own fields.
struct ScriptSources
{
    const AuditImage &image;
    const AddressTable &addresses;
    const CodeTables &tables;
};

// Fills slots 0 to n - 1 from fields 1 to n; false when a field is missing or cannot be
// resolved.
bool ResolveParameters(int n, std::span<const QByteArrayView> fields, const AddressTable &addresses,
                       Params &params);
bool ResolveParameters(int n, const QList<QByteArray> &fields, const AddressTable &addresses,
                       Params &params);

// True when the first v slots are below the image length (signed: negatives pass).
bool AddressesInRange(int v, const Params &params, qint32 auditImageLength);

// Handles one script line: true when it was written, ignored (unknown keyword) or skipped
// (an address outside the image); false when it failed. Lines written before a failure stay.
bool DecodeScriptLine(std::span<const QByteArrayView> fields, const ScriptSources &sources,
                      QIODevice &out);
bool DecodeScriptLine(const QList<QByteArray> &fields, const ScriptSources &sources,
                      QIODevice &out);

} // namespace audit
