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

// Addresses a configuration file never overwrites.
bool keptByPrmReaders(int a)
{
    return (a >= 4 && a <= 6) || a == 8 || (a >= 12 && a <= 15);
}

class FixedClock : public Clock
{
public:
    explicit FixedClock(double r) : m_r(r) {}
    QDateTime now() const override { return {}; }
    double rnd() override { return m_r; }
    void randomize() override {}

private:
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
    void interleaving_data();
    void interleaving();
    void fillerFromClock_data();
    void fillerFromClock();
    void header_data();
    void header();
    void writtenTelemetryFile();
    void configRoundTrip_data();
    void configRoundTrip();
    void telemetryReader_data();
    void telemetryReader();
    void anySingleChangedByteFailsChecksum_data();
    void anySingleChangedByteFailsChecksum();
    void twoWritesDifferOnlyInFillerAndTrailer();
    void refusals_data();
    void refusals();
    void layoutFromName_data();
    void layoutFromName();
    void randomInputNeverCrashesOrHalfLoads();
    void filesOnDisk();
    void diskRefusals_data();
    void diskRefusals();
};

void MachineFilesTest::interleaving_data()
{
    QTest::addColumn<QByteArray>("logical");
    QTest::addColumn<QByteArray>("fillers");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty body, zero sum")
        << QByteArray() << QByteArray() << QByteArray("\x00\x07\x00", 3);
    QTest::newRow("filler counts in the sum")
        << QByteArray("\x10\x20", 2) << QByteArray("\x01\xFE", 2)
        << QByteArray("\x10\x01\x20\xFE\x2F\x07\x01", 7); // 0x10+1+0x20+0xFE = 0x12F
    // 300 x (255 + 254) = 152700 = 2 x 65536 + 21628 (0x547C)
    QTest::newRow("sum wraps past 65535")
        << QByteArray(300, char(0xFF)) << QByteArray(300, char(0xFE))
        << QByteArray("\xFF\xFE", 2).repeated(300) + QByteArray("\x7C\x07\x54", 3);
}

void MachineFilesTest::interleaving()
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

void MachineFilesTest::fillerFromClock_data()
{
    QTest::addColumn<double>("rnd");
    QTest::addColumn<int>("filler");
    QTest::newRow("0 gives 0") << 0.0 << 0;
    QTest::newRow("just below 1 gives 254") << 0.99999 << 254;
    QTest::newRow("half truncates") << 0.5 << 127;
    QTest::newRow("a clock that returns 1 still stays below 255") << 1.0 << 254;
}

void MachineFilesTest::fillerFromClock()
{
    QFETCH(double, rnd);
    QFETCH(int, filler);
    FixedClock clock(rnd);
    QCOMPARE(int(fillerFrom(clock)()), filler);
}

void MachineFilesTest::header_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QByteArray>("machineBytes"); // [4], [5], [6], [48]
    QTest::addColumn<QByteArray>("titleField");   // logical 0-12
    QTest::addColumn<QByteArray>("identity");     // logical 32-47

    QTest::newRow("configuration, number 1337, variant C, model MQC")
        << int(FileKind::Configuration) << "MACH01.prm" << QByteArray("\x39\x05\x02\x03", 4)
        << QByteArray("MACH01.prm").append(3, char(0xFF)) << QByteArray("DT1337ACMQC     ");
    QTest::newRow("small number padded to four digits, model MQF")
        << int(FileKind::Configuration) << "a.prm" << QByteArray("\x07\x00\x00\x06", 4)
        << QByteArray("a.prm").append(8, char(0xFF)) << QByteArray("DT0007AAMQF     ");
    QTest::newRow("variant 255 reads A, model 0 is blank")
        << int(FileKind::Configuration) << "b.prm" << QByteArray("\x00\x00\xFF\x00", 4)
        << QByteArray("b.prm").append(8, char(0xFF)) << QByteArray("DT0000AA        ");
    QTest::newRow("model 7 is blank, number above 9999 keeps four digits")
        << int(FileKind::Configuration) << "c.prm" << QByteArray("\x39\x30\x01\x07", 4)
        << QByteArray("c.prm").append(8, char(0xFF)) << QByteArray("DT1234AB        ");
    QTest::newRow("title cut to 13 characters")
        << int(FileKind::Configuration) << "ABCDEFGHIJKLMNOP.prm" << QByteArray(4, '\0')
        << QByteArray("ABCDEFGHIJKLM") << QByteArray("DT0000AA        ");
    QTest::newRow("telemetry: 0331 and 0x40 whatever the machine number")
        << int(FileKind::Telemetry) << "t.tlm" << QByteArray("\x39\x05\x04\x01", 4)
        << QByteArray("t.tlm").append(8, char(0xFF)) << QByteArray("DT0331AEMQA     ");
}

