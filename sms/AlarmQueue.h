#pragma once

#include "IncomingSms.h"

#include <QDateTime>
#include <QList>
#include <QString>

class SqlMachineDb;

// Alarms that wait for the operator: each received SMS is an `Eventi` record from the moment it
// arrives, marked pending until "OK" acknowledges it with the time and the station. What is
// still pending when the station stops is the queue it shows again at the next start.
namespace AlarmQueue {

struct Waiting
{
    qint64 id = -1; // the record in `Eventi`
    QString number, date, time, text;
};

// Files a received message as pending; its record's id, or -1 when the file refused it. The same
// sender, time and text already pending is the same message listed again (the station stopped
// between filing it and deleting it from the modem): it is filed once.
qint64 file(SqlMachineDb &db, const IncomingSms::Shown &m);

// The pending alarms, the last received first.
QList<Waiting> waiting(SqlMachineDb &db);

// Marks the records acknowledged at when by station, all or none.
bool acknowledge(SqlMachineDb &db, const QList<qint64> &ids, const QDateTime &when,
                 const QString &station);

// The acknowledgement's fields, for a message that could not be filed when it arrived.
DbRecord acknowledged(const QDateTime &when, const QString &station);

// This computer, as acknowledgements name it.
QString stationName();
} // namespace AlarmQueue
