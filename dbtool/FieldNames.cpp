#include "FieldNames.h"

#include <QCoreApplication>

namespace {
// Listed only so that the translators find every field of the four tables.
[[maybe_unused]] const char *const Names[] = {
    QT_TRANSLATE_NOOP("Fields", "GSM"),         QT_TRANSLATE_NOOP("Fields", "Description"),
    QT_TRANSLATE_NOOP("Fields", "Sale point"),  QT_TRANSLATE_NOOP("Fields", "Operator"),
    QT_TRANSLATE_NOOP("Fields", "Name"),        QT_TRANSLATE_NOOP("Fields", "Address"),
    QT_TRANSLATE_NOOP("Fields", "City"),        QT_TRANSLATE_NOOP("Fields", "Telephone"),
    QT_TRANSLATE_NOOP("Fields", "Celular"),     QT_TRANSLATE_NOOP("Fields", "Number"),
    QT_TRANSLATE_NOOP("Fields", "Data"),        QT_TRANSLATE_NOOP("Fields", "SMS"),
    QT_TRANSLATE_NOOP("Fields", "Vending machine"), QT_TRANSLATE_NOOP("Fields", "Acknowledged"),
    QT_TRANSLATE_NOOP("Fields", "Station"),     QT_TRANSLATE_NOOP("Fields", "Pending"),
    QT_TRANSLATE_NOOP("Fields", "Received by")};
} // namespace

QString FieldNames::shown(const QString &field)
{
    return QCoreApplication::translate("Fields", field.toUtf8().constData());
}
