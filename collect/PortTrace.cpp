#include "PortTrace.h"

namespace {
constexpr char SOH = 0x01;
constexpr char EOT = 0x04;
} // namespace

PortTrace::PortTrace(SerialPort &inner, Sink sink, QObject *parent)
    : SerialPort(parent), m_inner(inner), m_sink(std::move(sink))
{
    // The inner port always raises its receive event; this one passes it on only while its own
    // receive threshold asks for it.
    m_inner.setRThreshold(1);
    connect(&m_inner, &SerialPort::received, this, [this] {
        if (rThreshold() > 0)
            emit received();
    });
    connect(&m_inner, &SerialPort::lost, this, [this](const QString &why) {
        flushReceived();
        m_sink(QStringLiteral("port lost: %1").arg(why));
        emit lost(why);
    });
    SerialPort::setSettings(m_inner.settings());
}

PortTrace::~PortTrace()
{
    flushReceived();
}

QString PortTrace::shown(const QByteArray &bytes)
{
    QString out;
    for (const char c : bytes) {
        if (c == '\r' || c == '\n')
            continue;
        if (c == SOH)
            out += QStringLiteral("<SOH>");
        else if (c == EOT)
            out += QStringLiteral("<EOT>");
        else if (quint8(c) < 0x20 || quint8(c) >= 0x7F)
            out += QStringLiteral("<%1>").arg(quint8(c), 2, 16, QLatin1Char('0'));
        else
            out += QLatin1Char(c);
    }
    return out;
}

bool PortTrace::setSettings(const QString &s)
{
    return SerialPort::setSettings(s) && m_inner.setSettings(s);
}

void PortTrace::setDtrEnable(bool on)
{
    SerialPort::setDtrEnable(on);
    m_inner.setDtrEnable(on);
}

void PortTrace::setRtsEnable(bool on)
{
    SerialPort::setRtsEnable(on);
    m_inner.setRtsEnable(on);
}

bool PortTrace::openLine()
{
    m_inner.setCommPort(commPort());
    const bool ok = m_inner.open();
    m_sink(
        QStringLiteral("port %1 %2 at %3")
            .arg(commPort())
            .arg(ok ? QStringLiteral("opened") : QStringLiteral("cannot be opened"), settings()));
    return ok;
}

void PortTrace::close()
{
    flushReceived();
    if (m_inner.isOpen())
        m_sink(QStringLiteral("port %1 closed").arg(commPort()));
    m_inner.close();
}

void PortTrace::writeLine(const QByteArray &bytes)
{
    flushReceived();
    m_sink(QStringLiteral("> ") + shown(bytes));
    m_inner.write(bytes);
}

QByteArray PortTrace::readAll()
{
    const QByteArray bytes = m_inner.readAll();
    noteReceived(bytes);
    return bytes;
}

QByteArray PortTrace::read(int n)
{
    const QByteArray bytes = m_inner.read(n);
    noteReceived(bytes);
    return bytes;
}

void PortTrace::noteReceived(const QByteArray &bytes)
{
    for (const char c : bytes) {
        m_pending += c;
        if (c == '\n' || c == EOT)
            flushReceived();
    }
}

void PortTrace::flushReceived()
{
    const QString text = shown(m_pending);
    m_pending.clear();
    if (!text.isEmpty())
        m_sink(QStringLiteral("< ") + text);
}
