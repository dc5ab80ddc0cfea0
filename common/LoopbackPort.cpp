#include "LoopbackPort.h"

void LoopbackPort::plug(int n, LineDevice *dev)
{
    m_devices[n] = dev;
    dev->setOutput([this, dev](const QByteArray &b) { deliver(dev, b); });
}

LineDevice *LoopbackPort::device() const
{
    return m_devices.value(m_openPort).data();
}

bool LoopbackPort::setSettings(const QString &s)
{
    if (!SerialPort::setSettings(s))
        return false;
    if (m_open)
        if (auto *d = device())
            d->lineOpened(s);
    return true;
}

bool LoopbackPort::openLine()
{
    if (m_open)
        return false;
    m_opens << QStringLiteral("%1:%2").arg(commPort()).arg(settings());
    auto *d = m_devices.value(commPort()).data();
    if (!d)
        return false;
    m_open = true;
    m_openPort = commPort();
    m_rx.clear();
    d->lineOpened(settings());
    return true;
}

void LoopbackPort::close()
{
    if (!m_open)
        return;
    if (auto *d = device())
        d->lineClosed();
    m_open = false;
    m_openPort = 0;
    m_rx.clear();
}

void LoopbackPort::writeLine(const QByteArray &bytes)
{
    if (!m_open)
        return;
    m_written += bytes;
    if (auto *d = device())
        d->fromStation(bytes, settings());
}

QByteArray LoopbackPort::readAll()
{
    QByteArray out;
    out.swap(m_rx);
    return out;
}

QByteArray LoopbackPort::read(int n)
{
    QByteArray out = m_rx.left(n);
    m_rx.remove(0, out.size());
    return out;
}

bool LoopbackPort::carrierDetect() const
{
    auto *d = device();
    return m_open && d && d->carrier();
}

void LoopbackPort::deliver(LineDevice *from, const QByteArray &bytes)
{
    if (!m_open || device() != from || bytes.isEmpty())
        return;
    m_rx += bytes;
    if (rThreshold() > 0)
        for (int i = 0; i < bytes.size() && !m_rx.isEmpty(); ++i)
            emit received();
}
