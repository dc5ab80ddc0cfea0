// Random scripts, address tables and images: nothing may crash or read outside the image
// (run under the sanitizers to see the latter), and every run must be reproducible.
#include "AuditTestSupport.h"
#include "Dispatcher.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace audit;
using namespace audit::test;

class Robustness : public QObject
{
    Q_OBJECT

private slots:
    void randomInputs();
};

namespace {

constexpr int Runs = 1500;
const QByteArrayList Names = {"CASH", "COIN", " BLANK ", "", "LOG", "PRICE", "x"};
const QByteArrayList RecordIds = {"CA", "DA", "EA", "ID", "PA", "SA", "TA", "VA"};

class Generator
{
public:
    explicit Generator(quint32 seed) : m_random(seed) {}

    int below(int n) { return int(m_random.bounded(n)); }

    QByteArray bytes(int maxSize)
    {
        QByteArray data(below(maxSize + 1), '\0');
        for (char &c : data)
            c = char(below(256));
        return data;
    }

    QByteArray parameter()
    {
        static const QByteArrayList extremes = {"32767",      "-32768", "&HFFFF", "&H7FFF", "-1",
                                                "40000",      "1e400",  "12.5",   "&H",     " - 3 ",
                                                "&HFFFFFFFF", ".",      "1e",     "-"};
        switch (below(5)) {
        case 0:
            return extremes[below(extremes.size())];
        case 1:
            return Names[below(Names.size())];
        case 2:
            return bytes(6).replace(',', ';').replace('\n', ' ');
        default:
            return QByteArray::number(below(700) - 50);
        }
    }

    QByteArray scriptLine()
    {
        const auto table = DispatchTable();
        QByteArray line = below(10) == 0 ? bytes(12).replace('\n', ' ')
                                         : table[below(int(table.size()))].name.toByteArray();
        const int fields = below(12);
        for (int i = 0; i < fields; ++i)
            line += ',' + parameter();
        return line;
    }

    QByteArray text(int maxLines, QByteArray (Generator::*line)())
    {
        QByteArray text;
        const int lines = below(maxLines + 1);
        for (int i = 0; i < lines; ++i)
            text += (below(15) == 0 ? QByteArray() : (this->*line)()) + (below(2) ? "\r\n" : "\n");
        return text;
    }

    QByteArray addressLine()
    {
        return Names[below(Names.size())] + (below(8) == 0 ? "" : "," + parameter());
    }

private:
    QRandomGenerator m_random;
};

// Keeps every write apart, so that each record line can be checked whole even when the
// image's characters hold line breaks.
class LineRecorder : public QIODevice
{
public:
    LineRecorder() { open(QIODevice::WriteOnly); }
    QByteArrayList lines;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        lines.append(QByteArray(data, size));
        return size;
    }
};

QByteArrayList convertOnce(const QByteArray &script, const QByteArray &addresses,
                           const QByteArray &image, qint32 length, QList<int> &failed)
{
    LineRecorder out;
    failed = Convert({script, addresses}, AuditImage(image, length), out).failedLines;
    return out.lines;
}

} // namespace

void Robustness::randomInputs()
{
    Generator random(20240611);
    for (int run = 0; run < Runs; ++run) {
        const QByteArray script = random.text(30, &Generator::scriptLine);
        const QByteArray addresses = random.text(8, &Generator::addressLine);
        const QByteArray image = random.bytes(700);
        // The length is normally the image's size; now and then it claims more or less.
        const qint32 length = random.below(4) == 0 ? random.below(1000) : qint32(image.size());

        QList<int> failed;
        const QByteArrayList records = convertOnce(script, addresses, image, length, failed);
        QList<int> again;
        QCOMPARE(convertOnce(script, addresses, image, length, again), records);
        QCOMPARE(again, failed);

        const qsizetype lineCount = script.count('\n');
        for (int line : failed)
            QVERIFY(line >= 1 && line <= lineCount);
        for (const QByteArray &record : records) {
            QVERIFY2(RecordIds.contains(record.left(2)), record.constData());
            QVERIFY(record.endsWith("\r\n"));
        }
    }
}

QTEST_GUILESS_MAIN(Robustness)
#include "tst_Robustness.moc"
