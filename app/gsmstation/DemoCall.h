#pragma once

#include <QObject>
#include <QString>
#include <functional>

class CallDesk;
class ConsoleDialogs;
class FrmStGSM;

// A demonstration without a display: opens "Call", picks the first demonstration machine,
// reads its audit into an EVA-DTS file in the working folder and closes the console again,
// telling what happens as it goes.
class DemoCall : public QObject
{
public:
    DemoCall(FrmStGSM &station, CallDesk &desk, ConsoleDialogs &dialogs, QString workFolder,
             std::function<void(const QString &)> say);
    // Starts after seconds (once the modem is registered; otherwise it says why not).
    void startAfter(int seconds);

private:
    void run();
    void finished();

    FrmStGSM &m_station;
    CallDesk &m_desk;
    ConsoleDialogs &m_dialogs;
    QString m_workFolder;
    std::function<void(const QString &)> m_say;
    int m_lastTold = -1;
};
