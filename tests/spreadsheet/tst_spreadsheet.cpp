// Files as spreadsheets write them, through gsmdb's import and export: what a person would
// expect to go in goes in, and what cannot is refused with a reason that says what to do.
#include "DbCommand.h"
#include "DbTableModel.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

namespace {
const QString Caffe = QStringLiteral("Caff\u00E8 dell'Angolo");

struct Home
{
    QString path(const QString &name) const { return dir.filePath(name); }
    // gsmdb --import or --export TABLE FILE on this folder: its exit status, and its lines with
    // the folder as "%".
    int gsmdb(QString DbCommand::Options::*job, const QString &table, const QString &file,
              QStringList *lines = nullptr) const
    {
        DbCommand::Options o;
        o.*job = table;
        o.file = path(file);
        QString text;
        QTextStream err(&text);
        const int status = DbCommand::run(o, dir.path(), err);
        if (lines)
            *lines = text.replace(dir.path(), "%").split('\n', Qt::SkipEmptyParts);
        return status;
    }
    // "a|b|..." of the fields of every record, in record order.
    QStringList rows(const QString &table, const QStringList &fields) const
    {
        SqlMachineDb db(DbCommand::databasePath(dir.path()));
        db.open();
        QStringList out;
        for (const DbRecord &r : db.records(table)) {
            QStringList f;
            for (const QString &name : fields)
                f << r.value(name);
            out << f.join('|');
        }
        return out;
    }
    QTemporaryDir dir;
};
constexpr auto Import = &DbCommand::Options::importName;
constexpr auto Export = &DbCommand::Options::exportName;
} // namespace

class SpreadsheetTest : public QObject
{
    Q_OBJECT

private slots:
    void machinesFromASpreadsheet_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QStringList>("lines"); // gsmdb's, "%" the folder
        QTest::addColumn<QStringList>("stored");
        const QString added = "machines: %1 added, 0 updated from %/in.csv (UTF-8)";
        const QString none = "machines: 1 of 1 rows are invalid; nothing was imported";
        QTest::newRow("extra column ignored with one warning")
            << QByteArray("GSM,Description,Notes\r\n+39333,A,ring twice\r\n")
            << QStringList{"gsmdb: %/in.csv: the column \"Notes\" is ignored; the columns are "
                           "GSM, Description, Sale point, Operator, Address, Identity",
                           added.arg(1)}
            << QStringList{"+39333|A"};
        QTest::newRow("blanks, dots and dashes dropped from numbers")
            << QByteArray("GSM;Description\r\n+39 347 111 0401;A\r\n0039.347-111.0402;B\r\n")
            << QStringList{added.arg(2)} << QStringList{"+393471110401|A", "00393471110402|B"};
        QTest::newRow("exponent form refused with the hint")
            << QByteArray("GSM;Description\r\n3,93471E+11;A\r\n")
            << QStringList{"%/in.csv:2: \"GSM\" is \"3,93471E+11\", a number in exponent form: "
                           "the spreadsheet column was formatted as a number. Format it as text "
                           "and type the numbers again.",
                           none}
            << QStringList{};
        QTest::newRow("apostrophes and double quotes taken")
            << ("GSM,Description\r\n+39333,\"" + Caffe.toUtf8() + " \"\"Gino\"\"\"\r\n")
            << QStringList{added.arg(1)} << QStringList{"+39333|" + Caffe + " \"Gino\""};
    }
    void machinesFromASpreadsheet()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, stored);
        Home home;
        QFile in(home.path("in.csv"));
        QVERIFY(in.open(QIODevice::WriteOnly) && in.write(csv) == csv.size());
        in.close();
        QStringList got;
        QCOMPARE(home.gsmdb(Import, "machines", "in.csv", &got), stored.isEmpty() ? 1 : 0);
        QCOMPARE(got, lines);
        QCOMPARE(home.rows(MachineTables::Distributori, {"GSM", "Description"}), stored);
    }

    // Names with an apostrophe and double quotes, typed in the form and in place, go out to CSV
    // and come back into another database unchanged, the machine still naming its sale point.
    void namesWithQuotesMakeTheRoundTrip()
    {
        const QStringList fields{"GSM", "Description", "Sale point"};
        const QString machine = "+393331|Bar \"Stella\"|" + Caffe;
        Home from, to;
        {
            SqlMachineDb db(DbCommand::databasePath(from.dir.path()));
            QVERIFY(db.open());
            DbTableModel points(db, MachineTables::PuntiVendita);
            QVERIFY2(points.addRecord({{"Name", Caffe}}), qPrintable(points.refusal()));
            DbTableModel machines(db, MachineTables::Distributori);
            QVERIFY2(machines.addRecord(
                         {{"GSM", "+39 333 1"}, {"Description", "x"}, {"Sale point", Caffe}}),
                     qPrintable(machines.refusal()));
            QVERIFY2(machines.setData(machines.index(0, machines.columnOf("Description")),
                                      "Bar \"Stella\""),
                     qPrintable(machines.refusal()));
        }
        for (const char *table : {"salepoints", "machines"}) {
            QCOMPARE(from.gsmdb(Export, table, "t.csv"), 0);
            QVERIFY(QFile::copy(from.path("t.csv"), to.path(table)));
            QVERIFY(QFile::remove(from.path("t.csv")));
            QCOMPARE(to.gsmdb(Import, table, table), 0);
        }
        QCOMPARE(to.rows(MachineTables::PuntiVendita, {"Name"}), QStringList{Caffe});
        QCOMPARE(to.rows(MachineTables::Distributori, fields), QStringList{machine});
    }
};

QTEST_MAIN(SpreadsheetTest)
#include "tst_spreadsheet.moc"
