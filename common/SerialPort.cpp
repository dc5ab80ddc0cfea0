#include "SerialPort.h"
#include "Runtime.h"

#include <QStringList>

bool PortSettings::parse(const QString &text, PortSettings *out)
{
    const QStringList f = text.split(QLatin1Char(','));
    if (f.size() != 4)
        return false;
    bool ok1, ok2, ok3;
    PortSettings s;
    s.baud = f[0].trimmed().toInt(&ok1);
    const QString p = f[1].trimmed().toUpper();
    s.dataBits = f[2].trimmed().toInt(&ok2);
    s.stopBits = f[3].trimmed().toInt(&ok3);
    if (!ok1 || !ok2 || !ok3 || s.baud <= 0 || p.size() != 1 || !QString("NEOMS").contains(p) ||
        s.dataBits < 5 || s.dataBits > 8 || (s.stopBits != 1 && s.stopBits != 2))
        return false;
    s.parity = p[0].toLatin1();
    *out = s;
    return true;
}

QString PortSettings::toString() const
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(baud)
        .arg(QLatin1Char(parity))
        .arg(dataBits)
        .arg(stopBits);
}

bool SerialPort::setSettings(const QString &s)
{
    PortSettings ps;
    if (!PortSettings::parse(s, &ps))
        return false;
    m_settings = s;
    return true;
}

bool SerialPort::open()
{
    return !Runtime::current().isEnding() && openLine();
}

void SerialPort::write(const QByteArray &bytes)
{
    if (!Runtime::current().isEnding())
        writeLine(bytes);
}
