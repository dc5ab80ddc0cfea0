#include "GsmSimProcess.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// gammu, a client written by others from the same standards, must recognise the simulated modem
// and read its signal and network.
class GammuTest : public QObject
{
    Q_OBJECT

    static QString gammu(const QString &rc, const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral(GAMMU), QStringList{"-c", rc} + args);
        if (!p.waitForFinished(60'000))
            p.kill();
        return QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
    }

private slots:
    void identifyAndMonitor()
    {
        GsmSimProcess sim({"--manufacturer", "Sim_Maker", "--model", "SM-900", "--imei",
                           "490154203237518", "--signal", "20"});
        QVERIFY(!sim.device().isEmpty());
        QTemporaryDir tmp;
        const QString rc = QDir(tmp.path()).filePath("gammurc");
        QFile f(rc);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[gammu]\ndevice = " + sim.device().toLocal8Bit() + "\nconnection = at19200\n");
        f.close();

        const QString id = gammu(rc, {"identify"});
        QVERIFY2(id.contains("Manufacturer         : Sim_Maker"), qPrintable(id));
        QVERIFY2(id.contains("SM-900"), qPrintable(id));
        QVERIFY2(id.contains("IMEI                 : 490154203237518"), qPrintable(id));

        const QString mon = gammu(rc, {"monitor", "1"});
        QVERIFY2(mon.contains("Signal strength      : -73 dBm"), qPrintable(mon));
        QVERIFY2(mon.contains("Network state        : home network"), qPrintable(mon));
        QVERIFY2(mon.contains("222 10"), qPrintable(mon));
        QVERIFY2(mon.contains("GPRS                 : attached"), qPrintable(mon));
    }
};

QTEST_GUILESS_MAIN(GammuTest)
#include "tst_gammu.moc"
