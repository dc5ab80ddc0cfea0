#pragma once

#include <QByteArray>
#include <QString>

// One schedule entry: a machine's telephone number and one time of day at which it is called,
// either on chosen weekdays or in chosen months. The fields are the bytes the schedule file holds.
class ScheduleRecord
{
public:
    static constexpr int NumberSize = 15;
    // number, hour, minute, days, months (2, little-endian), flags
    static constexpr int FieldBytes = NumberSize + 6;

    enum Flag : quint8 {
        Weekly = 0x01, // clear: monthly
        First = 0x02,  // monthly: first weekday (or day 1 without a weekday)
        Last = 0x04,   // monthly: last weekday (or last day without a weekday)
        // Collect the audit without an operator when due. Older files never set it.
        Unattended = 0x08,
    };
    enum class Occurrence { Every, First, Last };

    // A free record: the number is 15 bytes of code 0, every other field 0.
    ScheduleRecord() = default;

    bool isFree() const;
    void clear() { *this = ScheduleRecord(); }

    // The number as stored: always 15 bytes.
    QByteArray number() const { return m_number; }
    // The number without trailing blanks or code-0 characters ("" when free).
    QString numberText() const;
    // Left-aligned and padded with blanks (or cut) to 15 characters; Latin-1.
    void setNumber(const QString &number);
    // The stored form of a typed number.
    static QByteArray fixedNumber(const QString &number);
    bool holds(const QString &number) const { return m_number == fixedNumber(number); }

    quint8 hour() const { return m_hour; }
    void setHour(quint8 h) { m_hour = h; }
    quint8 minute() const { return m_minute; }
    void setMinute(quint8 m) { m_minute = m; }

    // Weekly: the chosen weekdays, bit 0 = Monday ... bit 6 = Sunday. Monthly: one weekday bit, or
    // 0 for "no weekday".
    quint8 days() const { return m_days; }
    void setDays(quint8 d) { m_days = d; }
    bool onWeekday(int weekday) const; // 1 = Monday ... 7 = Sunday
    void setWeekday(int weekday, bool on);

    // Bit 0 = January ... bit 11 = December.
    quint16 months() const { return m_months; }
    void setMonths(quint16 m) { m_months = m; }
    bool inMonth(int month) const; // 1-12
    void setMonth(int month, bool on);

    quint8 flags() const { return m_flags; }
    void setFlags(quint8 f) { m_flags = f; }
    bool weekly() const { return m_flags & Weekly; }
    void setWeekly(bool on) { setFlag(Weekly, on); }
    // "First" wins when a hand-made record holds both bits, as the schedule window shows it.
    Occurrence occurrence() const;
    void setOccurrence(Occurrence o);
    bool unattended() const { return m_flags & Unattended; }
    void setUnattended(bool on) { setFlag(Unattended, on); }

    // The 21 packed field bytes.
    QByteArray encode() const;
    // From the first 21 bytes of data; a shorter buffer gives a free record.
    static ScheduleRecord decode(const QByteArray &data);

    bool operator==(const ScheduleRecord &) const = default;

private:
    void setFlag(Flag f, bool on) { m_flags = on ? quint8(m_flags | f) : quint8(m_flags & ~f); }

    QByteArray m_number = QByteArray(NumberSize, '\0');
    quint8 m_hour = 0;
    quint8 m_minute = 0;
    quint8 m_days = 0;
    quint16 m_months = 0;
    quint8 m_flags = 0;
};
