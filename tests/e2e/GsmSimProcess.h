#pragma once

#include <QProcess>
#include <QTest>

// Runs gsmsim with the given options and learns the pseudo-terminal it serves.
class GsmSimProcess
{
public:
    explicit GsmSimProcess(const QStringList &args)
    {
        m_proc.start(QStringLiteral(GSMSIM), args);
        if (m_proc.waitForStarted(10'000) && m_proc.waitForReadyRead(10'000))
            m_device = QString::fromLocal8Bit(m_proc.readLine()).trimmed();
    }
    ~GsmSimProcess()
    {
        m_proc.terminate();
        if (!m_proc.waitForFinished(5000))
            m_proc.kill();
    }
    // "" when gsmsim did not start.
    QString device() const { return m_device; }
    // What it printed after the device (with --verbose, the commands it received) since the
    // last call, once it has been quiet for quietMs.
    QByteArray output(int quietMs = 200)
    {
        while (m_proc.waitForReadyRead(quietMs))
            m_output += m_proc.readAllStandardOutput();
        m_output += m_proc.readAllStandardOutput();
        return std::exchange(m_output, QByteArray());
    }

private:
    QProcess m_proc;
    QString m_device;
    QByteArray m_output;
};
