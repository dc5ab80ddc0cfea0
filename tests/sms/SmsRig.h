#pragma once

#include "AtExchange.h"
#include "FrmSend.h"
#include "FrmSms.h"
#include "MachineDb.h"
#include "SmsReception.h"
#include "SmsStore.h"
#include "StationFixture.h"
#include "Timer.h"

#include <QFile>
#include <QLabel>
#include <QTest>
#include <QWidget>

// The SMS desk on virtual time: the simulated modem with its SMS store on an open port, the
// station's Timer2 and Timer3, the two windows and the reception, the database in the program
// folder and the logs in the working folder.
struct SmsRig : StationFixture
{
    SmsRig()
    {
        QObject::connect(&Timer3, &Timer::tick, [this] { Timer3.setEnabled(false); });
        modem.setEcho(false);
        store.install(modem);
        port.setSettings(QStringLiteral("19200,N,8,1"));
        port.open();
        modPublic().StationActive = true;
    }

    QString dbPath() const { return QDir(programFolder()).filePath(QStringLiteral("Dati.mdb")); }
    QString logPath(const QString &name) const { return QDir(workFolder()).filePath(name); }
    QByteArray log(const QString &name) const
    {
        QFile f(logPath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no file>");
    }
    // Fills the machine database before the windows open it.
    void seed(const QString &table, const QList<DbRecord> &records)
    {
        SqlMachineDb db(dbPath());
        QVERIFY(db.open());
        for (const DbRecord &r : records)
            QVERIFY(db.append(table, r));
    }
    QList<DbRecord> events() const
    {
        SqlMachineDb db(dbPath());
        db.open();
        return db.records(MachineTables::Eventi);
    }
    // Every command line the modem received that starts with prefix.
    QList<QByteArray> commands(const QByteArray &prefix) const
    {
        QList<QByteArray> out;
        for (const QByteArray &c : modem.commands())
            if (c.startsWith(prefix))
                out << c;
        return out;
    }

    SmsStore store;
    Timer Timer2{QStringLiteral("Timer2"), 10000, false};
    Timer Timer3{QStringLiteral("Timer3"), 2000, false};
    AtExchange at{port, Timer3};
    QWidget mainWindow;
    bool comOK = true;
    FrmSend send{services, at, Timer2, &mainWindow, workFolder()};
    FrmSms viewer{services, dbPath(), send};
    SmsReception reception{services, at, viewer, [this] { return comOK; }, workFolder()};
};
