#include "FrmStGSM.h"

#include "CallQueue.h"
#include "Dialogs.h"
#include "FrmPin.h"
#include "FrmSet.h"
#include "Launcher.h"
#include "Runtime.h"
#include "SerialPort.h"
#include "SignalBar.h"
#include "TrayIcon.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QStandardPaths>
#include <utility>

namespace {
const char *const BarStyle =
    "QProgressBar { border: 1px solid grey; background: white; }"
    "QProgressBar::chunk { background: qlineargradient(x1:0, y1:0, x2:1, y2:0,"
    " stop:0 #d02020, stop:0.5 #e0c020, stop:1 #20b040); }";
}

FrmStGSM::FrmStGSM(const Services &services, QWidget *parent)
    : QWidget(parent), m_s(services), m_lender(m_state, Timer2), m_at(*services.port, Timer3),
      m_instance(QStringLiteral("KVX4417"), services.instanceLockDir)
{
    m_s.lender = &m_lender;
    m_s.station = &m_state;
    setWindowTitle(tr("GSM STATUS"));
    // The title bar's close puts the window away; only "Exit" ends the station.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    buildControls();
    buildMenu();

    connect(&Timer1, &Timer::tick, this, [this] { m_simSupervision.tick(); });
    connect(&Timer2, &Timer::tick, this, [this] { m_polling.tick(); });
    connect(&Timer3, &Timer::tick, this, [this] { Timer3.setEnabled(false); });
    connect(&Timer4, &Timer::tick, this, &FrmStGSM::onTimer4);
    connect(&Timer6, &Timer::tick, this, &FrmStGSM::onTimer6);
    connect(m_s.tray, &TrayIcon::doubleClicked, this, [this] {
        if (mnuOPEN->isEnabled())
            restore();
    });
    connect(m_s.tray, &TrayIcon::mouseButton, this, &FrmStGSM::onTrayButton);
}

FrmStGSM::~FrmStGSM()
{
    delete m_frmSet.data();
    delete m_frmPin.data();
}

void FrmStGSM::buildControls()
{
    auto *grid = new QGridLayout(this);
    const char *captions[9] = {
        QT_TR_NOOP("Signal Quality GSM"),  QT_TR_NOOP("Manufaturer"), QT_TR_NOOP("Model"),
        QT_TR_NOOP("Serial number"),       QT_TR_NOOP("Operator"),    QT_TR_NOOP("KO"),
        QT_TR_NOOP("OK"),                  QT_TR_NOOP("Signal Quality GPRS"),
        QT_TR_NOOP("GPRS not Available")};
    for (int i = 0; i < 9; ++i) {
        LabelM[i] = new QLabel(tr(captions[i]), this);
        LabelM[i]->setObjectName(QStringLiteral("LabelM(%1)").arg(i));
    }
    for (int i = 0; i < 4; ++i) {
        Label1[i] = new QLabel(this);
        Label1[i]->setObjectName(QStringLiteral("Label1(%1)").arg(i));
        Label1[i]->setMinimumWidth(180);
    }
    ProgressBar1 = new SignalBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 31);
    ProgressBar1->setValue(0);
    ProgressBar2 = new SignalBar(this);
    ProgressBar2->setObjectName(QStringLiteral("ProgressBar2"));
    ProgressBar2->setRange(10, 31);
    ProgressBar2->setValue(10);
    for (auto *bar : {ProgressBar1, ProgressBar2}) {
        bar->setTextVisible(false);
        bar->setStyleSheet(QString::fromLatin1(BarStyle));
        bar->setMinimumWidth(200);
    }

    // KO and OK stand above the ends of the GSM bar.
    auto *ends = new QHBoxLayout;
    ends->addWidget(LabelM[5]);
    ends->addStretch();
    ends->addWidget(LabelM[6]);
    grid->addWidget(LabelM[0], 0, 0);
    grid->addLayout(ends, 0, 1);
    grid->addWidget(ProgressBar1, 1, 0, 1, 2);
    grid->addWidget(LabelM[7], 2, 0, 1, 2);
    // "GPRS not Available" lies under the GPRS bar and shows through when the bar is hidden.
    grid->addWidget(LabelM[8], 3, 0, 1, 2);
    grid->addWidget(ProgressBar2, 3, 0, 1, 2);
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(LabelM[1 + i], 4 + i, 0);
        grid->addWidget(Label1[i], 4 + i, 1);
    }
    LabelStatus = new QLabel(this);
    LabelStatus->setObjectName(QStringLiteral("LabelStatus"));
    LabelStatus->setFrameShape(QFrame::StyledPanel);
    LabelStatus->setVisible(false);
    ListResults = new QListWidget(this);
    ListResults->setObjectName(QStringLiteral("ListResults"));
    ListResults->setVisible(false);
    ListResults->setMaximumHeight(ListResults->fontMetrics().height() * (ResultsShown + 1));
    grid->addWidget(ListResults, 8, 0, 1, 2);
    grid->addWidget(LabelStatus, 9, 0, 1, 2);
}

