#include "MemoryMap.h"

#include <QTest>

namespace {
QByteArray reply(int frameNo, const QByteArray &dataHex, const QByteArray &check = {})
{
    unsigned sum = 0;
    for (int i = 0; i + 1 < dataHex.size(); i += 2)
        sum += dataHex.mid(i, 2).toUInt(nullptr, 16);
    const QByteArray c = check.isEmpty()
                             ? QByteArray::number(sum & 0xFF, 16).toUpper().rightJustified(2, '0')
                             : check;
    return '\x01' + QByteArray::number(frameNo).rightJustified(2, '0') + dataHex + c + '\x04';
}
} // namespace

class MemoryMapTest : public QObject
{
    Q_OBJECT
private slots:
    void pointerWords_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<QString>("address");
        QTest::newRow("0x0CB4 lies 400 above 0B24") << 0x0CB4 << "0B24";
        QTest::newRow("0x0190 gives 0000") << 0x0190 << "0000";
        QTest::newRow("0x0000 wraps to FE70") << 0x0000 << "FE70";
        QTest::newRow("0xFFFF") << 0xFFFF << "FE6F";
    }
    void pointerWords()
    {
        QFETCH(int, word);
        QFETCH(QString, address);
        QCOMPARE(MemoryMap::pointerAddress(quint16(word)), address);
        QCOMPARE(MemoryMap::swapWordBytes(QStringLiteral("B40C")), QStringLiteral("0CB4"));
    }

    void replies_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("addresses");
        // Words 0x0CB4, 0x0190, 0x0000, then five of 0x1000.
        const QByteArray words = "B40C"
                                 "9001"
                                 "0000" +
                                 QByteArray("0010").repeated(5);
        const QStringList expected =
            QStringList{"0B24", "0000", "FE70"} + QStringList(5, QStringLiteral("0E70"));
        QTest::newRow("clean reply gives eight pointers")
            << reply(0, words) << int(MemoryMap::PointerReply::Ok) << expected;
        QTest::newRow("wrong check digits")
            << reply(0, words, "00") << int(MemoryMap::PointerReply::BadCheck) << QStringList();
        QTest::newRow("lower-case check digits")
            << reply(0, QByteArray("AB").repeated(16), "b0")
            << int(MemoryMap::PointerReply::BadCheck) << QStringList();
        QTest::newRow("block 1's answer is no reply to block 0")
            << reply(1, words) << int(MemoryMap::PointerReply::BadCheck) << QStringList();
        QTest::newRow("15 data bytes with a right sum")
            << reply(0, words.left(30)) << int(MemoryMap::PointerReply::BadCheck) << QStringList();
        QTest::newRow("17 data bytes with a right sum")
            << reply(0, words + "00") << int(MemoryMap::PointerReply::BadCheck) << QStringList();
    }
    void replies()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, status);
        QFETCH(QStringList, addresses);
        const MemoryMap::PointerReply r = MemoryMap::checkPointerReply(text, 0);
        QCOMPARE(int(r.status), status);
        if (status == MemoryMap::PointerReply::Ok)
            QCOMPARE(r.addresses, addresses);
    }

    // A late repeat of the other block's answer is skipped whole; anything else ends the wait.
    void replyStart_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<int>("start");
        const QByteArray b0 = reply(0, QByteArray("11").repeated(16));
        const QByteArray b1 = reply(1, QByteArray("11").repeated(16));
        QTest::newRow("nothing complete yet") << b1.left(20) << -1;
        QTest::newRow("the answer itself") << b1 << 0;
        QTest::newRow("block 0's repeat before it") << b0 + b1 << int(b0.size());
        QTest::newRow("block 0's repeat alone: wait on") << b0 << -1;
        QTest::newRow("a frame without SOH ends the wait") << QByteArray("01FF\x04") << 0;
        QTest::newRow("junk before the answer stays in it") << "zz" + b1 << 0;
    }
    void replyStart()
    {
        QFETCH(QByteArray, received);
        QFETCH(int, start);
        QCOMPARE(int(MemoryMap::replyStart(received, 1)), start);
    }
};

QTEST_GUILESS_MAIN(MemoryMapTest)
#include "tst_memorymap.moc"
