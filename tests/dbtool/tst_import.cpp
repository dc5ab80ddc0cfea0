#include "Csv.h"
#include "DbCommand.h"
#include "DbFixture.h"
#include "Rows.h"
#include "TableIo.h"

#include <QBuffer>
#include <QProcess>
#include <QTextStream>

namespace {
// "line[field|field]" per record, "line!error" for one that cannot be read.
QString render(const Csv::Document &doc)
{
    QStringList out;
    for (const Csv::Record &r : doc.records)
        out << (r.error.isEmpty() ? QString("%1[%2]").arg(r.line).arg(r.fields.join('|'))
                                  : QString("%1!%2").arg(r.line).arg(r.error));
    return out.join(' ');
}

QStringList problems(const TableIo::ImportPlan &plan)
{
    QStringList out;
    for (const TableIo::RowProblem &p : plan.problems)
        out << QString("%1: %2").arg(p.line).arg(p.reason);
    return out;
}

// Runs the command line in-process: exit status and what it wrote on standard error.
std::pair<int, QStringList> gsmdb(const DbFixture &f, QStringList args)
{
    for (QString &a : args)
        a.replace("%dir%", f.dir.path());
    QString text;
    QTextStream err(&text);
    DbCommand::Options o = DbCommand::parse(QStringList{"gsmdb"} + args);
    o.importLimit = 4096; // the bound, without files of its real size
    const int status = DbCommand::run(o, f.dir.path(), err);
    err.flush();
    return {status, text.split('\n', Qt::SkipEmptyParts)};
}

const QByteArray Machines = "GSM,Description,Sale point,Operator\r\n";
const QByteArray Two = "GSM,Description\r\n";
const QByteArray SalePoints =
    "\xEF\xBB\xBFName,Address,City,Telephone\r\nBar Roma,Via Po 1,Torino,\r\n";
} // namespace

using Records = Rows<QByteArray, QString>;  // bytes, the records read
using Written = Rows<QStringList, QString>; // fields, the line written
// The table, the file, its problems and the table afterwards.
using Imported = Rows<QString, QByteArray, QStringList, QStringList>;
using Header = Rows<QByteArray, QString>; // file, error
// The arguments, the exit status, the messages and the machines afterwards.
using Command = Rows<QString, int, QStringList, QStringList>;

// The CSV reader and writer, and import and export of the machine database, as functions and
// from the command line.
class ImportTest : public QObject
{
    Q_OBJECT

private slots:
    void records_data()
    {
        const auto row = Records::table();
        row("CR LF", "a,b\r\nc,d\r\n", "1[a|b] 2[c|d]");
        row("LF, no break at the end", "a,b\nc,d", "1[a|b] 2[c|d]");
        row("lone CR", "a\rb", "1[a] 2[b]");
        row("line breaks inside quotes are kept and counted", "\"l1\r\nl2\nl3\",x\r\ny,z\r\n",
            "1[l1\r\nl2\nl3|x] 4[y|z]");
        row("empty fields, quoted or not", "a,,\"\",\n", "1[a|||]");
        row("blank lines and empty records are left out", "a\n\n,,\r\n\"\"\nb\n", "1[a] 5[b]");
        row("byte order mark", "\xEF\xBB\xBFGSM,Name\n", "1[GSM|Name]");
        row("semicolons when the first record has no comma", "a;b\nc;\"d;e\"\n", "1[a|b] 2[c|d;e]");
        row("semicolons in quotes do not count", "\"a;b\",c\n", "1[a;b|c]");
        row("a comma anywhere in the first record decides", "\"a\";b,c\n",
            "1!text after the closing quote of field 1");
        row("unclosed quote runs to the end", "a\n\"b,c\nd\n",
            "1[a] 2!the quotes of field 1 are not closed");
        row("text after a closing quote; the next record is read", "x,\"a\"b,c\nd\n",
            "1!text after the closing quote of field 2 2[d]");
        row("quote inside an unquoted field", "a,b\"c\"\nd\n",
            "1!a quote inside field 2, which is not quoted 2[d]");
        row("blanks around fields are data", " a , b \n", "1[ a | b ]");
    }
    void records()
    {
        const auto [bytes, records] = Records::fetch();
        QCOMPARE(render(Csv::parse(bytes)), records);
    }

