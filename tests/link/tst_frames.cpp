#include "BlockMaps.h"
#include "FrameAssembler.h"
#include "Frames.h"

#include <QTest>

namespace {
QByteArray wire(const char *digits)
{
    return Frames::SOH + QByteArray(digits) + Frames::EOT;
}
QByteArray assembled(const QByteArray &digits)
{
    return Frames::SohText + digits + Frames::EotText;
}
} // namespace

class FramesTest : public QObject
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
        row("no SOH at all", 1, read5, "05FF<EOT>", "-");
        const QByteArray read4 = Frames::request(1, Frames::readCommand(1, 4), 0);
        const QByteArray zeros = "610E" + QByteArray(28, '0');
        row("16 data bytes for a read of 4", 5, read4, assembled("01" + zeros + "6F"), "-");
        row("4 data bytes for a read of 4", 5, read4, assembled("01610E00006F"),
            QByteArray::fromHex("610E0000"));
        row("17 data bytes for a read of 16, memory type 0", 5,
            Frames::request(1, Frames::readCommand(0, 16), 0), assembled("01" + zeros + "006F"),
            "-");
        row("3 data bytes for a configuration read of 4", 1, read4, assembled("01610E006F"), "-");
        row("right answer to a request not yet sent", 6, read4, assembled("01610E00006F"), "-",
            false);
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
};

QTEST_GUILESS_MAIN(FramesTest)
#include "tst_frames.moc"
