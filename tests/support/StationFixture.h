#pragma once

#include "Clock.h"
#include "Dialogs.h"
#include "Launcher.h"
#include "LoopbackPort.h"
#include "ModemSim.h"
#include "Runtime.h"
#include "Services.h"
#include "TrayIcon.h"

#include <QDir>
#include <QTemporaryDir>
#include <memory>

// A window opened through the station ("Call", "Send SMS"), counting what happened to it.
class FakeWindow : public WindowOpener
{
public:
    void show() override { ++shown, loaded = true; }
    bool isLoaded() const override { return loaded; }
    void unload() override { loaded = false, ++unloaded; }
    int shown = 0;
    int unloaded = 0;
    bool loaded = false;
};

// Everything a station needs on virtual time: a simulated modem on port 1, scripted dialogs,
// a recording tray and launcher, a fake clock, and a fresh program folder
// (<tmp>/prog, so that the working folder is <tmp>).
struct StationFixture
{
    StationFixture()
    {
        QDir(tmp.path()).mkpath(QStringLiteral("prog"));
        port.plug(1, &modem);
        services.port = &port;
        services.dialogs = &dialogs;
        services.tray = &tray;
        services.clock = &clock;
        services.launcher = &launcher;
        services.appFolder = programFolder();
        services.instanceLockDir = tmp.path();
    }
    ~StationFixture() { QDir::setCurrent(QDir::tempPath()); }

    QString workFolder() const { return QDir(tmp.path()).absolutePath(); }
    QString programFolder() const
    {
        return QDir(tmp.path()).absoluteFilePath(QStringLiteral("prog"));
    }
    qint64 now() const { return time.rt.nowMs(); }

    VirtualTimeScope time;
    QTemporaryDir tmp;
    LoopbackPort port;
    ModemSim modem;
    ScriptedDialogs dialogs;
    TrayIcon tray;
    FakeClock clock{QDateTime(QDate(2026, 12, 5), QTime(9, 0))};
    RecordingLauncher launcher;
    Services services;
};