void MachineFilesTest::header()
{
    QFETCH(int, kind);
    QFETCH(QString, title);
    QFETCH(QByteArray, machineBytes);
    QFETCH(QByteArray, titleField);
    QFETCH(QByteArray, identity);

    QByteArray image(ConfigImageSize, '\0');
    for (int a = 0; a < 100; ++a)
        image[a] = char(0x80 + a);
    image[4] = machineBytes[0];
    image[5] = machineBytes[1];
    image[6] = machineBytes[2];
    image[48] = machineBytes[3];

    const QByteArray h = MachineFiles::header(FileKind(kind), title, image);
    QCOMPARE(h.size(), 76);
    QCOMPARE(h.left(13), titleField);
    QCOMPARE(h.mid(13, 19), QByteArray(19, char(0xFF)));
    QCOMPARE(h.mid(32, 16), identity);
    QCOMPARE(h[48], kind == int(FileKind::Telemetry) ? char(0x40) : ' ');
    QCOMPARE(h[49], image[7]);
    QCOMPARE(h.mid(50, 8), QByteArray(8, '\0'));
    QCOMPARE(h.mid(58, 4), image.mid(8, 4));
    QCOMPARE(h.mid(62, 5), image.mid(64, 5));
    QCOMPARE(h[67], image[48]);
    QCOMPARE(h.mid(68, 4), image.left(4));
    QCOMPARE(h.mid(72), QByteArray(4, char(0xFF)));
}

void MachineFilesTest::writtenTelemetryFile()
{
    const QByteArray config = randomImage(1, ConfigImageSize);
    const QByteArray telemetry = randomImage(2, TelemetryImageSize);
    const QByteArray file = telemetryFile("x.tlm", config, telemetry, seeded(3));

    QCOMPARE(file.size(), 1403);
    QVERIFY(checksumMatches(file));
    const QByteArray logical = logicalBytes(file);
    QCOMPARE(logical.size(), 700);
    QCOMPARE(logical.mid(32, 6), QByteArray("DT0331"));
    QCOMPARE(quint8(logical[48]), quint8(0x40));
    QCOMPARE(logical.mid(76), telemetry.mid(76, 624));
}

void MachineFilesTest::configRoundTrip_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<int>("size");
    QTest::newRow("interleaved .prm") << int(ConfigLayout::ConfigFile) << 26011;
    QTest::newRow("plain .prm") << int(ConfigLayout::ConfigFile) << 13004;
    QTest::newRow(".cfx raw image") << int(ConfigLayout::RawImage) << 12928;
}

void MachineFilesTest::configRoundTrip()
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
        const bool kept = layout != int(ConfigLayout::RawImage) && keptByPrmReaders(a);
        if (image[a] != (kept ? before[a] : written[a]))
            QFAIL(qPrintable(QString("address %1 %2").arg(a).arg(kept ? "not kept" : "not read")));
    }
}

