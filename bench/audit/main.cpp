// Times the conversion of the largest audit image with a generated script that uses every
// keyword, once with a small address table and once with a large one: the cost per named
// parameter must not grow with the table.
#include "AddressTable.h"
#include "AuditImage.h"
#include "ConversionRun.h"
#include "Dispatcher.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTextStream>
#include <algorithm>

namespace {

constexpr int DataBytes = 6631; // the whole memory map of an audit read
constexpr int ScriptLines = 5000;
constexpr int Runs = 30;
constexpr int MaxIndex = 8; // index, bit and count parameters stay small, as in real scripts

QByteArray nameOf(int i)
{
    return "NAME_" + QByteArray::number(i).rightJustified(5, '0');
}

QByteArray addressTable(int names, QRandomGenerator &random)
{
    QByteArray text;
    for (int i = 0; i < names; ++i)
        text += nameOf(i) + ',' + QByteArray::number(random.bounded(DataBytes - 40)) + "\r\n";
    return text;
}

// Every keyword in turn; half of the addresses are names from the end of the table, where a
// search from the top would take longest.
QByteArray script(int names, QRandomGenerator &random)
{
    const auto table = audit::DispatchTable();
    QByteArray text;
    for (int line = 0; line < ScriptLines; ++line) {
        const audit::Keyword &keyword = table[line % table.size()];
        text += keyword.name.toByteArray();
        for (int i = 0; i < keyword.n; ++i) {
            text += ',';
            if (i >= keyword.v)
                text += QByteArray::number(random.bounded(MaxIndex));
            else if (random.bounded(2) == 0)
                text += nameOf(names - 1 - random.bounded(std::min(names, 50)));
            else
                text += QByteArray::number(random.bounded(DataBytes - 40));
        }
        text += "\r\n";
    }
    return text;
}

void measure(int names, QTextStream &out)
{
    QRandomGenerator random(6631);
    QByteArray data(DataBytes, '\0');
    for (char &c : data)
        c = char(random.bounded(256));
    const audit::AuditImage image(*audit::FrameAuditData(data));
    const audit::ConversionScripts scripts{script(names, random), addressTable(names, random)};

    QList<qint64> times;
    qsizetype written = 0;
    for (int run = 0; run < Runs; ++run) {
        QBuffer records;
        records.open(QIODevice::WriteOnly);
        QElapsedTimer timer;
        timer.start();
        const audit::ConversionResult result = audit::Convert(scripts, image, records);
        times.append(timer.nsecsElapsed());
        written = records.size();
        if (!result.succeeded())
            out << "  warning: " << result.failedLines.size() << " lines failed\n";
    }
    std::sort(times.begin(), times.end());
    // Reading the table is paid once a run, in proportion to its size; the lookups are not.
    QElapsedTimer loading;
    loading.start();
    const audit::AddressTable loaded = audit::AddressTable::fromText(scripts.addresses);
    const double loadMs = loading.nsecsElapsed() / 1e6;
    const double medianMs = times[times.size() / 2] / 1e6;
    out << QStringLiteral(
               "%1 names in address.asm: %2 lines, %3 ms per run (median of %4, "
               "best %5 ms), %6 lines/s, %7 bytes of records; reading the table alone %8 ms\n")
               .arg(names)
               .arg(ScriptLines)
               .arg(medianMs, 0, 'f', 2)
               .arg(Runs)
               .arg(times.front() / 1e6, 0, 'f', 2)
               .arg(qint64(ScriptLines / (medianMs / 1000)))
               .arg(written)
               .arg(loadMs, 0, 'f', 2);
    Q_UNUSED(loaded);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    out << "Converting " << DataBytes << " data bytes with " << ScriptLines
        << " script lines over all " << audit::DispatchTable().size() << " keywords (goal: "
        << "under 20 ms per run)\n";
    for (int names : {100, 10000})
        measure(names, out);
    return 0;
}
