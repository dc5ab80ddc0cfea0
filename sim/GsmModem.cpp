#include "GsmModem.h"

#include "MachineController.h"
#include "Runtime.h"

namespace {
// The parameters of "=a,b,c" (quotes removed).
QList<QByteArray> params(const QByteArray &rest)
{
    QList<QByteArray> out;
    if (!rest.startsWith('='))
        return out;
    for (QByteArray p : rest.mid(1).split(',')) {
        p = p.trimmed();
        if (p.size() >= 2 && p.startsWith('"') && p.endsWith('"'))
            p = p.mid(1, p.size() - 2);
        out << p;
    }
    return out;
}

bool isNumber(const QByteArray &s)
{
    bool ok = false;
    s.toInt(&ok);
    return ok;
}

const QString DataSettings = QStringLiteral("9600,N,8,1");
} // namespace

GsmModem::GsmModem(const Config &config, QObject *parent) : ModemSim(parent), m_cfg(config)
{
    setBauds(m_cfg.bauds);
    // Settings the station writes and this modem simply accepts.
    for (const char *name : {"+ICF", "+IFC", "+CBST", "S0", "X", "+CNMI", "+CSMP", "+CMGF", "$SCRT",
                             "+CSAS", "+CMEE", "V1", "Q0", "&C", "&D", "+CSCS"})
        handle(name, [](const QByteArray &) { return Reply::ok(); });
    handle("+CFUN", [](const QByteArray &rest) {
        if (rest == "?")
            return Reply::line("+CFUN: 1");
        if (rest == "=?")
            return Reply::line("+CFUN: (0,1),(0,1)");
        return rest.startsWith('=') ? Reply::ok() : Reply::error();
    });
    handle("+CSCS", [](const QByteArray &rest) {
        if (rest == "?")
            return Reply::line("+CSCS: \"IRA\"");
        if (rest == "=?")
            return Reply::line("+CSCS: (\"IRA\",\"GSM\",\"UCS2\")");
        return rest.startsWith('=') ? Reply::ok() : Reply::error();
    });
    handle("&W", [this](const QByteArray &) {
        ++m_profileWrites;
        return Reply::ok();
    });
    handle("+IPR", [this](const QByteArray &rest) {
        const QList<QByteArray> p = params(rest);
        if (p.size() != 1 || !isNumber(p[0]))
            return Reply::error();
        // The new rate applies from the next command on: this answer still goes out.
        m_cfg.bauds = {p[0].toInt()};
        setBauds(m_cfg.bauds);
        return Reply::ok();
    });
    handle("#AUTOBND", [this](const QByteArray &rest) {
        if (rest.isEmpty() || rest == "?")
            return Reply::line("#AUTOBND: " + QByteArray::number(m_cfg.autoBand ? 1 : 0));
        const QList<QByteArray> p = params(rest);
        if (p.size() != 1 || (p[0] != "0" && p[0] != "1"))
            return Reply::error();
        m_cfg.autoBand = p[0] == "1";
        return Reply::ok();
    });
    handle("+CPIN", [this](const QByteArray &rest) { return cpin(rest); });
    handle("+CGMI", [this](const QByteArray &) { return Reply::line(m_cfg.manufacturer); });
    handle("+CGMM", [this](const QByteArray &) { return Reply::line(m_cfg.model); });
    handle("+CGSN", [this](const QByteArray &) { return Reply::line(m_cfg.imei); });
    handle("+CGMR", [](const QByteArray &) { return Reply::line("1.00.000"); });
    handle("+CIMI", [this](const QByteArray &) {
        return simUsable() ? Reply::line(m_cfg.operatorCode + "0123456789") : Reply::error();
    });
    handle("+CSCA", [this](const QByteArray &rest) {
        if (!simUsable())
            return Reply::error();
        if (rest == "?")
            return Reply::line("+CSCA: \"" + m_cfg.serviceCentre + "\",145");
        const QList<QByteArray> p = params(rest);
        if (p.isEmpty() || p[0].isEmpty())
            return Reply::error();
        m_cfg.serviceCentre = p[0];
        return Reply::ok();
    });
    handle("+COPS", [this](const QByteArray &rest) { return cops(rest); });
    handle("+CGATT", [this](const QByteArray &rest) {
        if (rest != "?")
            return Reply::error();
        return Reply::line("+CGATT: " + QByteArray(simUsable() && m_cfg.gprsAttached ? "1" : "0"));
    });
    handle("+CSQ", [this](const QByteArray &rest) {
        if (!rest.isEmpty())
            return rest == "=?" ? Reply::line("+CSQ: (0-31,99),(0-7,99)") : Reply::error();
        return Reply::line("+CSQ: " + QByteArray::number(m_cfg.rssi) + ',' +
                           QByteArray::number(m_cfg.ber));
    });
    handle("D", [this](const QByteArray &rest) { return dial(rest); });
    handle("H", [this](const QByteArray &rest) {
        if (!rest.isEmpty() && rest != "0")
            return Reply::error();
        endCall({}); // also abandons a call still being set up
        return Reply::ok();
    });
    handle("O", [this](const QByteArray &rest) {
        if (!rest.isEmpty() && rest != "0")
            return Reply::error();
        if (m_call != Call::Command)
            return Reply{"\r\nNO CARRIER\r\n", Reply::None};
        goOnline();
        return Reply::none();
    });
    handle("+CREG", [this](const QByteArray &rest) {
        return registrationQuery("+CREG", rest, m_cregMode, simUsable() ? m_cfg.registration : 0);
    });
    handle("+CGREG", [this](const QByteArray &rest) {
        const bool attached = simUsable() && m_cfg.gprsAttached;
        return registrationQuery("+CGREG", rest, m_cgregMode, attached ? m_cfg.registration : 0);
    });
}

