#include "AuditArchive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

AuditArchive::AuditArchive(const QString &workFolder)
    : m_work(QDir(workFolder).absolutePath()),
      m_root(QDir(m_work).filePath(QStringLiteral("Audit")))
{
}

QString AuditArchive::logPath() const
{
    return QDir(m_root).filePath(QStringLiteral("collect.csv"));
}

QString AuditArchive::folderName(const QString &number)
{
    QString out;
    for (QChar c : number.trimmed()) {
        const bool plain = (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') ||
                           (c >= u'a' && c <= u'z') || c == u'+' || c == u'-' || c == u'#' ||
                           c == u'*';
        out += plain ? c : QChar(u'_');
    }
    return out.isEmpty() ? QStringLiteral("_") : out;
}

bool AuditArchive::prepare(const QString &number, const QDateTime &at, Files *files,
                           QString *why) const
{
    QDir folder(QDir(m_root).filePath(folderName(number)));
    if (!folder.mkpath(QStringLiteral("."))) {
        if (why)
            *why = QStringLiteral("cannot make the folder %1")
                       .arg(QDir::toNativeSeparators(folder.path()));
        return false;
    }
    // One collection runs at a time, so any temporary file here is a leftover.
    const QString pattern = QStringLiteral("*") + QLatin1String(TempSuffix);
    for (const QString &left : folder.entryList({pattern}, QDir::Files | QDir::Hidden))
        folder.remove(left);

    const QString base = stamp(at);
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? base : QStringLiteral("%1-%2").arg(base).arg(n);
        const QString txt = folder.filePath(name + QStringLiteral(".txt"));
        const QString img = folder.filePath(name + QStringLiteral(".img"));
        if (QFileInfo::exists(txt) || QFileInfo::exists(img))
            continue;
        *files = Files{txt, img, txt + QLatin1String(TempSuffix), img + QLatin1String(TempSuffix)};
        return true;
    }
}

bool AuditArchive::commit(const QString &temp, const QString &final, QString *why)
{
    if (!QFileInfo::exists(temp)) {
        if (why)
            *why = QStringLiteral("%1 was not written").arg(QFileInfo(final).fileName());
        return false;
    }
    QFile file(temp);
    if (file.rename(final))
        return true;
    if (why)
        *why = QStringLiteral("cannot name %1: %2")
                   .arg(QDir::toNativeSeparators(final), file.errorString());
    QFile::remove(temp);
    return false;
}

void AuditArchive::discard(const Files &files)
{
    QFile::remove(files.tempTxt);
    QFile::remove(files.tempImg);
}

QString AuditArchive::relative(const QString &path) const
{
    return QDir(m_work).relativeFilePath(path);
}
