#pragma once

#include "CallSession.h"
#include "Clock.h"
#include "Dialogs.h"
#include "GsmModem.h"
#include "LoopbackPort.h"
#include "MachineController.h"
#include "MachineLink.h"
#include "PortLender.h"
#include "Runtime.h"
#include "StationState.h"
#include "TrayIcon.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <optional>

// The simulated modem on port 1, with one machine on file that answers data calls, and a fresh
// program folder, on virtual time: a clock of its own, or another rig's for two lines side by
// side in one process.
struct MachineRig
{
    static inline const QByteArray Number = "3351234567";

    explicit MachineRig(MachineRig *sameClock = nullptr)
        : rt(sameClock ? sameClock->rt : ownClock.emplace().rt)
    {
        QDir(tmp.path()).mkpath(QStringLiteral("prog"));
        port.plug(1, &modem);
        port.setSettings(QStringLiteral("19200,N,8,1"));
        port.setCommPort(1);
        port.open();
        modem.setEcho(false);
        modem.addMachine(Number, &machine);
        // Answers can be tampered with on their way back through the call.
        QObject::connect(&modem, &GsmModem::callChanged, [this](const QByteArray &, bool up) {
            if (up && tamper)
                machine.setOutput([this](const QByteArray &b) {
                    const QByteArray t = tamper(b);
                    if (!t.isEmpty())
                        modem.sendData(t);
                });
        });
    }
    ~MachineRig() { QDir::setCurrent(QDir::tempPath()); }

    QString programFolder() const
    {
        return QDir(tmp.path()).absoluteFilePath(QStringLiteral("prog"));
    }
    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    std::optional<VirtualTimeScope> ownClock;
    VirtualRuntime &rt;
    QTemporaryDir tmp;
    LoopbackPort port;
    GsmModem modem;
    MachineController machine;
    std::function<QByteArray(const QByteArray &)> tamper;
};

// The call console's session on that line.
struct ConsoleRig : MachineRig
{
    ConsoleRig()
    {
        session.load();
        session.select(QString::fromLatin1(Number), QStringLiteral("Corridor A"));
    }

    QString file(const QString &name) const { return QDir(programFolder()).filePath(name); }
    ScriptedDialogs dialogs;
    TrayIcon tray;
    FakeClock clock{QDateTime(QDate(2026, 12, 5), QTime(9, 0))};
    ::Timer timer2{QStringLiteral("Timer2"), 6000, false};
    ::Timer timer5{QStringLiteral("Timer5"), 30000, true};
    StationState stationState;
    PortLender lender{stationState, timer2};
    CallSession session{{.port = &port,
                         .dialogs = &dialogs,
                         .tray = &tray,
                         .clock = &clock,
                         .appFolder = programFolder(),
                         .lender = &lender},
                        timer2,
                        timer5};
};
