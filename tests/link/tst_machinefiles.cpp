#include "Clock.h"
#include "MachineFiles.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace MachineFiles;

Q_DECLARE_METATYPE(MachineFiles::Status)
Q_DECLARE_METATYPE(MachineFiles::ConfigLayout)
Q_DECLARE_METATYPE(MsgIcon)

namespace {
FillerSource seeded(quint32 seed)
{
    auto gen = std::make_shared<QRandomGenerator>(seed);
    return [gen] { return quint8(gen->bounded(255)); };
}
QByteArray randomBytes(QRandomGenerator &gen, qsizetype n)
{
    QByteArray a(n, '\0');
    for (char &c : a)
        c = char(gen.bounded(256));
    return a;
}
QByteArray randomImage(quint32 seed, qsizetype n)
{
    QRandomGenerator gen(seed);
    return randomBytes(gen, n);
}

class FixedClock : public Clock
{
public:
    explicit FixedClock(double r) : m_r(r) {}
    QDateTime now() const override { return {}; }
    double rnd() override { return m_r; }
    void randomize() override {}
    double m_r;
};

enum class Reader { Telemetry, Prm, Cfx, Snapshot };
Result readWith(Reader r, const QByteArray &file, QByteArray &image)
{
    switch (r) {
    case Reader::Telemetry:
        return readTelemetry(file, image);
    case Reader::Prm:
        return readConfig(file, ConfigLayout::ConfigFile, image);
    case Reader::Cfx:
        return readConfig(file, ConfigLayout::RawImage, image);
    case Reader::Snapshot:
        return readSnapshot(file, "0331234567", image);
    }
    return {};
}
} // namespace

Q_DECLARE_METATYPE(Reader)

class MachineFilesTest : public QObject
{
    Q_OBJECT
private slots:
    void interleaving_data()
    {
        QTest::addColumn<QByteArray>("logical");
        QTest::addColumn<QByteArray>("fillers");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("empty body, zero sum")
            << QByteArray() << QByteArray() << QByteArray("\x00\x07\x00", 3);
        QTest::newRow("filler counts in the sum (0x12F)")
            << QByteArray("\x10\x20", 2) << QByteArray("\x01\xFE", 2)
            << QByteArray("\x10\x01\x20\xFE\x2F\x07\x01", 7);
        QTest::newRow("sum wraps past 65535 (152700 -> 0x547C)")
            << QByteArray(300, char(0xFF)) << QByteArray(300, char(0xFE))
            << QByteArray("\xFF\xFE", 2).repeated(300) + QByteArray("\x7C\x07\x54", 3);
    }
    void interleaving()
    {
        QFETCH(QByteArray, logical);
        QFETCH(QByteArray, fillers);
        QFETCH(QByteArray, expected);
        int next = 0;
        const QByteArray file = interleave(logical, [&] { return quint8(fillers[next++]); });
        QCOMPARE(file, expected);
        QVERIFY(checksumMatches(file));
        QCOMPARE(logicalBytes(file), logical);
    }

    // Fillers are the clock's random numbers, 0-254.
    void fillerFromClock()
    {
        for (const auto &[rnd, filler] : {std::pair{0.5, 127}, std::pair{1.0, 254}}) {
            FixedClock clock(rnd);
            QCOMPARE(int(fillerFrom(clock)()), filler);
        }
    }

