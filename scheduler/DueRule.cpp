#include "DueRule.h"

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

DaysInMonth daysInMonth(int year)
{
    return {31, quint8(isLeapYear(year) ? 29 : 28), 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
}

bool isDue(const ScheduleRecord &r, const QDateTime &at, const DaysInMonth &days)
{
    const QDate date = at.date();
    const QTime time = at.time();
    if (r.isFree() || r.hour() != time.hour() || r.minute() != time.minute())
        return false;
    const int weekday = date.dayOfWeek();
    if (r.weekly())
        return r.onWeekday(weekday);
    if (!r.inMonth(date.month()))
        return false;
    const bool onWeekday = r.days() == (1u << (weekday - 1));
    const int day = date.day();
    const int monthDays = days[date.month() - 1];
    switch (r.occurrence()) {
    case ScheduleRecord::Occurrence::First:
        return r.days() == 0 ? day == 1 : onWeekday && day <= 7;
    case ScheduleRecord::Occurrence::Last:
        return r.days() == 0 ? day == monthDays : onWeekday && day > monthDays - 7;
    case ScheduleRecord::Occurrence::Every:
        break;
    }
    return onWeekday;
}
