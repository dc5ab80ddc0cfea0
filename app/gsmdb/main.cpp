#include "DatabaseTarget.h"
#include "DbCommand.h"
#include "Dialogs.h"
#include "FleetCommand.h"
#include "FrmDb.h"
#include "Language.h"
#include "MachineDb.h"
#include "ProgramFolder.h"
#include "RealDialogs.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>
#include <cstdio>

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const DbCommand::Options o = DbCommand::parse(args);
    if (o.help) {
        std::fputs(qPrintable(DbCommand::helpText()), stdout);
        return 0;
    }
    if (o.version) {
        std::printf("gsmdb %s\n", PROJECT_VERSION);
        return 0;
    }
    QTextStream err(stderr);
    // An import, an export or a usage error needs no display.
    if (o.isJob() || !o.usageError.isEmpty()) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("gsmdb"));
        const QString home = ProgramFolder::choose({}, QCoreApplication::applicationDirPath());
        if (o.home.isEmpty())
            QDir().mkpath(home);
        if (o.usageError.isEmpty() && o.isFleetJob())
            return FleetCommand::run(o, home, err);
        return DbCommand::run(o, home, err);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("gsmdb"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    const QString home = ProgramFolder::choose(o.home, QCoreApplication::applicationDirPath());
    QDir().mkpath(home);
    if (QString why; !Languages::apply(o.language, &why)) {
        err << "gsmdb: " << why << Qt::endl;
        return 2;
    }
    RealDialogs realDialogs;
    Dialogs &dialogs = realDialogs;
    DatabaseTarget target;
    QString why;
    if (!DbCommand::databaseTarget(o, home, &target, &why)) {
        dialogs.message(why, MsgButtons::Ok, MsgIcon::Critical);
        return 2;
    }
    SqlMachineDb db(target);
    if (!db.open()) {
        dialogs.message(QStringLiteral("The machine database %1 cannot be used: %2.")
                            .arg(QDir::toNativeSeparators(db.path()), db.error()),
                        MsgButtons::Ok, MsgIcon::Critical);
        return 2;
    }
    FrmDb window(db, dialogs);
    if (o.maximized)
        window.showMaximized();
    else
        window.show();
    window.activateWindow();
    return app.exec();
}
