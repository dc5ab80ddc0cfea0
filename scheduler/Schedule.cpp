#include "Schedule.h"

#include <QFile>
#include <QSaveFile>

Schedule::Schedule(const QString &path) : m_path(path), m_records(Size) {}

void Schedule::clear()
{
    for (ScheduleRecord &r : m_records)
        r.clear();
}

int Schedule::place(const QString &number) const
{
    const QByteArray fixed = ScheduleRecord::fixedNumber(number);
    for (int i = 0; i < Size; ++i) {
        const ScheduleRecord &r = m_records[size_t(i)];
        if (r.isFree() || r.number() == fixed)
            return i;
    }
    return -1;
}

QByteArray Schedule::toBytes() const
{
    QByteArray out;
    for (const ScheduleRecord &r : m_records) {
        if (r.isFree())
            break;
        out += r.encode().leftJustified(RecordLength, '\0');
    }
    return out;
}

int Schedule::readBytes(const QByteArray &data)
{
    int n = 0;
    for (qsizetype at = 0; n < Size && data.size() - at >= ScheduleRecord::FieldBytes;
         at += RecordLength)
        m_records[size_t(n++)] = ScheduleRecord::decode(data.mid(at, ScheduleRecord::FieldBytes));
    return n;
}

bool Schedule::load(QString *why)
{
    QFile f(m_path);
    if (!f.exists())
        return true;
    if (!f.open(QIODevice::ReadOnly)) {
        if (why)
            *why = f.errorString();
        return false;
    }
    readBytes(f.read(qint64(Size) * RecordLength));
    return true;
}

bool Schedule::save(QString *why) const
{
    QSaveFile f(m_path);
    if (f.open(QIODevice::WriteOnly)) {
        const QByteArray bytes = toBytes();
        if (f.write(bytes) == bytes.size() && f.commit())
            return true;
    }
    if (why)
        *why = f.errorString();
    return false;
}
