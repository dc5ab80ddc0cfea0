#pragma once

#include <QDateTime>
#include <QString>

// Where unattended audits are filed: <working folder>/Audit/<number>/<yyyymmdd-hhmm>.txt (the
// EVA-DTS records) with the framed image <yyyymmdd-hhmm>.img beside it, and the attempt log
// Audit/collect.csv. A file is written under a temporary name (".part" added) and renamed when it
// is complete, so a final name never holds half a file, whatever stops the station.
class AuditArchive
{
public:
    static constexpr const char *TempSuffix = ".part";

    explicit AuditArchive(const QString &workFolder);

    QString root() const { return m_root; }
    QString logPath() const;

    // The folder name of a number: its characters, with anything that could leave the folder or
    // trouble a file system replaced by '_'.
    static QString folderName(const QString &number);
    static QString stamp(const QDateTime &at)
    {
        return at.toString(QStringLiteral("yyyyMMdd-hhmm"));
    }

    struct Files
    {
        QString txt, img; // final names
        QString tempTxt, tempImg;
    };
    // Makes the number's folder, removes what an interrupted collection left there under
    // temporary names, and names the files of a collection started at `at`. A name already taken
    // (the clock set back) gets "-2", "-3", ... so that no audit is replaced. False, with the
    // reason, when the folder cannot be made.
    bool prepare(const QString &number, const QDateTime &at, Files *files, QString *why) const;

    // Renames a complete temporary file to its final name. False, with the reason, when the
    // temporary file is missing or the rename fails; the temporary file is then removed.
    static bool commit(const QString &temp, const QString &final, QString *why);
    static void discard(const Files &files);

    // A path as the log shows it: relative to the working folder, with '/'.
    QString relative(const QString &path) const;

private:
    QString m_work;
    QString m_root;
};
