#include "AttemptLog.h"

#include "Csv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QStringList AttemptLog::header()
{
    return {QStringLiteral("Date and time"), QStringLiteral("Number"),  QStringLiteral("Machine"),
            QStringLiteral("Result"),        QStringLiteral("Seconds"), QStringLiteral("Message")};
}

bool AttemptLog::append(const Line &line, QString *why) const
{
    QFile file(m_path);
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (why)
            *why = QStringLiteral("cannot write %1: %2")
                       .arg(QDir::toNativeSeparators(m_path), file.errorString());
        return false;
    }
    QString text;
    if (file.size() == 0)
        text = Csv::line(header());
    text += Csv::line({line.at.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), line.number,
                       line.machine, line.result, QString::number(line.seconds), line.message});
    const QByteArray bytes = text.toLatin1();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        if (why)
            *why = QStringLiteral("cannot write %1: %2")
                       .arg(QDir::toNativeSeparators(m_path), file.errorString());
        return false;
    }
    return true;
}
