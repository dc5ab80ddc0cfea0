#pragma once

#include "AuditJob.h"

#include <QString>
#include <functional>
#include <memory>

class CollectJob;
class SerialPort;
class TcpLine;

// The unattended audit attempt made by the console's own job runner, the one gsmcollect uses:
// the "Audit" command with a dialog policy (no erase, Retry/Yes a bounded number of times), on
// link state of its own so the station's link stays out of the way, always hung up.
class ConsoleAuditRunner : public AuditJobRunner
{
public:
    ConsoleAuditRunner(SerialPort &port, const QString &programFolder);
    ~ConsoleAuditRunner() override;

    void run(const QString &number, const QString &txtPath, const QString &imgPath,
             std::function<void(const AuditJobOutcome &)> done) override;
    void abort() override;
    // The job the attempts run in, for whoever shows their progress.
    CollectJob &job() { return *m_job; }

    // The line of each call: a TCP line for a machine on IP, nullptr to dial it on the modem.
    using LineFor = std::function<std::unique_ptr<TcpLine>(const QString &number)>;
    void setLines(LineFor lineFor);

private:
    std::unique_ptr<CollectJob> m_job;
    std::unique_ptr<TcpLine> m_line; // the current call's, when on IP
};
