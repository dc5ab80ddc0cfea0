// The station's conversion run: scripts from the program folder, records into a chosen file.
#include "AuditTestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace audit;

class ConversionRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void runs_data();
    void runs();

private:
    void writeFile(const QString &name, const QByteArray &contents);
    std::unique_ptr<QTemporaryDir> m_folder;
};

namespace {

const QByteArray ExampleData = QByteArray::fromHex("34120010000005000200");
constexpr qint32 WholeImage = -1;
constexpr auto Converted = ConversionResult::Outcome::Converted;
constexpr auto LinesFailed = ConversionResult::Outcome::LinesFailed;
constexpr auto FileError = ConversionResult::Outcome::FileError;

int openFileCount()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

} // namespace

void ConversionRun::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
}

void ConversionRun::writeFile(const QString &name, const QByteArray &contents)
{
    QFile file(m_folder->filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

void ConversionRun::runs_data()
{
    QTest::addColumn<QByteArray>("script"); // empty: no "decod.asm" in the folder
    QTest::addColumn<QByteArray>("addresses");
    QTest::addColumn<qint32>("length");
    QTest::addColumn<QString>("output");
    QTest::addColumn<ConversionResult::Outcome>("outcome");
    QTest::addColumn<QList<int>>("failed");
    QTest::addColumn<QByteArray>("records");

    const QByteArray script = "CA2,CASH,3,6,8\r\nCA8,0,3\r\n";
    const QByteArray records = "CA2*4660*16*5*2\r\nCA8*4660*16\r\n";
    QTest::newRow("every line converted") << script << QByteArray("CASH,0\r\n") << WholeImage
                                          << "out.txt" << Converted << QList<int>() << records;
    QTest::newRow("failed lines are listed, the others written")
        << QByteArray("CA2,CASH,3,6,8\r\n\r\nCA8,0\r\nCA8,0,3\r\n") << QByteArray("CASH,0")
        << WholeImage << "out.txt" << LinesFailed << QList<int>{2, 3} << records;
    QTest::newRow("the length passed in bounds the addresses")
        << script << QByteArray("CASH,0\r\n") << 8 << "out.txt" << Converted << QList<int>()
        << QByteArray("CA8*4660*16\r\n");
    QTest::newRow("no decod.asm") << QByteArray() << QByteArray("CASH,0") << WholeImage << "out.txt"
                                  << FileError << QList<int>() << QByteArray();
    QTest::newRow("no address.asm") << script << QByteArray() << WholeImage << "out.txt"
                                    << FileError << QList<int>() << QByteArray();
    QTest::newRow("output folder missing")
        << script << QByteArray("CASH,0") << WholeImage << "missing/out.txt" << FileError
        << QList<int>() << QByteArray();
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
    if (!script.isEmpty())
        writeFile(QStringLiteral("decod.asm"), script);
    if (!addresses.isEmpty())
        writeFile(QStringLiteral("address.asm"), addresses);
    const QByteArray image = *FrameAuditData(ExampleData);
    const QString outPath = m_folder->filePath(output);

    const int filesBefore = openFileCount();
    const ConversionResult result = RunAuditConversion(
        m_folder->path(), image, length == WholeImage ? qint32(image.size()) : length, outPath);
    QCOMPARE(openFileCount(), filesBefore);

    QCOMPARE(result.outcome, outcome);
    QCOMPARE(result.failedLines, failed);
    QCOMPARE(result.fileError.isEmpty(), outcome != FileError);
    QFile written(outPath);
    if (outcome == FileError) {
        QVERIFY(!written.exists());
        return;
    }
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), records);
}

QTEST_GUILESS_MAIN(ConversionRun)
#include "tst_ConversionRun.moc"
