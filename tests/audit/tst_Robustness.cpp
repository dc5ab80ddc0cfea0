// Random scripts, address tables and images: nothing may crash or read outside the image
// (run under the sanitizers to see the latter), and every run must be reproducible.
#include "ConversionRun.h"
#include "Dispatcher.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace audit;

class Robustness : public QObject
{
    Q_OBJECT

private slots:
    void randomInputs();
};

namespace {

const QByteArrayList Names = {"CASH", "COIN", " BLANK ", "", "LOG", "PRICE", "x"};
// Huge and odd parameters: index parameters are not range-checked, so these reach the reads.
const QByteArrayList Extremes = {"32767", "-32768",     "&HFFFF", "&H7FFF", "-1",
                                 "40000", "1e400",      "12.5",   "&H",     " - 3 ",
                                 ".",     "&HFFFFFFFF", "1e",     "-"};
QRandomGenerator random(20240611);

int below(int n)
{
    return int(random.bounded(n));
}

QByteArray bytes(int maxSize)
{
    QByteArray data(below(maxSize + 1), '\0');
    for (char &c : data)
        c = char(below(256));
    return data;
}

QByteArray parameter()
{
    const int kind = below(5);
    return kind == 0   ? Extremes[below(Extremes.size())]
           : kind == 1 ? Names[below(Names.size())]
           : kind == 2 ? bytes(6).replace(',', ';').replace('\n', ' ')
                       : QByteArray::number(below(700) - 50);
}

// Scripts: a keyword (now and then random bytes) and 0 to 11 random fields a line. Address
// tables: a name, mostly with a value. One line in fifteen is empty.
QByteArray text(int maxLines, bool script)
{
    const auto keywords = DispatchTable();
    QByteArray text;
    for (int lines = below(maxLines + 1); lines > 0; --lines) {
        QByteArray line;
        if (below(15) > 0) {
            line = !script          ? Names[below(Names.size())]
                   : below(10) == 0 ? bytes(12).replace('\n', ' ')
                                    : keywords[below(int(keywords.size()))].name.toByteArray();
            for (int fields = script ? below(12) : int(below(8) > 0); fields > 0; --fields)
                line += ',' + parameter();
        }
        text += line + (below(2) ? "\r\n" : "\n");
    }
    return text;
}

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

} // namespace

void Robustness::randomInputs()
{
    const QByteArrayList recordIds = {"CA", "DA", "EA", "ID", "PA", "SA", "TA", "VA"};
    for (int run = 0; run < 1500; ++run) {
        const ConversionScripts scripts{text(30, true), text(8, false)};
        const QByteArray image = bytes(700);
        // The length is normally the image's size; now and then it claims more or less.
        const AuditImage audit(image, below(4) == 0 ? below(1000) : qint32(image.size()));

        LineRecorder first;
        LineRecorder second;
        const QList<int> failed = Convert(scripts, audit, first).failedLines;
        QCOMPARE(Convert(scripts, audit, second).failedLines, failed);
        QCOMPARE(second.lines, first.lines);
        for (int line : failed)
            QVERIFY(line >= 1 && line <= scripts.script.count('\n'));
        for (const QByteArray &record : first.lines) {
            QVERIFY2(recordIds.contains(record.left(2)), record.constData());
            QVERIFY(record.endsWith("\r\n"));
        }
    }
}

QTEST_GUILESS_MAIN(Robustness)
#include "tst_Robustness.moc"
