#pragma once

#include "CollectOptions.h"

#include <QObject>

class CollectJob;
class CollectLog;
class SerialPort;
class TcpLine;

// gsmcollect from its options to its exit status: the files checked before anything is sent,
// the station's single-instance marker taken (a running station keeps the modem), the modem
// made ready, the job run and the call hung up. A machine with an address is reached over TCP
// instead, without the modem or the marker.
class Collector : public QObject
{
    Q_OBJECT
public:
    enum Exit { Done = 0, Failed = 1, UsageOrFile = 2 };

    // lockDir: where the station keeps its single-instance marker ("" = the system's place).
    Collector(SerialPort &port, CollectLog &log, const QString &lockDir = {},
              QObject *parent = nullptr);

    // portCount: how many port numbers the search tries.
    int run(const CollectOptions &options, int portCount);
    // Ends a run at the next chance (the call is hung up first); the run fails.
    void abort();

    void setRegistrationWait(int ms) { m_registrationWaitMs = ms; }

signals:
    // The job starts: from now on an interrupt must hang up before the program ends.
    void jobStarting();

private:
    // The files the job reads and writes, before the modem is touched: -1 when all is well, or
    // the exit status.
    int checkFiles(const CollectOptions &o);
    int refuse(Exit status, const QString &why);
    int runOverTcp(const CollectOptions &o);
    int runInbound(const CollectOptions &o);
    int runOnLine(TcpLine &line, const CollectOptions &o);
    int runJob(CollectJob &job, const CollectJob::Request &request, SerialPort &port);

    SerialPort &m_port;
    CollectLog &m_log;
    QString m_lockDir;
    int m_registrationWaitMs = 60000;
    bool m_aborted = false;
    CollectJob *m_job = nullptr;
};
