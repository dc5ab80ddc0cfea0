#include "LoopbackPort.h"
#include "Runtime.h"
#include "SingleInstance.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
// A device that answers every write with the same bytes, 10 ms later.
class Mirror : public LineDevice
{
public:
    void fromStation(const QByteArray &b, const QString &) override
    {
        Runtime::current().post(10, [this, b] { toStation(b); });
    }
};
} // namespace

class PlatformTest : public QObject
{
    Q_OBJECT

private slots:
    void settingsStrings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("baud");
        QTest::newRow("station speed") << "19200,N,8,1" << true << 19200;
        QTest::newRow("discovery speed") << "115200,N,8,1" << true << 115200;
        QTest::newRow("lower-case parity") << "9600,e,7,2" << true << 9600;
        QTest::newRow("missing field") << "19200,N,8" << false << 0;
        QTest::newRow("unknown parity") << "19200,X,8,1" << false << 0;
        QTest::newRow("speed not a number") << "fast,N,8,1" << false << 0;
        QTest::newRow("three stop bits") << "19200,N,8,3" << false << 0;
    }
    void settingsStrings()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, baud);
        PortSettings ps;
        QCOMPARE(PortSettings::parse(text, &ps), valid);
        if (valid)
            QCOMPARE(ps.baud, baud);
        LoopbackPort port;
        const QString before = port.settings();
        QCOMPARE(port.setSettings(text), valid);
        QCOMPARE(port.settings(), valid ? text : before);
    }

    // Once the program ends no port opens and nothing is written, whichever code asks.
    void afterTheEndThePortRefuses()
    {
        VirtualTimeScope vt;
        LoopbackPort port;
        Mirror dev;
        port.plug(1, &dev);
        QVERIFY(port.open());
        port.write("AT\r");
        vt.rt.endProgram();
        port.write("AT&W\r");
        QCOMPARE(port.written(), QByteArray("AT\r"));
        port.close();
        QVERIFY(!port.open());
        QVERIFY(!port.isOpen());
        QCOMPARE(port.openAttempts().size(), 1);
    }

    void singleInstanceMarkerIsExclusiveAndReleased()
    {
        QTemporaryDir dir;
        auto first = std::make_unique<SingleInstance>("KVX4417", dir.path());
        QVERIFY(first->acquire());
        SingleInstance second("KVX4417", dir.path());
        QVERIFY(!second.acquire());
        first.reset();
        SingleInstance third("KVX4417", dir.path());
        QVERIFY(third.acquire());
    }
};

QTEST_GUILESS_MAIN(PlatformTest)
#include "tst_platform.moc"