void FrmStGSM::setUnattendedStatus(const QString &text)
{
    if (!text.isEmpty() && LabelStatus->text().isEmpty())
        m_idleToolTip = tray().toolTip();
    LabelStatus->setText(text);
    LabelStatus->setVisible(!text.isEmpty());
    tray().setToolTip(text.isEmpty() ? m_idleToolTip : text);
}

void FrmStGSM::addUnattendedResult(const QDateTime &when, const QString &machine,
                                   const QString &outcome)
{
    ListResults->insertItem(0, QStringLiteral("%1  %2  %3")
                                   .arg(when.toString(QStringLiteral("dd/MM/yyyy hh:mm")),
                                        machine, outcome));
    while (ListResults->count() > ResultsShown)
        delete ListResults->takeItem(ListResults->count() - 1);
    ListResults->setVisible(true);
}

void FrmStGSM::childWindowClosed()
{
    if (!m_unloaded && !tray().available())
        restore();
}

void FrmStGSM::buildMenu()
{
    MnuPopup = new QMenu(QStringLiteral("Popup"), this);
    auto add = [this](const char *name, const char *caption, bool enabled) {
        QAction *a = MnuPopup->addAction(tr(caption));
        a->setObjectName(QString::fromLatin1(name));
        a->setEnabled(enabled);
        return a;
    };
    mnuData = add("mnuData", QT_TR_NOOP("DataBase"), true);
    mnuConn = add("mnuConn", "WinCorvani", false);
    MnuPopup->addSeparator();
    mnuCall = add("mnuCall", QT_TR_NOOP("Call"), false);
    mnuSSMS = add("mnuSSMS", QT_TR_NOOP("Send SMS"), false);
    mnuOPEN = add("mnuOPEN", QT_TR_NOOP("Status"), false);
    mnuSet = add("mnuSet", QT_TR_NOOP("Setup"), false);
    MnuPopup->addSeparator();
    mnuExit = add("mnuExit", QT_TR_NOOP("Exit"), true);

    connect(mnuData, &QAction::triggered, this, &FrmStGSM::startDatabaseTool);
    connect(mnuCall, &QAction::triggered, this, [this] {
        if (!m_callConsole)
            return;
        QDir::setCurrent(m_state.AppFolder);
        m_callConsole->show();
    });
    connect(mnuSSMS, &QAction::triggered, this, [this] {
        if (!m_sendWindow)
            return;
        m_sendWindow->show();
    });
    connect(mnuOPEN, &QAction::triggered, this, &FrmStGSM::restore);
    connect(mnuSet, &QAction::triggered, this, [this] {
        m_lender.lend();
        loadSetupWindow()->show();
    });
    connect(mnuExit, &QAction::triggered, this, &FrmStGSM::beginExit);
    m_s.tray->setMenu(MnuPopup);
}

