#include "CallQueue.h"
#include "FrmSet.h"
#include "FrmStGSM.h"
#include "StationFixture.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

namespace {
void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void startsInTheTrayWithTheDesignTimeMenu()
    {
        StationFixture f;
        FrmStGSM w(f.services);
        QVERIFY(w.load());
        QCOMPARE(w.windowTitle(), QString("GSM STATUS"));
        QVERIFY(f.tray.isVisible());
        QCOMPARE(f.tray.toolTip(), QString("Wait connecting"));
        QVERIFY(!w.isVisible());
        QVERIFY(modPublic().StationActive);
        QCOMPARE(modPublic().AppFolder, f.programFolder());
        QCOMPARE(QDir::currentPath(), f.workFolder());

        QStringList menu;
        for (QAction *a : w.MnuPopup->actions())
            menu << (a->isSeparator() ? QStringLiteral("-")
                                      : a->text() + (a->isEnabled() ? "+" : "-"));
        QCOMPARE(menu, QStringList({"DataBase+", "WinCorvani-", "-", "Call-", "Send SMS-",
                                    "Status-", "Setup-", "-", "Exit+"}));
        QCOMPARE(w.Timer1.interval(), 500);
        QVERIFY(w.Timer1.isEnabled());
        QVERIFY(!w.Timer2.isEnabled());
        QCOMPARE(w.Timer2.interval(), 6000);
        QVERIFY(!w.Timer3.isEnabled());
        QVERIFY(!w.Timer4.isEnabled());
        QVERIFY(w.Timer5.isEnabled());
        QCOMPARE(w.Timer6.interval(), 40000);
    }

    void aSecondInstanceEndsWithoutTouchingThePort()
    {
        StationFixture f;
        FrmStGSM first(f.services);
        QVERIFY(first.load());

        LoopbackPort otherPort;
        ModemSim otherModem;
        otherPort.plug(1, &otherModem);
        Services s2 = f.services;
        s2.port = &otherPort;
        TrayIcon otherTray;
        s2.tray = &otherTray;
        FrmStGSM second(s2);
        QVERIFY(!second.load());
        f.time.rt.runFor(5000);
        QVERIFY(!otherTray.isVisible());
        QCOMPARE(otherPort.written(), QByteArray());
        QVERIFY(!otherPort.isOpen());
    }

    void dataFolderMigration_data()
    {
        QTest::addColumn<bool>("telmodex");
        QTest::addColumn<bool>("dirIzara");
        QTest::addColumn<QByteArray>("expectedDb"); // content of DirIzara/Dati.mdb afterwards
        QTest::newRow("no Telmodex: nothing copied or deleted")
            << false << true << QByteArray("old");
        QTest::newRow("Telmodex copied over DirIzara and removed")
            << true << true << QByteArray("new");
        QTest::newRow("Telmodex without DirIzara: copy fails silently, folder still removed")
            << true << false << QByteArray();
    }
    void dataFolderMigration()
    {
        QFETCH(bool, telmodex);
        QFETCH(bool, dirIzara);
        QFETCH(QByteArray, expectedDb);
        StationFixture f;
        QDir work(f.workFolder());
        if (dirIzara) {
            work.mkdir("DirIzara");
            writeFile(work.filePath("DirIzara/Dati.mdb"), "old");
        }
        if (telmodex) {
            work.mkpath("Telmodex/sub");
            writeFile(work.filePath("Telmodex/Dati.mdb"), "new");
            writeFile(work.filePath("Telmodex/sub/other.txt"), "x");
        }
        FrmStGSM w(f.services);
        QVERIFY(w.load());
        QVERIFY(!work.exists("Telmodex"));
        QFile db(work.filePath("DirIzara/Dati.mdb"));
        if (expectedDb.isNull()) {
            QVERIFY(!db.exists());
        } else {
            QVERIFY(db.open(QIODevice::ReadOnly));
            QCOMPARE(db.readAll(), expectedDb);
        }
    }

    void exitStartsTheSiblingProgramFromTheParentFolder()
    {
        StationFixture f;
        FakeWindow console;
        FrmStGSM w(f.services);
        w.setCallConsole(&console);
        QVERIFY(w.load());
        w.Timer1.stop(); // no modem search in this test
        console.loaded = true;
        QSignalSpy ended(&w, &FrmStGSM::ended);
        f.port.setSettings("19200,N,8,1");
        QVERIFY(f.port.open());
        w.mnuExit->trigger();
        QVERIFY(!modPublic().StationActive);
        QVERIFY(!f.port.isOpen());
        f.time.rt.runFor(999);
        QCOMPARE(ended.count(), 0);
        QVERIFY(f.tray.isVisible());
        f.time.rt.runFor(1);
        QCOMPARE(ended.count(), 1);
        QVERIFY(!f.tray.isVisible());
        QVERIFY(!w.Timer1.isEnabled());
        QCOMPARE(f.launcher.programs(),
                 QStringList({QDir(f.workFolder()).filePath("WINCORVANI.EXE")}));
        QCOMPARE(QDir::currentPath(), f.workFolder());
        QCOMPARE(console.unloaded, 1);
    }

