#include "PtyLine.h"

#include "LoopbackPort.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

PtyLine::PtyLine(LineDevice *device, QObject *parent) : QObject(parent), m_device(device) {}

PtyLine::~PtyLine()
{
    if (m_device)
        m_device->setOutput(nullptr);
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyLine::open(QString *error)
{
    auto fail = [error](const char *what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QLatin1String(what),
                                                  QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return fail("posix_openpt");
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail("unlockpt");
    const char *name = ::ptsname(m_master);
    if (!name)
        return fail("ptsname");
    m_path = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0)
        return fail("open slave");
    // Raw until the station sets its own mode: no echo of the modem's answers back into it.
    termios t{};
    ::tcgetattr(m_slave, &t);
    ::cfmakeraw(&t);
    ::cfsetspeed(&t, B19200);
    ::tcsetattr(m_slave, TCSANOW, &t);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyLine::onReadable);
    m_device->setOutput([this](const QByteArray &bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n <= 0)
                return; // the station's side is full or gone: the bytes are lost, as on a line
            done += n;
        }
    });
    return true;
}

QString PtyLine::lineSettings() const
{
    termios t{};
    if (::tcgetattr(m_slave, &t) != 0)
        return QStringLiteral("19200,N,8,1");
    int baud = 0;
    switch (::cfgetispeed(&t)) {
    case B1200:
        baud = 1200;
        break;
    case B2400:
        baud = 2400;
        break;
    case B4800:
        baud = 4800;
        break;
    case B9600:
        baud = 9600;
        break;
    case B19200:
        baud = 19200;
        break;
    case B38400:
        baud = 38400;
        break;
    case B57600:
        baud = 57600;
        break;
    case B115200:
        baud = 115200;
        break;
    default:
        baud = 0;
        break;
    }
    return QStringLiteral("%1,N,8,1").arg(baud);
}

void PtyLine::onReadable()
{
    char buf[512];
    const ssize_t n = ::read(m_master, buf, sizeof buf);
    if (n > 0)
        m_device->fromStation(QByteArray(buf, int(n)), lineSettings());
}