void MachineFilesTest::telemetryReader_data()
{
    QTest::addColumn<int>("logicalSize");
    QTest::addColumn<int>("fileSize");
    QTest::newRow("current layout") << 700 << 1403;
    QTest::newRow("older 987-byte layout") << 492 << 987;
}

void MachineFilesTest::telemetryReader()
{
    QFETCH(int, logicalSize);
    QFETCH(int, fileSize);
    const QByteArray logical = randomImage(20, logicalSize);
    const QByteArray file = interleave(logical, seeded(5));
    QCOMPARE(file.size(), fileSize);

    QByteArray image(TelemetryImageSize, char(0x55)); // a previous transfer's leftovers
    QVERIFY(readTelemetry(file, image).ok());
    QCOMPARE(image.size(), 703);
    QCOMPARE(image.left(logicalSize), logical);
    QCOMPARE(image.mid(logicalSize), QByteArray(703 - logicalSize, '\0'));
}

void MachineFilesTest::anySingleChangedByteFailsChecksum_data()
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

void MachineFilesTest::anySingleChangedByteFailsChecksum()
{
    QFETCH(int, reader);
    QFETCH(QByteArray, file);
    QVERIFY(checksumMatches(file));
    const QByteArray before = randomImage(34, reader == int(Reader::Prm) ? 12928 : 703);
    QRandomGenerator gen(35);
    for (qsizetype pos = 0; pos < file.size(); ++pos) {
        QByteArray changed = file;
        changed[pos] = char(quint8(changed[pos]) ^ (1 + gen.bounded(255)));
        QByteArray image = before;
        const Result r = readWith(Reader(reader), changed, image);
        if (r.status != Status::BadChecksum || image != before)
            QFAIL(qPrintable(QString("change at %1 accepted").arg(pos)));
    }
}

void MachineFilesTest::twoWritesDifferOnlyInFillerAndTrailer()
{
    const QByteArray image = randomImage(40, ConfigImageSize);
    const QByteArray a = configFile("z.prm", image, seeded(41));
    const QByteArray b = configFile("z.prm", image, seeded(42));
    QCOMPARE(logicalBytes(a), logicalBytes(b));
    int fillersDiffering = 0;
    for (qsizetype i = 1; i < a.size() - 3; i += 2)
        fillersDiffering += a[i] != b[i];
    QVERIFY(fillersDiffering > 12000); // of 13004
    QVERIFY(a.right(3) != b.right(3));
    QVERIFY(checksumMatches(a) && checksumMatches(b));
}

void MachineFilesTest::refusals_data()
{
    QTest::addColumn<int>("reader");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Status>("status");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::addColumn<MsgIcon>("icon");

    const QString notValid = "Error File : Isn't a valid File";
    const QString attention = " Attention : Error File!!  ";
    const QByteArray tlm = interleave(randomImage(50, 700), seeded(9));
    const QByteArray prm = configFile("p.prm", randomImage(51, ConfigImageSize), seeded(10));
    QByteArray badTlm = tlm;
    badTlm[100] = char(badTlm[100] + 1);
    QByteArray badPrm = prm;
    badPrm[101] = char(badPrm[101] + 1);

    auto row = [&](const char *name, Reader r, const QByteArray &f, Status s, const QString &text,
                   const QString &title, MsgIcon icon) {
        QTest::newRow(name) << int(r) << f << s << text << title << icon;
    };
    row("empty .tlm", Reader::Telemetry, {}, Status::NotValid, notValid, "ERROR",
        MsgIcon::Critical);
    row(".tlm one byte short", Reader::Telemetry, tlm.chopped(1), Status::NotValid, notValid,
        "ERROR", MsgIcon::Critical);
    row(".tlm one byte too long", Reader::Telemetry, tlm + 'x', Status::NotValid, notValid, "ERROR",
        MsgIcon::Critical);
    row(".tlm with a bad checksum", Reader::Telemetry, badTlm, Status::BadChecksum, attention,
        "ERROR", MsgIcon::Critical);
    row(".prm with a bad checksum", Reader::Prm, badPrm, Status::BadChecksum, attention, "",
        MsgIcon::Exclamation);
    row(".prm truncated", Reader::Prm, prm.chopped(1), Status::NotValid, notValid, "ERROR",
        MsgIcon::Critical);
    row(".prm oversized", Reader::Prm, prm + "xx", Status::NotValid, notValid, "ERROR",
        MsgIcon::Critical);
    row("telemetry file named .prm", Reader::Prm, tlm, Status::NotValid, notValid, "ERROR",
        MsgIcon::Critical);
    row("raw image named .prm", Reader::Prm, QByteArray(12928, 'r'), Status::NotValid, notValid,
        "ERROR", MsgIcon::Critical);
    row("empty .prm", Reader::Prm, {}, Status::NotValid, notValid, "ERROR", MsgIcon::Critical);
    row(".cfx one byte short", Reader::Cfx, QByteArray(12927, 'c'), Status::NotValid, notValid,
        "ERROR", MsgIcon::Critical);
    row("plain .prm named .cfx", Reader::Cfx, logicalBytes(prm), Status::NotValid, notValid,
        "ERROR", MsgIcon::Critical);
    row("snapshot one byte short", Reader::Snapshot, QByteArray(12927, 's'),
        Status::SnapshotMissing, " File 0331234567 Not Found ", "", MsgIcon::Critical);
}

