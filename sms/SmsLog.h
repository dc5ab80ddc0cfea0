#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

// The monthly SMS logs: prefix + "yymm" + ".log" in a given folder, opened for appending,
// written and closed within one call.
namespace SmsLog {
inline const QString Received = QStringLiteral("SMR");
inline const QString Sent = QStringLiteral("SMT");

// "SMR0503.log" for prefix "SMR" and any day of March 2005.
QString fileName(const QString &prefix, const QDate &date);
// Appends bytes, flushes and closes the file before returning. False (reason in *error) when
// any part of it failed.
bool append(const QString &path, const QByteArray &bytes, QString *error = nullptr);
} // namespace SmsLog
