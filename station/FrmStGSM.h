#pragma once

#include "AtExchange.h"
#include "Discovery.h"
#include "NetworkPolling.h"
#include "PortLender.h"
#include "StationState.h"
#include "Services.h"
#include "SimSupervision.h"
#include "SingleInstance.h"
#include "Timer.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class CallQueue;
class FrmPin;
class FrmSet;
class SignalBar;

// The station's main window "GSM STATUS": it owns the modem port's AT exchange and the timers
// that drive supervision, lives in the tray, and offers the popup menu from which the operator
// opens the other windows. Supervision itself lives in the classes the timers call.
class FrmStGSM : public QWidget
{
    Q_OBJECT
public:
    explicit FrmStGSM(const Services &services, QWidget *parent = nullptr);
    ~FrmStGSM() override;

    // Start-up. Returns false when another instance is running: the program then ends at once.
    bool load();

    // Windows opened from the menu; not owned; a missing one leaves its entry unusable.
    void setCallConsole(WindowOpener *w) { m_callConsole = w; }
    void setSendWindow(WindowOpener *w) { m_sendWindow = w; }
    void setCallQueue(CallQueue *q) { m_callQueue = q; }
    // Loads the schedule at start-up (the scheduler wires it).
    void setScheduleLoader(std::function<void()> f) { m_loadSchedule = std::move(f); }
    // SMS reception (`CONTROLLASMS`), run first in every network-polling tick.
    void setSmsPoll(std::function<void()> f) { m_smsPoll = std::move(f); }

    // `Tout`: arms the AT time-out `Timer3`.
    void Tout(int ms) { m_at.Tout(ms); }
    bool ComOK() { return m_discovery.ComOK(); }
    void GSMSet() { m_discovery.GSMSet(); }
    void CONTROLLASMS()
    {
        if (m_smsPoll)
            m_smsPoll();
    }
    AtExchange &at() { return m_at; }
    // The station's services, the port lender included.
    const Services &services() const { return m_s; }
    PortLender &lender() { return m_lender; }
    StationState &state() { return m_state; }

    // Timers
    Timer Timer1{QStringLiteral("Timer1"), 500, true};
    Timer Timer2{QStringLiteral("Timer2"), 6000, false};
    Timer Timer3{QStringLiteral("Timer3"), 2000, false};
    Timer Timer4{QStringLiteral("Timer4"), 1000, false};
    Timer Timer5{QStringLiteral("Timer5"), 30000, true};
    Timer Timer6{QStringLiteral("Timer6"), 40000, false};

    // Controls
    std::array<QLabel *, 9> LabelM{};
    std::array<QLabel *, 4> Label1{};
    SignalBar *ProgressBar1 = nullptr;
    SignalBar *ProgressBar2 = nullptr;
    QMenu *MnuPopup = nullptr;
    QAction *mnuData = nullptr;
    QAction *mnuConn = nullptr;
    QAction *mnuCall = nullptr;
    QAction *mnuSSMS = nullptr;
    QAction *mnuOPEN = nullptr;
    QAction *mnuSet = nullptr;
    QAction *mnuExit = nullptr;
    QLabel *LabelStatus = nullptr;
    QListWidget *ListResults = nullptr;

    TrayIcon &tray() const { return *m_s.tray; }
    // Menu entries that open windows built elsewhere are enabled only when that window exists.
    void enableCallAndSend(bool on);
    // Work without a window (the unattended collection) holds the port (true) or gave it back:
    // meanwhile "Call", "Send SMS" and "Setup", which would borrow it too, are unavailable.
    void setPortLent(bool lent);

    // A window that hid this one (the console, the send window) has closed: without a tray this
    // window comes back, or nothing would be left on the desktop to reach the station by.
    void childWindowClosed();

    // Unattended work: what it does now ("" when it is over), shown on the status line and in
    // the tray's tooltip; and each finished attempt, the last 10 listed newest first.
    void setUnattendedStatus(const QString &text);
    void addUnattendedResult(const QDateTime &when, const QString &machine,
                             const QString &outcome);
    static constexpr int ResultsShown = 10;

    // The exit sequence: "Exit" switches Timer4 on; its tick unloads the window.
    void beginExit();
    // Form unload: starts the sibling program and ends the program.
    void unload();
    bool isUnloaded() const { return m_unloaded; }

    // Shows the window (state normal, then visible).
    void restore();
    // Ends the program at once, without the exit sequence (the PIN window closed without OK).
    void endProgram();

    // Whether this station's modem serves the fleet's collection queue: offered in "Setup" only
    // where there is a shared queue (then both are set).
    struct QueueLineChoice
    {
        std::function<bool()> get;
        std::function<void(bool)> set;
    };
    void setQueueLineChoice(QueueLineChoice choice) { m_queueLine = std::move(choice); }
    const QueueLineChoice &queueLineChoice() const { return m_queueLine; }

    // The settings and PIN windows: loaded on first use, one instance each.
    FrmSet *loadSetupWindow();
    FrmSet *setupWindow() const;
    void setupWindowUnloaded(FrmSet *w);
    FrmPin *loadPinWindow();
    FrmPin *showPinWindow();
    FrmPin *pinWindow() const;
    void pinWindowUnloaded(FrmPin *w);

    // "DataBase": starts the database editor on the program folder's database.
    void startDatabaseTool();
    // The editor "DataBase" would start now, or "" with why not.
    QString databaseTool(QString *why) const;

signals:
    // The program must end now (after unload).
    void ended();
    // The database editor was not found or did not start (the operator is not told).
    void startFailed(const QString &why);

protected:
    void changeEvent(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;

private:
    void buildControls();
    void buildMenu();
    void migrateDataFolder();
    void onTrayButton(int button);
    void onTimer4();
    void onTimer6();
    // Starts name from dir; where programs have no ".exe" names the bare name is tried too.
    bool startProgram(const QString &dir, const QString &name);

    Services m_s;
    StationState m_state;
    PortLender m_lender;
    AtExchange m_at;
    SingleInstance m_instance;
    WindowOpener *m_callConsole = nullptr;
    WindowOpener *m_sendWindow = nullptr;
    QPointer<FrmSet> m_frmSet;
    QPointer<FrmPin> m_frmPin;
    Discovery m_discovery{*this};
    SimSupervision m_simSupervision{*this};
    NetworkPolling m_polling{*this};
    CallQueue *m_callQueue = nullptr;
    std::function<void()> m_loadSchedule;
    std::function<void()> m_smsPoll;
    QueueLineChoice m_queueLine;
    bool m_unloaded = false;
    bool m_closeExplained = false;
    QString m_idleToolTip; // the tray's tooltip before unattended work took it over
    QList<QPair<QAction *, bool>> m_beforeLending; // the entries' states when the port was lent
};
