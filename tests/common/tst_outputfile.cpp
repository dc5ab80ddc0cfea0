#include "OutputFile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {
const QByteArray Text = "GSM,Description\r\n+39111,Coffee 7\r\n";

// A temporary folder made ready by steps: "file F" (holding "old", mode 0604), "fifo P",
// "reader P" (the FIFO's far end), "link L T", "dir D", "null N" (a character device, root only).
struct Rig
{
    ~Rig()
    {
        if (reader >= 0)
            ::close(reader);
    }
    QByteArray native(const QString &name) const { return QFile::encodeName(tmp.filePath(name)); }
    bool make(const QString &steps)
    {
        for (const QString &step : steps.split(';', Qt::SkipEmptyParts)) {
            const QStringList w = step.simplified().split(' ');
            const QByteArray a = native(w.value(1));
            bool ok = false;
            if (w[0] == "file") {
                QFile f(tmp.filePath(w[1]));
                ok = f.open(QIODevice::WriteOnly) && f.write("old") == 3 &&
                     f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
            } else if (w[0] == "fifo") {
                ok = ::mkfifo(a, 0600) == 0;
            } else if (w[0] == "reader") {
                ok = (reader = ::open(a, O_RDONLY | O_NONBLOCK)) >= 0;
            } else if (w[0] == "link") {
                ok = ::symlink(native(w[2]), a) == 0;
            } else if (w[0] == "dir") {
                ok = ::mkdir(a, 0700) == 0;
            } else if (w[0] == "null") {
                ok = ::mknod(a, S_IFCHR | 0600, makedev(1, 3)) == 0;
            }
            if (!ok)
                return false;
        }
        return true;
    }
    // What reached the file named, or the FIFO's far end ("<").
    QByteArray landed(const QString &from) const
    {
        if (from != "<") {
            QFile f(tmp.filePath(from));
            return !from.isEmpty() && f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }
        char buf[4096];
        return QByteArray(buf, int(qMax<ssize_t>(::read(reader, buf, sizeof buf), 0)));
    }

    QTemporaryDir tmp;
    int reader = -1;
};

struct stat statOf(const QString &path, bool follow)
{
    struct stat st = {};
    (follow ? ::stat : ::lstat)(QFile::encodeName(path).constData(), &st);
    return st;
}
} // namespace

class OutputFileTest : public QObject
{
    Q_OBJECT
private slots:
    void targets_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("from"); // where the output lands; "" nowhere to look
        QTest::addColumn<bool>("inPlace"); // an existing target keeps its inode
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("commit"); // false: the writer goes before it is complete
        const auto row = [](const char *tag, const char *steps, const char *target,
                            const char *from, bool inPlace, const char *error = "",
                            bool commit = true) {
            QTest::newRow(tag) << steps << target << from << inPlace << error << commit;
        };
        row("missing file", "", "out.csv", "out.csv", false);
        row("regular file: replaced whole, its mode kept", "file out.csv", "out.csv", "out.csv",
            false);
        row("unfinished output: the file stays as it was", "file out.csv", "out.csv", "out.csv",
            true, "", false);
        row("link to a regular file: the link stays", "file real.csv; link out.csv real.csv",
            "out.csv", "real.csv", false);
        row("FIFO with a reader", "fifo p; reader p", "p", "<", true);
        row("link to a FIFO with a reader", "fifo p; reader p; link out.csv p", "out.csv", "<",
            true);
        row("FIFO nobody reads: refused at once", "fifo p", "p", "", true, "nothing reads from it");
        row("character device", "null n", "n", "", true);
        row("folder", "dir out.csv", "out.csv", "", true, "it is a folder");
        row("missing folder", "", "no/out.csv", "", true, "No such file or directory");
    }
    void targets()
    {
        QFETCH(QString, steps);
        QFETCH(QString, target);
        QFETCH(QString, from);
        QFETCH(bool, inPlace);
        QFETCH(QString, error);
        QFETCH(bool, commit);
        if (steps.startsWith("null") && ::geteuid() != 0)
            QSKIP("making a device node needs root");
        Rig r;
        QVERIFY(r.make(steps));
        const QString path = r.tmp.filePath(target);
        const struct stat linkBefore = statOf(path, false), before = statOf(path, true);
        {
            OutputFile out(path);
            const bool opened = out.open();
            if (error.isEmpty()) {
                QVERIFY2(opened, qPrintable(out.errorString()));
                QVERIFY(out.write(Text));
                QVERIFY2(!commit || out.commit(), qPrintable(out.errorString()));
            } else {
                QVERIFY(!opened);
                QCOMPARE(out.errorString(), error);
            }
        }
        QCOMPARE(r.landed(from), from.isEmpty() ? QByteArray() : commit ? Text : "old");
        // A link, a node or a folder is never replaced, and no temporary file is left.
        const struct stat linkAfter = statOf(path, false), after = statOf(path, true);
        if (linkBefore.st_mode != 0)
            QCOMPARE(linkAfter.st_mode & S_IFMT, linkBefore.st_mode & S_IFMT);
        QCOMPARE(QDir(r.tmp.path()).entryList({".out-*"}, QDir::Files | QDir::Hidden),
                 QStringList());
        if (before.st_ino != 0) {
            QCOMPARE(after.st_ino == before.st_ino, inPlace);
            QCOMPARE(after.st_mode, before.st_mode);
        }
    }
};

QTEST_GUILESS_MAIN(OutputFileTest)
#include "tst_outputfile.moc"
