#pragma once

#include <QDir>
#include <QString>

class SerialPort;
class Dialogs;
class TrayIcon;
class Clock;
class Launcher;
class PortLender;
struct StationState;

// A window that another window opens through the station (the call console, the send window):
// the station knows it only through this, so the layers stay acyclic.
class WindowOpener
{
public:
    virtual ~WindowOpener() = default;
    virtual void show() = 0;
    virtual bool isLoaded() const = 0;
    virtual void unload() = 0;
};

// The platform services a station runs on, given to each window at construction. The program
// wires the real ones; tests wire the simulated and scripted ones. Nothing here is owned.
struct Services
{
    SerialPort *port = nullptr;
    Dialogs *dialogs = nullptr;
    TrayIcon *tray = nullptr;
    Clock *clock = nullptr;
    Launcher *launcher = nullptr;
    QString appFolder{};        // the program folder
    QString database{};         // the machine database: a SQLite file or a PostgreSQL URI ("" below)
    QString instanceLockDir{};  // where the single-instance marker lives ("" = system default)
    QString executableFolder{}; // where the station's own executable lies ("" = not known)
    PortLender *lender = nullptr;   // the station's modem port, for windows that talk to the modem
    StationState *station = nullptr; // the station's own state (the modem's maker, ...)

    // The machine database the desks open: the one named, else "Dati.mdb" in the program folder.
    QString machineDatabase() const
    {
        return database.isEmpty() ? QDir(appFolder).filePath(QStringLiteral("Dati.mdb")) : database;
    }
};
