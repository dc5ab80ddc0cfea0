#pragma once

#include "AtExchange.h"
#include "FrmSend.h"
#include "FrmSms.h"
#include "MachineDb.h"
#include "StationState.h"
#include "PortLender.h"
#include "SmsReception.h"
#include "SmsStore.h"
#include "StationFixture.h"
#include "Timer.h"

#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>
#include <QWidget>

inline const QDateTime March21(QDate(2005, 3, 21), QTime(10, 15, 0));

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
        stationState.StationActive = true;
    }

    QString dbPath() const { return QDir(programFolder()).filePath(QStringLiteral("Dati.mdb")); }
    QString logPath(const QString &name) const { return QDir(workFolder()).filePath(name); }
    QByteArray log(const QString &name) const
    {
        QFile f(logPath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no file>");
    }
    // The filed events, "Number|Data|SMS|Vending machine|Sale point|Operator" each.
    QStringList events() const
    {
        SqlMachineDb db(dbPath());
        db.open();
        QStringList out;
        for (const DbRecord &e : db.records(MachineTables::Eventi))
            out << QStringList{e.value("Number"),     e.value("Data"),
                               e.value("SMS"),        e.value("Vending machine"),
                               e.value("Sale point"), e.value("Operator")}
                       .join('|');
        return out;
    }
    // The incoming queue, one "index|number|date|time|text" per row.
    QStringList rows() const
    {
        QStringList out;
        for (int i = 0; i < viewer.queued(); ++i) {
            const QTreeWidgetItem *it = viewer.ListView1->topLevelItem(i);
            out << QStringList{it->text(0), it->text(1), it->text(2), it->text(3), it->text(4)}
                       .join('|');
        }
        return out;
    }
    // Opens the send window, fills it in and presses "Send".
    void sendSms(const QString &number, const QString &text)
    {
        send.opener().show();
        send.setNumber(number);
        send.setText(text);
        send.Command1_Click();
    }

    SmsStore store;
    Timer Timer2{QStringLiteral("Timer2"), 10000, false};
    Timer Timer3{QStringLiteral("Timer3"), 2000, false};
    AtExchange at{port, Timer3};
    QWidget mainWindow;
    bool comOK = true;
    StationState stationState;
    PortLender lender{stationState, Timer2};
    Services lending = [this] {
        Services s = services;
        s.lender = &lender;
        s.station = &stationState;
        return s;
    }();
    FrmSend send{lending, at, &mainWindow, workFolder()};
    FrmSms viewer{lending, dbPath(), send};
    SmsReception reception{lending, at, viewer, [this] { return comOK; }, workFolder()};
};
