#include "ProgramFolder.h"
#include "Rows.h"

#include <QDirIterator>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {
QStringList tree(const QString &root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(root).relativeFilePath(it.next());
    out.sort();
    return out;
}
} // namespace

class InstallTest : public QObject
{
    Q_OBJECT

    enum Folder { Writable, ReadOnly, Missing };
    // Where the executable is, its folder, --home, the folder chosen ("user": the user's data).
    using Case = Rows<QString, int, QString, QString>;
    QTemporaryDir m_tmp;
    QString home() const { return m_tmp.filePath(QStringLiteral("home")); }
    QString userFolder() const
    {
        return home() + QStringLiteral("/.local/share/gsmstation/station");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        qputenv("HOME", home().toLocal8Bit());
        qunsetenv("XDG_DATA_HOME");
    }

    void programFolder_data()
    {
        const auto row = Case::table();
        row("build tree: beside the executable", "build/app/gsmstation", Writable, "",
            "build/app/gsmstation");
        row("installed in a bin folder", "usr/bin", Writable, "", "user");
        row("a folder the user may not write", "opt/station", ReadOnly, "", "user");
        row("a folder that is gone", "opt/gone", Missing, "", "user");
        row("--home wins over an installed layout", "usr/bin", Writable, "/srv/station/prog",
            "/srv/station/prog");
    }
    void programFolder()
    {
        const auto [executableIn, folder, home, expected] = Case::fetch();
        QTemporaryDir tmp;
        const QString exe = tmp.filePath(executableIn);
        if (folder != Missing)
            QVERIFY(QDir().mkpath(exe));
        if (folder == ReadOnly) {
            QFile::setPermissions(exe, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            if (QFileInfo(exe).isWritable())
                QSKIP("this user writes anywhere");
        }
        const QString want = expected == "user"         ? userFolder()
                             : expected.startsWith('/') ? expected
                                                        : tmp.filePath(expected);
        QCOMPARE(ProgramFolder::choose(home, exe), want);
        QFile::setPermissions(exe, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);
    }

    // As a package installs it: the station keeps its data in the user's folder, writes nothing
    // beside itself, and its "DataBase" entry finds the editor installed with it.
    void installedStation()
    {
        const QString dest = m_tmp.filePath(QStringLiteral("dest"));
        QProcess install;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), dest);
        install.setProcessEnvironment(env);
        install.start(QStringLiteral(CMAKE_COMMAND), {"--install", BUILD_DIR, "--prefix", "/usr"});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());

        const QString usr = dest + QStringLiteral("/usr");
        const QString bin = usr + QStringLiteral("/bin");
        QCOMPARE(QDir(bin).entryList(QDir::Files, QDir::Name),
                 QStringList({"evadts-convert", "gsmcollect", "gsmcollectd", "gsmdb", "gsmsim",
                              "gsmstation"}));
        // The collector's unit starts the installed program.
        QFile unit(usr + "/lib/systemd/system/gsmcollectd.service");
        QVERIFY(unit.open(QIODevice::ReadOnly));
        QVERIFY(unit.readAll().contains("ExecStart=/usr/bin/gsmcollectd "));
        // Every menu entry starts an installed program and shows an installed icon.
        const QStringList entries =
            QDir(usr + "/share/applications").entryList({"*.desktop"}, QDir::Files);
        QCOMPARE(entries.size(), 2);
        for (const QString &entry : entries) {
            QSettings desktop(usr + "/share/applications/" + entry, QSettings::IniFormat);
            desktop.beginGroup(QStringLiteral("Desktop Entry"));
            const QString exec = desktop.value("Exec").toString().section(' ', 0, 0);
            QVERIFY2(QFileInfo(bin + '/' + exec).isExecutable(), qPrintable(entry));
            const QString icon = desktop.value("Icon").toString();
            for (const QString &file :
                 {"scalable/apps/" + icon + ".svg", "48x48/apps/" + icon + ".png"})
                QVERIFY2(QFile::exists(usr + "/share/icons/hicolor/" + file),
                         qPrintable(entry + ": " + file));
        }

        const QStringList before = tree(dest);
        QProcess station; // HOME is the test's own (initTestCase)
        env.remove(QStringLiteral("DESTDIR"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TMPDIR"), m_tmp.path()); // its own single-instance marker
        station.setProcessEnvironment(env);
        station.setWorkingDirectory(m_tmp.path());
        station.start(bin + "/gsmstation", {"--simulate", "--verbose", "--quit-after", "2"});
        QVERIFY(station.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(station.readAllStandardOutput());
        QCOMPARE(station.exitCode(), 0);

        QVERIFY2(out.contains(QStringLiteral("program folder %1, working folder %2\n")
                                  .arg(userFolder(), QFileInfo(userFolder()).path())),
                 qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("DataBase: %1/gsmdb\n").arg(bin)), qPrintable(out));
        for (const char *file : {"Dati.mdb", "decod.asm", "address.asm"})
            QVERIFY2(QFile::exists(userFolder() + '/' + file), file);
        QCOMPARE(tree(dest), before);
    }
};

QTEST_GUILESS_MAIN(InstallTest)
#include "tst_install.moc"