void FrmStGSM::enableCallAndSend(bool on)
{
    mnuCall->setEnabled(on && m_callConsole);
    mnuSSMS->setEnabled(on && m_sendWindow);
}

void FrmStGSM::setPortLent(bool lent)
{
    if (lent) {
        if (!m_beforeLending.isEmpty())
            return;
        for (QAction *a : {mnuCall, mnuSSMS, mnuSet}) {
            m_beforeLending << qMakePair(a, a->isEnabled());
            a->setEnabled(false);
        }
        return;
    }
    for (const auto &[action, enabled] : std::as_const(m_beforeLending))
        action->setEnabled(enabled);
    m_beforeLending.clear();
}

bool FrmStGSM::load()
{
    StationState &pub = m_state;
    const bool first = m_instance.acquire();
    pub.SimErrorCount = 0;
    const QString folder = QDir::cleanPath(m_s.appFolder);
    QDir::setCurrent(folder);
    pub.AppFolder = folder;
    if (!first) {
        // Another station runs: end silently, before anything touches the port.
        Timer1.stop();
        Timer5.stop();
        return false;
    }
    tray().setToolTip(tr("Wait connecting"));
    tray().setIcon(2);
    tray().show();
    pub.StationActive = true;
    if (tray().available()) {
        setWindowState(Qt::WindowMinimized);
        hide();
    } else {
        // No notification area: the window stays on the desktop and carries the popup menu.
        show();
    }
    if (m_loadSchedule)
        m_loadSchedule();
    QDir::setCurrent(folder);
    QDir parent(folder);
    parent.cdUp();
    QDir::setCurrent(parent.absolutePath());
    migrateDataFolder();
    return true;
}

void FrmStGSM::migrateDataFolder()
{
    QDir cur(QDir::currentPath());
    if (!cur.exists(QStringLiteral("Telmodex")))
        return;
    // All errors of the migration are ignored: the station starts either way.
    const QString from = cur.absoluteFilePath(QStringLiteral("Telmodex/Dati.mdb"));
    const QString to = cur.absoluteFilePath(QStringLiteral("DirIzara/Dati.mdb"));
    if (QFile::exists(from)) {
        QFile::remove(to);
        QFile::copy(from, to);
    }
    QDir(cur.absoluteFilePath(QStringLiteral("Telmodex"))).removeRecursively();
}

void FrmStGSM::restore()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void FrmStGSM::changeEvent(QEvent *e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
        tray().available())
        hide();
}

void FrmStGSM::closeEvent(QCloseEvent *e)
{
    if (m_unloaded) {
        e->accept();
        return;
    }
    e->ignore();
    const bool explained = std::exchange(m_closeExplained, true);
    if (tray().available()) {
        hide();
        if (!explained)
            tray().showMessage(windowTitle(),
                               tr("The station keeps running here. \"Exit\" in this icon's "
                                  "menu ends it."));
        return;
    }
    // Without a tray the task bar is the only way back.
    showMinimized();
    if (!explained)
        m_s.dialogs->message(tr("The station keeps running. \"Exit\" in this window's menu "
                                "(right mouse button) ends it."),
                             MsgButtons::Ok, MsgIcon::Information, windowTitle());
}

void FrmStGSM::contextMenuEvent(QContextMenuEvent *e)
{
    if (!tray().available())
        MnuPopup->popup(e->globalPos());
}

void FrmStGSM::onTrayButton(int button)
{
    if (button == 2)
        MnuPopup->popup(QCursor::pos());
}

void FrmStGSM::beginExit()
{
    m_state.StationActive = false;
    // Whatever is waiting now (a modem search, a listing, a send) gives up at once, and nothing
    // more reaches the modem.
    Runtime::current().endProgram();
    Timer4.setEnabled(true);
    if (m_s.port->isOpen())
        m_s.port->close();
}

void FrmStGSM::onTimer4()
{
    Timer4.setEnabled(false);
    tray().remove();
    Timer1.setEnabled(false);
    Timer2.setEnabled(false);
    Timer3.setEnabled(false);
    unload();
}

