#pragma once

#include "ModemSim.h"

enum class SimCardState { Ready, WantsPin, WantsPuk, PhoneLock, Failing };

struct GsmModemConfig
{
    SimCardState sim = SimCardState::Ready;
    QByteArray pin = "1234";
    QByteArray puk = "12345678";
    QByteArray manufacturer = "Generic_GSM_Modem";
    QByteArray model = "GSM900-1800";
    QByteArray imei = "356938035643809";
    int registration = 1;                     // +CREG status
    int rssi = 20;                            // +CSQ signal (99 = unknown)
    int ber = 99;                             // +CSQ bit error rate
    bool gprsAttached = true;                 // +CGATT
    QByteArray operatorName = "GSM OPERATOR"; // empty: the modem knows only the code
    QByteArray operatorCode = "22210";
    bool registeredOperator = true; // false: "+COPS: 0" without an operator
    bool autoBand = true;           // #AUTOBND
    QByteArray serviceCentre = "+393359609600";
    QSet<int> bauds{19200}; // speeds it answers at; "AT+IPR=" fixes one
};

// A GSM modem with a SIM and a network: PIN/PUK states, speeds, band selection, identity,
// service centre, operator selection, GPRS attachment, signal and registration. Answers follow
// the text formats of 3GPP TS 27.007 with verbose result codes and "+CMEE=0" (plain "ERROR").
class GsmModem : public ModemSim
{
    Q_OBJECT
public:
    using SimState = SimCardState;
    using Config = GsmModemConfig;

    explicit GsmModem(const Config &config = Config(), QObject *parent = nullptr);

    Config &config() { return m_cfg; }
    SimState simState() const { return m_cfg.sim; }
    int pinAttemptsLeft() const { return m_pinLeft; }
    // How often the profile was stored with "AT&W".
    int profileWrites() const { return m_profileWrites; }

private:
    Reply cpin(const QByteArray &rest);
    Reply cops(const QByteArray &rest);
    Reply registrationQuery(const QByteArray &name, const QByteArray &rest, int &mode, int status);
    bool simUsable() const { return m_cfg.sim == SimState::Ready; }

    Config m_cfg;
    int m_pinLeft = 3;
    int m_pukLeft = 10;
    int m_copsFormat = 0; // 0 long alphanumeric, 2 numeric
    int m_cregMode = 0;
    int m_cgregMode = 0;
    int m_profileWrites = 0;
};
