#pragma once

#include "AttemptLog.h"
#include "AuditArchive.h"
#include "AuditJob.h"
#include "Services.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class MachineDb;
class Timer;
class PortLender;

// Collects the audits of schedule entries marked "Collect audit unattended", with nobody at the
// station. Due numbers wait in order (once each) until the station can lend its port: its
// network polling (`Timer2`) has just finished a tick and goes on, nobody else holds the port
// (`StationActive`) and the call console is closed. Then, as the console does, the collector
// sets `StationActive` False and switches `Timer2` off, runs one attempt through the job
// runner, files the result, and gives the port back with `Timer2` at 100 ms, so polling resumes
// at once and the next due number waits for the tick after it.
//
// A busy line, no answer, a failed dial or a failed transfer is tried again 5 minutes later, at
// most 3 attempts per due entry; a failed conversion is not. Every attempt is one line of
// Audit/collect.csv; an entry that ends without its audit shows a tray message.
class UnattendedCollector : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxAttempts = 3;
    static constexpr int RetryDelayMs = 5 * 60 * 1000;

    // services: clock, tray and program folder (its parent is the working folder, which holds
    // the archive). lender: the station's port, borrowed for each collection. polling: the main
    // window's `Timer2`; the collector watches its ticks, so it must be made after the main
    // window has connected its own handler.
    UnattendedCollector(const Services &services, PortLender &lender, ::Timer &polling,
                        AuditJobRunner &runner, QObject *parent = nullptr);

    // The main window's scheduled-call hand-over (`Timer6`): switched off while a collection
    // holds the port, so that it cannot open the console in the middle; polling re-arms it.
    void setHandOverTimer(::Timer *timer) { m_handOver = timer; }
    // The call console: a collection never starts while it is loaded.
    void setConsole(const WindowOpener *console) { m_console = console; }
    // Where the machine's description comes from (table Distributori); not owned.
    void setMachineDb(MachineDb *db) { m_db = db; }
    // Whether a machine is reached through the station's port; one on IP is collected without
    // it, as soon as it is due, while the station polls on.
    void setPortNeeded(std::function<bool(const QString &number)> needed)
    {
        m_portNeeded = std::move(needed);
    }

    // The schedule check's announcement; only unattended entries are taken.
    void due(const QString &number, bool unattended);
    // Queues a number; one already waiting or being collected is not queued again.
    void collect(const QString &number);

    // Numbers waiting or being collected, in order.
    QStringList waiting() const;
    bool collecting() const { return m_current >= 0; }
    // The machine of the attempt under way or last made: its description ("" when unknown),
    // and when the attempt started.
    QString machine() const { return m_machine; }
    QDateTime startedAt() const { return m_startedAt; }
    const AuditArchive &archive() const { return m_archive; }

signals:
    // A collection took the port (true) or gave it back (false).
    void portHeld(bool held);
    // An attempt began (attempt counts from 1).
    void attemptStarted(const QString &number, int attempt);
    // An attempt ended; willRetry tells whether the entry is tried again.
    void attemptFinished(const QString &number, const AuditJobOutcome &outcome, int attempt,
                         bool willRetry);

private:
    struct Entry
    {
        QString number;
        int attempts = 0;
        qint64 notBefore = 0; // runtime milliseconds
    };

    void pollingTicked();
    void startNext(bool portFree);
    bool portFree() const;
    void begin(int index);
    void finish(quint64 job, AuditJobOutcome outcome);
    QString describe(const QString &number) const;
    void takePort();
    void givePortBack();

    Services m_s;
    PortLender &m_lender;
    ::Timer &m_polling;
    ::Timer *m_handOver = nullptr;
    AuditJobRunner &m_runner;
    const WindowOpener *m_console = nullptr;
    MachineDb *m_db = nullptr;
    std::function<bool(const QString &)> m_portNeeded;
    bool m_holdsPort = false;
    AuditArchive m_archive;
    AttemptLog m_log;

    QList<Entry> m_entries;
    int m_current = -1; // index of the entry being collected
    quint64 m_job = 0;  // tells a late or repeated done() from the current one
    AuditArchive::Files m_files;
    QDateTime m_startedAt;
    qint64 m_startedMs = 0;
    QString m_machine;
};
