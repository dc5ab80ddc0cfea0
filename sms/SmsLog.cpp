#include "SmsLog.h"

#include <QFile>

QString SmsLog::fileName(const QString &prefix, const QDate &date)
{
    return prefix + date.toString(QStringLiteral("yyMM")) + QStringLiteral(".log");
}

bool SmsLog::append(const QString &path, const QByteArray &bytes, QString *error)
{
    QFile f(path);
    bool ok = f.open(QIODevice::WriteOnly | QIODevice::Append) && f.write(bytes) == bytes.size() &&
              f.flush();
    if (f.isOpen()) {
        f.close();
        ok = ok && f.error() == QFileDevice::NoError;
    }
    if (!ok && error)
        *error = f.errorString();
    return ok;
}
