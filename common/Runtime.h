#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <vector>

class Timer;

// The one-thread scheduler every wait of the station goes through. Code never spins: a wait is a
// loop around yield(), and yield() returns only after something happened (a timer tick, bytes on
// a port, a window event). Once the program ends yield() returns at once, so a wait loop must
// also stop on isEnding() (the waits of AtExchange do: they count as timed out). Two
// implementations: RealRuntime on the Qt event loop, VirtualRuntime for tests, which jumps
// straight to the next due event.
class Runtime
{
public:
    virtual ~Runtime();

    // Milliseconds since the runtime started.
    virtual qint64 nowMs() const = 0;
    // Lets pending events run; blocks until at least one event happened. Once the program ends it
    // returns at once.
    virtual void yield() = 0;
    // Runs fn after delayMs (used by simulated devices to deliver bytes).
    virtual void post(qint64 delayMs, std::function<void()> fn) = 0;

    // Timer back-end: Timer calls these when it is switched on, off or re-armed.
    virtual void armTimer(Timer *timer, quint64 generation, int intervalMs) = 0;
    virtual void disarmTimer(Timer *timer) = 0;

    // Real I/O of owner (a socket) that can be under way while the process waits: busy() tells
    // whether bytes or a connection are still on their way. Virtual time stands still until it
    // is over, so a loopback peer in the same process answers at the virtual moment it was asked;
    // real time needs none of it. Forgotten when owner is destroyed.
    virtual void watchIo(QObject *owner, std::function<bool()> busy)
    {
        Q_UNUSED(owner);
        Q_UNUSED(busy);
    }

    // The program ends, whatever code is running: from now on yield() returns at once, so every
    // wait in progress or to come unwinds without waiting, and the serial ports refuse to open
    // and to write. Timers still tick, so the exit sequence runs to its end. There is no way back.
    void endProgram();
    bool isEnding() const { return m_ending; }

    // Runs fn as a strand: a call of its own on its own stack, whose waits give way to the rest
    // of the program instead of nesting on the caller's stack. Strands side by side (one per
    // call of a collector) then finish in any order, on the one thread. fn starts at once and
    // runs up to its first wait; spawn returns there.
    void spawn(std::function<void()> fn);
    // Strands started and not yet ended.
    int strandCount() const;

    static Runtime &current();
    // Installs rt as the current runtime (not owned); nullptr restores the real one.
    static void install(Runtime *rt);

protected:
    // Wakes a yield that is blocked waiting for events (endProgram called from elsewhere).
    virtual void wake() {}
    // A yield inside a strand: back to whoever resumed it, until the next round. False in the
    // program's own stack, where the caller waits for events itself.
    bool suspendStrand();
    // One round for every waiting strand, once events have run.
    void resumeStrands();
    // The first strand starts: a runtime whose rounds come from elsewhere hooks in here.
    virtual void strandsStarted() {}

private:
    struct Strands;
    Strands *strands();
    bool m_ending = false;
    Strands *m_strands = nullptr;

public:
    Runtime() = default;
    Runtime(const Runtime &) = delete;
    Runtime &operator=(const Runtime &) = delete;
};

class QTimer;

class RealRuntime : public Runtime
{
public:
    RealRuntime();
    ~RealRuntime() override;
    qint64 nowMs() const override;
    void yield() override;
    void post(qint64 delayMs, std::function<void()> fn) override;
    void armTimer(Timer *timer, quint64 generation, int intervalMs) override;
    void disarmTimer(Timer *timer) override;

protected:
    void wake() override;
    void strandsStarted() override;

private:
    struct Impl;
    Impl *d;
};

// Virtual time: a queue of due actions run in time order, never sleeping. Nested yields inside a
// timer tick run the next due action just as the real event loop would.
class VirtualRuntime : public Runtime
{
public:
    using StallHandler = std::function<void(const QString &)>;

    VirtualRuntime();
    ~VirtualRuntime() override;
    qint64 nowMs() const override { return m_now; }
    void yield() override;
    void post(qint64 delayMs, std::function<void()> fn) override;
    void armTimer(Timer *timer, quint64 generation, int intervalMs) override;
    void disarmTimer(Timer *timer) override;
    void watchIo(QObject *owner, std::function<bool()> busy) override;

    // Runs everything due within the next ms milliseconds, then sets the clock to that moment.
    void runFor(qint64 ms);
    // Runs due actions until pred() holds; false if it still fails after limitMs of virtual time.
    bool runUntil(const std::function<bool()> &pred, qint64 limitMs);
    // Number of queued actions (timers and deliveries).
    int pending() const { return int(m_queue.size()); }

    // Called when a yield finds nothing that could ever happen, or when virtual time passes the
    // horizon (a wait that periodic timers keep alive but that never ends). The default aborts
    // the process with the message, so a stalled test fails loudly instead of hanging.
    void setStallHandler(StallHandler h) { m_onStall = std::move(h); }
    void setHorizon(qint64 ms) { m_horizon = ms; }

private:
    struct Entry
    {
        std::function<void()> fn;
        QPointer<Timer> timer;
        quint64 generation = 0;
    };
    bool runNext(qint64 notAfter);
    void processQtEvents();
    bool settle();

    qint64 m_now = 0;
    quint64 m_seq = 0;
    // Key: (due time, insertion order), so equal due times keep their order.
    std::map<std::pair<qint64, quint64>, Entry> m_queue;
    std::vector<std::pair<QPointer<QObject>, std::function<bool()>>> m_io;
    StallHandler m_onStall;
    qint64 m_horizon = 30LL * 24 * 3600 * 1000; // a month of station time
};

// RAII helper for tests: installs a VirtualRuntime for the scope.
class VirtualTimeScope
{
public:
    VirtualTimeScope() { Runtime::install(&rt); }
    ~VirtualTimeScope() { Runtime::install(nullptr); }
    VirtualRuntime rt;
};
