#pragma once

#include "AuditJob.h"

#include <QString>
#include <memory>

class CollectJob;
class SerialPort;

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

private:
    std::unique_ptr<CollectJob> m_job;
};
