#pragma once

#include "FrmCall.h"
#include "FrmSend.h"
#include "FrmSms.h"
#include "GsmModem.h"
#include "MachineController.h"
#include "MachineDb.h"
#include "Schedule.h"
#include "SmsStore.h"
#include "StationDesk.h"
#include "StationFixture.h"
#include "UnattendedCollector.h"

#include <QFile>
#include <functional>

// The station as the program wires it (StationDesk) on Saturday 5 December 2026, 09:00: a GSM
// modem on port 1 that answers at once, with Corridor A's machine behind its number. Every
// command line the modem understood is logged with its moment, whether the port was lent at
// the time (polling and the schedule check off) and what the modem answered to it.
struct DeskRig : StationFixture
{
    static inline const QString Corridor = QStringLiteral("3351234567");
    // A schedule entry for Corridor A at 09:03 on Saturdays: none, for the console, unattended.
    enum class Entry { None, Console, Unattended };

    explicit DeskRig(const GsmModemConfig &cfg = {}, TrayIcon *ownTray = nullptr)
        : gsm(cfg), trayChosen(!ownTray || (services.tray = ownTray))
    {
        gsm.setLatency(0);
        port.plug(1, &gsm);
        gsm.addMachine(Corridor.toLatin1(), &machine);
        store.install(gsm);
        gsm.setOutput([this](const QByteArray &bytes) {
            if (!log.isEmpty())
                log.last().answer += bytes;
            port.deliver(&gsm, bytes);
        });
        QObject::connect(&gsm, &ModemSim::commandReceived, [this](const QByteArray &line) {
            log << Sent{now(), line, !station.Timer2.isEnabled() && !station.Timer6.isEnabled()};
        });
    }

    // Loads the station with nothing of its own in the program folder.
    bool boot() { return station.load(); }
    bool runUntil(const std::function<bool()> &done, qint64 limitMs = 60'000)
    {
        return time.rt.runUntil(done, limitMs);
    }
    bool runUntilPolling(qint64 limitMs = 120'000)
    {
        return time.rt.runUntil([this] { return station.Timer2.isEnabled(); }, limitMs);
    }
    // With the machines in the database, the conversion scripts and the entry, until registered.
    bool start(Entry entry = Entry::None)
    {
        SqlMachineDb db(programFile("Dati.mdb"));
        bool ready = db.open() && write("decod.asm", "CA2,CASH,3,6,8\r\nDA1,BLOCK\r\n") &&
                     write("address.asm", "CASH,0\r\nBLOCK,10\r\n");
        for (const auto &[name, number] : machines)
            ready = ready && db.append(MachineTables::Distributori,
                                       {{"Description", name}, {"GSM", number}});
        if (entry != Entry::None) {
            Schedule schedule(programFile("PROGOR.DAT"));
            schedule[0].setNumber(Corridor);
            schedule[0].setHour(9);
            schedule[0].setMinute(3);
            schedule[0].setWeekday(6, true);
            schedule[0].setWeekly(true);
            schedule[0].setUnattended(entry == Entry::Unattended);
            ready = ready && schedule.save();
        }
        return ready && boot() &&
               time.rt.runUntil([this] { return station.mnuCall->isEnabled(); }, 120'000);
    }

    QString programFile(const QString &name) const { return QDir(programFolder()).filePath(name); }
    bool write(const QString &name, const QByteArray &bytes) const
    {
        QFile f(programFile(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }

    QList<QByteArray> commands(qsizetype from = 0) const
    {
        QList<QByteArray> out;
        for (const Sent &s : log.mid(from))
            out << s.line;
        return out;
    }
    int count(const QByteArray &line, qsizetype from = 0) const
    {
        return int(commands(from).count(line));
    }
    // Where the n-th (from 0) line stands in the log; -1 when it was not sent.
    qsizetype indexOf(const QByteArray &line, int n = 0) const
    {
        for (qsizetype i = 0; i < log.size(); ++i)
            if (log[i].line == line && n-- == 0)
                return i;
        return -1;
    }
    qint64 sentAt(const QByteArray &line, int n = 0) const
    {
        const qsizetype i = indexOf(line, n);
        return i < 0 ? -1 : log[i].at;
    }
    QByteArray answerTo(const QByteArray &line) const
    {
        const qsizetype i = indexOf(line);
        return i < 0 ? "<not sent>" : log[i].answer;
    }
    // Whether network polling asked for the signal between two places of the log.
    bool polledBetween(qsizetype from, qsizetype to) const
    {
        return commands().mid(from + 1, to - from - 1).contains("AT+CSQ");
    }
    // The station's writes split into command lines (CR and LF removed).
    QList<QByteArray> written() const
    {
        QList<QByteArray> out = port.written().split('\r');
        for (auto &l : out)
            l.replace("\n", "");
        out.removeAll(QByteArray());
        return out;
    }

    struct Sent
    {
        qint64 at;
        QByteArray line;
        bool portLent;
        QByteArray answer = {};
    };
    GsmModem gsm;
    bool trayChosen; // before the desk, which takes the services' tray
    SmsStore store;
    QList<Sent> log; // before the desk, which may still write as it goes
    MachineController machine{MachineProfile::forNumber(Corridor.toLatin1())};
    QList<std::pair<QString, QString>> machines{{"Corridor A", Corridor}}; // description, number
    StationDesk desk{services, nullptr};
    FrmStGSM &station = desk.station();
    FrmCall &console = desk.calls().window();
    FrmSend &sendWindow = desk.sms().sendWindow();
    WindowOpener &send = sendWindow.opener();
    FrmSms &viewer = desk.sms().smsWindow();
    UnattendedCollector &collector = *desk.collect().collector();
};
