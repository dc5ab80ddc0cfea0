#include "ConsoleAuditRunner.h"

#include "CallSession.h"
#include "LinkState.h"

#include "CollectJob.h"
#include "TcpLine.h"

ConsoleAuditRunner::ConsoleAuditRunner(SerialPort &port, const QString &programFolder)
    : m_job(std::make_unique<CollectJob>(port, programFolder))
{
}

ConsoleAuditRunner::~ConsoleAuditRunner() = default;

void ConsoleAuditRunner::abort()
{
    m_job->abort();
}

void ConsoleAuditRunner::setLines(LineFor lineFor)
{
    m_job->session().setLineChooser([this, lineFor](const QString &number) {
        std::unique_ptr<TcpLine> line = lineFor(number);
        m_job->session().setLine(line.get());
        m_line = std::move(line);
    });
}

void ConsoleAuditRunner::run(const QString &number, const QString &txtPath, const QString &imgPath,
                             std::function<void(const AuditJobOutcome &)> done)
{
    CollectJob::Request r;
    r.kind = CollectJob::Kind::Audit;
    r.number = number;
    r.file = txtPath;
    r.image = imgPath;
    r.erase = false; // never unattended
    const CollectJob::Result result = m_job->run(r);

    AuditJobOutcome outcome{AuditJobOutcome::Completed, result.reason};
    if (result.status == CollectJob::Status::Done) {
        done(outcome);
        return;
    }
    if (!m_job->connected()) {
        // The modem's result code decides whether another call later is worth it.
        const QString said = m_job->dialogs().lines().join(u' ');
        using Dial = CallSession::DialOutcome;
        const Dial dial = m_job->session().dialOutcome();
        outcome.result = dial == Dial::Busy       ? AuditJobOutcome::Busy
                         : dial == Dial::NoAnswer ? AuditJobOutcome::NoAnswer
                                                  : AuditJobOutcome::DialFailed;
        if (!said.isEmpty())
            outcome.message = said;
    } else if (m_job->endedMode() != TransferMode::ReadAudit) {
        outcome.result = AuditJobOutcome::TransferFailed;
    } else {
        outcome.result = AuditJobOutcome::ConversionFailed;
    }
    done(outcome);
}