// "+CREG"/"+CGREG": "=n" chooses how much the query reports, "?" reports the status, with the
// location and cell when n is 2 and the modem is registered.
ModemSim::Reply GsmModem::registrationQuery(const QByteArray &name, const QByteArray &rest,
                                            int &mode, int status)
{
    if (rest == "=?")
        return Reply::line(name + ": (0-2)");
    if (rest == "?") {
        QByteArray line = name + ": " + QByteArray::number(mode) + ',' + QByteArray::number(status);
        if (mode == 2 && (status == 1 || status == 5))
            line += ",\"1A2B\",\"3C4D\"";
        return Reply::line(line);
    }
    const QList<QByteArray> p = params(rest);
    if (p.size() != 1 || (p[0] != "0" && p[0] != "1" && p[0] != "2"))
        return Reply::error();
    mode = p[0].toInt();
    return Reply::ok();
}

ModemSim::Reply GsmModem::cpin(const QByteArray &rest)
{
    if (rest == "?") {
        switch (m_cfg.sim) {
        case SimState::Ready:
            return Reply::line("+CPIN: READY");
        case SimState::WantsPin:
            return Reply::line("+CPIN: SIM PIN");
        case SimState::WantsPuk:
            return Reply::line("+CPIN: SIM PUK");
        case SimState::PhoneLock:
            return Reply::line("+CPIN: PH-SIM PIN");
        case SimState::Failing:
            return Reply::error();
        }
    }
    const QList<QByteArray> p = params(rest);
    if (p.isEmpty())
        return Reply::error();
    switch (m_cfg.sim) {
    case SimState::WantsPin:
        if (p.size() == 1 && p[0] == m_cfg.pin) {
            m_cfg.sim = SimState::Ready;
            m_pinLeft = 3;
            return Reply::ok();
        }
        if (--m_pinLeft == 0)
            m_cfg.sim = SimState::WantsPuk;
        return Reply::error();
    case SimState::WantsPuk:
        if (p.size() == 2 && p[0] == m_cfg.puk && p[1].size() >= 4) {
            m_cfg.sim = SimState::Ready;
            m_cfg.pin = p[1];
            m_pinLeft = 3;
            m_pukLeft = 10;
            return Reply::ok();
        }
        --m_pukLeft;
        return Reply::error();
    default:
        return Reply::error(); // nothing to enter
    }
}

ModemSim::Reply GsmModem::cops(const QByteArray &rest)
{
    if (rest == "?") {
        if (!simUsable() || !m_cfg.registeredOperator || m_cfg.registration == 0)
            return Reply::line("+COPS: 0");
        if (m_copsFormat == 2 || m_cfg.operatorName.isEmpty())
            return Reply::line("+COPS: 0,2,\"" + m_cfg.operatorCode + '"');
        return Reply::line("+COPS: 0,0,\"" + m_cfg.operatorName + '"');
    }
    const QList<QByteArray> p = params(rest);
    if (p.isEmpty() || !isNumber(p[0]))
        return Reply::error();
    const int mode = p[0].toInt();
    if (mode == 3) {
        if (p.size() < 2 || (p[1] != "0" && p[1] != "2"))
            return Reply::error();
        m_copsFormat = p[1].toInt();
        return Reply::ok();
    }
    if (mode == 0)
        return simUsable() ? Reply::ok() : Reply::error();
    return Reply::error();
}

// ---- data calls ----

