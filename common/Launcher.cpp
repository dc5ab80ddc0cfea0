#include "Launcher.h"

#include <QProcess>

bool ProcessLauncher::start(const QString &program, const QStringList &args, const QString &workDir)
{
    return QProcess::startDetached(program, args, workDir);
}
