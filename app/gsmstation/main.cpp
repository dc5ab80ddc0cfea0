#include "Clock.h"
#include "ConsoleDialogs.h"
#include "DatabaseTarget.h"
#include "DemoCall.h"
#include "DemoData.h"
#include "DemoIp.h"
#include "DemoScripts.h"
#include "FrmSms.h"
#include "GsmModem.h"
#include "HardwarePort.h"
#include "Language.h"
#include "Launcher.h"
#include "LoopbackPort.h"
#include "MachineController.h"
#include "MachineListener.h"
#include "ProgramFolder.h"
#include "QtTrayIcon.h"
#include "RealDialogs.h"
#include "SignalBar.h"
#include "SimulatedFleet.h"
#include "StationDesk.h"
#include "TrayImages.h"
#include "UnattendedCollector.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace {
void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Tells when the incoming SMS window comes up, and what it shows.
class SmsWindowReporter : public QObject
{
public:
    explicit SmsWindowReporter(FrmSms &w) : QObject(&w), m_w(w) { w.installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Show)
            QTimer::singleShot(0, this, [this] { report(); });
        return false;
    }

private:
    void report()
    {
        say(QStringLiteral("SMS window: %1 message(s) waiting; shown: \"%2\" from %3 "
                           "(machine \"%4\", sale point \"%5\", operator \"%6\")")
                .arg(m_w.queued())
                .arg(m_w.TextSms->toPlainText(), m_w.Label2[0]->text(), m_w.Label1[1]->text(),
                     m_w.Label1[2]->text(), m_w.Label1[3]->text()));
    }

    FrmSms &m_w;
};
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("gsmstation"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser cli;
    cli.setApplicationDescription(
        QStringLiteral("Desktop station for a fleet of vending machines with GSM modems."));
    cli.addHelpOption();
    cli.addVersionOption();
    QCommandLineOption home(
        QStringLiteral("home"),
        QStringLiteral("Program folder (default: the executable's folder; when installed, "
                       "gsmstation/station in the user's data folder)."),
        QStringLiteral("DIR"));
    QCommandLineOption ports(QStringLiteral("ports"),
                             QStringLiteral("Serial devices; port n is the n-th device."),
                             QStringLiteral("DEV1,DEV2,..."));
    QCommandLineOption simulate(QStringLiteral("simulate"),
                                QStringLiteral("Run against the simulated modem and fleet."));
    QCommandLineOption verbose(QStringLiteral("verbose"),
                               QStringLiteral("Print what the station does."));
    QCommandLineOption quitAfter(QStringLiteral("quit-after"),
                                 QStringLiteral("Choose \"Exit\" after SECONDS (demonstrations)."),
                                 QStringLiteral("SECONDS"));
    QCommandLineOption demoCall(
        QStringLiteral("demo-call"),
        QStringLiteral(
            "With --simulate: open \"Call\" after SECONDS and read the first machine's "
            "audit (demonstrations)."),
        QStringLiteral("SECONDS"));
    QCommandLineOption listen(
        QStringLiteral("listen"),
        QStringLiteral("Wait for machines on IP to connect and identify themselves on "
                       "HOST:PORT (default: off)."),
        QStringLiteral("HOST:PORT"));
    QCommandLineOption database(
        QStringLiteral("database"),
        QStringLiteral("The machine database: a PostgreSQL URI (postgresql://user@host:port/db) "
                       "shared with other desks, or a SQLite file; default: the URL in "
                       "Database.conf in the working folder, else Dati.mdb in the program folder. "
                       "Passwords come from ~/.pgpass, PGPASSFILE or PGPASSWORD."),
        QStringLiteral("URL"));
    cli.addOptions({home, ports, simulate, verbose, quitAfter, demoCall, database, listen});
    QCommandLineOption language(
        QStringLiteral("language"),
        QStringLiteral("Language of the windows: en, it or source (default: the system's)."),
        QStringLiteral("LANG"));
    cli.addOption(language);
    cli.process(app);
    if (QString why; !Languages::apply(cli.value(language), &why)) {
        std::fprintf(stderr, "gsmstation: %s\n", qPrintable(why));
        return 2;
    }

    const bool offscreen = QGuiApplication::platformName() == QLatin1String("offscreen");
    const bool talk = cli.isSet(verbose);
    int demoSeconds = -1;
    if (cli.isSet(demoCall)) {
        bool ok = false;
        demoSeconds = cli.value(demoCall).toInt(&ok);
        if (!ok || demoSeconds < 0) {
            std::fprintf(stderr, "gsmstation: --demo-call takes a number of seconds, not \"%s\"\n",
                         qPrintable(cli.value(demoCall)));
            return 2;
        }
        if (!cli.isSet(simulate)) {
            // It would read, and offer to erase, a real machine's audit.
            std::fprintf(stderr, "gsmstation: --demo-call needs --simulate: it calls the first "
                                 "demonstration machine\n");
            return 2;
        }
    }

    std::unique_ptr<SerialPort> port;
    std::unique_ptr<GsmModem> modem;
    QList<QPair<QByteArray, MachineController *>> ipMachines; // inbound, then outbound
    if (cli.isSet(simulate)) {
        auto loop = std::make_unique<LoopbackPort>();
        GsmModemConfig demo;
        demo.operatorName.clear(); // the demo network names itself by code: " OMNITEL"
        modem = std::make_unique<GsmModem>(demo);
        // The demonstration fleet answers data calls: the first three machines (the second on a
        // slightly noisy line), the fourth is busy and the fifth never picks up. The second and
        // the third are on IP: the second connects to the station, the station connects to the
        // third.
        const QList<QByteArray> numbers = DemoData::machineNumbers();
        for (int i = 0; i < numbers.size(); ++i) {
            if (i >= 3) {
                modem->setDialAnswer(numbers[i], i == 3 ? DialAnswer::Busy : DialAnswer::NoAnswer);
                continue;
            }
            auto *machine =
                new MachineController(MachineProfile::forNumber(numbers[i]), modem.get());
            if (i == 1) {
                LinkFaults noisy;
                noisy.lost = 0.02;
                noisy.seed = 2;
                machine->setFaults(noisy);
            }
            if (i == 0)
                modem->addMachine(numbers[i], machine);
            else
                ipMachines << qMakePair(numbers[i], machine);
        }
        loop->plug(1, modem.get());
        port = std::move(loop);
    } else {
        QStringList devices;
        if (cli.isSet(ports))
            devices = cli.value(ports).split(QLatin1Char(','), Qt::SkipEmptyParts);
        port = std::make_unique<HardwarePort>(devices);
    }

    // Window places and the folders files were last saved to, kept with the station.
    QSettings settings(
        QDir(ProgramFolder::choose(cli.value(home), QCoreApplication::applicationDirPath()))
            .filePath(QStringLiteral("gsmstation.ini")),
        QSettings::IniFormat);
    std::unique_ptr<Dialogs> dialogs;
    if (offscreen)
        dialogs = std::make_unique<ConsoleDialogs>();
    else
        dialogs = std::make_unique<RealDialogs>(&settings);
    std::unique_ptr<DemoDialogs> demoDialogs;
    if (demoSeconds >= 0)
        demoDialogs = std::make_unique<DemoDialogs>(*dialogs);
    QtTrayIcon tray(trayImages());
    SystemClock clock;
    ProcessLauncher launcher;

    Services s;
    s.port = port.get();
    s.dialogs = demoDialogs ? static_cast<Dialogs *>(demoDialogs.get()) : dialogs.get();
    s.tray = &tray;
    s.clock = &clock;
    s.launcher = &launcher;
    s.appFolder = ProgramFolder::choose(cli.value(home), QCoreApplication::applicationDirPath());
    s.executableFolder = QCoreApplication::applicationDirPath();
    s.database = cli.isSet(database) ? cli.value(database)
                                     : DatabaseTarget::fromConfFile(QDir::currentPath());
    if (DatabaseTarget target; !s.database.isEmpty()) {
        if (QString why; !DatabaseTarget::parse(s.database, &target, &why)) {
            std::fprintf(stderr, "gsmstation: %s\n", qPrintable(why));
            return 2;
        }
    }
    QDir().mkpath(s.appFolder);
    if (cli.isSet(simulate)) {
        // The demonstration machines' audits convert with their own script and address table,
        // unless the operator has put others in the folder.
        QStringList written;
        QString error;
        if (!DemoScripts::install(s.appFolder, &written, &error))
            std::fprintf(stderr, "gsmstation: %s\n", qPrintable(error));
        if (talk)
            for (const QString &path : written)
                say(QStringLiteral("demo conversion file written: %1").arg(path));
    }

    StationDesk desk(s, modem.get());
    desk.keepPlaces(&settings);
    FrmStGSM &station = desk.station();
    SmsDesk &smsDesk = desk.sms();
    if (talk) {
        if (smsDesk.fleet())
            QObject::connect(smsDesk.fleet(), &SimulatedFleet::alarmSent,
                             [](const QByteArray &n, const QByteArray &t) {
                                 say(QStringLiteral("fleet: SMS from %1: %2")
                                         .arg(QString::fromLatin1(n), QString::fromLatin1(t)));
                             });
        QObject::connect(&tray, &TrayIcon::changed, [&tray] {
            static QString last;
            static bool shown = false; // nothing to tell before the icon first appears
            shown = shown || tray.isVisible();
            if (!shown)
                return;
            const QString now =
                QStringLiteral("tray: %1 \"%2\"")
                    .arg(tray.isVisible() ? QStringLiteral("shown") : QStringLiteral("removed"),
                         tray.toolTip());
            if (now != last)
                say(now);
            last = now;
        });
        QObject::connect(&tray, &TrayIcon::messageShown,
                         [](const QString &title, const QString &text) {
                             say(QStringLiteral("tray message: %1: %2").arg(title, text));
                         });
        if (UnattendedCollector *c = desk.collect().collector()) {
            QObject::connect(c, &UnattendedCollector::attemptStarted,
                             [](const QString &number, int attempt) {
                                 say(QStringLiteral("unattended: collecting the audit of %1, "
                                                    "attempt %2")
                                         .arg(number)
                                         .arg(attempt));
                             });
            QObject::connect(c, &UnattendedCollector::attemptFinished,
                             [](const QString &number, const AuditJobOutcome &o, int, bool again) {
                                 say(QStringLiteral("unattended: %1: %2%3")
                                         .arg(number, resultText(o.result),
                                              again ? QStringLiteral(", tried again in 5 "
                                                                     "minutes")
                                                    : QString()));
                             });
        }
        QObject::connect(
            &desk.scheduler().check(), &ScheduleCheck::due,
            [](const QString &number, bool unattended) {
                say(QStringLiteral("schedule: %1 is due%2")
                        .arg(number, unattended ? QStringLiteral(" (unattended)") : QString()));
            });
        if (modem) {
            QObject::connect(modem.get(), &ModemSim::commandReceived, [](const QByteArray &l) {
                say(QStringLiteral("modem <- %1").arg(QString::fromLatin1(l)));
            });
            QObject::connect(
                modem.get(), &GsmModem::callChanged, [](const QByteArray &number, bool up) {
                    say(QStringLiteral("modem: data call to %1 %2")
                            .arg(QString::fromLatin1(number),
                                 up ? QStringLiteral("connected") : QStringLiteral("ended")));
                });
        }
    }
    if (talk) {
        QObject::connect(&station, &FrmStGSM::startFailed,
                         [](const QString &why) { say(QStringLiteral("DataBase: %1").arg(why)); });
        new SmsWindowReporter(smsDesk.smsWindow());
        // After each polling tick (this runs after the station's own handler).
        QObject::connect(&station.Timer2, &Timer::tick, &station, [&station] {
            static QString last;
            const QString now = QStringLiteral("status: signal %1/31, GPRS %2, operator%3")
                                    .arg(station.ProgressBar1->level())
                                    .arg(station.ProgressBar2->isVisibleTo(&station)
                                             ? QStringLiteral("attached")
                                             : QStringLiteral("not available"))
                                    .arg(station.Label1[3]->text());
            if (now != last)
                say(now);
            last = now;
        });
    }
    if (!station.load()) {
        // Not a failure: the station the operator wanted is running.
        std::fprintf(stderr, "gsmstation: another station is running\n");
        return 0;
    }
    DemoIp demoIp;
    if (cli.isSet(listen) || cli.isSet(simulate)) {
        QString why;
        if (desk.listen(cli.isSet(listen) ? cli.value(listen) : QStringLiteral("127.0.0.1:0"),
                        &why)) {
            QObject::connect(desk.listener(), &MachineListener::log, [](const QString &line) {
                std::fprintf(stderr, "gsmstation: %s\n", qPrintable(line));
            });
            if (cli.isSet(simulate) &&
                !demoIp.start(desk, QDir(s.appFolder).filePath(QStringLiteral("Dati.mdb")),
                              ipMachines[1].second, ipMachines[1].first, ipMachines[0].second,
                              ipMachines[0].first, &why))
                std::fprintf(stderr, "gsmstation: the demonstration machines on IP: %s\n",
                             qPrintable(why));
        } else {
            // The station works on without machines on IP; the operator hears it once.
            std::fprintf(stderr, "gsmstation: %s\n", qPrintable(why));
            s.dialogs->message(QStringLiteral("Machines on IP cannot connect to the station: "
                                              "%1.")
                                   .arg(why),
                               MsgButtons::Ok, MsgIcon::Exclamation);
        }
    }
    if (talk) {
        say(QStringLiteral("station started; program folder %1, working folder %2")
                .arg(station.state().AppFolder, QDir::currentPath()));
        QString why;
        const QString editor = station.databaseTool(&why);
        say(QStringLiteral("DataBase: %1").arg(editor.isEmpty() ? why : editor));
    }
    QObject::connect(&station, &FrmStGSM::ended, &app, [&] {
        if (talk)
            say(QStringLiteral("station ended"));
        // exit, not quit: quit asks every window to close, and the SMS window refuses.
        QCoreApplication::exit(0);
    });
    std::unique_ptr<DemoCall> demo;
    if (demoDialogs) {
        QDir work(s.appFolder);
        work.cdUp();
        demo = std::make_unique<DemoCall>(station, desk.calls(), *demoDialogs,
                                          work.absolutePath(), say);
        demo->startAfter(demoSeconds);
    }
    if (cli.isSet(quitAfter)) {
        const int secs = cli.value(quitAfter).toInt();
        QTimer::singleShot(secs * 1000, &station, [&] {
            if (talk)
                say(QStringLiteral("menu: Exit"));
            station.beginExit();
        });
    }
    return app.exec();
}
