#pragma once

#include "ModemSim.h"

#include <QPointer>

class MachineController;

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

// How the network answers a dialled number.
enum class DialAnswer {
    Connect,   // "CONNECT 9600" and a data call to the number's machine
    Busy,      // "BUSY"
    NoAnswer,  // "NO ANSWER"
    NoCarrier, // "NO CARRIER": nobody at that number
    Silent,    // no result at all, until the call attempt is hung up
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

    // Data calls. "ATD" + number reaches the machine registered for that number (not owned),
    // answers as set for it, or "NO CARRIER" for a number nobody registered. delayMs -1 takes
    // the usual time of that answer (defaultDelay), unless setDialDelay set one for every number.
    void addMachine(const QByteArray &number, MachineController *machine, int delayMs = -1);
    void setDialAnswer(const QByteArray &number, DialAnswer answer, int delayMs = -1);
    void setDialDelay(int ms) { m_dialDelay = ms; }
    static int defaultDelay(DialAnswer answer);
    MachineController *machine(const QByteArray &number) const;
    // A call is dialled, connected (in data or command mode) or neither.
    bool dialling() const { return m_call == Call::Dialling; }
    bool callUp() const { return m_call == Call::Online || m_call == Call::Command; }
    QByteArray callNumber() const { return m_number; }
    // The network loses the call: "NO CARRIER", carrier low.
    void dropCall();

    // Carrier detect is high while a call is up.
    bool carrier() const override { return callUp(); }
    void lineClosed() override;
    void resetProfile() override;

signals:
    void callChanged(const QByteArray &number, bool up);

protected:
    void escaped() override;

private:
    enum class Call { Idle, Dialling, Online, Command };
    struct Target
    {
        DialAnswer answer = DialAnswer::NoCarrier;
        QPointer<MachineController> machine;
        int delayMs = -1;
    };
    Reply dial(const QByteArray &rest);
    void dialled(const Target &target);
    void goOnline();
    void endCall(const QByteArray &result);
    static QByteArray dialKey(const QByteArray &number);

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

    QHash<QByteArray, Target> m_dialPlan;
    int m_dialDelay = -1;
    Call m_call = Call::Idle;
    quint64 m_attempt = 0; // a result still on its way belongs to this attempt only
    QByteArray m_number;
    QPointer<MachineController> m_peer;
};
