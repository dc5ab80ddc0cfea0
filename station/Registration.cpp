#include "Registration.h"

#include <QCoreApplication>

Registration registrationFor(int status)
{
    switch (status) {
    case 0:
        return {QCoreApplication::translate("Registration", "NO connect"), 0};
    case 1:
        return {QCoreApplication::translate("Registration", "Connect Home network"), 1};
    case 2:
        return {QCoreApplication::translate("Registration", "Searching operator"), 0};
    case 3:
        return {QCoreApplication::translate("Registration", "Operator registration denied"), 0};
    case 4:
        return {QCoreApplication::translate("Registration", "Unknown"), 0};
    case 5:
        return {QCoreApplication::translate("Registration", "Connect Roaming network"), 1};
    default:
        return {QString(), 0};
    }
}

QString operatorName(const QByteArray &answer)
{
    const int mcc = answer.indexOf("222");
    if (mcc < 0)
        return QCoreApplication::translate("Registration", " Unidentified");
    const QByteArray code = answer.mid(mcc + 3, 2);
    if (code == "01")
        return QStringLiteral(" TIM");
    if (code == "10")
        return QStringLiteral(" OMNITEL");
    if (code == "88")
        return QStringLiteral(" WIND");
    if (code == "98")
        return QStringLiteral(" BLUE");
    return QCoreApplication::translate("Registration", " Operator n\u00B0%1")
        .arg(QString::fromLatin1(code));
}
