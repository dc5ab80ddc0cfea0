// The conversion run end to end on temporary files: the station's run (scripts from the
// program folder, records into a chosen file) and the built evadts-convert program.
#include "AuditTestSupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace audit;
using namespace audit::test;

class ConversionRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void runs_data();
    void runs();
    void convertsOnTheCommandLine_data();
    void convertsOnTheCommandLine();

private:
    QTemporaryDir m_dir; // the command line's files
};

namespace {

constexpr auto Converted = ConversionResult::Outcome::Converted;
constexpr auto FileError = ConversionResult::Outcome::FileError;

// The example data with a device block whose characters use the upper half of the code page.
// The block runs on into the sum word 707 (C3 02) and past the end of the image.
const QByteArray ImageData = QByteArray::fromHex("34120010000005000200") + raw("\xE9t\xE9\0 ");
const QByteArray Records = raw("CA2*4660*16*5*2\r\nDA1*\xE9t\xE9\0 \xC3\x02\0\0\0\0\0\0\0\0*"
                               "\0\0\0\0\0\0\0\0\0\0\0\0*0000\r\n");

// Writes every file with contents into the folder.
bool writeFiles(const QTemporaryDir &folder,
                std::initializer_list<std::pair<const char *, QByteArray>> files)
{
    for (const auto &[name, contents] : files) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        if (!contents.isEmpty() &&
            !(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size()))
            return false;
    }
    return true;
}

int openFileCount()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

} // namespace

void ConversionRun::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QByteArray badLength = *FrameAuditData(ImageData);
    badLength[0] = char(badLength[0] + 1);
    QVERIFY(writeFiles(m_dir, {{"decod.asm", "CA2,CASH,3,6,8\r\nDA1,BLOCK\r\n"},
                               {"failing-lf.asm", "CA2,CASH,3,6,8\n\nCA8,1\nDA1,BLOCK"},
                               {"address.asm", "CASH,0\r\nBLOCK,10\r\n"},
                               {"image.bin", *FrameAuditData(ImageData)},
                               {"raw.bin", ImageData},
                               {"bad-length.bin", badLength},
                               {"short.bin", "\x03"}}));
}

void ConversionRun::runs_data()
{
    QTest::addColumn<QByteArray>("script");    // empty: no "decod.asm" in the folder
    QTest::addColumn<QByteArray>("addresses"); // empty: no "address.asm"
    QTest::addColumn<qint32>("length");
    QTest::addColumn<QString>("output");
    QTest::addColumn<ConversionResult::Outcome>("outcome");
    QTest::addColumn<QList<int>>("failed");
    QTest::addColumn<QByteArray>("records");

    const QByteArray script = "CA2,CASH,3,6,8\r\nCA8,0,3\r\n";
    const QByteArray cash = "CASH,0\r\n";
    const QByteArray records = "CA2*4660*16*5*2\r\nCA8*4660*16\r\n";
    const qint32 whole = 14; // the framed example's size
    const QString out = QStringLiteral("out.txt");
    QTest::newRow("every line converted")
        << script << cash << whole << out << Converted << QList<int>() << records;
    QTest::newRow("failed lines are listed, the others written")
        << QByteArray("CA2,CASH,3,6,8\r\n\r\nCA8,0\r\nCA8,0,3\r\n") << cash << whole << out
        << ConversionResult::Outcome::LinesFailed << QList<int>{2, 3} << records;
    QTest::newRow("length 0 passed in skips addressed lines, a negative address passes")
        << QByteArray("CA8,0,0\r\nVA2_,-1\r\n") << cash << 0 << out << Converted << QList<int>()
        << QByteArray("VA2****13312\r\n");
    QTest::newRow("no decod.asm") << QByteArray() << cash << whole << out << FileError
                                  << QList<int>() << QByteArray();
    QTest::newRow("output folder missing") << script << cash << whole << "missing/out.txt"
                                           << FileError << QList<int>() << QByteArray();
}

void ConversionRun::runs()
{
    QFETCH(QByteArray, script);
    QFETCH(QByteArray, addresses);
    QFETCH(qint32, length);
    QFETCH(QString, output);
    QFETCH(ConversionResult::Outcome, outcome);
    QFETCH(QList<int>, failed);
    QFETCH(QByteArray, records);
    QTemporaryDir folder;
    QVERIFY(writeFiles(folder, {{"decod.asm", script}, {"address.asm", addresses}}));
    const QString outPath = folder.filePath(output);

    const int filesBefore = openFileCount();
    const ConversionResult result = RunAuditConversion(
        folder.path(), *FrameAuditData(QByteArray::fromHex("34120010000005000200")), length,
        outPath);
    QCOMPARE(openFileCount(), filesBefore); // every path closes what it opened

    QCOMPARE(result.outcome, outcome);
    QCOMPARE(result.failedLines, failed);
    QCOMPARE(result.fileError.isEmpty(), outcome != FileError);
    QFile written(outPath);
    QCOMPARE(written.exists(), outcome != FileError);
    if (written.open(QIODevice::ReadOnly))
        QCOMPARE(written.readAll(), records);
}

void ConversionRun::convertsOnTheCommandLine_data()
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
    QTest::newRow("LF script without a final ending: failed lines exit 1 and are listed")
        << QStringList{"--script", "failing-lf.asm", "--address", "address.asm"} + image << 1
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
    QTest::newRow("no --address") << QStringList{"--script", "decod.asm"} + image << 2
                                  << QByteArray() << "--script and --address are required";
}

void ConversionRun::convertsOnTheCommandLine()
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

QTEST_GUILESS_MAIN(ConversionRun)
#include "tst_ConversionRun.moc"
