#pragma once

#include "DueRule.h"
#include "ScheduleRecord.h"

#include <QByteArray>
#include <QString>
#include <vector>

// The schedule table (5001 entries, index 0-5000) with its file. One instance lives for the whole run; the schedule window edits it and the
// periodic check reads it.
class Schedule
{
public:
    static constexpr int Size = 5001;
    static constexpr int RecordLength = 128;
    static constexpr const char *FileName = "PROGOR.DAT";

    // path: the schedule file (PROGOR.DAT in the program folder).
    explicit Schedule(const QString &path);

    QString path() const { return m_path; }
    int size() const { return Size; }
    ScheduleRecord &operator[](int i) { return m_records[size_t(i)]; }
    const ScheduleRecord &operator[](int i) const { return m_records[size_t(i)]; }
    void clear();

    // The first entry holding the number, else the first free one; -1 when neither exists.
    int place(const QString &number) const;

    // File contents: 128-byte records, the fields in the first 21 bytes, the rest zero. Written
    // from index 0 up to the first free entry.
    QByteArray toBytes() const;
    // Reads whole records from index 0 until the data or the table ends; a trailing piece still
    // holding the 21 field bytes counts as a record. Entries past the data keep what they hold,
    // so one added and left unsaved survives a reload. Returns the number of records read.
    int readBytes(const QByteArray &data);

    // A missing file reads as no records and succeeds. On failure, why tells the reason.
    bool load(QString *why = nullptr);
    // Replaces the file as a whole, so that entries after a free one are gone from it too.
    bool save(QString *why = nullptr) const;

private:
    QString m_path;
    std::vector<ScheduleRecord> m_records;
};
