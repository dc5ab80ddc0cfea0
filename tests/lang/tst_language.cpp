#include "FieldNames.h"
#include "Language.h"
#include "Registration.h"

#include <QTest>

class LanguageTest : public QObject
{
    Q_OBJECT
private slots:
    void texts_data();
    void texts();
};

void LanguageTest::texts_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("field"); // a field name, or "" for the home network's tooltip
    QTest::addColumn<QString>("shown");
    QTest::newRow("source keeps the field") << "source" << "Data" << "Data";
    QTest::newRow("English names the date") << "en" << "Data" << "Date";
    QTest::newRow("Italian field") << "it" << "Celular" << "Cellulare";
    QTest::newRow("source keeps the tooltip") << "source" << "" << "Connect Home network";
    QTest::newRow("English tooltip") << "en" << "" << "Connected to the home network";
    QTest::newRow("Italian tooltip") << "it" << "" << "Connesso alla rete nazionale";
    QTest::newRow("C locale: as written") << "" << "" << "Connect Home network";
    QTest::newRow("another language refused") << "fr" << "" << "";
    QTest::newRow("capitals refused") << "EN" << "" << "";
}

void LanguageTest::texts()
{
    QFETCH(QString, option);
    QFETCH(QString, field);
    QFETCH(QString, shown);
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

QTEST_GUILESS_MAIN(LanguageTest)
#include "tst_language.moc"
