#include "Rules.h"

#include "MachineAddress.h"

#include <QCoreApplication>

namespace Rules {

namespace {
enum Kind { Text, Name, Phone, Address, Identity };

struct FieldRule
{
    QString field;
    Kind kind;
    bool required;
};

const QList<FieldRule> &rulesOf(const QString &table)
{
    static const QList<FieldRule> machines{{QStringLiteral("GSM"), Phone, true},
                                           {QStringLiteral("Description"), Name, true},
                                           {QStringLiteral("Sale point"), Name, false},
                                           {QStringLiteral("Operator"), Name, false},
                                           {QStringLiteral("Address"), Address, false},
                                           {QStringLiteral("Identity"), Identity, false}};
    static const QList<FieldRule> salePoints{{QStringLiteral("Name"), Name, true},
                                             {QStringLiteral("Address"), Text, false},
                                             {QStringLiteral("City"), Text, false},
                                             {QStringLiteral("Telephone"), Text, false}};
    static const QList<FieldRule> operators{{QStringLiteral("Name"), Name, true},
                                            {QStringLiteral("Celular"), Phone, true}};
    static const QList<FieldRule> none;
    if (table == MachineTables::Distributori)
        return machines;
    if (table == MachineTables::PuntiVendita)
        return salePoints;
    if (table == MachineTables::Operatori)
        return operators;
    return none;
}

bool changed(const DbRecord *before, const QString &field, const QString &value)
{
    return !before || before->value(field) != value;
}
} // namespace

bool isPhoneNumber(const QString &text)
{
    const QStringView digits =
        text.startsWith(QLatin1Char('+')) ? QStringView(text).mid(1) : QStringView(text);
    if (digits.size() < 3 || digits.size() > 15)
        return false;
    for (const QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

QString keyField(const QString &table)
{
    if (table == MachineTables::Distributori)
        return QStringLiteral("GSM");
    if (table == MachineTables::PuntiVendita || table == MachineTables::Operatori)
        return QStringLiteral("Name");
    return {};
}

DbRecord normalised(const DbRecord &record, const QString &table)
{
    DbRecord out;
    for (auto it = record.cbegin(); it != record.cend(); ++it)
        out.insert(it.key(), it.value().trimmed());
    for (const FieldRule &rule : rulesOf(table))
        if (rule.kind == Phone && isPhoneNumber(phoneDigits(out.value(rule.field))))
            out.insert(rule.field, phoneDigits(out.value(rule.field)));
    return out;
}

QString phoneDigits(const QString &text)
{
    QString out;
    for (const QChar c : text)
        if (c != u' ' && c != u'.' && c != u'-' && c != QChar(0x00A0))
            out += c;
    return out;
}

namespace {
bool isDigits(QStringView text)
{
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return !text.isEmpty();
}

// What a spreadsheet writes for a long number in a cell formatted as a number: "3,93471E+11".
bool isExponentForm(const QString &text)
{
    const qsizetype e = text.indexOf(QLatin1Char('E'), 0, Qt::CaseInsensitive);
    QString mantissa = text.left(e);
    QStringView power = QStringView(text).mid(e + 1);
    if (power.startsWith(u'+') || power.startsWith(u'-'))
        power = power.mid(1);
    mantissa.remove(u',').remove(u'.');
    return e > 0 && isDigits(mantissa) && isDigits(power);
}
} // namespace

QString problem(const QString &table, const DbRecord &record, const DbRecord *before,
                OnFile &onFile)
{
    for (const FieldRule &rule : rulesOf(table)) {
        const QString &field = rule.field;
        const QString value = record.value(field);
        if (value.isEmpty()) {
            if (rule.required)
                return QCoreApplication::translate("Rules", "\"%1\" is required.").arg(field);
            continue;
        }
        if (rule.kind == Phone && isExponentForm(value))
            return QCoreApplication::translate(
                       "Rules", "\"%1\" is \"%2\", a number in exponent form: the spreadsheet "
                                "column was formatted as a number. Format it as text and type "
                                "the numbers again.")
                .arg(field, value);
        if (rule.kind == Phone && !isPhoneNumber(value))
            return QCoreApplication::translate(
                       "Rules", "\"%1\" must be 3 to 15 digits with an optional leading \"+\", "
                                "not \"%2\".")
                .arg(field, value);
        if (rule.kind == Address) {
            const MachineAddress a = MachineAddress::parse(value);
            if (a.kind == MachineAddress::Kind::Invalid)
                return QStringLiteral("\"%1\": %2.").arg(field, a.problem);
        }
        if (rule.kind == Identity && !MachineIdentity::isValid(value))
            return QCoreApplication::translate("Rules",
                                               "\"%1\" must be 1 to %2 letters, digits or signs "
                                               "without blanks or quotes, not \"%3\".")
                .arg(field)
                .arg(MachineIdentity::MaxLength)
                .arg(value);
        // Quotes are bound like any character; a break or a control character in a name would
        // split the lines of the files and lists the station writes it into.
        for (const QChar c : value)
            if (rule.kind == Name && c.category() == QChar::Other_Control)
                return QCoreApplication::translate(
                           "Rules", "\"%1\" must not hold a line break or a control character.")
                    .arg(field);
    }
    // Against the file: only what is new or changed.
    const auto check = [&](const char *name) {
        const QString field = QString::fromLatin1(name);
        const QString value = record.value(field);
        return !value.isEmpty() && changed(before, field, value);
    };
    const QString name = record.value(QStringLiteral("Name"));
    if (table == MachineTables::Distributori) {
        const QString gsm = record.value(QStringLiteral("GSM"));
        if (check("GSM")) {
            if (const auto owner = onFile.machineWithGsm(gsm))
                return QCoreApplication::translate("Rules",
                                                   "The GSM number %1 is already machine \"%2\".")
                    .arg(gsm, *owner);
            if (const auto owner = onFile.machineWithIdentity(gsm))
                return QCoreApplication::translate(
                           "Rules", "The GSM number %1 is the identity of machine \"%2\".")
                    .arg(gsm, *owner);
        }
        // A connecting machine is found by its identity or its GSM number: both must name one.
        const QString identity = record.value(QStringLiteral("Identity"));
        if (check("Identity")) {
            auto owner = onFile.machineWithIdentity(identity);
            if (!owner && identity != gsm)
                owner = onFile.machineWithGsm(identity);
            if (owner)
                return QCoreApplication::translate("Rules",
                                                   "The identity %1 is already machine \"%2\".")
                    .arg(identity, *owner);
        }
        const QString point = record.value(QStringLiteral("Sale point"));
        if (check("Sale point") && !onFile.hasSalePoint(point))
            return QCoreApplication::translate("Rules", "Sale point \"%1\" is not on file.")
                .arg(point);
        const QString op = record.value(QStringLiteral("Operator"));
        if (check("Operator") && !onFile.hasOperator(op))
            return QCoreApplication::translate("Rules", "Operator \"%1\" is not on file.").arg(op);
    } else if (table == MachineTables::PuntiVendita) {
        if (check("Name") && onFile.hasSalePoint(name))
            return QCoreApplication::translate("Rules", "Sale point \"%1\" is already on file.")
                .arg(name);
    } else if (table == MachineTables::Operatori) {
        if (check("Name") && onFile.hasOperator(name))
            return QCoreApplication::translate("Rules", "Operator \"%1\" is already on file.")
                .arg(name);
    }
    return {};
}
} // namespace Rules