    void writtenFieldsReadBackTheSame_data()
    {
        const auto row = Written::table();
        row("separators", {"a,b", "c;d"}, "\"a,b\",\"c;d\"\r\n");
        row("line breaks", {"1\r\n2", "3\n"}, "\"1\r\n2\",\"3\n\"\r\n");
        row("outer blanks", {" x", "y "}, "\" x\",\"y \"\r\n");
        row("empty and accented", {"", "è"}, ",è\r\n");
    }
    void writtenFieldsReadBackTheSame()
    {
        const auto [fields, line] = Written::fetch();
        QCOMPARE(Csv::line(fields), line);
        // A first record of empty fields would be left out: read it after a header.
        const Csv::Document doc = Csv::parse("h\r\n" + line.toUtf8());
        QCOMPARE(doc.records.size(), 2);
        QCOMPARE(doc.records[1].fields, fields);
    }
    void importsAreAllOrNothing_data()
    {
        const auto row = Imported::table();
        const QString P = "PuntiVendita", M = "Distributori";
        const QString roma = "Bar Roma|Via Po 1|Torino|~";
        const QStringList fleet{"+39111|Coffee 7|Bar Roma|Rossi", "+39222|Snack 2|~|~"};
        row("quoted comma, quote and line break, CR LF", P,
            "Name,Address,City,Telephone\r\n"
            "Bar Po,\"Via Po 3, int. \"\"B\"\"\r\nscala 2\",Torino,011 5\r\n",
            {}, {roma, "Bar Po|Via Po 3, int. \"B\"\r\nscala 2|Torino|011 5"});
        row("Latin-1 accented names, LF", P, "Name,City\nCaff\xE8 Citt\xE0,Forl\xEC\n", {},
            {roma, "Caffè Città|~|Forlì|~"});
        row("UTF-8 accented names, an apostrophe", P,
            "Name,City\nCaff\xC3\xA8 dell'Angolo,Forl\xC3\xAC\n", {},
            {roma, "Caffè dell'Angolo|~|Forlì|~"});
        row("semicolons, columns in any order and case, blanks trimmed", P,
            "city; NAME ;Address\nTorino; Bar Po ;  \n", {}, {roma, "Bar Po|~|Torino|~"});
        row("a known key updates only the file's columns", P, "Name,Telephone\nBar Roma,011 1\n",
            {}, {"Bar Roma|Via Po 1|Torino|011 1"});
        row("machines naming what is on file", M,
            Machines + "+39333,Coffee 8,Bar Roma,Rossi\r\n+39222,Snack,,\r\n", {},
            {fleet[0], "+39222|Snack|~|~", "+39333|Coffee 8|Bar Roma|Rossi"});
        row("blanks, dots and dashes dropped from numbers", M,
            "GSM;Description\r\n+39 347 111 0401;A\r\n0039.347-111.0402;B\r\n", {},
            fleet + QStringList{"+393471110401|A|~|~", "00393471110402|B|~|~"});
        // Nothing of a file with invalid rows goes in.
        row("rule broken", M, Two + "+39333,Ok\r\n12a,Bad\r\n+39444,\r\n",
            {"3: \"GSM\" must be 3 to 15 digits with an optional leading \"+\", not \"12a\".",
             "4: \"Description\" is required."},
            fleet);
        row("number of another machine, updated by the same file", M,
            Two + "+39111,Coffee 8\r\n+39111,Coffee 9\r\n",
            {"3: GSM \"+39111\" is also on line 2."}, fleet);
        row("same new number twice", M, Two + "+39333,A\r\n\r\n+39333,B\r\n",
            {"4: GSM \"+39333\" is also on line 2."}, fleet);
        row("line numbers count breaks inside quotes", M,
            Machines + "+39333,\"A\nB\",,\r\n+39444,C,Bar Po,\r\n",
            {"2: \"Description\" must not hold a line break or a control character.",
             "4: Sale point \"Bar Po\" is not on file."},
            fleet);
        row("too few and too many fields", M, Machines + "+39333,A,Bar Roma\r\n+39444,B,,,x\r\n",
            {"2: 3 fields where the header has 4", "3: 5 fields where the header has 4"}, fleet);
        row("a spreadsheet's number in exponent form", M, "GSM;Description\r\n3,93471E+11;A\r\n",
            {"2: \"GSM\" is \"3,93471E+11\", a number in exponent form: the spreadsheet column was "
             "formatted as a number. Format it as text and type the numbers again."},
            fleet);
        row("unreadable record", M, Machines + "+39333,\"A\"x,,\r\n",
            {"2: text after the closing quote of field 2"}, fleet);
    }
    void importsAreAllOrNothing()
    {
        const auto [table, csv, problems, rows] = Imported::fetch();
        DbFixture f(true);
        const TableIo::ImportPlan plan = TableIo::plan(*f.db, table, csv);
        QCOMPARE(plan.fileError, QString());
        QCOMPARE(::problems(plan), problems);
        QString error;
        QVERIFY2(TableIo::apply(*f.db, plan, false, &error) == problems.isEmpty(),
                 qPrintable(error));
        QCOMPARE(f.rows(table), rows);
    }

