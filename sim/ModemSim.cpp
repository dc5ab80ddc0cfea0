#include "ModemSim.h"

#include "Runtime.h"

#include <QPointer>

namespace {
int baudOf(const QString &settings)
{
    return settings.section(QLatin1Char(','), 0, 0).toInt();
}
constexpr char CtrlZ = 26;
constexpr char Esc = 27;
} // namespace

ModemSim::ModemSim(QObject *parent) : LineDevice(parent)
{
    handle("Z", [this](const QByteArray &) {
        resetProfile();
        return Reply::ok();
    });
    handle("E", [this](const QByteArray &rest) {
        if (rest != "0" && rest != "1" && !rest.isEmpty())
            return Reply::error();
        m_echo = rest == "1";
        return Reply::ok();
    });
}

void ModemSim::handle(const QByteArray &name, Handler h)
{
    m_handlers[name.toUpper()] = std::move(h);
}

void ModemSim::setOverride(const QByteArray &commandLine, const QByteArray &rawAnswer)
{
    m_overrides.insert(commandLine, rawAnswer);
}

void ModemSim::lineOpened(const QString &)
{
    ++m_session; // whatever was on its way at the old settings is lost
    m_line.clear();
}

void ModemSim::lineClosed()
{
    ++m_session;
    m_line.clear();
}

void ModemSim::send(const QByteArray &bytes)
{
    if (m_silent || bytes.isEmpty() || !connected())
        return;
    queueOut(bytes, Runtime::current().nowMs() + m_latency);
}

void ModemSim::sendData(const QByteArray &bytes)
{
    if (m_silent || bytes.isEmpty() || !connected())
        return;
    queueOut(bytes, Runtime::current().nowMs());
}

void ModemSim::queueOut(const QByteArray &bytes, qint64 due)
{
    const int step = m_chunk > 0 ? m_chunk : int(bytes.size());
    due = qMax(due, m_lastDue);
    for (int i = 0; i < bytes.size(); i += step) {
        m_outbox.append(Pending{bytes.mid(i, step), due, m_session});
        m_lastDue = due;
        due += m_chunkGap;
    }
    if (!m_delivering)
        deliverNext();
}

void ModemSim::enterDataMode(std::function<void(const QByteArray &)> sink)
{
    m_dataSink = std::move(sink);
    m_lastData = Runtime::current().nowMs();
    m_pluses = 0;
    ++m_escapeTry;
    m_line.clear();
}

void ModemSim::leaveDataMode()
{
    m_dataSink = nullptr;
    m_pluses = 0;
    ++m_escapeTry;
}

// "+++" counts as an escape only with the guard time of silence before its first character and
// after its last; anything else, the three characters included, is data for the far end.
void ModemSim::dataFromStation(const QByteArray &bytes)
{
    Runtime &rt = Runtime::current();
    const qint64 now = rt.nowMs();
    QByteArray pass;
    for (char c : bytes) {
        const bool quietBefore = m_pluses > 0 || now - m_lastData >= m_guard;
        if (c == '+' && m_pluses < 3 && quietBefore) {
            if (++m_pluses == 3)
                rt.post(m_guard, [this, self = QPointer(this), attempt = ++m_escapeTry] {
                    if (!self || attempt != m_escapeTry || m_pluses != 3 || !m_dataSink)
                        return;
                    leaveDataMode();
                    escaped();
                });
        } else {
            if (m_pluses > 0) {
                pass += QByteArray(m_pluses, '+');
                m_pluses = 0;
                ++m_escapeTry;
            }
            pass += c;
        }
        m_lastData = now;
    }
    if (!pass.isEmpty() && m_dataSink)
        m_dataSink(pass);
}

// One delivery is on its way at a time, so no chunk can overtake an earlier one, whatever the
// timers of the real event loop do with equal or near deadlines.
void ModemSim::deliverNext()
{
    m_delivering = !m_outbox.isEmpty();
    if (!m_delivering)
        return;
    Runtime &rt = Runtime::current();
    rt.post(qMax<qint64>(0, m_outbox.first().due - rt.nowMs()), [this, self = QPointer(this)] {
        if (!self)
            return;
        const Pending p = m_outbox.takeFirst();
        if (p.session == m_session)
            toStation(p.bytes);
        deliverNext();
    });
}

void ModemSim::fromStation(const QByteArray &bytes, const QString &settings)
{
    // At a speed the modem does not run it hears only noise; a line that does not say its
    // speed (a pseudo-terminal left at 0) is heard.
    const int baud = baudOf(settings);
    if (baud != 0 && !m_bauds.contains(baud))
        return;
    if (m_dataSink) {
        dataFromStation(bytes);
        return;
    }
    for (char c : bytes) {
        if (m_text) {
            if (c == CtrlZ) {
                TextHandler h = std::move(m_text);
                m_text = nullptr;
                const QByteArray typed = std::exchange(m_typed, {});
                if (m_echo)
                    send(QByteArray(1, c));
                finish(h(typed));
            } else if (c == Esc) {
                m_text = nullptr;
                m_typed.clear();
                finish(Reply::ok());
            } else {
                m_typed += c;
                if (m_echo)
                    send(QByteArray(1, c));
            }
            continue;
        }
        if (c == Esc) {
            m_line.clear(); // abandons a half-typed command
            continue;
        }
        if (m_echo)
            send(QByteArray(1, c));
        if (c == '\r') {
            const QByteArray line = std::exchange(m_line, {});
            runLine(line.trimmed());
        } else if (c != '\n') {
            m_line += c;
        }
    }
}

void ModemSim::promptForText(TextHandler h)
{
    m_text = std::move(h);
    m_typed.clear();
    send("\r\n> ");
}

void ModemSim::runLine(const QByteArray &line)
{
    if (line.isEmpty())
        return;
    m_commands << line;
    emit commandReceived(line);
    auto o = m_overrides.constFind(line);
    if (o != m_overrides.constEnd()) {
        send(*o);
        return;
    }
    // Like a real modem, it looks for the "AT" prefix and ignores what came before it.
    const qsizetype at = line.toUpper().indexOf("AT");
    if (at < 0) {
        finish(Reply::error());
        return;
    }
    const Reply r = dispatch(line.mid(at + 2));
    if (!m_text) // a prompt for text defers the result to the end of the text
        finish(r);
}

ModemSim::Reply ModemSim::dispatch(const QByteArray &body)
{
    if (body.isEmpty())
        return Reply::ok(); // plain "AT"
    const QByteArray upper = body.toUpper();
    // Longest registered name that starts the command.
    for (auto it = m_handlers.rbegin(); it != m_handlers.rend(); ++it) {
        if (upper.startsWith(it->first)) {
            return it->second(body.mid(it->first.size()));
        }
    }
    return Reply::error();
}

void ModemSim::finish(const Reply &r)
{
    QByteArray out = r.info;
    if (r.result == Reply::Ok)
        out += "\r\nOK\r\n";
    else if (r.result == Reply::Error)
        out += "\r\nERROR\r\n";
    send(out);
}
