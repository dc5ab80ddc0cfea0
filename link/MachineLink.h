#pragma once

#include "ReceiveBox.h"
#include "ResetDialogue.h"
#include "TransferEngine.h"

#include <QObject>
#include <functional>

class Clock;
class Dialogs;
class LinkConsole;
class SerialPort;
struct ModPublic;

// The machine link of the station: the frame receiver on the modem port's receive event, the
// transfer engine and the reset dialogue, sharing the outstanding request slots. The main window
// owns one and gives it its polling and schedule timers; the call console drives it.
class MachineLink : public QObject
{
    Q_OBJECT
public:
    MachineLink(ModPublic &state, SerialPort &port, Dialogs &dialogs, ::Timer &pollingTimer,
                ::Timer &scheduleTimer, QObject *parent = nullptr);

    void setConsole(LinkConsole *c);
    LinkConsole *console() const { return m_console; }
    // Where snapshots and chosen files start (the program folder), and the filler bytes' source.
    void setAppFolder(const QString &folder) { m_appFolder = folder; }
    void setClock(Clock *clock) { m_clock = clock; }

    // Declared before the engine and the dialogue, which clear it.
    ReceiveBox box;
    TransferEngine engine;
    ResetDialogue dialogue;

    // Puts the length and sum words around the collected audit bytes.
    void frameAuditImage();
    // Answers dropped by the frame check (wrong check value, count, or no request waiting).
    int droppedAnswers() const { return m_droppedAnswers; }

private:
    void onReceived();
    bool listening() const;
    void receiveOne(char c);
    void frameCheck();
    void storeReadData(const QByteArray &data, quint8 frameNo);
    void badFrame();
    // "Save machine data": what the end of each successful transfer leaves behind.
    void saveMachineData();
    QString askSaveName(const QString &pattern, const QString &filter);
    void saveSnapshot();

    ModPublic &m;
    SerialPort &m_port;
    Dialogs &m_dialogs;
    LinkConsole *m_console = nullptr;
    QString m_appFolder;
    Clock *m_clock = nullptr;
    int m_droppedAnswers = 0;
};
