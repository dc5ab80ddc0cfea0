#include "ScheduleRecord.h"

#include <algorithm>

bool ScheduleRecord::isFree() const
{
    return std::all_of(m_number.cbegin(), m_number.cend(), [](char c) { return c == 0; });
}

QString ScheduleRecord::numberText() const
{
    QByteArray n = m_number;
    while (n.endsWith(' ') || n.endsWith('\0'))
        n.chop(1);
    return QString::fromLatin1(n);
}

QByteArray ScheduleRecord::fixedNumber(const QString &number)
{
    return number.toLatin1().left(NumberSize).leftJustified(NumberSize, ' ');
}

void ScheduleRecord::setNumber(const QString &number)
{
    m_number = fixedNumber(number);
}

bool ScheduleRecord::onWeekday(int weekday) const
{
    return weekday >= 1 && weekday <= 7 && (m_days >> (weekday - 1)) & 1;
}

void ScheduleRecord::setWeekday(int weekday, bool on)
{
    if (weekday < 1 || weekday > 7)
        return;
    const quint8 bit = quint8(1u << (weekday - 1));
    m_days = on ? quint8(m_days | bit) : quint8(m_days & ~bit);
}

bool ScheduleRecord::inMonth(int month) const
{
    return month >= 1 && month <= 12 && (m_months >> (month - 1)) & 1;
}

void ScheduleRecord::setMonth(int month, bool on)
{
    if (month < 1 || month > 12)
        return;
    const quint16 bit = quint16(1u << (month - 1));
    m_months = on ? quint16(m_months | bit) : quint16(m_months & ~bit);
}

ScheduleRecord::Occurrence ScheduleRecord::occurrence() const
{
    if (m_flags & First)
        return Occurrence::First;
    if (m_flags & Last)
        return Occurrence::Last;
    return Occurrence::Every;
}

void ScheduleRecord::setOccurrence(Occurrence o)
{
    m_flags &= quint8(~(First | Last));
    if (o == Occurrence::First)
        m_flags |= First;
    else if (o == Occurrence::Last)
        m_flags |= Last;
}

QByteArray ScheduleRecord::encode() const
{
    QByteArray out = m_number;
    out.append(char(m_hour));
    out.append(char(m_minute));
    out.append(char(m_days));
    out.append(char(m_months & 0xff));
    out.append(char(m_months >> 8));
    out.append(char(m_flags));
    return out;
}

ScheduleRecord ScheduleRecord::decode(const QByteArray &data)
{
    ScheduleRecord r;
    if (data.size() < FieldBytes)
        return r;
    const auto byte = [&data](int i) { return quint8(data.at(i)); };
    r.m_number = data.left(NumberSize);
    r.m_hour = byte(15);
    r.m_minute = byte(16);
    r.m_days = byte(17);
    r.m_months = quint16(byte(18) | byte(19) << 8);
    r.m_flags = byte(20);
    return r;
}