void MachineFilesTest::refusals()
{
    QFETCH(int, reader);
    QFETCH(QByteArray, file);
    QFETCH(Status, status);
    QFETCH(QString, text);
    QFETCH(QString, title);
    QFETCH(MsgIcon, icon);

    const QByteArray before = randomImage(52, 500); // the wrong size, on purpose
    QByteArray image = before;
    const Result r = readWith(Reader(reader), file, image);
    QCOMPARE(r.status, status);
    QCOMPARE(r.text, text);
    QCOMPARE(r.title, title);
    QCOMPARE(r.icon, icon);
    QCOMPARE(image, before);
}

void MachineFilesTest::layoutFromName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<ConfigLayout>("layout");
    QTest::newRow("cfx") << "m.cfx" << ConfigLayout::RawImage;
    QTest::newRow("upper-case CFX") << "M.CFX" << ConfigLayout::RawImage;
    QTest::newRow("prm") << "m.prm" << ConfigLayout::ConfigFile;
    QTest::newRow("folder with a dot does not count")
        << "/data/v1.cfx/m.prm" << ConfigLayout::ConfigFile;
    QTest::newRow("the first dot decides") << "m.old.cfx" << ConfigLayout::ConfigFile;
    QTest::newRow("longer extension starting .cfx") << "m.cfxbak" << ConfigLayout::RawImage;
    QTest::newRow("no dot") << "/data/m" << ConfigLayout::Unknown;
}

void MachineFilesTest::layoutFromName()
{
    QFETCH(QString, name);
    QFETCH(ConfigLayout, layout);
    QCOMPARE(configLayoutOf(name), layout);
}

// Seeded random files, mostly near the accepted lengths, some with valid trailers: every reader
// either accepts and leaves a full-size image, or refuses and leaves the image as it was.
void MachineFilesTest::randomInputNeverCrashesOrHalfLoads()
{
    QRandomGenerator gen(20240611);
    const qsizetype sizes[] = {0, 1, 2, 3, 987, 1403, 12928, 13004, 26011};
    const QByteArray before = randomImage(60, 4000);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        qsizetype n = gen.bounded(3)
                          ? sizes[gen.bounded(int(std::size(sizes)))] + gen.bounded(5) - 2
                          : gen.bounded(30000);
        n = qMax<qsizetype>(0, n);
        QByteArray file = randomBytes(gen, n);
        if (n > 3 && gen.bounded(2)) // make the trailer fit the body
            file = interleave(logicalBytes(file), [&] { return quint8(gen.bounded(255)); }).left(n);
        for (Reader r : {Reader::Telemetry, Reader::Prm, Reader::Cfx, Reader::Snapshot}) {
            QByteArray image = before;
            const Result res = readWith(r, file, image);
            if (res.ok()) {
                ++accepted;
                QVERIFY(image.size() == (r == Reader::Telemetry ? 703 : 12928));
            } else {
                QVERIFY(!res.text.isEmpty());
                QVERIFY(image == before);
            }
        }
    }
    QVERIFY(accepted > 100); // the valid-trailer rounds reached the loaders
}

