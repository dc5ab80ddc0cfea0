#pragma once

#include "ScheduleRecord.h"

#include <QDateTime>

// Whether the entry falls due at this moment (hour and minute compared, seconds ignored).
// Weekdays run Monday = 1 ... Sunday = 7,
// as the day bits do.
//
// Week bounds: a weekday is the month's first when it falls on days 1-7 and its last when it
// falls within the month's last seven days (day > days in month - 7). Every weekday thus has
// exactly one first and one last occurrence a month; narrower or wider bounds would miss a first
// weekday on day 7 or call twice when the weekday also falls on day (days in month - 7).
bool isDue(const ScheduleRecord &record, const QDateTime &at);
