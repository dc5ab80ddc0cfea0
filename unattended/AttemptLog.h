#pragma once

#include <QDateTime>
#include <QString>

// Audit/collect.csv: one line per unattended attempt, in Latin-1 with CR LF, the header written
// once when the file is started. A line is appended with a single write, so a station stopped
// in the middle never leaves half a line.
class AttemptLog
{
public:
    explicit AttemptLog(const QString &path) : m_path(path) {}

    static QStringList header();

    struct Line
    {
        QDateTime at;
        QString number;
        QString machine;
        QString result;
        int seconds = 0;
        QString message;
    };
    bool append(const Line &line, QString *why = nullptr) const;

    QString path() const { return m_path; }

private:
    QString m_path;
};
