// Files as spreadsheets write them, through gsmdb's import and export: what a person would
// expect to go in goes in, and what cannot is refused with a reason that says what to do.
#include "DbCommand.h"
#include "DbTableModel.h"
#include "MachineDb.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

namespace {
const QString Caffe = QStringLiteral("Caff\u00E8 dell'Angolo");

struct Home
{
    QString path(const QString &name) const { return dir.filePath(name); }
    bool write(const QString &name, const QByteArray &bytes) const
    {
        QFile f(path(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
    // Runs gsmdb's job on this folder's database: its exit status, and its lines with the
    // folder's path as "%".
    int gsmdb(const QString &job, const QString &table, const QString &file,
              QStringList *lines = nullptr) const
    {
        DbCommand::Options o;
        (job == "import" ? o.importName : o.exportName) = table;
        o.file = path(file);
        QString text;
        QTextStream err(&text);
        const int status = DbCommand::run(o, dir.path(), err);
        if (lines)
            *lines = text.replace(dir.path(), "%").split('\n', Qt::SkipEmptyParts);
        return status;
    }
    // One field of every record of a table, in record order.
    QStringList column(const QString &table, const QString &field) const
    {
        SqlMachineDb db(DbCommand::databasePath(dir.path()));
        db.open();
        QStringList out;
        for (const DbRecord &r : db.records(table))
            out << r.value(field);
        return out;
    }
    QTemporaryDir dir;
};
} // namespace

class SpreadsheetTest : public QObject
{
    Q_OBJECT

private slots:
    void machinesFromASpreadsheet_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("lines"); // gsmdb's, "%" the folder
        QTest::addColumn<QStringList>("gsm");   // stored afterwards
        const QString columns = "; the columns are GSM, Description, Sale point, Operator";
        QTest::newRow("extra column ignored with one warning")
            << QByteArray("GSM,Description,Notes\r\n+39333,A,ring twice\r\n+39444,B,\r\n") << 0
            << QStringList{"gsmdb: %/in.csv: the column \"Notes\" is ignored" + columns,
                           "machines: 2 added, 0 updated from %/in.csv (UTF-8)"}
            << QStringList{"+39333", "+39444"};
        QTest::newRow("blanks, dots and dashes dropped from numbers")
            << QByteArray("GSM;Description\r\n+39 347 111 0401;A\r\n0039.347-111.0402;B\r\n")
            << 0 << QStringList{"machines: 2 added, 0 updated from %/in.csv (UTF-8)"}
            << QStringList{"+393471110401", "00393471110402"};
        const QString exponent = "%/in.csv:2: \"GSM\" is \"3,93471E+11\", a number in "
                                 "exponent form: the spreadsheet column was formatted as a "
                                 "number. Format it as text and type the numbers again.";
        const QString none = "machines: 1 of 1 rows are invalid; nothing was imported";
        QTest::newRow("exponent form refused with the hint")
            << QByteArray("GSM;Description\r\n3,93471E+11;A\r\n") << 1
            << QStringList{exponent, none} << QStringList{};
        QTest::newRow("apostrophes and double quotes taken")
            << ("GSM,Description\r\n+39333,\"" + Caffe.toUtf8() + " \"\"Da Gino\"\"\"\r\n")
            << 0 << QStringList{"machines: 1 added, 0 updated from %/in.csv (UTF-8)"}
            << QStringList{"+39333"};
        QTest::newRow("a control character refused")
            << QByteArray("GSM,Description\r\n+39333,A\tB\r\n") << 1
            << QStringList{"%/in.csv:2: \"Description\" must not hold a line break or a "
                           "control character.",
                           none}
            << QStringList{};
    }
    void machinesFromASpreadsheet()
    {
        QFETCH(QByteArray, csv);
        QFETCH(int, status);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, gsm);
        Home home;
        QVERIFY(home.write("in.csv", csv));
        QStringList got;
        QCOMPARE(home.gsmdb("import", "machines", "in.csv", &got), status);
        QCOMPARE(got, lines);
        QCOMPARE(home.column(MachineTables::Distributori, "GSM"), gsm);
    }

    // Names with an apostrophe and double quotes, typed in the form and in place, go out to CSV
    // and come back into another database unchanged, the machine still naming its sale point.
    void namesWithQuotesMakeTheRoundTrip()
    {
        const QString stella = QStringLiteral("Bar \"Stella\"");
        Home from;
        {
            SqlMachineDb db(DbCommand::databasePath(from.dir.path()));
            QVERIFY(db.open());
            DbTableModel points(db, MachineTables::PuntiVendita);
            QVERIFY2(points.addRecord({{"Name", Caffe}, {"City", "Torino"}}),
                     qPrintable(points.refusal()));
            DbTableModel machines(db, MachineTables::Distributori);
            QVERIFY2(machines.addRecord({{"GSM", "+39 333 1"}, {"Description", "x"},
                                         {"Sale point", Caffe}}),
                     qPrintable(machines.refusal()));
            QVERIFY2(machines.setData(machines.index(0, machines.columnOf("Description")), stella),
                     qPrintable(machines.refusal()));
        }
        QCOMPARE(from.gsmdb("export", "salepoints", "points.csv"), 0);
        QCOMPARE(from.gsmdb("export", "machines", "machines.csv"), 0);
        Home to;
        for (const char *name : {"points.csv", "machines.csv"})
            QVERIFY(QFile::copy(from.path(name), to.path(name)));
        QCOMPARE(to.gsmdb("import", "salepoints", "points.csv"), 0);
        QCOMPARE(to.gsmdb("import", "machines", "machines.csv"), 0);
        QCOMPARE(to.column(MachineTables::PuntiVendita, "Name"), QStringList{Caffe});
        QCOMPARE(to.column(MachineTables::Distributori, "Description"), QStringList{stella});
        QCOMPARE(to.column(MachineTables::Distributori, "Sale point"), QStringList{Caffe});
        QCOMPARE(to.column(MachineTables::Distributori, "GSM"), QStringList{"+393331"});
    }
};

QTEST_MAIN(SpreadsheetTest)
#include "tst_spreadsheet.moc"
