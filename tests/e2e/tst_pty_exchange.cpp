#include "AtExchange.h"
#include "HardwarePort.h"
#include "ModemSim.h"
#include "PtyLine.h"
#include "Runtime.h"
#include "Timer.h"

#include <QSignalSpy>
#include <QTest>
#include <memory>

// One exchange through the real serial stack: QSerialPort on a pseudo-terminal, with the
// simulated modem on its master side.
class PtyExchangeTest : public QObject
{
    Q_OBJECT

private slots:
    void oneExchangeThroughAPseudoTerminal()
    {
        ModemSim modem;
        modem.setLatency(5);
        PtyLine line(&modem);
        QString error;
        QVERIFY2(line.open(&error), qPrintable(error));

        HardwarePort port({line.devicePath()});
        port.setCommPort(1);
        port.setSettings(QStringLiteral("19200,N,8,1"));
        port.setDtrEnable(true); // a pseudo-terminal refuses DTR; that must not matter
        port.setRtsEnable(true);
        QVERIFY(port.open());
        QVERIFY(port.carrierDetect()); // cannot be read on a pseudo-terminal: counts as present

        Timer timeout(QStringLiteral("Timer3"), 2000, false);
        connect(&timeout, &Timer::tick, [&] { timeout.setEnabled(false); });
        AtExchange at(port, timeout);
        QCOMPARE(at.exchange("ATE0", 2000, {ERROR_CRLF, OK_CRLF}), 1);
        QCOMPARE(at.buffer(), QByteArray("ATE0\r\r\nOK\r\n"));
        QCOMPARE(at.exchange("AT", 2000, {ERROR_CRLF, OK_CRLF}), 1);
        QCOMPARE(at.buffer(), QByteArray("\r\nOK\r\n"));
        QCOMPARE(at.exchange("AT+NOSUCH", 2000, {ERROR_CRLF, OK_CRLF}), 0);
        QCOMPARE(modem.commands(), QList<QByteArray>({"ATE0", "AT", "AT+NOSUCH"}));

        // At a speed the modem does not run, it hears nothing: the exchange times out.
        port.setSettings(QStringLiteral("9600,N,8,1"));
        QCOMPARE(at.exchange("AT", 300, {OK_CRLF}), -1);
        QCOMPARE(at.buffer(), QByteArray());
        port.close();
    }

    void aVanishedLineClosesThePortInsteadOfSpinning()
    {
        ModemSim modem;
        auto line = std::make_unique<PtyLine>(&modem);
        QVERIFY(line->open());
        HardwarePort port({line->devicePath()});
        port.setSettings(QStringLiteral("19200,N,8,1"));
        QVERIFY(port.open());
        QSignalSpy lost(&port, &SerialPort::lost);
        line.reset(); // the far end goes away: reads now fail at once, over and over
        QVERIFY(lost.wait(5000));
        QVERIFY(!port.isOpen());
    }
};

QTEST_GUILESS_MAIN(PtyExchangeTest)
#include "tst_pty_exchange.moc"
