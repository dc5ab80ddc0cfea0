#include "SmsStore.h"

#include "ModemSim.h"

namespace {
QByteArray quoted(const QByteArray &s)
{
    return '"' + s + '"';
}

// "=<n>" -> n; -1 when it is no number.
int indexArgument(const QByteArray &rest)
{
    if (!rest.startsWith('='))
        return -1;
    bool ok = false;
    const int n = rest.mid(1).trimmed().toInt(&ok);
    return ok ? n : -1;
}

ModemSim::Reply cmsError(int code)
{
    return {"\r\n+CMS ERROR: " + QByteArray::number(code) + "\r\n", ModemSim::Reply::None};
}
} // namespace

void SmsStore::failSends(SendFault fault, int count, int after)
{
    m_fault = fault;
    m_faultCount = count;
    m_faultAfter = after;
}

int SmsStore::receive(const QByteArray &number, const QByteArray &text, const QDateTime &stamp,
                      int zoneQuarters)
{
    for (int i = 1; i <= m_capacity; ++i) {
        if (m_messages.count(i))
            continue;
        m_messages[i] = Stored{i, false, number, stamp, zoneQuarters, text};
        return i;
    }
    return 0;
}

QList<SmsStore::Stored> SmsStore::messages() const
{
    QList<Stored> out;
    for (const auto &[i, m] : m_messages)
        out << m;
    return out;
}

QByteArray SmsStore::stampText(const Stored &m)
{
    const int z = m.zoneQuarters;
    return m.stamp.toString(QStringLiteral("yy/MM/dd,hh:mm:ss")).toLatin1() + (z < 0 ? '-' : '+') +
           QByteArray::number(qAbs(z)).rightJustified(2, '0');
}

QByteArray SmsStore::header(const Stored &m) const
{
    const QByteArray status = m.read ? "REC READ" : "REC UNREAD";
    QByteArray h =
        "+CMGL: " + QByteArray::number(m.index) + ',' + quoted(status) + ',' + quoted(m.number);
    switch (m_form) {
    case Form::Generic:
        return h + ",," + quoted(stampText(m));
    case Form::GenericNoAlpha:
        return h + ',' + quoted(stampText(m));
    case Form::Telit:
        return h;
    }
    return h;
}

QByteArray SmsStore::listing(const QByteArray &status)
{
    QByteArray info;
    for (auto &[i, m] : m_messages) {
        const bool wanted = status == "ALL" || (status == "REC UNREAD" && !m.read) ||
                            (status == "REC READ" && m.read);
        if (!wanted)
            continue;
        info += "\r\n" + header(m) + "\r\n" + m.text;
        m.read = true;
    }
    return info.isEmpty() ? info : info + "\r\n";
}

QByteArray SmsStore::readAnswer(int index)
{
    auto it = m_messages.find(index);
    if (it == m_messages.end())
        return {};
    Stored &m = it->second;
    const QByteArray status = m.read ? "REC READ" : "REC UNREAD";
    m.read = true;
    return "\r\n+CMGR: " + quoted(status) + ',' + quoted(m.number) + ",," + quoted(stampText(m)) +
           "\r\n" + m.text + "\r\n";
}

void SmsStore::install(ModemSim &modem)
{
    modem.handle("+CMGL", [this](const QByteArray &rest) {
        QByteArray status = "REC UNREAD"; // the default of the standard
        if (rest.startsWith('=')) {
            status = rest.mid(1).trimmed();
            if (status.size() < 2 || !status.startsWith('"') || !status.endsWith('"'))
                return ModemSim::Reply::error();
            status = status.mid(1, status.size() - 2);
        }
        if (status != "ALL" && status != "REC UNREAD" && status != "REC READ")
            return cmsError(302);
        return ModemSim::Reply::ok(listing(status));
    });
    modem.handle("+CMGR", [this](const QByteArray &rest) {
        const int index = indexArgument(rest);
        if (index < 0)
            return ModemSim::Reply::error();
        const QByteArray answer = readAnswer(index);
        return answer.isEmpty() ? cmsError(321) : ModemSim::Reply::ok(answer);
    });
    modem.handle("+CMGD", [this](const QByteArray &rest) {
        const int index = indexArgument(rest);
        if (index < 0)
            return ModemSim::Reply::error();
        m_deleted << index;
        if (!m_messages.erase(index))
            return cmsError(321);
        return ModemSim::Reply::ok();
    });
    modem.handle("+CMGS", [this, &modem](const QByteArray &rest) {
        const QByteArray arg = rest.mid(1).trimmed();
        if (!rest.startsWith('=') || arg.size() < 2 || !arg.startsWith('"') ||
            arg.indexOf('"', 1) != arg.size() - 1)
            return ModemSim::Reply::error();
        SendFault fault = SendFault::None;
        if (m_faultAfter > 0) {
            --m_faultAfter;
        } else if (m_faultCount > 0) {
            fault = m_fault;
            --m_faultCount;
        }
        if (fault == SendFault::NoPrompt)
            return ModemSim::Reply::none();
        const QByteArray number = arg.mid(1, arg.size() - 2);
        modem.promptForText([this, number, fault](const QByteArray &text) {
            if (fault == SendFault::Error)
                return cmsError(500);
            if (fault == SendFault::NoFinalOk)
                return ModemSim::Reply::none();
            m_sent << Sent{number, text};
            m_reference = (m_reference + 1) % 256;
            return ModemSim::Reply::line("+CMGS: " + QByteArray::number(m_reference));
        });
        return ModemSim::Reply::none();
    });
}
