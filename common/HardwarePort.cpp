#include "HardwarePort.h"
#include "Runtime.h"

#include <QSerialPort>
#include <QSerialPortInfo>
#include <algorithm>

HardwarePort::HardwarePort(QStringList devices, QObject *parent)
    : SerialPort(parent), m_devices(std::move(devices)), m_port(new QSerialPort(this))
{
    connect(m_port, &QSerialPort::readyRead, this, [this] {
        if (rThreshold() > 0)
            emit received();
    });
    connect(m_port, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError e) { onError(int(e)); });
}

HardwarePort::~HardwarePort() = default;

QStringList HardwarePort::systemPorts()
{
    QStringList usb, other;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const auto &info : infos) {
        const QString name = info.systemLocation();
        if (info.portName().contains(QLatin1String("USB")) ||
            info.portName().contains(QLatin1String("ACM")))
            usb << name;
        else
            other << name;
    }
    std::sort(usb.begin(), usb.end());
    std::sort(other.begin(), other.end());
    return usb + other;
}

QString HardwarePort::deviceFor(int n) const
{
#ifdef Q_OS_WIN
    if (m_devices.isEmpty())
        return QStringLiteral("COM%1").arg(n);
#endif
    const QStringList list = m_devices.isEmpty() ? systemPorts() : m_devices;
    return (n >= 1 && n <= list.size()) ? list.at(n - 1) : QString();
}

bool HardwarePort::setSettings(const QString &s)
{
    if (!SerialPort::setSettings(s))
        return false;
    if (m_port->isOpen())
        applySettings();
    return true;
}

void HardwarePort::applySettings()
{
    PortSettings ps;
    PortSettings::parse(settings(), &ps);
    m_port->setBaudRate(ps.baud);
    m_port->setDataBits(QSerialPort::DataBits(ps.dataBits));
    m_port->setStopBits(ps.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    switch (ps.parity) {
    case 'E':
        m_port->setParity(QSerialPort::EvenParity);
        break;
    case 'O':
        m_port->setParity(QSerialPort::OddParity);
        break;
    case 'M':
        m_port->setParity(QSerialPort::MarkParity);
        break;
    case 'S':
        m_port->setParity(QSerialPort::SpaceParity);
        break;
    default:
        m_port->setParity(QSerialPort::NoParity);
        break;
    }
    m_port->setFlowControl(QSerialPort::NoFlowControl);
}

void HardwarePort::setDtrEnable(bool on)
{
    SerialPort::setDtrEnable(on);
    if (m_port->isOpen())
        m_port->setDataTerminalReady(on); // a pseudo-terminal refuses this; nothing depends on it
}

void HardwarePort::setRtsEnable(bool on)
{
    SerialPort::setRtsEnable(on);
    if (m_port->isOpen())
        m_port->setRequestToSend(on);
}

bool HardwarePort::openLine()
{
    if (m_port->isOpen())
        return false;
    const QString dev = deviceFor(commPort());
    if (dev.isEmpty())
        return false;
    m_port->setPortName(dev);
    if (!m_port->open(QIODevice::ReadWrite))
        return false;
    applySettings();
    m_port->setDataTerminalReady(dtrEnable());
    m_port->setRequestToSend(rtsEnable());
    m_port->clearError();
    m_errorBurst = 0;
    return true;
}

void HardwarePort::close()
{
    if (m_port->isOpen())
        m_port->close();
}

bool HardwarePort::isOpen() const
{
    return m_port->isOpen();
}

void HardwarePort::writeLine(const QByteArray &bytes)
{
    if (m_port->isOpen())
        m_port->write(bytes);
}

int HardwarePort::inBufferCount() const
{
    return m_port->isOpen() ? int(m_port->bytesAvailable()) : 0;
}

QByteArray HardwarePort::readAll()
{
    return m_port->isOpen() ? m_port->readAll() : QByteArray();
}

QByteArray HardwarePort::read(int n)
{
    return m_port->isOpen() ? m_port->read(n) : QByteArray();
}

bool HardwarePort::carrierDetect() const
{
    if (!m_port->isOpen())
        return false;
    m_signalsUnreadable = false;
    const auto lines = m_port->pinoutSignals();
    // A pseudo-terminal cannot report the line's signals: count the carrier as present.
    if (m_signalsUnreadable)
        return true;
    return lines.testFlag(QSerialPort::DataCarrierDetectSignal);
}

void HardwarePort::onError(int error)
{
    const auto e = QSerialPort::SerialPortError(error);
    if (e == QSerialPort::NoError)
        return;
    // A vanished device (or a closed pseudo-terminal) reports read errors in a tight loop: close
    // the port instead of spinning on it; the next supervision tick searches again.
    const qint64 now = Runtime::current().nowMs();
    if (now - m_burstStart > 1000) {
        m_burstStart = now;
        m_errorBurst = 0;
    }
    ++m_errorBurst;
    if (e == QSerialPort::ResourceError || m_errorBurst > 50) {
        const QString why = m_port->errorString();
        m_port->clearError();
        if (m_port->isOpen())
            m_port->close();
        emit lost(why);
        return;
    }
    if (e == QSerialPort::UnsupportedOperationError) {
        m_signalsUnreadable = true;
        m_port->clearError();
    }
}
