#include "DueRule.h"

bool isDue(const ScheduleRecord &r, const QDateTime &at)
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
    const int monthDays = date.daysInMonth();
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