    void headerProblemsRefuseTheFile_data()
    {
        const auto row = Header::table();
        row("empty", "\r\n",
            "the file is empty; its first row must name the columns (Name, Celular)");
        row("column twice", "Name,Celular,name\n", "the column \"Name\" appears twice");
        row("key missing", "Celular\n+39333\n", "the column \"Name\" is missing");
        row("unreadable header", "\n\"Name,Celular\n",
            "line 2: the header row cannot be read: the quotes of field 1 are not closed");
    }
    void headerProblemsRefuseTheFile()
    {
        const auto [csv, error] = Header::fetch();
        DbFixture f;
        QCOMPARE(TableIo::plan(*f.db, "Operatori", csv).fileError, error);
    }

    // A write the database refuses half-way undoes the rows already written.
    void aFailedWriteUndoesTheRowsBeforeIt()
    {
        DbFixture f;
        const TableIo::ImportPlan plan = TableIo::plan(
            *f.db, "Operatori", "Name,Celular\nBianchi,+39555\nNeri,+39666\nGialli,+39777\n");
        QVERIFY(QSqlQuery(f.db->database())
                    .exec("CREATE TRIGGER no_neri BEFORE INSERT ON Operatori "
                          "WHEN NEW.Name = 'Neri' BEGIN SELECT RAISE(ABORT, 'no Neri'); END"));
        QString error;
        QVERIFY(!TableIo::apply(*f.db, plan, false, &error));
        QVERIFY2(error.startsWith("line 3: no Neri"), qPrintable(error));
        QCOMPARE(f.rows("Operatori"), QStringList({"Rossi|+39333", "Verdi|+39444"}));
    }

    void commandLine_data()
    {
        const QStringList before{"+39111|Coffee 7|Bar Roma|Rossi", "+39222|Snack 2|~|~"};
        const auto row = Command::table();
        row("import", "--import machines %dir%/good.csv", 0,
            {"machines: 1 added, 1 updated from %dir%/good.csv (Latin-1)"},
            {"+39111|Caffè 7|Bar Roma|Rossi", "+39222|Snack 2|~|~", "+39333|Water|~|~"});
        row("invalid row: nothing imported", "--import machines %dir%/bad.csv", 1,
            {"%dir%/bad.csv:3: \"Description\" is required.",
             "machines: 1 of 2 rows are invalid; nothing was imported"},
            before);
        row("invalid row skipped", "--skip-invalid --import machines %dir%/bad.csv", 1,
            {"%dir%/bad.csv:3: \"Description\" is required.",
             "machines: 1 added, 0 updated from %dir%/bad.csv (UTF-8); 1 invalid rows skipped"},
            before + QStringList{"+39333|Water|~|~"});
        row("a column of no table ignored with a warning", "--import machines %dir%/notes.csv", 0,
            {"gsmdb: %dir%/notes.csv: the column \"Notes\" is ignored; the columns are GSM, "
             "Description, Sale point, Operator, Address, Identity",
             "machines: 1 added, 0 updated from %dir%/notes.csv (UTF-8)"},
            before + QStringList{"+39333|Water|~|~"});
        row("header refused", "--import operators %dir%/good.csv", 2,
            {"gsmdb: %dir%/good.csv: the column \"Name\" is missing"}, before);
        row("import file beyond the bound", "--import machines %dir%/big.csv", 2,
            {"gsmdb: %dir%/big.csv: an import file may hold at most 4096 bytes"}, before);
        row("endless device", "--import machines /dev/zero", 2,
            {"gsmdb: /dev/zero: an import file may hold at most 4096 bytes"}, before);
        row("file missing", "--import machines %dir%/none.csv", 2,
            {"gsmdb: %dir%/none.csv: No such file or directory"}, before);
        row("export", "--export machines %dir%/out.csv", 0,
            {"machines: 2 rows written to %dir%/out.csv"}, before);
        row("export into a missing folder", "--export events %dir%/no/out.csv", 2,
            {"gsmdb: %dir%/no/out.csv: No such file or directory"}, before);
        row("export from a folder without database",
            "--home %dir%/empty --export machines %dir%/out.csv", 2,
            {"gsmdb: no machine database at %dir%/empty/Dati.mdb"}, before);
        row("unknown table", "--import events %dir%/good.csv", 2,
            {"gsmdb: --import takes one of: machines, salepoints, operators (see --help)"}, before);
        row("both jobs", "--import machines --export machines x.csv", 2,
            {"gsmdb: --import, --export and --enqueue cannot be given together (see --help)"},
            before);
        row("no file", "--export machines", 2, {"gsmdb: --export needs one CSV file (see --help)"},
            before);
        row("skip without import", "--skip-invalid --export machines x.csv", 2,
            {"gsmdb: --skip-invalid goes with --import (see --help)"}, before);
        row("unknown option", "--frobnicate", 2,
            {"gsmdb: Unknown option 'frobnicate' (see --help)"}, before);
    }
    void commandLine()
    {
        auto [args, status, messages, machines] = Command::fetch();
        DbFixture f(true);
        f.write("good.csv", "GSM,Description\n+39111,Caff\xE8 7\n+39333,Water\n");
        f.write("bad.csv", "GSM,Description\n+39333,Water\n+39444,\n");
        f.write("notes.csv", "GSM,Description,Notes\r\n+39333,Water,ring twice\r\n");
        f.write("big.csv", "GSM,Description\n" + QByteArray(4081, '9') + ",Water\n");
        const auto [exit, lines] = gsmdb(f, args.split(' '));
        QCOMPARE(lines, messages.replaceInStrings("%dir%", f.dir.path()));
        QCOMPARE(exit, status);
        QCOMPARE(f.rows("Distributori"), machines);
        if (exit == 0 && args.contains("--export"))
            QCOMPARE(f.read("out.csv"),
                     "\xEF\xBB\xBFGSM,Description,Sale point,Operator,Address,Identity\r\n"
                     "+39111,Coffee 7,Bar Roma,Rossi,,\r\n+39222,Snack 2,,,,\r\n");
    }

