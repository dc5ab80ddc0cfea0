// evadts-convert end to end: the built program on temporary files.
#include "AuditTestSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace audit::test;

class EvadtsConvert : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void converts_data();
    void converts();
    void showsVersion();

private:
    QTemporaryDir m_dir;
};

namespace {

// The example data with a device block whose characters use the upper half of the code page.
// The block runs on into the sum word 707 (C3 02) and past the end of the image.
const QByteArray ImageData = QByteArray::fromHex("34120010000005000200") + raw("\xE9t\xE9\0 ");
const QByteArray Records = raw("CA2*4660*16*5*2\r\nDA1*\xE9t\xE9\0 \xC3\x02\0\0\0\0\0\0\0\0*"
                               "\0\0\0\0\0\0\0\0\0\0\0\0*0000\r\n");

} // namespace

void EvadtsConvert::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QByteArray badLength = [] {
        QByteArray image = *audit::FrameAuditData(ImageData);
        image[0] = char(image[0] + 1);
        return image;
    }();
    const std::pair<const char *, QByteArray> files[] = {
        {"decod.asm", "CA2,CASH,3,6,8\r\nDA1,BLOCK\r\n"},
        {"decod-lf.asm", "CA2,CASH,3,6,8\nDA1,BLOCK"},
        {"failing.asm", "CA2,CASH,3,6,8\r\n\r\nCA8,1\r\nDA1,BLOCK\r\n"},
        {"address.asm", "CASH,0\r\nBLOCK,10\r\n"},
        {"address-lf.asm", "CASH,0\nBLOCK,10"},
        {"image.bin", *audit::FrameAuditData(ImageData)},
        {"raw.bin", ImageData},
        {"bad-length.bin", badLength},
        {"short.bin", "\x03"},
    };
    for (const auto &[name, contents] : files) {
        QFile file(m_dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(contents), contents.size());
    }
}

void EvadtsConvert::converts_data()
{
    QTest::addColumn<QStringList>("arguments"); // file names resolve in the test folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("records"); // on standard output, or in "out.txt" when given
    QTest::addColumn<QString>("error");      // text standard error must hold

    const QStringList scripts = {"--script", "decod.asm", "--address", "address.asm"};
    const QStringList image = {"--image", "image.bin"};
    QTest::newRow("records on standard output") << scripts + image << 0 << Records << "";
    QTest::newRow("records into --output")
        << scripts + image + QStringList{"--output", "out.txt"} << 0 << Records << "";
    QTest::newRow("--data frames bare bytes")
        << scripts + QStringList{"--data", "raw.bin"} << 0 << Records << "";
    QTest::newRow("LF line endings and no final ending")
        << QStringList{"--script", "decod-lf.asm", "--address", "address-lf.asm"} + image << 0
        << Records << "";
    QTest::newRow("failed lines exit 1 and are listed")
        << QStringList{"--script", "failing.asm", "--address", "address.asm"} + image << 1
        << Records << "failed script lines: 2 3\n";
    QTest::newRow("length word disagreeing with the size")
        << scripts + QStringList{"--image", "bad-length.bin"} << 2 << QByteArray()
        << "the length word says 20 bytes but the image has 19";
    QTest::newRow("image shorter than its frame")
        << scripts + QStringList{"--image", "short.bin"} << 2 << QByteArray()
        << "shorter than the length and sum words";
    QTest::newRow("missing script file")
        << QStringList{"--script", "none.asm", "--address", "address.asm"} + image << 2
        << QByteArray() << "cannot read";
    QTest::newRow("missing image file")
        << scripts + QStringList{"--image", "none.bin"} << 2 << QByteArray() << "cannot read";
    QTest::newRow("no --address") << QStringList{"--script", "decod.asm"} + image << 2
                                  << QByteArray() << "--script and --address are required";
    QTest::newRow("both --image and --data")
        << scripts + image + QStringList{"--data", "raw.bin"} << 2 << QByteArray()
        << "exactly one of --image and --data";
    QTest::newRow("unknown option")
        << scripts + image + QStringList{"--fast"} << 2 << QByteArray() << "Unknown option 'fast'";
    QTest::newRow("stray argument") << scripts + image + QStringList{"extra"} << 2 << QByteArray()
                                    << "unexpected argument extra";
}

void EvadtsConvert::converts()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, records);
    QFETCH(QString, error);
    QFile::remove(m_dir.filePath(QStringLiteral("out.txt")));

    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral(EVADTS_CONVERT), arguments);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    const QString standardError = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(standardError.contains(error), qPrintable(standardError));
    QCOMPARE(standardError.isEmpty(), error.isEmpty());

    QByteArray written = process.readAllStandardOutput();
    if (arguments.contains(QStringLiteral("--output"))) {
        QCOMPARE(written, QByteArray());
        QFile out(m_dir.filePath(QStringLiteral("out.txt")));
        QVERIFY(out.open(QIODevice::ReadOnly));
        written = out.readAll();
    }
    QCOMPARE(written, records);
}

void EvadtsConvert::showsVersion()
{
    QProcess process;
    process.start(QStringLiteral(EVADTS_CONVERT), {QStringLiteral("--version")});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(process.readAllStandardOutput().startsWith("evadts-convert "));
}

QTEST_GUILESS_MAIN(EvadtsConvert)
#include "tst_EvadtsConvert.moc"
