// Frames, block maps and machine files.
#include "BlockMaps.h"
#include "Clock.h"
#include "FrameAssembler.h"
#include "Frames.h"
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
QByteArray wire(const char *digits)
{
    return Frames::SOH + QByteArray(digits) + Frames::EOT;
}
QByteArray assembled(const QByteArray &digits)
{
    return Frames::SohText + digits + Frames::EotText;
}
FillerSource seeded(quint32 seed)
{
    auto gen = std::make_shared<QRandomGenerator>(seed);
    return [gen] { return quint8(gen->bounded(255)); };
}
QByteArray randomImage(quint32 seed, qsizetype n)
{
    QRandomGenerator gen(seed);
    QByteArray a(n, '\0');
    for (char &c : a)
        c = char(gen.bounded(256));
    return a;
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

} // namespace

class LinkTest : public QObject
{
    Q_OBJECT
private slots:
    void requests_data()
    {
        QTest::addColumn<int>("frameNo");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("address");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("frame 05 reads 16 bytes of type 1 at 0x0EF0")
            << 5 << int(Frames::readCommand(1, 16)) << 0x0EF0 << QByteArray()
            << wire("055F00F00E5D");
        QTest::newRow("frame 0 at 0x0C00 has checksum 6B")
            << 0 << 0x5F << 0x0C00 << QByteArray() << wire("005F00000C6B");
        QTest::newRow("type 0 read of 6 bytes, frame 255")
            << 255 << int(Frames::readCommand(0, 6)) << 8 << QByteArray() << wire("FF150008001D");
        QTest::newRow("16-byte write is 46 characters, checksum wraps")
            << 10 << int(Frames::writeCommand(1, 16)) << 0x1234 << QByteArray(16, char(0xFF))
            << wire("0ADF003412" + QByteArray("FF").repeated(16) + "15");
    }
    void requests()
    {
        QFETCH(int, frameNo);
        QFETCH(int, command);
        QFETCH(int, address);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, expected);
        const QByteArray r =
            Frames::request(quint8(frameNo), quint8(command), quint16(address), data);
        QCOMPARE(r, expected);
        QCOMPARE(int(Frames::slotFrameNumber(r)), frameNo);
        QCOMPARE(int(Frames::slotAddress(r)), address);
    }

    // Only a request that went out can be answered, and only with the count it asked for: a
    // late repeat of a 16-byte answer must not fill a 4-byte read that reuses its number.
    void answers_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("slot");
        QTest::addColumn<bool>("sent");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("data"); // "-": dropped
        auto row = [](const char *name, int mode, const QByteArray &slot, const QByteArray &text,
                      const QByteArray &data, bool sent = true) {
            QTest::newRow(name) << mode << slot << sent << text << data;
        };
        const QByteArray read5 = Frames::request(5, 0x5F, 0x0EF0);
        const QByteArray data16 = QByteArray("0102030405060708090A0B0C0D0E0F10");
        const QByteArray answer16 = assembled("05" + data16 + "88");
        row("16-byte read answer accepted", 1, read5, answer16, QByteArray::fromHex(data16));
        row("read answer with wrong check dropped", 1, read5, assembled("05" + data16 + "89"), "-");
        const QByteArray tlm = Frames::request(5, 0x50, 3824);
        row("lower-case check digits never match", 6, tlm, assembled("05FAfa"), "-");
        row("the same answer in upper case is accepted", 6, tlm, assembled("05FAFA"), "\xFA");
        row("answer to an emptied slot dropped", 1, {}, answer16, "-");
        row("slot holding another frame number dropped", 5, Frames::request(6, 0x5F, 0x0EF0),
            answer16, "-");
        row("junk before SOH is cut off", 5, read5, "xx" + answer16, QByteArray::fromHex(data16));
        const QByteArray write = Frames::request(7, 0x80, 9, QByteArray(1, 0x07)); // checksum 90
        row("write ack is twice the checksum (0x90 -> 20)", 2, write, assembled("0720"), "");
        row("write ack with the plain checksum dropped", 3, write, assembled("0790"), "-");
        row("write ack to a request not yet sent", 3, write, assembled("0720"), "-", false);
        row("frame number alone is no answer", 2, Frames::request(0, 0xC0, 0, QByteArray(1, 0)),
            assembled("00"), "-");
        const QByteArray read4 = Frames::request(1, Frames::readCommand(1, 4), 0);
        const QByteArray zeros = "610E" + QByteArray(28, '0');
        row("16 data bytes for a read of 4", 5, read4, assembled("01" + zeros + "6F"), "-");
        row("4 data bytes for a read of 4", 5, read4, assembled("01610E00006F"),
            QByteArray::fromHex("610E0000"));
        row("17 data bytes for a read of 16, memory type 0", 5,
            Frames::request(1, Frames::readCommand(0, 16), 0), assembled("01" + zeros + "006F"),
            "-");
        row("3 data bytes for a configuration read of 4", 1, read4, assembled("01610E006F"), "-");
    }
    void answers()
    {
        QFETCH(int, mode);
        QFETCH(QByteArray, slot);
        QFETCH(bool, sent);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, data);
        Frames::Slots outstanding;
        const quint8 n = Frames::pairValue(Frames::body(text), 0);
        outstanding[n] = slot;
        Frames::SentMask mask;
        if (sent)
            mask.set();
        const Frames::Answer a = Frames::checkAnswer(text, TransferMode(mode), outstanding, mask);
        QCOMPARE(a.accepted, data != "-");
        if (a.accepted)
            QCOMPARE(a.data, data);
    }

    void assembler_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<int>>("results"); // index of each non-More result: value
        QTest::addColumn<QByteArray>("text");
        const QByteArray ans16 = wire("05" + QByteArray(32, '1') + "10");
        QTest::newRow("16-byte answer is 46 characters under the read limit")
            << 47 << ans16 << QList<int>{FrameAssembler::Complete}
            << assembled("05" + QByteArray(32, '1') + "10");
        QTest::newRow("17-byte answer reaches 47 before EOT")
            << 47 << wire("05" + QByteArray(34, '1') + "10") << QList<int>{FrameAssembler::TooLong}
            << QByteArray();
        QTest::newRow("write ack of 14 characters passes the limit of 15")
            << 15 << wire("0520") << QList<int>{FrameAssembler::Complete} << assembled("0520");
        QTest::newRow("a 15th character before EOT is a bad frame")
            << 15 << wire("05201") << QList<int>{FrameAssembler::TooLong} << QByteArray();
        QTest::newRow("characters before a frame cleared by its SOH")
            << 15 << "zzzz" + wire("0620") << QList<int>{FrameAssembler::Complete}
            << assembled("0620");
        QTest::newRow("no limit in memory-map reads")
            << 0 << wire(QByteArray(60, '1')) << QList<int>{FrameAssembler::Complete}
            << assembled(QByteArray(60, '1'));
    }
    void assembler()
    {
        QFETCH(int, limit);
        QFETCH(QByteArray, bytes);
        QFETCH(QList<int>, results);
        QFETCH(QByteArray, text);
        FrameAssembler a;
        QList<int> seen;
        QByteArray last;
        for (char c : bytes) {
            const auto r = a.feed(c, limit);
            if (r == FrameAssembler::Complete)
                last = a.text();
            if (r != FrameAssembler::More) {
                seen << r;
                a.clear(); // what the receiver does with a finished or a bad frame
            }
        }
        QCOMPARE(seen, results);
        QCOMPARE(last, text);
    }

    void changedBlocks_data()
    {
        QTest::addColumn<QList<int>>("differences");
        QTest::addColumn<QList<int>>("rows"); // addresses; every row is 16 long
        QTest::newRow("no difference lists nothing") << QList<int>{} << QList<int>{};
        QTest::newRow("bytes within one block give one row")
            << QList<int>{100, 115} << QList<int>{100};
        QTest::newRow("next scan starts 16 on") << QList<int>{100, 116} << QList<int>{100, 116};
        QTest::newRow("12920 becomes the last block (12911, 16)")
            << QList<int>{12920} << QList<int>{12911};
        QTest::newRow("12911 fits, 12927 is moved back as well")
            << QList<int>{12911, 12927} << QList<int>{12911, 12911};
    }
    void changedBlocks()
    {
        QFETCH(QList<int>, differences);
        QFETCH(QList<int>, rows);
        QByteArray image(12928, 'a');
        const QByteArray snapshot = image;
        for (int a : differences)
            image[a] = 'b';
        QList<int> got;
        for (const Block &b : BlockMaps::changed(image, snapshot)) {
            QCOMPARE(int(b.length), 16);
            got << int(b.address);
        }
        QCOMPARE(got, rows);
    }

    void mapLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("length");
        QTest::newRow("blanks around") << "  1,32B6,5098 " << 1 << 0x32B6 << 5098;
        QTest::newRow("empty line reads as nothing") << "" << 0 << 0 << 0;
        QTest::newRow("garbage address") << "1,ZZZZ,4" << 1 << 0 << 4;
    }
    void mapLines()
    {
        QFETCH(QString, line);
        QFETCH(int, type);
        QFETCH(int, address);
        QFETCH(int, length);
        const MapRecord r = BlockMaps::parseMapLine(line);
        QCOMPARE(int(r.type), type);
        QCOMPARE(int(r.address), address);
        QCOMPARE(int(r.length), length);
    }

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

    // What each reader makes of a good file: a .prm keeps addresses 4-6, 8 and 12-15 of the
    // image it loads into, an older 987-byte .tlm is zero-filled.
    void readers_data()
    {
        QTest::addColumn<int>("layout"); // -1: telemetry
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("image"); // loaded over what a previous transfer left
        const QByteArray config = randomImage(10, ConfigImageSize);
        QByteArray kept = config;
        for (int a : {4, 5, 6, 8, 12, 13, 14, 15})
            kept[a] = randomImage(11, ConfigImageSize)[a];
        const QByteArray prm = configFile("m.prm", config, seeded(4));
        QTest::newRow("interleaved .prm") << int(ConfigLayout::ConfigFile) << prm << kept;
        QTest::newRow("plain .prm") << int(ConfigLayout::ConfigFile) << logicalBytes(prm) << kept;
        QTest::newRow(".cfx raw image")
            << int(ConfigLayout::RawImage) << rawImage(config) << config;
        const QByteArray tlm = randomImage(20, 700), old = randomImage(21, 492);
        QTest::newRow("current .tlm")
            << -1 << interleave(tlm, seeded(5)) << tlm + QByteArray(3, '\0');
        QTest::newRow("older 987-byte .tlm")
            << -1 << interleave(old, seeded(5)) << old + QByteArray(211, '\0');
    }
    void readers()
    {
        QFETCH(int, layout);
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, image);
        QByteArray loaded =
            layout < 0 ? QByteArray(TelemetryImageSize, 'U') : randomImage(11, ConfigImageSize);
        QVERIFY((layout < 0 ? readTelemetry(file, loaded)
                            : readConfig(file, ConfigLayout(layout), loaded))
                    .ok());
        QCOMPARE(loaded, image);
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

    // A saved .prm is titled with its file name; snapshots sit in Cartella under the number.
    void filesOnDisk()
    {
        QTemporaryDir dir;
        const QString prm = dir.filePath("MACHINE-NUMBER-7.prm");
        QVERIFY(saveConfigFile(prm, randomImage(70, ConfigImageSize), seeded(11)).ok());
        QFile written(prm);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(logicalBytes(written.readAll()).left(13), QByteArray("MACHINE-NUMBE"));
        QCOMPARE(snapshotPath(dir.path(), "0331234567"), dir.path() + "/Cartella/0331234567.ntm");
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
        // No single changed byte goes unnoticed: data, filler, the sum's bytes, the mark between.
        QByteArray badTlm = tlm, badPrm = prm, lowSum = tlm, mark = prm, highSum = tlm;
        badTlm[100] = char(badTlm[100] + 1);
        badPrm[101] = char(badPrm[101] + 1);
        lowSum[tlm.size() - 3] = char(lowSum[tlm.size() - 3] ^ 0x80);
        mark[prm.size() - 2] = char(0x17);
        highSum[tlm.size() - 1] = char(highSum[tlm.size() - 1] ^ 0x01);
        const Status nv = Status::NotValid, io = Status::IoError;
        auto row = [](const char *name, const char *what, const QByteArray &f, Status s,
                      const QString &b) { QTest::newRow(name) << what << f << s << b; };
        row("empty .tlm", "load tlm e.tlm", "", nv, notValid);
        row(".tlm one byte short", "load tlm s.tlm", tlm.chopped(1), nv, notValid);
        row(".tlm with a changed data byte", "load tlm b.tlm", badTlm, Status::BadChecksum,
            "ERROR| Attention : Error File!!  |Critical");
        row(".tlm with its sum's low byte changed", "load tlm l.tlm", lowSum, Status::BadChecksum,
            "ERROR| Attention : Error File!!  |Critical");
        row(".tlm with its sum's high byte changed", "load tlm h.tlm", highSum, Status::BadChecksum,
            "ERROR| Attention : Error File!!  |Critical");
        row(".prm with a changed filler", "load prm b.prm", badPrm, Status::BadChecksum,
            "| Attention : Error File!!  |Exclamation");
        row(".prm with a changed mark", "load prm m.prm", mark, Status::BadChecksum,
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

QTEST_GUILESS_MAIN(LinkTest)
#include "tst_link.moc"