    void header_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QByteArray>("machineBytes"); // [4], [5], [6], [48]
        QTest::addColumn<QByteArray>("titleField");   // logical 0-12
        QTest::addColumn<QByteArray>("identity");     // logical 32-47
        const auto ff = [](const char *t) { return QByteArray(t).leftJustified(13, char(0xFF)); };
        const int cfg = int(FileKind::Configuration);
        QTest::newRow("number 1337, variant C, model MQC")
            << cfg << "MACH01.prm" << QByteArray("\x39\x05\x02\x03", 4) << ff("MACH01.prm")
            << QByteArray("DT1337ACMQC     ");
        QTest::newRow("variant 255 reads A, model 0 blank")
            << cfg << "b.prm" << QByteArray("\x00\x00\xFF\x00", 4) << ff("b.prm")
            << QByteArray("DT0000AA        ");
        QTest::newRow("model 7 blank, number above 9999 keeps four digits")
            << cfg << "c.prm" << QByteArray("\x39\x30\x01\x07", 4) << ff("c.prm")
            << QByteArray("DT1234AB        ");
        QTest::newRow("title cut to 13 characters")
            << cfg << "ABCDEFGHIJKLMNOP.prm" << QByteArray(4, '\0') << QByteArray("ABCDEFGHIJKLM")
            << QByteArray("DT0000AA        ");
        QTest::newRow("telemetry: 0331 and 0x40 whatever the machine number")
            << int(FileKind::Telemetry) << "t.tlm" << QByteArray("\x39\x05\x04\x01", 4)
            << ff("t.tlm") << QByteArray("DT0331AEMQA     ");
    }
    void header()
    {
        QFETCH(int, kind);
        QFETCH(QString, title);
        QFETCH(QByteArray, machineBytes);
        QFETCH(QByteArray, titleField);
        QFETCH(QByteArray, identity);
        QByteArray image(ConfigImageSize, '\0');
        for (int a = 0; a < 100; ++a)
            image[a] = char(0x80 + a);
        for (int i = 0; i < 4; ++i)
            image[i < 3 ? 4 + i : 48] = machineBytes[i];
        const QByteArray h = MachineFiles::header(FileKind(kind), title, image);
        QCOMPARE(h.size(), 76);
        QCOMPARE(h.left(13), titleField);
        QCOMPARE(h.mid(13, 19), QByteArray(19, char(0xFF)));
        QCOMPARE(h.mid(32, 16), identity);
        QCOMPARE(h[48], kind == int(FileKind::Telemetry) ? char(0x40) : ' ');
        QCOMPARE(h.mid(49, 9), image.mid(7, 1) + QByteArray(8, '\0'));
        QCOMPARE(h.mid(58, 14), image.mid(8, 4) + image.mid(64, 5) + image[48] + image.left(4));
        QCOMPARE(h.mid(72), QByteArray(4, char(0xFF)));
    }

    // Readers of .prm keep addresses 4-6, 8 and 12-15 of the image they load into.
    void configRoundTrip_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<int>("size");
        QTest::newRow("interleaved .prm") << int(ConfigLayout::ConfigFile) << 26011;
        QTest::newRow("plain .prm") << int(ConfigLayout::ConfigFile) << 13004;
        QTest::newRow(".cfx raw image") << int(ConfigLayout::RawImage) << 12928;
    }
    void configRoundTrip()
    {
        QFETCH(int, layout);
        QFETCH(int, size);
        const QByteArray written = randomImage(10, ConfigImageSize);
        const QByteArray before = randomImage(11, ConfigImageSize);
        QByteArray file = layout == int(ConfigLayout::RawImage)
                              ? rawImage(written)
                              : configFile("m.prm", written, seeded(4));
        if (size == 13004)
            file = logicalBytes(file);
        QCOMPARE(file.size(), size);
        QByteArray image = before;
        QVERIFY(readConfig(file, ConfigLayout(layout), image).ok());
        QCOMPARE(image.size(), ConfigImageSize);
        for (int a = 0; a < ConfigImageSize; ++a) {
            const bool kept = layout != int(ConfigLayout::RawImage) &&
                              ((a >= 4 && a <= 6) || a == 8 || (a >= 12 && a <= 15));
            if (image[a] != (kept ? before[a] : written[a]))
                QFAIL(qPrintable(QString("address %1 %2").arg(a).arg(kept ? "kept" : "read")));
        }
    }

    void telemetryReader_data()
    {
        QTest::addColumn<int>("logicalSize");
        QTest::addColumn<int>("fileSize");
        QTest::newRow("current layout") << 700 << 1403;
        QTest::newRow("older 987-byte layout, zero-filled") << 492 << 987;
    }
    void telemetryReader()
    {
        QFETCH(int, logicalSize);
        QFETCH(int, fileSize);
        const QByteArray logical = randomImage(20, logicalSize);
        const QByteArray file = interleave(logical, seeded(5));
        QCOMPARE(file.size(), fileSize);
        QByteArray image(TelemetryImageSize, char(0x55)); // a previous transfer's leftovers
        QVERIFY(readTelemetry(file, image).ok());
        QCOMPARE(image, logical + QByteArray(703 - logicalSize, '\0'));
    }

    void anySingleChangedByteFailsChecksum_data()
    {
        QTest::addColumn<int>("reader");
        QTest::addColumn<QByteArray>("file");
        QTest::newRow(".prm") << int(Reader::Prm)
                              << configFile("a.prm", randomImage(30, ConfigImageSize), seeded(6));
        QTest::newRow(".tlm") << int(Reader::Telemetry)
                              << telemetryFile("a.tlm", randomImage(31, ConfigImageSize),
                                               randomImage(32, TelemetryImageSize), seeded(7));
        QTest::newRow("987-byte .tlm")
            << int(Reader::Telemetry) << interleave(randomImage(33, 492), seeded(8));
    }
    void anySingleChangedByteFailsChecksum()
    {
        QFETCH(int, reader);
        QFETCH(QByteArray, file);
        const QByteArray before = randomImage(34, reader == int(Reader::Prm) ? 12928 : 703);
        QRandomGenerator gen(35);
        for (qsizetype pos = 0; pos < file.size(); ++pos) {
            QByteArray changed = file;
            changed[pos] = char(quint8(changed[pos]) ^ (1 + gen.bounded(255)));
            QByteArray image = before;
            if (readWith(Reader(reader), changed, image).status != Status::BadChecksum ||
                image != before)
                QFAIL(qPrintable(QString("change at %1 accepted").arg(pos)));
        }
    }

    void layoutFromName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<ConfigLayout>("layout");
        QTest::newRow("upper-case CFX") << "M.CFX" << ConfigLayout::RawImage;
        QTest::newRow("folder with a dot") << "/data/v1.cfx/m.prm" << ConfigLayout::ConfigFile;
        QTest::newRow("the first dot decides") << "m.old.cfx" << ConfigLayout::ConfigFile;
        QTest::newRow("longer extension starting .cfx") << "m.cfxbak" << ConfigLayout::RawImage;
        QTest::newRow("no dot") << "/data/m" << ConfigLayout::Unknown;
    }
    void layoutFromName()
    {
        QFETCH(QString, name);
        QFETCH(ConfigLayout, layout);
        QCOMPARE(configLayoutOf(name), layout);
    }

    // Seeded random files, mostly near the accepted lengths, some with valid trailers: every
    // reader either accepts into a full-size image or refuses and leaves the image as it was.
    void randomInputNeverCrashesOrHalfLoads()
    {
        QRandomGenerator gen(20240611);
        const qsizetype sizes[] = {0, 1, 2, 3, 987, 1403, 12928, 13004, 26011};
        const QByteArray before = randomImage(60, 4000);
        int accepted = 0;
        for (int round = 0; round < 3000; ++round) {
            const qsizetype n = qMax<qsizetype>(
                0, gen.bounded(3) ? sizes[gen.bounded(int(std::size(sizes)))] + gen.bounded(5) - 2
                                  : gen.bounded(30000));
            QByteArray file = randomBytes(gen, n);
            if (n > 3 && gen.bounded(2)) // make the trailer fit the body
                file = interleave(logicalBytes(file), [&] {
                           return quint8(gen.bounded(255));
                       }).left(n);
            for (Reader r : {Reader::Telemetry, Reader::Prm, Reader::Cfx, Reader::Snapshot}) {
                QByteArray image = before;
                const Result res = readWith(r, file, image);
                accepted += res.ok();
                QVERIFY(res.ok() ? image.size() == (r == Reader::Telemetry ? 703 : 12928)
                                 : !res.text.isEmpty() && image == before);
            }
        }
        QVERIFY(accepted > 100); // the valid-trailer rounds reached the loaders
    }

    void filesOnDisk()
    {
        QTemporaryDir dir;
        const QByteArray config = randomImage(70, ConfigImageSize);
        const QByteArray telemetry = randomImage(71, TelemetryImageSize);
        const QString prm = dir.filePath("MACHINE-NUMBER-7.prm");
        QVERIFY(saveConfigFile(prm, config, seeded(11)).ok());
        QCOMPARE(QFileInfo(prm).size(), 26011);
        QByteArray image(ConfigImageSize, '\0');
        QFile written(prm);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(logicalBytes(written.readAll()).left(13), QByteArray("MACHINE-NUMBE"));

        QVERIFY(saveTelemetryFile(dir.filePath("t.tlm"), config, telemetry, seeded(12)).ok());
        QCOMPARE(QFileInfo(dir.filePath("t.tlm")).size(), 1403);

        const QString snap = snapshotPath(dir.path(), "0331234567");
        QCOMPARE(snap, dir.path() + "/Cartella/0331234567.ntm");
        QVERIFY(saveSnapshotFile(snap, config).ok()); // creates Cartella
        QVERIFY(saveSnapshotFile(snap, config).ok()); // and overwrites
        QByteArray snapshot;
        QVERIFY(loadSnapshotFile(snap, "0331234567", snapshot).ok());
        QCOMPARE(snapshot, config);
        QVERIFY(writeWholeFile(dir.filePath("copy.cfx"), rawImage(config)).ok());
        QVERIFY(loadConfigFile(dir.filePath("copy.cfx"), image).ok());
        QCOMPARE(image, config);
        // Only the finished files: no temporary left beside them.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name),
                 QStringList({"MACHINE-NUMBER-7.prm", "copy.cfx", "t.tlm"}));
    }

    // A refused file leaves the image as it was; the box says why.
    void refusals_data()
    {
        QTest::addColumn<QString>("what");     // load tlm|prm|ntm, or save prm, and the name
        QTest::addColumn<QByteArray>("bytes"); // written under the name first, unless "-"
        QTest::addColumn<Status>("status");
        QTest::addColumn<QString>("box"); // title|text|icon
        const QString notValid = "ERROR|Error File : Isn't a valid File|Critical";
        const QByteArray tlm = interleave(randomImage(50, 700), seeded(9));
        const QByteArray prm = configFile("p.prm", randomImage(51, ConfigImageSize), seeded(10));
        QByteArray badTlm = tlm, badPrm = prm;
        badTlm[100] = char(badTlm[100] + 1);
        badPrm[101] = char(badPrm[101] + 1);
        const Status nv = Status::NotValid, io = Status::IoError;
        auto row = [](const char *name, const char *what, const QByteArray &f, Status s,
                      const QString &b) { QTest::newRow(name) << what << f << s << b; };
        row("empty .tlm", "load tlm e.tlm", "", nv, notValid);
        row(".tlm one byte short", "load tlm s.tlm", tlm.chopped(1), nv, notValid);
        row(".tlm with a bad checksum", "load tlm b.tlm", badTlm, Status::BadChecksum,
            "ERROR| Attention : Error File!!  |Critical");
        row(".prm with a bad checksum", "load prm b.prm", badPrm, Status::BadChecksum,
            "| Attention : Error File!!  |Exclamation");
        row(".prm truncated", "load prm t.prm", prm.chopped(1), nv, notValid);
        row("telemetry file named .prm", "load prm t.prm", tlm, nv, notValid);
        row("raw image named .prm", "load prm r.prm", QByteArray(12928, 'r'), nv, notValid);
        row(".cfx one byte short", "load prm c.cfx", QByteArray(12927, 'c'), nv, notValid);
        row("plain .prm named .cfx", "load prm p.cfx", logicalBytes(prm), nv, notValid);
        row("snapshot one byte short", "load ntm s.ntm", QByteArray(12927, 's'),
            Status::SnapshotMissing, "| File 0331234567 Not Found |Critical");
        row("missing snapshot", "load ntm none.ntm", "-", Status::SnapshotMissing,
            "| File 0331234567 Not Found |Critical");
        row("missing .tlm", "load tlm missing.tlm", "-", io, "ERROR|Error Number :53|Critical");
        row("a folder chosen as .prm", "load prm folder.prm", "-", io,
            "ERROR|Error Number :75|Critical");
        row("huge file as .tlm", "load tlm huge.tlm", "-", nv, notValid);
        row(".prm name without a dot", "load prm huge", "-", nv, notValid);
        row("save into a missing folder", "save prm no/x.prm", "-", io,
            "ERROR|Error Number :76|Critical");
        row("save over a folder", "save prm folder.prm", "-", io,
            "ERROR|Error Number :75|Critical");
    }
    void refusals()
    {
        QFETCH(QString, what);
        QFETCH(QByteArray, bytes);
        QFETCH(Status, status);
        QFETCH(QString, box);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("folder.prm"));
        for (const char *name : {"huge.tlm", "huge"}) {
            QFile huge(dir.filePath(name));
            QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(50'000'000));
        }
        const QStringList w = what.split(' ');
        const QString path = dir.filePath(w[2]);
        QFile file(path);
        QVERIFY(bytes == "-" ||
                (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()));
        file.close();
        const QByteArray config = randomImage(80, ConfigImageSize);
        const QByteArray before = randomImage(52, 500); // the wrong size, on purpose
        QByteArray image = before;
        const Result r = w[0] == "save"  ? saveConfigFile(path, config, seeded(13))
                         : w[1] == "tlm" ? loadTelemetryFile(path, image)
                         : w[1] == "prm" ? loadConfigFile(path, image)
                                         : loadSnapshotFile(path, "0331234567", image);
        QCOMPARE(r.status, status);
        const QString icon = r.icon == MsgIcon::Critical      ? "Critical"
                             : r.icon == MsgIcon::Exclamation ? "Exclamation"
                                                              : "another icon";
        QCOMPARE(r.title + '|' + r.text + '|' + icon, box);
        QCOMPARE(image, before);
    }
};

QTEST_GUILESS_MAIN(MachineFilesTest)
#include "tst_machinefiles.moc"
