#include "FieldNames.h"
#include "Language.h"
#include "Registration.h"
#include "Rows.h"

using Case =
    Rows<QString, QString, QString>; // option, field ("": the home network's tooltip), shown

class LanguageTest : public QObject
{
    Q_OBJECT
private slots:
    void texts_data()
    {
        const auto row = Case::table();
        row("source keeps the field", "source", "Data", "Data");
        row("English names the date", "en", "Data", "Date");
        row("Italian field", "it", "Celular", "Cellulare");
        row("source keeps the tooltip", "source", "", "Connect Home network");
        row("English tooltip", "en", "", "Connected to the home network");
        row("Italian tooltip", "it", "", "Connesso alla rete nazionale");
        row("C locale: as written", "", "", "Connect Home network");
        row("another language refused", "fr", "", "");
        row("capitals refused", "EN", "", "");
    }
    void texts()
    {
        const auto [option, field, shown] = Case::fetch();
        qputenv("LC_ALL", "C.UTF-8");
        QString why;
        if (shown.isEmpty()) { // refused, naming what was asked
            QVERIFY(!Languages::apply(option, &why));
            QVERIFY2(why.contains(QLatin1String("\"%1\"").arg(option)), qPrintable(why));
            return;
        }
        QVERIFY2(Languages::apply(option, &why), qPrintable(why));
        QCOMPARE(field.isEmpty() ? registrationFor(1).toolTip : FieldNames::shown(field), shown);
        QVERIFY(Languages::install(Language::Source));
    }
};

QTEST_GUILESS_MAIN(LanguageTest)
#include "tst_language.moc"
