#pragma once

#include "Dialogs.h"

#include <QObject>
#include <QString>
#include <functional>

class CallDesk;
class FrmStGSM;

// The station's dialogs during a demonstration call: the audit's save dialog is answered with
// the demonstration's file, everything else goes to the dialogs the station has (printed ones
// without a display, real ones on a desktop, where the person watching answers them).
class DemoDialogs : public Dialogs
{
public:
    explicit DemoDialogs(Dialogs &inner) : m_inner(inner) {}
    MsgResult message(const QString &text, MsgButtons buttons, MsgIcon icon,
                      const QString &title) override;
    QString openFile(const QString &title, const QString &filter, const QString &dir) override;
    QString saveFile(const QString &title, const QString &filter, const QString &dir,
                     const QString &suggested) override;

    void saveNextAs(const QString &path) { m_nextSave = path; }

private:
    Dialogs &m_inner;
    QString m_nextSave;
};

// A demonstration call: opens "Call", picks the first demonstration machine, reads its audit
// into an EVA-DTS file in the working folder and closes the console again, telling what
// happens as it goes. Runs with or without a display.
class DemoCall : public QObject
{
public:
    DemoCall(FrmStGSM &station, CallDesk &desk, DemoDialogs &dialogs, QString workFolder,
             std::function<void(const QString &)> say);
    // Starts after seconds (once the modem is registered; otherwise it says why not).
    void startAfter(int seconds);

private:
    void run();
    void finished();

    FrmStGSM &m_station;
    CallDesk &m_desk;
    DemoDialogs &m_dialogs;
    QString m_workFolder;
    std::function<void(const QString &)> m_say;
    int m_lastTold = -1;
};
