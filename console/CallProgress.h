#pragma once

#include <QString>
#include <QtGlobal>

// What the console shows of the command under way: the step, a percentage that only goes up
// until the next command, the time since the command started, and the time the transfer's
// design leaves. Times are the runtime's milliseconds, so tests read them on virtual time.
class CallProgress
{
public:
    enum class Step {
        None,
        Dialling,
        Connected,
        PointerRead,
        MemoryMap,
        Batch,
        Converting,
        Saving,
        Erasing,
        HangingUp,
    };

    // A command starts: everything from the last one is forgotten, "saved to" included.
    void begin(qint64 now);
    void setStep(Step step) { m_step = step; }
    void setBatch(int number, int of);
    // The transfer starts with this many requests, designed to take designedMs at
    // requestMs each.
    void plan(qint64 now, int requests, qint64 designedMs, int requestMs);
    void answered(int requests);
    // Every request is answered: the transfer is done.
    void transferDone();
    void saved(const QString &path) { m_savedTo = path; }
    // The command is over: the elapsed time stops.
    void end(qint64 now);

    Step step() const { return m_step; }
    int batch() const { return m_batch; }
    int percent() const { return m_percent; }
    bool started() const { return m_started >= 0; }
    bool running() const { return m_started >= 0 && m_ended < 0; }
    qint64 elapsedMs(qint64 now) const;
    // -1 until a transfer is planned; 0 once it is done.
    qint64 remainingMs(qint64 now) const;
    qint64 designedEnd() const { return m_designedEnd; }
    QString savedTo() const { return m_savedTo; }

    // "batch 2 of 3  0:12 elapsed, 0:17 left", "" before the first command.
    QString text(qint64 now) const;
    QString stepText() const;
    static QString clock(qint64 ms);

private:
    Step m_step = Step::None;
    int m_batch = 0;
    int m_batches = 0;
    int m_percent = 0;
    int m_requests = 0;
    int m_answered = 0;
    int m_requestMs = 0;
    qint64 m_started = -1;
    qint64 m_ended = -1;
    qint64 m_designedEnd = -1;
    bool m_done = false;
    QString m_savedTo;
};
