#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Starts other programs without waiting for them.
class Launcher
{
public:
    virtual ~Launcher() = default;
    // Returns false when the program could not be started.
    virtual bool start(const QString &program, const QStringList &args = {},
                       const QString &workDir = {}) = 0;
};

class ProcessLauncher : public Launcher
{
public:
    bool start(const QString &program, const QStringList &args, const QString &workDir) override;
};

class RecordingLauncher : public Launcher
{
public:
    struct Started
    {
        QString program;
        QStringList args;
        QString workDir;
    };
    bool start(const QString &program, const QStringList &args, const QString &workDir) override
    {
        m_started << Started{program, args, workDir};
        return m_succeed;
    }
    void setSucceed(bool ok) { m_succeed = ok; }
    const QList<Started> &started() const { return m_started; }
    QStringList programs() const
    {
        QStringList out;
        for (const auto &s : m_started)
            out << s.program;
        return out;
    }

private:
    QList<Started> m_started;
    bool m_succeed = true;
};
