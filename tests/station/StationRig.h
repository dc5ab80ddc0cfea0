#pragma once

#include "FrmPin.h"
#include "FrmSet.h"
#include "FrmStGSM.h"
#include "GsmModem.h"
#include "StationFixture.h"

#include <QLabel>
#include <QTest>
#include <functional>

// A started station on virtual time with a GSM modem on port 1 answering without latency, and a
// log of every command line the modem understood with the moment it arrived.
struct StationRig : StationFixture
{
    explicit StationRig(const GsmModemConfig &cfg = GsmModemConfig()) : gsm(cfg)
    {
        gsm.setLatency(0);
        port.plug(1, &gsm);
        QObject::connect(&gsm, &ModemSim::commandReceived, [this](const QByteArray &line) {
            log << Sent{now(), line};
        });
        station.setCallConsole(&console);
        station.setSendWindow(&send);
    }

    bool start() { return station.load(); }
    bool runUntil(const std::function<bool()> &done, qint64 limitMs = 60'000)
    {
        return time.rt.runUntil(done, limitMs);
    }
    bool startAndPoll() { return start() && runUntilPolling(); }
    // Runs until network polling has started (the ready sequence is over).
    bool runUntilPolling(qint64 limitMs = 120'000)
    {
        return time.rt.runUntil([this] { return station.Timer2.isEnabled(); }, limitMs);
    }

    QList<QByteArray> commands() const
    {
        QList<QByteArray> out;
        for (const auto &s : log)
            out << s.line;
        return out;
    }
    // The moment the n-th (from 0) occurrence of line reached the modem; -1 when it did not.
    qint64 sentAt(const QByteArray &line, int n = 0) const
    {
        for (const auto &s : log)
            if (s.line == line && n-- == 0)
                return s.at;
        return -1;
    }
    int count(const QByteArray &line) const
    {
        int c = 0;
        for (const auto &s : log)
            c += s.line == line;
        return c;
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
    };
    GsmModem gsm;
    FakeWindow console, send;
    FrmStGSM station{services};
    QList<Sent> log;
};

// The commands of a "Set GSM" run with the given service centre ("" = none sent).
inline QList<QByteArray> setGsmCommands(const QByteArray &centre, bool bandWasOff = false)
{
    QList<QByteArray> c = {"AT",     "AT+ICF=3,4",  "AT+IFC=0,0", "AT+CBST=7,0,1",
                           "ATS0=0", "AT+CNMI=0,0", "AT+CSMP=1",  "AT+CMGF=1"};
    if (!centre.isEmpty())
        c << "AT+CSCA=\"" + centre + '"';
    c << "AT$SCRT"
      << "AT+CSAS"
      << "ATX0"
      << "ATE0"
      << "AT#AUTOBND";
    if (bandWasOff)
        c << "AT#AUTOBND=1";
    c << "AT&W";
    return c;
}

inline const QList<QByteArray> ReadyCommands = {"AT+COPS=3,0", "AT+COPS=0", "AT+CGMI", "AT+CGMM",
                                                "AT+CGSN"};
