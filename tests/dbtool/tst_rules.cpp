#include "Rules.h"

#include <QTest>

namespace {
// On file: machine +39111 "Coffee 7", sale point "Bar Roma", operator "Rossi".
class FakeFile : public Rules::OnFile
{
public:
    std::optional<QString> machineWithGsm(const QString &gsm) override
    {
        return gsm == "+39111" ? std::optional<QString>("Coffee 7") : std::nullopt;
    }
    bool hasSalePoint(const QString &name) override { return name == "Bar Roma"; }
    bool hasOperator(const QString &name) override { return name == "Rossi"; }
};

// "field=value;field=value"
DbRecord rec(const QString &text)
{
    DbRecord r;
    for (const QString &pair : text.split(';', Qt::SkipEmptyParts))
        r.insert(pair.section('=', 0, 0), pair.section('=', 1));
    return r;
}

const QString Machine = "GSM=+39222;Description=Snack 2;Sale point=Bar Roma;Operator=Rossi";
} // namespace

class RulesTest : public QObject
{
    Q_OBJECT

private slots:
    void problems_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("record");
        QTest::addColumn<QString>("before"); // "" for a new record
        QTest::addColumn<QString>("problem");
        const auto row = [](const char *tag, const QString &table, const QString &record,
                            const QString &before, const QString &problem) {
            QTest::newRow(tag) << table << record << before << problem;
        };
        const QString M = "Distributori", P = "PuntiVendita", O = "Operatori";
        const QString digits = "\"GSM\" must be 3 to 15 digits with an optional leading \"+\", "
                               "not \"%1\".";
        row("a whole machine", M, Machine, "", "");
        row("a machine without sale point nor operator", M, "GSM=0039222;Description=x", "", "");
        row("GSM missing", M, "Description=x", "", "\"GSM\" is required.");
        row("GSM with letters", M, "GSM=+39abc;Description=x", "", digits.arg("+39abc"));
        row("GSM with a blank inside", M, "GSM=39 111;Description=x", "", digits.arg("39 111"));
        row("GSM with two plus signs", M, "GSM=++39111;Description=x", "", digits.arg("++39111"));
        row("GSM of 2 digits", M, "GSM=+12;Description=x", "", digits.arg("+12"));
        row("GSM of 16 digits", M, "GSM=1234567890123456;Description=x", "",
            digits.arg("1234567890123456"));
        row("GSM of 15 digits", M, "GSM=+123456789012345;Description=x", "", "");
        row("GSM of another machine", M, "GSM=+39111;Description=x", "",
            "The GSM number +39111 is already machine \"Coffee 7\".");
        row("GSM kept when the machine is edited", M, "GSM=+39111;Description=y",
            "GSM=+39111;Description=x", "");
        row("description missing", M, "GSM=+39222", "", "\"Description\" is required.");
        row("single quote in a name", M, "GSM=+39222;Description=Bar d'Italia", "",
            "\"Description\" must not hold a quote or a line break.");
        row("double quote in a name", M, "GSM=+39222;Description=x;Operator=A \"B\"", "",
            "\"Operator\" must not hold a quote or a line break.");
        row("line break in a name", M, "GSM=+39222;Description=a\nb", "",
            "\"Description\" must not hold a quote or a line break.");
        row("CR in a name", M, "GSM=+39222;Description=x;Sale point=a\rb", "",
            "\"Sale point\" must not hold a quote or a line break.");
        row("sale point not on file", M, "GSM=+39222;Description=x;Sale point=Bar Po", "",
            "Sale point \"Bar Po\" is not on file.");
        row("operator not on file", M, "GSM=+39222;Description=x;Operator=Bianchi", "",
            "Operator \"Bianchi\" is not on file.");
        row("an old sale point no longer on file stays", M,
            "GSM=+39222;Description=new;Sale point=Bar Po", "GSM=+39222;Sale point=Bar Po", "");
        row("changing to a sale point not on file", M, "GSM=+39222;Description=x;Sale point=Po",
            "GSM=+39222;Description=x;Sale point=Bar Roma", "Sale point \"Po\" is not on file.");
        row("a sale point with quotes in its address", P, "Name=Bar Po;Address=Via \"Po\", 1\n", "",
            "");
        row("a sale point's name is required", P, "Address=Via Po", "", "\"Name\" is required.");
        row("a sale point already on file", P, "Name=Bar Roma", "",
            "Sale point \"Bar Roma\" is already on file.");
        row("a sale point edited keeps its name", P, "Name=Bar Roma;City=Torino", "Name=Bar Roma",
            "");
        row("an operator", O, "Name=Bianchi;Celular=+39333", "", "");
        row("an operator already on file", O, "Name=Rossi;Celular=+39333", "",
            "Operator \"Rossi\" is already on file.");
        row("an operator without mobile number", O, "Name=Bianchi", "", "\"Celular\" is required.");
        row("an operator's mobile number with a dash", O, "Name=Bianchi;Celular=333-1", "",
            "\"Celular\" must be 3 to 15 digits with an optional leading \"+\", not \"333-1\".");
    }
    void problems()
    {
        QFETCH(QString, table);
        QFETCH(QString, record);
        QFETCH(QString, before);
        QFETCH(QString, problem);
        FakeFile onFile;
        const DbRecord old = rec(before);
        QCOMPARE(Rules::problem(table, rec(record), before.isEmpty() ? nullptr : &old, onFile),
                 problem);
    }

    void normalisingTrimsEveryField()
    {
        QCOMPARE(Rules::normalised(rec("GSM= +39111 ;Description=\tCoffee 7 ")),
                 rec("GSM=+39111;Description=Coffee 7"));
    }
};

QTEST_MAIN(RulesTest)
#include "tst_rules.moc"