void MachineFilesTest::filesOnDisk()
{
    QTemporaryDir dir;
    const QByteArray config = randomImage(70, ConfigImageSize);
    const QByteArray telemetry = randomImage(71, TelemetryImageSize);

    const QString prm = dir.filePath("MACHINE-NUMBER-7.prm");
    QVERIFY(saveConfigFile(prm, config, seeded(11)).ok());
    QCOMPARE(QFileInfo(prm).size(), 26011);
    QByteArray image(ConfigImageSize, '\0');
    QVERIFY(loadConfigFile(prm, image).ok());
    QCOMPARE(image.mid(16), config.mid(16));

    QFile written(prm);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(logicalBytes(written.readAll()).left(13), QByteArray("MACHINE-NUMBE"));

    const QString tlm = dir.filePath("t.tlm");
    QVERIFY(saveTelemetryFile(tlm, config, telemetry, seeded(12)).ok());
    QByteArray readBack;
    QVERIFY(loadTelemetryFile(tlm, readBack).ok());
    QCOMPARE(readBack.mid(76, 624), telemetry.mid(76, 624));

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

void MachineFilesTest::diskRefusals_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::newRow("missing .tlm") << "load tlm missing.tlm"
                                  << "Error Number :53"
                                  << "ERROR";
    QTest::newRow("missing .prm") << "load prm missing.prm"
                                  << "Error Number :53"
                                  << "ERROR";
    QTest::newRow("a folder chosen as .prm") << "load prm folder.prm"
                                             << "Error Number :75"
                                             << "ERROR";
    QTest::newRow("huge file as .tlm") << "load tlm huge.tlm"
                                       << "Error File : Isn't a valid File"
                                       << "ERROR";
    QTest::newRow(".prm name without a dot") << "load prm huge"
                                             << "Error File : Isn't a valid File"
                                             << "ERROR";
    QTest::newRow("missing snapshot") << "load ntm none.ntm"
                                      << " File 0331234567 Not Found "
                                      << "";
    QTest::newRow("save into a missing folder") << "save prm nowhere/x.prm"
                                                << "Error Number :76"
                                                << "ERROR";
    QTest::newRow("save over a folder") << "save prm folder.prm"
                                        << "Error Number :75"
                                        << "ERROR";
}

void MachineFilesTest::diskRefusals()
{
    QFETCH(QString, what);
    QFETCH(QString, text);
    QFETCH(QString, title);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder.prm"));
    for (const char *name : {"huge.tlm", "huge"}) {
        QFile huge(dir.filePath(name));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(50'000'000));
    }

    const QStringList w = what.split(' ');
    const QString path = dir.filePath(w[2]);
    QByteArray image = randomImage(80, 12928);
    const QByteArray before = image;
    Result r;
    if (w[0] == "save")
        r = saveConfigFile(path, image, seeded(13));
    else if (w[1] == "tlm")
        r = loadTelemetryFile(path, image);
    else if (w[1] == "prm")
        r = loadConfigFile(path, image);
    else
        r = loadSnapshotFile(path, "0331234567", image);
    QVERIFY(!r.ok());
    QCOMPARE(r.text, text);
    QCOMPARE(r.title, title);
    QCOMPARE(r.icon, MsgIcon::Critical);
    QCOMPARE(image, before);
}

QTEST_GUILESS_MAIN(MachineFilesTest)
#include "tst_machinefiles.moc"