    // Quotes, an apostrophe and a line break go out and come back into another database, the
    // machine still naming its sale point.
    void exportedTablesImportUnchanged()
    {
        DbFixture from(true), to;
        from.add("PuntiVendita",
                 {{"Name", "Caff\u00E8 dell'Angolo"}, {"Address", "Via \"Po\",\r\n1"}});
        from.add("Distributori", {{"GSM", "+39333"},
                                  {"Description", "Bar \"Stella\""},
                                  {"Sale point", "Caff\u00E8 dell'Angolo"}});
        for (const QString table : {"salepoints", "machines"}) {
            QCOMPARE(gsmdb(from, {"--export", table, "%dir%/t.csv"}).first, 0);
            QVERIFY(QFile::rename(from.file("t.csv"), to.file(table)));
            QCOMPARE(gsmdb(to, {"--import", table, "%dir%/" + table}).first, 0);
        }
        for (const QString &table : {MachineTables::PuntiVendita, MachineTables::Distributori})
            QCOMPARE(to.rows(table), from.rows(table));
    }

    // The program itself: a job runs where there is no display at all.
    void theProgramRunsAJobWithoutADisplay()
    {
        DbFixture f(true);
        f.db.reset();
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(name);
        p.setProcessEnvironment(env);
        const auto run = [&](const QStringList &args) {
            p.start(GSMDB, args);
            return p.waitForFinished(30000) ? p.exitCode() : -1;
        };
        const QStringList exportTo{"--home", f.dir.path(), "--export", "salepoints"};
        QCOMPARE(run(exportTo + QStringList{f.file("sp.csv")}), 0);
        QCOMPARE(p.readAllStandardError(),
                 QString("salepoints: 1 rows written to %1\n").arg(f.file("sp.csv")).toUtf8());
        QCOMPARE(f.read("sp.csv"), SalePoints);
        QCOMPARE(run({"--help"}), 0);
        QVERIFY(p.readAllStandardOutput().startsWith("Usage: gsmdb [--home DIR] [--maximized]\n"));
        // Standard output as "-" into a pipe, and by name where it is a file opened to append.
        for (const QString out : {"-", "/dev/stdout"}) {
            if (out != "-")
                p.setStandardOutputFile(f.file("sp.csv"), QIODevice::Append);
            QCOMPARE(run(exportTo + QStringList{out}), 0);
            QCOMPARE(out == "-" ? p.readAllStandardOutput()
                                : f.read("sp.csv").mid(SalePoints.size()),
                     SalePoints);
        }
    }
};

QTEST_MAIN(ImportTest)
#include "tst_import.moc"
