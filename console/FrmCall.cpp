#include "FrmCall.h"

#include "CallSession.h"
#include "MachineListModel.h"
#include "Runtime.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
constexpr int TwipsPerPixel = 15;

QLabel *boxed(QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setFrameShape(QFrame::Box);
    l->setMinimumWidth(160);
    return l;
}
} // namespace

FrmCall::FrmCall(CallSession &session, MachineListModel &machines, QWidget *parent)
    : QWidget(parent), m_session(session), m_machines(machines)
{
    build();
    connect(&m_session, &CallSession::changed, this, &FrmCall::refresh);
    refresh();
}

void FrmCall::build()
{
    setWindowTitle(tr("Call"));
    setObjectName(QStringLiteral("FrmCall"));

    ListView1 = new QTreeView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setModel(&m_machines);
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int c = 0; c < MachineListModel::ColumnCount; ++c)
        ListView1->setColumnWidth(c, MachineListModel::ColumnTwips[c] / TwipsPerPixel);
    // Numbers differ only in their last digits: every column as wide as what it holds, and the
    // operator can still drag them.
    ListView1->header()->setSectionResizeMode(QHeaderView::Interactive);
    connect(&m_machines, &QAbstractItemModel::modelReset, this, &FrmCall::fitColumns);
    connect(&m_machines, &QAbstractItemModel::rowsInserted, this, &FrmCall::fitColumns);
    connect(ListView1, &QTreeView::clicked, this,
            [this](const QModelIndex &i) { rowClicked(i.row()); });

    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAlignment(Qt::AlignCenter);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setFormat(QStringLiteral("%p%"));

    LabelMachine = new QLabel(this);
    LabelMachine->setObjectName(QStringLiteral("LabelMachine"));
    QFont bold = LabelMachine->font();
    bold.setBold(true);
    LabelMachine->setFont(bold);
    LabelProgress = new QLabel(this);
    LabelProgress->setObjectName(QStringLiteral("LabelProgress"));
    LabelSaved = new QLabel(this);
    LabelSaved->setObjectName(QStringLiteral("LabelSaved"));
    LabelSaved->setTextInteractionFlags(Qt::TextSelectableByMouse);
    connect(&m_clockTimer, &::Timer::tick, this, &FrmCall::refresh);

    auto makeButton = [this](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    Command4 = makeButton("Command4", tr("Disconnect"));
    Command6 = makeButton("Command6", tr("   Reset   Alarm"));
    Command9 = makeButton("Command9", tr("Audit"));
    Command2 = makeButton("Command2", tr("Data"));
    Command10 = makeButton("Command10", tr("Telemetry"));
    Command7 = makeButton("Command7", tr("All"));
    Command8 = makeButton("Command8", tr("Select"));
    Command12 = makeButton("Command12", tr("Telemetry"));
    CommandSchedule = makeButton("CommandSchedule", tr("Schedule"));
    Label1 = boxed(this);
    Label10 = boxed(this);

    // Working state that need not be seen.
    Label4 = new QLabel(this);
    Text1 = new QLineEdit(this);
    Text2 = new QLineEdit(this);
    for (QWidget *w : {static_cast<QWidget *>(Label4), static_cast<QWidget *>(Text1),
                       static_cast<QWidget *>(Text2)})
        w->hide();

    Frame1 = new QGroupBox(tr("READ"), this);
    auto *read = new QHBoxLayout(Frame1);
    read->addWidget(Command9);
    read->addWidget(Command2);
    read->addWidget(Command10);
    Frame2 = new QGroupBox(tr("WRITE"), this);
    auto *write = new QHBoxLayout(Frame2);
    write->addWidget(Command7);
    write->addWidget(Command8);
    write->addWidget(Command12);

    auto *middle = new QGridLayout;
    middle->addWidget(Command4, 0, 0);
    middle->addWidget(Command6, 0, 1);
    middle->addWidget(Label1, 0, 2);
    middle->addWidget(Label10, 1, 2);
    middle->addWidget(CommandSchedule, 1, 0);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Frame1);
    bottom->addWidget(Frame2);

    auto *top = new QVBoxLayout(this);
    top->addWidget(ListView1, 1);
    top->addWidget(LabelMachine);
    top->addWidget(Label2);
    top->addWidget(ProgressBar1);
    top->addWidget(LabelProgress);
    top->addWidget(LabelSaved);
    top->addLayout(middle);
    top->addLayout(bottom);

    connect(Command2, &QPushButton::clicked, &m_session, &CallSession::Command2_Click);
    connect(Command4, &QPushButton::clicked, &m_session, &CallSession::Command4_Click);
    connect(Command6, &QPushButton::clicked, &m_session, &CallSession::Command6_Click);
    connect(Command7, &QPushButton::clicked, &m_session, &CallSession::Command7_Click);
    connect(Command8, &QPushButton::clicked, &m_session, &CallSession::Command8_Click);
    connect(Command9, &QPushButton::clicked, &m_session, &CallSession::Command9_Click);
    connect(Command10, &QPushButton::clicked, &m_session, &CallSession::Command10_Click);
    connect(Command12, &QPushButton::clicked, &m_session, &CallSession::Command12_Click);
    connect(CommandSchedule, &QPushButton::clicked, this, [this] {
        if (m_openSchedule && !m_session.Label1.isEmpty())
            m_openSchedule(m_session.Label1);
    });
    resize(560, 420);
}