QByteArray GsmModem::dialKey(const QByteArray &number)
{
    QByteArray key;
    for (char c : number)
        if (c != ' ' && c != '-' && c != '(' && c != ')' && c != '.')
            key += c;
    return key;
}

void GsmModem::addMachine(const QByteArray &number, MachineController *machine, int delayMs)
{
    m_dialPlan.insert(dialKey(number), Target{DialAnswer::Connect, machine, delayMs});
}

void GsmModem::setDialAnswer(const QByteArray &number, DialAnswer answer, int delayMs)
{
    Target &t = m_dialPlan[dialKey(number)];
    t.answer = answer;
    t.delayMs = delayMs;
}

MachineController *GsmModem::machine(const QByteArray &number) const
{
    return m_dialPlan.value(dialKey(number)).machine.data();
}

int GsmModem::defaultDelay(DialAnswer answer)
{
    switch (answer) {
    case DialAnswer::Connect:
        return 9000; // set-up of a GSM data call
    case DialAnswer::Busy:
        return 5000;
    case DialAnswer::NoAnswer:
        return 40000; // the network gives up ringing well before a 60 s dial time-out
    case DialAnswer::NoCarrier:
        return 6000;
    case DialAnswer::Silent:
        break;
    }
    return -1;
}

ModemSim::Reply GsmModem::dial(const QByteArray &rest)
{
    QByteArray number = rest.trimmed();
    if (number.startsWith('T') || number.startsWith('P') || number.startsWith('t') ||
        number.startsWith('p'))
        number.remove(0, 1); // tone or pulse dialling: the same on a GSM network
    // A modem busy with a call, an empty number or a voice call (";") is refused.
    if (m_call != Call::Idle || number.isEmpty() || number.endsWith(';'))
        return Reply::error();
    Target target = m_dialPlan.value(dialKey(number));
    if (!simUsable() || (m_cfg.registration != 1 && m_cfg.registration != 5))
        target = Target{DialAnswer::NoCarrier, nullptr, -1};
    m_number = number;
    m_call = Call::Dialling;
    const quint64 attempt = ++m_attempt;
    if (target.answer == DialAnswer::Silent)
        return Reply::none();
    const int delay = target.delayMs >= 0 ? target.delayMs
                      : m_dialDelay >= 0  ? m_dialDelay
                                          : defaultDelay(target.answer);
    Runtime::current().post(delay, [this, self = QPointer(this), attempt, target] {
        if (self && attempt == m_attempt && m_call == Call::Dialling)
            dialled(target);
    });
    return Reply::none();
}

void GsmModem::dialled(const Target &target)
{
    switch (target.answer) {
    case DialAnswer::Busy:
        endCall("BUSY");
        return;
    case DialAnswer::NoAnswer:
        endCall("NO ANSWER");
        return;
    case DialAnswer::Connect:
        if (target.machine)
            break;
        [[fallthrough]]; // the machine is gone: nobody answers
    default:
        endCall("NO CARRIER");
        return;
    }
    m_peer = target.machine;
    connect(m_peer, &MachineController::lineDropped, this, [this] {
        if (callUp())
            endCall("NO CARRIER");
    });
    m_peer->setOutput([this, self = QPointer(this), attempt = m_attempt](const QByteArray &b) {
        if (self && attempt == m_attempt && m_call == Call::Online)
            sendData(b); // in command mode the machine's bytes go nowhere
    });
    m_peer->lineOpened(DataSettings);
    goOnline();
    emit callChanged(m_number, true);
}

void GsmModem::goOnline()
{
    m_call = Call::Online;
    send("\r\nCONNECT 9600\r\n");
    enterDataMode([this](const QByteArray &bytes) {
        if (m_peer)
            m_peer->fromStation(bytes, DataSettings);
    });
}

void GsmModem::escaped()
{
    m_call = Call::Command;
    ModemSim::escaped();
}

void GsmModem::endCall(const QByteArray &result)
{
    if (m_call == Call::Idle)
        return;
    const bool wasUp = callUp();
    m_call = Call::Idle;
    ++m_attempt;
    if (dataMode())
        leaveDataMode();
    if (m_peer) {
        disconnect(m_peer, nullptr, this, nullptr);
        m_peer->setOutput({});
        m_peer->lineClosed();
        m_peer = nullptr;
    }
    if (!result.isEmpty())
        send("\r\n" + result + "\r\n");
    if (wasUp)
        emit callChanged(m_number, false);
}

void GsmModem::dropCall()
{
    endCall("NO CARRIER");
}

void GsmModem::lineClosed()
{
    endCall({}); // the station let go of the line: the modem hangs up
    ModemSim::lineClosed();
}

void GsmModem::resetProfile()
{
    endCall({});
    ModemSim::resetProfile();
}
