#pragma once

#include "LinkState.h"
#include "ReceiveBox.h"
#include "ResetDialogue.h"
#include "TransferEngine.h"

#include <QDateTime>
#include <QObject>
#include <functional>

class Clock;
class Dialogs;
class LinkConsole;
class SerialPort;

// One call's machine link: its state, the frame receiver on the port's receive event, the
// transfer engine and the reset dialogue, sharing the outstanding request slots, with their
// timers. Whoever places a call (the console, a collection job) creates one per call, so calls
// on other lines run beside it untouched; the polling and schedule timers are the station's.
class MachineLink : public QObject
{
    Q_OBJECT
public:
    MachineLink(SerialPort &port, Dialogs &dialogs, ::Timer &pollingTimer,
                ::Timer &scheduleTimer, QObject *parent = nullptr);

    void setConsole(LinkConsole *c);
    LinkConsole *console() const { return m_console; }
    // Where snapshots and chosen files start (the program folder), and the filler bytes' source.
    void setAppFolder(const QString &folder) { m_appFolder = folder; }
    void setClock(Clock *clock) { m_clock = clock; }

    // Declared before the engine and the dialogue, which work on them.
    LinkState state;
    ReceiveBox box;
    TransferEngine engine;
    ResetDialogue dialogue;

    // The name a save dialog proposes: "<number>-<yyyymmdd-hhmm>.<extension>".
    static QString proposedName(const QString &number, const QDateTime &when,
                                const QString &extension);

    // Puts the length and sum words around the collected audit bytes.
    void frameAuditImage();
    // Answers dropped by the frame check (wrong check value, count, or no request waiting).
    int droppedAnswers() const { return m_droppedAnswers; }
    // A transfer's files are on their way to the disk: the transfer has not ended yet.
    bool saving() const { return m_saving > 0; }

private:
    void onReceived();
    bool listening() const;
    void receiveOne(char c);
    void frameCheck();
    void storeReadData(const QByteArray &data, quint8 frameNo);
    void badFrame();
    // "Save machine data": what the end of each successful transfer leaves behind.
    void saveMachineData(std::function<void()> ended);
    QString askSaveName(const QString &title, const QString &pattern, const QString &filter);
    void saveSnapshot(std::function<void()> then);
    // Writes path off the event thread; a refusal is shown, then after(saved) runs.
    void save(const QString &path, const QByteArray &bytes, std::function<void(bool)> after);

    SerialPort &m_port;
    Dialogs &m_dialogs;
    LinkConsole *m_console = nullptr;
    QString m_appFolder;
    Clock *m_clock = nullptr;
    int m_droppedAnswers = 0;
    int m_saving = 0;
};