QPushButton *FrmCall::button(int which) const
{
    switch (which) {
    case CallSession::Data:
        return Command2;
    case CallSession::All:
        return Command7;
    case CallSession::Select:
        return Command8;
    case CallSession::ResetAlarm:
        return Command6;
    case CallSession::Audit:
        return Command9;
    case CallSession::TelemetryRead:
        return Command10;
    case CallSession::TelemetryWrite:
        return Command12;
    default:
        return Command4;
    }
}

void FrmCall::refresh()
{
    for (int b = 0; b < CallSession::ButtonCount; ++b)
        button(b)->setEnabled(m_session.enabled[b]);
    Command6->setText(m_session.Command6Caption);
    CommandSchedule->setEnabled(m_openSchedule && !m_session.Label1.isEmpty());
    Label1->setText(m_session.Label1);
    Label2->setText(m_session.Label2);
    Label4->setText(m_session.Label4);
    Label10->setText(m_session.Label10);
    Text1->setText(QString::fromLatin1(m_session.Text1));
    Text2->setText(m_session.Text2);
    const CallProgress &report = m_session.report();
    const qint64 now = Runtime::current().nowMs();
    LabelMachine->setText(m_session.machineName());
    LabelProgress->setText(report.text(now));
    LabelSaved->setText(report.savedTo().isEmpty()
                            ? QString()
                            : tr("saved to %1").arg(QDir::toNativeSeparators(report.savedTo())));
    ProgressBar1->setValue(report.percent());
    m_clockTimer.setEnabled(report.running());
    ListView1->setVisible(m_session.listVisible);
    setEnabled(m_session.windowEnabled);
    if (m_session.busyCursor)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void FrmCall::fitColumns()
{
    for (int c = 0; c < MachineListModel::ColumnCount; ++c)
        ListView1->resizeColumnToContents(c);
}

void FrmCall::show()
{
    if (!m_loaded) {
        m_loaded = true;
        m_session.load();
        if (m_onLoad)
            m_onLoad();
    }
    QWidget::show();
    raise();
    activateWindow();
}

void FrmCall::changeEvent(QEvent *e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        activated();
}

void FrmCall::activated()
{
    if (m_machines.rowCount() == 0 && m_fill)
        m_fill();
    const QString queued = m_takeQueued ? m_takeQueued() : QString();
    if (queued.isEmpty())
        return;
    QString number = queued;
    while (number.endsWith(u' '))
        number.chop(1);
    const int row = m_machines.lastRowWithGsm(number);
    if (row < 0) {
        const QModelIndex current = ListView1->currentIndex();
        if (current.isValid())
            m_session.preselect(m_machines.text(current.row(), MachineListModel::Gsm),
                                m_machines.text(current.row(), MachineListModel::Description));
        return;
    }
    ListView1->setCurrentIndex(m_machines.index(row, 0));
    ListView1->scrollTo(m_machines.index(row, 0));
    m_session.preselect(m_machines.text(row, MachineListModel::Gsm),
                        m_machines.text(row, MachineListModel::Description));
}

void FrmCall::rowClicked(int row)
{
    if (row < 0 || row >= m_machines.rowCount())
        return;
    ListView1->setCurrentIndex(m_machines.index(row, 0));
    m_session.select(m_machines.text(row, MachineListModel::Gsm),
                     m_machines.text(row, MachineListModel::Description));
}

void FrmCall::unload()
{
    if (!m_loaded || m_unloading)
        return;
    m_unloading = true;
    m_session.unload();
    m_loaded = false;
    m_machines.clear();
    hide();
    m_unloading = false;
}

void FrmCall::closeEvent(QCloseEvent *e)
{
    unload();
    e->accept();
}
