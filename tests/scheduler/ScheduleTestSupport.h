#pragma once

#include "Schedule.h"

#include <QFile>

inline ScheduleRecord entry(const QString &number, int hour, int minute, quint8 days,
                            quint16 months, quint8 flags)
{
    ScheduleRecord r;
    r.setNumber(number);
    r.setHour(quint8(hour));
    r.setMinute(quint8(minute));
    r.setDays(days);
    r.setMonths(months);
    r.setFlags(flags);
    return r;
}

constexpr quint8 Mon = 0x01, Tue = 0x02, Wed = 0x04, Thu = 0x08;
constexpr quint16 Jan = 0x001, Feb = 0x002, Apr = 0x008, Sep = 0x100, Dec = 0x800;
constexpr quint8 Weekly = ScheduleRecord::Weekly, First = ScheduleRecord::First,
                 Last = ScheduleRecord::Last, Unattended = ScheduleRecord::Unattended;

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no file>");
}
