#pragma once

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>

// The program folder when none is given: beside the executable, as in the build tree or a folder
// the operator gave the programs, unless they are installed (a "bin" folder, or one the user may
// not write to); then each user's data lives in the user's own data folder.
namespace ProgramFolder {

inline bool besideExecutable(const QString &executableFolder)
{
    const QFileInfo dir(executableFolder);
    return dir.fileName() != QLatin1String("bin") && dir.isDir() && dir.isWritable();
}

// One folder for every program of the station, whichever of them starts first.
inline QString perUser()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("gsmstation/station"));
}

inline QString choose(const QString &home, const QString &executableFolder)
{
    if (!home.isEmpty())
        return QDir(home).absolutePath();
    return QDir::cleanPath(besideExecutable(executableFolder) ? executableFolder : perUser());
}

} // namespace ProgramFolder
