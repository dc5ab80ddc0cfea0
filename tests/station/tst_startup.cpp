#include "FrmStGSM.h"
#include "StationFixture.h"

#include <QAction>
#include <QFile>
#include <QHash>
#include <QSignalSpy>
#include <QTest>

namespace {
#ifdef Q_OS_WIN
const QString Name = "gsmdb.exe";
#else
const QString Name = "gsmdb";
#endif

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
    void startsInTheTrayWithSupervisionOn()
    {
        StationFixture f;
        FrmStGSM w(f.services);
        QVERIFY(w.load());
        QVERIFY(f.tray.isVisible() && !w.isVisible() && w.state().StationActive);
        QCOMPARE(f.tray.toolTip(), QString("Wait connecting"));
        QCOMPARE(w.state().AppFolder, f.programFolder());
        QCOMPARE(QDir::currentPath(), f.workFolder());
        QVERIFY(w.Timer1.isEnabled() && !w.Timer2.isEnabled() && w.Timer5.isEnabled());
        QVERIFY(w.mnuData->isEnabled() && !w.mnuCall->isEnabled() && !w.mnuSet->isEnabled());
        FrmStGSM second(f.services); // another station is running: this one ends at once
        QVERIFY(!second.load());
        QVERIFY(!second.Timer1.isEnabled() && !second.Timer5.isEnabled());
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
        if (dirIzara && work.mkdir("DirIzara"))
            writeFile(work.filePath("DirIzara/Dati.mdb"), "old");
        if (telmodex && work.mkpath("Telmodex/sub")) {
            writeFile(work.filePath("Telmodex/Dati.mdb"), "new");
            writeFile(work.filePath("Telmodex/sub/other.txt"), "x");
        }
        FrmStGSM w(f.services);
        QVERIFY(w.load());
        QVERIFY(!work.exists("Telmodex"));
        QFile db(work.filePath("DirIzara/Dati.mdb"));
        QCOMPARE(db.open(QIODevice::ReadOnly) ? db.readAll() : QByteArray(), expectedDb);
    }

    // The editor is looked for in the current folder (the program folder's parent), beside the
    // station's executable, then on the search path; it opens the station's own database.
    void databaseToolIsFoundWhereItLies_data()
    {
        QTest::addColumn<QStringList>("placed");
        QTest::addColumn<bool>("startable");
        QTest::addColumn<QString>("started"); // the place of the program started, "" for none
        QTest::addColumn<QString>("failure");
        QTest::newRow("current folder first")
            << QStringList{"work", "bin", "path"} << true << "work"
            << "";
        QTest::newRow("beside the station") << QStringList{"bin", "path"} << true << "bin"
                                            << "";
        QTest::newRow("search path") << QStringList{"path"} << true << "path"
                                     << "";
#ifndef Q_OS_WIN
        QTest::newRow("not executable: passed over")
            << QStringList{"plain", "path"} << true << "path"
            << "";
#endif
        QTest::newRow("nowhere: nothing started")
            << QStringList{} << true << ""
            << QString("%1 is neither in %work% nor in %bin% nor on the search path").arg(Name);
        QTest::newRow("failure to start") << QStringList{"bin"} << false << "bin"
                                          << "%bin%/" + Name + " could not be started";
    }
    void databaseToolIsFoundWhereItLies()
    {
        QFETCH(QStringList, placed);
        QFETCH(bool, startable);
        QFETCH(QString, started);
        QFETCH(QString, failure);
        StationFixture f;
        QDir tmp(f.workFolder());
        const QHash<QString, QString> dirs{
            {"work", f.workFolder()}, {"bin", tmp.filePath("bin")}, {"path", tmp.filePath("path")}};
        for (const QString &d : dirs)
            QVERIFY(QDir().mkpath(d));
        for (const QString &where : placed) {
            const bool executable = where != "plain";
            const QString path = QDir(dirs.value(executable ? where : "work")).filePath(Name);
            writeFile(path, "#!/bin/sh\n");
            if (executable)
                QVERIFY(QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner));
        }
        f.services.executableFolder = dirs.value("bin");
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", QDir::toNativeSeparators(dirs.value("path")).toLocal8Bit());
        FrmStGSM w(f.services);
        QVERIFY(w.load());
        QSignalSpy failed(&w, &FrmStGSM::startFailed);
        f.launcher.setSucceed(startable);
        w.mnuData->trigger();
        qputenv("PATH", oldPath);

        QCOMPARE(f.launcher.started().size(), started.isEmpty() ? 0 : 1);
        if (!started.isEmpty()) {
            const RecordingLauncher::Started &s = f.launcher.started().first();
            QCOMPARE(s.program, QDir(dirs.value(started)).filePath(Name));
            QCOMPARE(s.args, QStringList({"--home", f.programFolder(), "--maximized"}));
            QCOMPARE(s.workDir, f.workFolder());
        }
        for (const QString &d : {QString("work"), QString("bin")})
            failure.replace('%' + d + '%', QDir::toNativeSeparators(dirs.value(d)));
        QCOMPARE(failed.count(), failure.isEmpty() ? 0 : 1);
        if (!failure.isEmpty())
            QCOMPARE(failed.first().first().toString(), failure);
        QCOMPARE(f.dialogs.shown().size(), 0); // the operator is never told
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
        QVERIFY(w.isVisible() && !(w.windowState() & Qt::WindowMinimized));
        QVERIFY(!w.close()); // the title bar cannot close it
        QVERIFY(!(w.windowFlags() & Qt::WindowCloseButtonHint));
        w.setWindowState(Qt::WindowMinimized);
        QVERIFY(!w.isVisible()); // minimised means hidden in the tray
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
