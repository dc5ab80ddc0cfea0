#pragma once

#include "FrmSend.h"
#include "FrmSms.h"
#include "MachineDb.h"
#include "SmsDesk.h"
#include "SmsStore.h"
#include "StationRig.h"

#include <QTreeWidget>

// A started station with the program's SMS desk and an SMS store in the modem, without the
// demonstration fleet. The transcript interleaves what the station wrote and what it was sent.
struct DeskRig : StationRig
{
    explicit DeskRig(const GsmModemConfig &cfg = GsmModemConfig()) : StationRig(cfg)
    {
        store.install(gsm);
        // Every chunk on its way to the station passes through here first.
        gsm.setOutput([this](const QByteArray &bytes) {
            if (!transcript.isEmpty())
                transcript.last().answer += bytes;
            port.deliver(&gsm, bytes);
        });
        QObject::connect(&gsm, &ModemSim::commandReceived, [this](const QByteArray &line) {
            transcript << Exchange{line, {}};
        });
    }

    QString dbPath() const { return QDir(programFolder()).filePath(QStringLiteral("Dati.mdb")); }
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
    // The filed events, "Number|Data|SMS" each.
    QStringList events() const
    {
        SqlMachineDb db(dbPath());
        db.open();
        QStringList out;
        for (const DbRecord &e : db.records(MachineTables::Eventi))
            out << QStringList{e.value("Number"), e.value("Data"), e.value("SMS")}.join('|');
        return out;
    }
    // What the modem sent back between a command and the next one.
    QByteArray answerTo(const QByteArray &command) const
    {
        for (const Exchange &e : transcript)
            if (e.command == command)
                return e.answer;
        return "<not sent>";
    }

    struct Exchange
    {
        QByteArray command;
        QByteArray answer;
    };
    QList<Exchange> transcript;
    SmsStore store;
    SmsDesk desk{station, station.services(), nullptr, programFolder(),
                 [this] { return station.ComOK(); }};
    FrmSend &sendWindow = desk.sendWindow();
    FrmSms &viewer = desk.smsWindow();
};
