#pragma once

#include <QString>
#include <functional>

// How one unattended audit attempt ended.
struct AuditJobOutcome
{
    enum Result {
        Completed,        // read and converted: both files are written
        Busy,             // the machine's line was busy
        NoAnswer,         // nobody picked up
        DialFailed,       // any other failed dial: time-out, no carrier, modem error
        TransferFailed,   // the call was up but the audit could not be read
        ConversionFailed, // read (the image file is written) but not converted
        FileError,        // set by the collector only: the result could not be filed
    };
    Result result = DialFailed;
    QString message; // what the modem or the console said, for the log

    // Worth another call 5 minutes later.
    bool retryable() const
    {
        return result == Busy || result == NoAnswer || result == DialFailed ||
               result == TransferFailed;
    }
};

// Runs one unattended audit attempt with the console's own sequencing. The collector decides
// when and how often; the runner makes one attempt:
// - the port is the runner's from run() until it calls done: the station's polling is off and
//   StationActive is False, exactly as while the call console is open;
// - it dials number and reads the audit with the console's "Audit" command;
// - it writes the framed audit image (length word, data, sum word: what evadts-convert --image
//   reads) to imgPath once the read is complete, and the EVA-DTS records to txtPath;
// - it asks nobody anything, and never erases the machine's data: the erase question after the
//   conversion is answered No;
// - it hangs up whatever happened, and only then calls done, exactly once, from run() itself or
//   later from the event loop.
// The paths are temporary names; the collector renames the files once done says Completed.
class AuditJobRunner
{
public:
    virtual ~AuditJobRunner() = default;
    virtual void run(const QString &number, const QString &txtPath, const QString &imgPath,
                     std::function<void(const AuditJobOutcome &)> done) = 0;
    // Ends a run under way at the next chance; the call is hung up and done still comes.
    virtual void abort() {}
};

// The log's word for a result ("Completed", "Busy", "No answer", ...).
QString resultText(AuditJobOutcome::Result result);
// The same word in the windows' language.
QString resultShown(AuditJobOutcome::Result result);
