#pragma once

#include "AuditJob.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class PortLender;
class Timer;
class WindowOpener;

// Runs another runner's attempts on the station's own modem, each when the port's turn comes:
// right after a polling tick that went well, with nobody else holding the port and the call
// console closed. While an attempt runs the station's polling is off and the scheduled-call
// hand-over waits, as while the console is open; polling resumes 100 ms after it.
class StationPortRunner : public QObject, public AuditJobRunner
{
    Q_OBJECT
public:
    // polling: the main window's `Timer2`; made after the main window has connected its own
    // handler, so that a tick's exchanges are over when this one looks.
    StationPortRunner(PortLender &lender, ::Timer &polling, AuditJobRunner &runner,
                      QObject *parent = nullptr);

    void setHandOverTimer(::Timer *timer) { m_handOver = timer; }
    void setConsole(const WindowOpener *console) { m_console = console; }
    // Nobody holds the port, the station polls and the console is closed: an attempt asked for
    // now starts at the next tick.
    bool portFree() const;

    void run(const QString &number, const QString &txtPath, const QString &imgPath,
             std::function<void(const AuditJobOutcome &)> done) override;
    void abort() override;

signals:
    void portHeld(bool held);

private:
    struct Attempt
    {
        QString number, txt, img;
        std::function<void(const AuditJobOutcome &)> done;
    };
    void pollingTicked();

    PortLender &m_lender;
    ::Timer &m_polling;
    AuditJobRunner &m_runner;
    ::Timer *m_handOver = nullptr;
    const WindowOpener *m_console = nullptr;
    std::optional<Attempt> m_waiting;
    bool m_running = false;
};
