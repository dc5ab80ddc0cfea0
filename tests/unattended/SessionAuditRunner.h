#pragma once

// STAND-IN, tests only: the smallest AuditJobRunner over the console's session, so that the
// collector can be shown end to end against the simulated fleet. The station gets the shared
// console job runner instead; this class goes when that one is wired in.

#include "AuditJob.h"
#include "CallSession.h"
#include "Dialogs.h"
#include "ModPublic.h"
#include "Runtime.h"

#include <QFile>
#include <QObject>

// Scripted dialogs whose save dialog names the file the running job writes to, once.
class JobDialogs : public ScriptedDialogs
{
public:
    QString saveTo;
    QString saveFile(const QString &title, const QString &filter, const QString &dir,
                     const QString &suggested) override
    {
        chooseFileNext(std::exchange(saveTo, QString()));
        return ScriptedDialogs::saveFile(title, filter, dir, suggested);
    }
};

class SessionAuditRunner : public QObject, public AuditJobRunner
{
public:
    // dialogs: the ones the session and its link were made with. Boxes nobody scripted get their
    // last button (Cancel, No), so a failed transfer is not retried and nothing is erased.
    SessionAuditRunner(CallSession &session, ModPublic &state, JobDialogs &dialogs)
        : m_session(session), m(state), m_dialogs(dialogs)
    {
        connect(&session, &CallSession::callStateChanged, this, [this](bool up) {
            if (up)
                m_wasUp = true;
            else if (m_done && m_wasUp && !m_read)
                end({AuditJobOutcome::TransferFailed, boxText()});
        });
        connect(&session, &CallSession::auditFinished, this, [this] {
            if (!m_done)
                return;
            m_read = true;
            QFile img(m_img);
            const bool imageWritten = img.open(QIODevice::WriteOnly) &&
                                      img.write(m.AuditImage) == m.AuditImage.size() && img.flush();
            const CallSession::AuditOutcome &a = m_session.lastAudit();
            m_outcome = imageWritten && a.converted
                            ? AuditJobOutcome{AuditJobOutcome::Completed, {}}
                            : AuditJobOutcome{AuditJobOutcome::ConversionFailed,
                                              imageWritten ? a.message : img.errorString()};
            // Hang up from the event loop, not from inside the engine's tick.
            Runtime::current().post(0, [this] {
                m_session.Command4_Click();
                end(m_outcome);
            });
        });
    }

    void run(const QString &number, const QString &txtPath, const QString &imgPath,
             std::function<void(const AuditJobOutcome &)> done) override
    {
        m_done = std::move(done);
        m_img = imgPath;
        m_wasUp = m_read = false;
        m_boxes = int(m_dialogs.shown().size());
        m_session.load();
        m_session.select(number, QString());
        m_dialogs.saveTo = txtPath;
        m_session.Command9_Click();
        if (m_done && !m_wasUp) { // the dial failed
            const QString said = boxText();
            const auto result = said.contains(QLatin1String("BUSY")) ? AuditJobOutcome::Busy
                                : said.contains(QLatin1String("NO ANSWER"))
                                    ? AuditJobOutcome::NoAnswer
                                    : AuditJobOutcome::DialFailed;
            end({result, said});
        }
    }

private:
    QString boxText() const
    {
        const auto &shown = m_dialogs.shown();
        for (qsizetype i = m_boxes; i < shown.size(); ++i)
            if (shown[i].kind == ScriptedDialogs::Shown::Message)
                return shown[i].text;
        return QString();
    }
    void end(const AuditJobOutcome &outcome)
    {
        m_dialogs.saveTo.clear();
        if (auto done = std::exchange(m_done, nullptr))
            done(outcome);
    }

    CallSession &m_session;
    ModPublic &m;
    JobDialogs &m_dialogs;
    std::function<void(const AuditJobOutcome &)> m_done;
    AuditJobOutcome m_outcome;
    QString m_img;
    bool m_wasUp = false;
    bool m_read = false;
    int m_boxes = 0;
};
