#include "StationPortRunner.h"

#include "PortLender.h"
#include "Runtime.h"
#include "Services.h"
#include "Timer.h"

#include <QPointer>

StationPortRunner::StationPortRunner(PortLender &lender, ::Timer &polling, AuditJobRunner &runner,
                                     QObject *parent)
    : QObject(parent), m_lender(lender), m_polling(polling), m_runner(runner)
{
    connect(&m_polling, &::Timer::tick, this, &StationPortRunner::pollingTicked);
}

bool StationPortRunner::portFree() const
{
    return !m_running && m_lender.stationOnPort() && m_polling.isEnabled() &&
           !(m_console && m_console->isLoaded());
}

void StationPortRunner::run(const QString &number, const QString &txtPath, const QString &imgPath,
                            std::function<void(const AuditJobOutcome &)> done)
{
    m_waiting = Attempt{number, txtPath, imgPath, std::move(done)};
}

void StationPortRunner::abort()
{
    if (m_running) {
        m_runner.abort();
        return;
    }
    if (!m_waiting)
        return;
    // Never started: nothing to hang up.
    auto done = std::exchange(m_waiting, std::nullopt)->done;
    Runtime::current().post(0, [done] {
        done({AuditJobOutcome::DialFailed, QStringLiteral("not called")});
    });
}

void StationPortRunner::pollingTicked()
{
    if (!m_waiting || !portFree())
        return;
    Attempt a = std::exchange(m_waiting, std::nullopt).value();
    m_running = true;
    m_lender.lend();
    if (m_handOver)
        m_handOver->stop();
    emit portHeld(true);
    QPointer<StationPortRunner> self(this);
    // A strand of its own, as the collector's other calls: its waits do not nest under the tick.
    Runtime::current().spawn([self, a] {
        if (!self)
            return;
        self->m_runner.run(a.number, a.txt, a.img, [self, done = a.done](const AuditJobOutcome &o) {
            if (self) {
                self->m_running = false;
                self->m_lender.giveBack();
                emit self->portHeld(false);
            }
            done(o);
        });
    });
}