    void databaseToolStartsFromTheCurrentFolder_data()
    {
        QTest::addColumn<bool>("startable");
        QTest::addColumn<int>("attempts");
        QTest::newRow("started") << true << 1;
#ifdef Q_OS_WIN
        QTest::newRow("failure ignored") << false << 1;
#else
        QTest::newRow("failure ignored after the bare name was tried") << false << 2;
#endif
    }
    void databaseToolStartsFromTheCurrentFolder()
    {
        QFETCH(bool, startable);
        QFETCH(int, attempts);
        StationFixture f;
        FrmStGSM w(f.services);
        QVERIFY(w.load());
        f.launcher.setSucceed(startable);
        w.mnuData->trigger();
        QCOMPARE(f.launcher.started().size(), attempts);
        QCOMPARE(f.launcher.started().first().program, QDir(f.workFolder()).filePath("gsmdb.exe"));
        QCOMPARE(f.dialogs.shown().size(), 0);
    }

    void trayDoubleClickOpensTheWindowOnlyWhenStatusIsEnabled()
    {
        StationFixture f;
        FrmStGSM w(f.services);
        QVERIFY(w.load());
        emit f.tray.doubleClicked();
        QVERIFY(!w.isVisible());
        w.mnuOPEN->setEnabled(true);
        emit f.tray.doubleClicked();
        QVERIFY(w.isVisible());
        QVERIFY(!(w.windowState() & Qt::WindowMinimized));
        QVERIFY(!w.close()); // the title bar cannot close it
        QVERIFY(!(w.windowFlags() & Qt::WindowCloseButtonHint));
        w.setWindowState(Qt::WindowMinimized);
        QVERIFY(!w.isVisible()); // minimised means hidden in the tray
    }

    void scheduledCallHandOver_data()
    {
        QTest::addColumn<QString>("queued");
        QTest::addColumn<bool>("opens");
        QTest::newRow("queued machine opens the console") << "3351234567" << true;
        QTest::newRow("empty queue changes nothing") << "" << false;
    }
    void scheduledCallHandOver()
    {
        QFETCH(QString, queued);
        QFETCH(bool, opens);
        StationFixture f;
        FakeWindow console;
        CallQueue queue;
        if (!queued.isEmpty())
            queue.queue(queued);
        FrmStGSM w(f.services);
        w.setCallConsole(&console);
        w.setCallQueue(&queue);
        QVERIFY(w.load());
        w.Timer1.stop(); // keep supervision out of this
        w.Timer2.setInterval(10000);
        w.Timer2.start();
        w.Timer6.start();
        QObject::disconnect(&w.Timer2, nullptr, nullptr, nullptr);
        f.time.rt.runFor(40000);
        QCOMPARE(console.shown, opens ? 1 : 0);
        QCOMPARE(modPublic().StationActive, !opens);
        QCOMPARE(w.Timer2.isEnabled(), !opens);
        QVERIFY(!w.Timer6.isEnabled());
        QCOMPARE(queue.first(), queued); // the console takes it, not the hand-over
    }

    void menuEntriesHandThePortOver()
    {
        StationFixture f;
        FakeWindow console, send;
        FrmStGSM w(f.services);
        w.setCallConsole(&console);
        w.setSendWindow(&send);
        QVERIFY(w.load());
        w.enableCallAndSend(true);
        w.mnuSet->setEnabled(true);
        const QList<std::pair<QAction *, FakeWindow *>> entries = {{w.mnuCall, &console},
                                                                   {w.mnuSSMS, &send}};
        for (auto [action, window] : entries) {
            modPublic().StationActive = true;
            QDir::setCurrent(f.workFolder());
            action->trigger();
            QCOMPARE(window->shown, 1);
            QVERIFY(!modPublic().StationActive);
        }
        w.mnuCall->trigger();
        QCOMPARE(QDir::currentPath(), f.programFolder()); // "Call" works in the program folder
        modPublic().StationActive = true;
        w.mnuSet->trigger();
        QVERIFY(!modPublic().StationActive);
        QVERIFY(w.setupWindow() && w.setupWindow()->isVisible());
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
