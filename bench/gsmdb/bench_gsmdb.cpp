// Figures for a big fleet: CSV import of the machines, the SMS desk's look-up of a sender, and
// the call console's machine list filled and shown.
#include "MachineDb.h"
#include "MachineListModel.h"
#include "TableIo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {
void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

double ms(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

QString gsm(int i)
{
    return QStringLiteral("+39347%1").arg(i, 7, 10, QLatin1Char('0'));
}

// A spreadsheet as an operator keeps it: quoted names with commas, accented letters.
QByteArray machinesCsv(int count, int points, int operators)
{
    QByteArray csv = "GSM,Description,Sale point,Operator\r\n";
    csv.reserve(count * 64);
    for (int i = 0; i < count; ++i)
        csv += QStringLiteral("%1,\"Caffè %2, hall %3\",Point %4,Operator %5\r\n")
                   .arg(gsm(i))
                   .arg(i)
                   .arg(i % 9)
                   .arg(i % points)
                   .arg(i % operators)
                   .toUtf8();
    return csv;
}

bool import(SqlMachineDb &db, const QString &table, const QByteArray &csv, double *planMs,
            double *writeMs)
{
    QElapsedTimer t;
    t.start();
    const TableIo::ImportPlan plan = TableIo::plan(db, table, csv);
    if (planMs)
        *planMs = ms(t);
    if (!plan.fileError.isEmpty() || !plan.problems.isEmpty()) {
        say(QStringLiteral("import refused: %1 %2")
                .arg(plan.fileError, plan.problems.value(0).reason));
        return false;
    }
    t.restart();
    QString error;
    const bool ok = TableIo::apply(db, plan, false, &error);
    if (writeMs)
        *writeMs = ms(t);
    if (!ok)
        say(QStringLiteral("import failed: %1").arg(error));
    return ok;
}

struct Timing
{
    double mean = 0, median = 0, max = 0;
    double overOneMs = 0; // share of the calls
};

template <typename F> Timing timeEach(int count, F &&f)
{
    QList<double> each;
    QElapsedTimer t;
    for (int i = 0; i < count; ++i) {
        t.start();
        f(i);
        each << ms(t);
    }
    Timing out;
    for (double one : each)
        out.mean += one;
    out.mean /= count;
    std::sort(each.begin(), each.end());
    out.median = each[count / 2];
    out.overOneMs = double(each.cend() - std::upper_bound(each.cbegin(), each.cend(), 1.0)) / count;
    out.max = each.last();
    return out;
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int machines = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int points = std::max(1, machines / 50), operators = std::max(1, machines / 1000);

    QTemporaryDir dir;
    SqlMachineDb db(dir.filePath(QStringLiteral("Dati.mdb")));
    if (!db.open()) {
        say(db.error());
        return 1;
    }
    QByteArray pointsCsv = "Name,Address,City\r\n";
    for (int i = 0; i < points; ++i)
        pointsCsv += QStringLiteral("Point %1,\"Via Roma %1, int. 2\",Torino\r\n").arg(i).toUtf8();
    QByteArray operatorsCsv = "Name,Celular\r\n";
    for (int i = 0; i < operators; ++i)
        operatorsCsv += QStringLiteral("Operator %1,+39348%2\r\n")
                            .arg(i)
                            .arg(i, 7, 10, QLatin1Char('0'))
                            .toUtf8();
    if (!import(db, MachineTables::PuntiVendita, pointsCsv, nullptr, nullptr) ||
        !import(db, MachineTables::Operatori, operatorsCsv, nullptr, nullptr))
        return 1;

    const QByteArray csv = machinesCsv(machines, points, operators);
    double planMs = 0, writeMs = 0;
    if (!import(db, MachineTables::Distributori, csv, &planMs, &writeMs))
        return 1;
    say(QStringLiteral("import of %1 machines (%2 MB of CSV, %3 sale points, %4 operators): "
                       "%5 ms (read and check %6 ms, write %7 ms)")
            .arg(machines)
            .arg(csv.size() / 1e6, 0, 'f', 1)
            .arg(points)
            .arg(operators)
            .arg(planMs + writeMs, 0, 'f', 0)
            .arg(planMs, 0, 'f', 0)
            .arg(writeMs, 0, 'f', 0));

    // The SMS desk: sender by number, then its sale point and operator by name.
    const int lookups = 20000;
    QList<int> picks;
    for (int i = 0; i < lookups; ++i)
        picks << int(QRandomGenerator::global()->bounded(machines));
    int found = 0;
    const Timing byNumber = timeEach(lookups, [&](int i) {
        found += db.findFirst(MachineTables::Distributori, QStringLiteral("GSM"), gsm(picks[i]))
                     .has_value();
    });
    const Timing unknown = timeEach(1000, [&](int i) {
        found -= db.findFirst(MachineTables::Distributori, QStringLiteral("GSM"), gsm(machines + i))
                     .has_value();
    });
    const Timing desk = timeEach(lookups, [&](int i) {
        const auto m =
            db.findFirst(MachineTables::Distributori, QStringLiteral("GSM"), gsm(picks[i]));
        db.findFirst(MachineTables::PuntiVendita, QStringLiteral("Name"),
                     m->value(QStringLiteral("Sale point")));
        db.findFirst(MachineTables::Operatori, QStringLiteral("Name"),
                     m->value(QStringLiteral("Operator")));
    });
    // On a loaded machine the slowest calls are the ones the scheduler paused.
    say(QStringLiteral("look-up of a machine by GSM number over %1 numbers (%2 found): mean %3 ms, "
                       "median %4 ms, %5% over 1 ms, slowest %6 ms; an unknown number: mean %7 ms")
            .arg(lookups)
            .arg(found)
            .arg(byNumber.mean, 0, 'f', 4)
            .arg(byNumber.median, 0, 'f', 4)
            .arg(byNumber.overOneMs * 100, 0, 'f', 2)
            .arg(byNumber.max, 0, 'f', 3)
            .arg(unknown.mean, 0, 'f', 4));
    say(QStringLiteral("the SMS desk's three look-ups (machine, its sale point, its operator): "
                       "mean %1 ms, median %2 ms, %3% over 1 ms, slowest %4 ms")
            .arg(desk.mean, 0, 'f', 4)
            .arg(desk.median, 0, 'f', 4)
            .arg(desk.overOneMs * 100, 0, 'f', 2)
            .arg(desk.max, 0, 'f', 3));
    QSqlQuery(db.database()).exec(QStringLiteral("DROP INDEX \"Distributori_GSM\""));
    const Timing scan = timeEach(50, [&](int i) {
        db.findFirst(MachineTables::Distributori, QStringLiteral("GSM"), gsm(picks[i]));
    });
    say(QStringLiteral("the same look-up without the index: mean %1 ms").arg(scan.mean, 0, 'f', 2));
    db.open(); // the index again

    // The call console's list: filled, shown and painted; then scrolled to the last machine.
    QElapsedTimer t;
    t.start();
    MachineListModel model;
    model.fill(db);
    const double filled = ms(t);
    QTreeView view;
    view.setRootIsDecorated(false);
    view.setUniformRowHeights(true);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    view.setModel(&model);
    for (int c = 0; c < MachineListModel::ColumnCount; ++c)
        view.header()->resizeSection(c, MachineListModel::ColumnTwips[c] / 15);
    view.resize(620, 400);
    view.show();
    view.grab();
    const double shown = ms(t);
    t.restart();
    view.scrollToBottom();
    view.setCurrentIndex(model.index(model.rowCount() - 1, 0));
    view.grab();
    const double bottom = ms(t);
    t.restart();
    const int row = model.lastRowWithGsm(gsm(machines - 1));
    const double queued = ms(t);
    say(QStringLiteral("console list of %1 machines: filled in %2 ms, filled and shown in %3 ms; "
                       "scrolled to the last and shown in %4 ms; a queued number found "
                       "(row %5) in %6 ms")
            .arg(model.rowCount())
            .arg(filled, 0, 'f', 1)
            .arg(shown, 0, 'f', 1)
            .arg(bottom, 0, 'f', 1)
            .arg(row)
            .arg(queued, 0, 'f', 3));

    // The same list as one item per machine, as a report-style list widget holds it.
    t.restart();
    QTreeWidget widget;
    widget.setRootIsDecorated(false);
    widget.setUniformRowHeights(true);
    widget.setHeaderLabels({QStringLiteral("Vending machine"), QStringLiteral("Gsm number"),
                            QStringLiteral("Sale point")});
    QList<QTreeWidgetItem *> items;
    items.reserve(machines);
    QSqlQuery all(db.database());
    all.setForwardOnly(true);
    all.exec(QStringLiteral("SELECT \"Description\", \"GSM\", \"Sale point\" FROM Distributori "
                            "ORDER BY rowid"));
    while (all.next())
        items << new QTreeWidgetItem(
            QStringList{all.value(0).toString(), all.value(1).toString(), all.value(2).toString()});
    widget.addTopLevelItems(items);
    widget.resize(620, 400);
    widget.show();
    widget.grab();
    say(QStringLiteral("for comparison, one list item per machine: filled and shown in %1 ms")
            .arg(ms(t), 0, 'f', 1));
    return 0;
}
