#pragma once

#include "Dialogs.h"

#include <QObject>
#include <QStringList>

// Answers the station's questions by a policy instead of a person, for unattended jobs: a
// Retry/Cancel or Yes/No question is answered Retry/Yes a bounded number of times per job, then
// Cancel/No; "Waiting Response?" after an alarm reset is always Yes; the erase after an audit
// only when asked for. Open dialogs get the job's input file, save dialogs its output file.
// Every message box comes out as one line.
class PolicyDialogs : public QObject, public Dialogs
{
    Q_OBJECT
public:
    struct Policy
    {
        int retries = 3;    // Retry/Yes answers per job
        bool erase = false; // answer to "ERASE Erasable DATA ? "
        QString openPath;   // "" cancels open dialogs
        QString savePath;   // "" cancels save dialogs
    };

    using QObject::QObject;

    // Starts a job: the policy, no retries used, no boxes seen.
    void setPolicy(const Policy &p);
    const Policy &policy() const { return m_policy; }
    int retriesUsed() const { return m_used; }
    // The one-line form of every box of this job, in order.
    const QStringList &lines() const { return m_lines; }
    // True when a box of this job was about this.
    bool shown(MsgId id) const { return m_ids.contains(id); }

    MsgResult message(const QString &text, MsgButtons buttons, MsgIcon icon,
                      const QString &title) override;
    MsgResult ask(MsgId id, const QString &text, MsgButtons buttons, MsgIcon icon,
                  const QString &title) override;
    QString openFile(const QString &title, const QString &filter, const QString &dir) override;
    QString saveFile(const QString &title, const QString &filter, const QString &dir,
                     const QString &suggested) override;

    // A box as one line: "title: text", line breaks inside the text turned into " / ".
    static QString oneLine(const QString &title, const QString &text);

signals:
    void line(const QString &text);

private:
    MsgResult answer(MsgId id, MsgButtons buttons);

    Policy m_policy;
    int m_used = 0;
    QStringList m_lines;
    QList<MsgId> m_ids;
};