void FrmStGSM::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (m_callConsole && m_callConsole->isLoaded())
        m_callConsole->unload();
    const QString folder = m_state.AppFolder;
    QDir::setCurrent(folder);
    QDir parent(folder);
    parent.cdUp();
    QDir::setCurrent(parent.absolutePath());
    startProgram(QDir::currentPath(), QStringLiteral("WINCORVANI.EXE"));
    Timer5.setEnabled(false);
    Timer6.setEnabled(false);
    hide();
    Runtime::current().endProgram();
    emit ended();
}

void FrmStGSM::endProgram()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    Runtime::current().endProgram();
    for (Timer *t : {&Timer1, &Timer2, &Timer3, &Timer4, &Timer5, &Timer6})
        t->setEnabled(false);
    if (m_s.port->isOpen())
        m_s.port->close();
    tray().remove();
    hide();
    emit ended();
}

FrmSet *FrmStGSM::loadSetupWindow()
{
    if (!m_frmSet)
        m_frmSet = new FrmSet(*this);
    return m_frmSet;
}

void FrmStGSM::setupWindowUnloaded(FrmSet *w)
{
    w->hide();
    w->deleteLater();
    if (m_frmSet == w)
        m_frmSet = nullptr;
}

FrmPin *FrmStGSM::loadPinWindow()
{
    if (!m_frmPin)
        m_frmPin = new FrmPin(*this);
    return m_frmPin;
}

FrmPin *FrmStGSM::showPinWindow()
{
    FrmPin *w = loadPinWindow();
    w->show();
    return w;
}

void FrmStGSM::pinWindowUnloaded(FrmPin *w)
{
    w->hide();
    w->deleteLater();
    if (m_frmPin == w)
        m_frmPin = nullptr;
}

void FrmStGSM::onTimer6()
{
    Timer6.setEnabled(false);
    if (!m_callQueue || m_callQueue->first().isEmpty() || !m_callConsole)
        return;
    m_callConsole->show(); // the console borrows the port as it loads
}

bool FrmStGSM::startProgram(const QString &dir, const QString &name)
{
    const QString path = QDir(dir).filePath(name);
    if (m_s.launcher->start(path, {}, dir))
        return true;
#ifndef Q_OS_WIN
    const QString bare = path.left(path.size() - 4);
    if (name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        return m_s.launcher->start(bare, {}, dir);
#endif
    return false;
}

QString FrmStGSM::databaseTool(QString *why) const
{
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("gsmdb.exe");
#else
    const QString name = QStringLiteral("gsmdb");
#endif
    // The current folder first, then beside the station (an installed layout, the build tree),
    // then the search path.
    QStringList places;
    for (const QString &dir : {QDir::currentPath(), m_s.executableFolder}) {
        if (dir.isEmpty())
            continue;
        places << QDir::toNativeSeparators(dir);
        const QFileInfo candidate(QDir(dir).filePath(name));
        if (candidate.isFile() && candidate.isExecutable())
            return candidate.absoluteFilePath();
    }
    const QString found = QStandardPaths::findExecutable(QStringLiteral("gsmdb"));
    if (found.isEmpty() && why)
        *why = tr("%1 is neither in %2 nor on the search path")
                   .arg(name, places.join(tr(" nor in ")));
    return found;
}

void FrmStGSM::startDatabaseTool()
{
    QString why;
    const QString found = databaseTool(&why);
    if (found.isEmpty()) {
        emit startFailed(why);
        return;
    }
    const QStringList args{QStringLiteral("--home"), m_state.AppFolder,
                           QStringLiteral("--maximized")};
    if (!m_s.launcher->start(found, args, QDir::currentPath()))
        emit startFailed(tr("%1 could not be started").arg(found));
}

FrmSet *FrmStGSM::setupWindow() const
{
    return m_frmSet.data();
}

FrmPin *FrmStGSM::pinWindow() const
{
    return m_frmPin.data();
}
