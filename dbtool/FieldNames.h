#pragma once

#include <QString>

// The database's field names as the operator reads them; the names in the file never change.
namespace FieldNames {
QString shown(const QString &field);
} // namespace FieldNames
