#include "FrmSms.h"

#include "AlarmQueue.h"
#include "Clock.h"
#include "Dialogs.h"
#include "FrmSend.h"
#include "MachineDb.h"
#include "TextBox.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTreeWidget>
#include <algorithm>

using TextBox::px;

namespace {
// Design positions (twips) of the full layout; the compact one sits 1000 twips higher.
constexpr int FullTextTop = 1440;
constexpr int FullButtonTop = 3120;
constexpr int Shift = 1000;
constexpr int ListGap = 500;
constexpr int ListHeight = 1500;
constexpr int DesignHeight = FullButtonTop + ListGap + ListHeight + 120;
constexpr int IdRole = Qt::UserRole; // the row's record in the database, -1 when not filed
constexpr int StationColumn = 5;     // the station that received the message
} // namespace

FrmSms::FrmSms(const Services &services, const QString &databasePath, FrmSend &send,
               QWidget *parent)
    : QWidget(parent), m_s(services), m_databasePath(databasePath), m_send(send),
      m_station(AlarmQueue::stationName()), m_watch(new AlarmWatch(databasePath, this))
{
    connect(m_watch, &AlarmWatch::changed, this, &FrmSms::refresh);
    setWindowTitle(tr("SMS"));
    // No close from the title bar: the last "OK" closes the window.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                   Qt::CustomizeWindowHint);
    const char *headings[5] = {QT_TR_NOOP("GSM"), QT_TR_NOOP("Distributor"),
                               QT_TR_NOOP("Sale Point"), QT_TR_NOOP("Operator"),
                               QT_TR_NOOP("Date")};
    for (int i = 0; i < 5; ++i) {
        LabelM[i] = new QLabel(tr(headings[i]), this);
        LabelM[i]->setObjectName(QStringLiteral("LabelM(%1)").arg(i));
    }
    for (int i = 0; i < 3; ++i) {
        Label2[i] = new QLabel(this);
        Label2[i]->setObjectName(QStringLiteral("Label2(%1)").arg(i));
    }
    // A caption longer than its place (a translation, a larger font) moves its box right
    // instead of being cut; the boxes keep their right edge.
    int captionWidth = px(1200);
    for (int i = 1; i < 4; ++i)
        captionWidth = std::max(captionWidth, LabelM[i]->sizeHint().width());
    for (int i = 1; i < 4; ++i) {
        Label1[i] = new QLabel(this);
        Label1[i]->setObjectName(QStringLiteral("Label1(%1)").arg(i));
        LabelM[i]->setGeometry(px(120), px(120 + 320 * i), captionWidth, px(255));
        const int boxLeft = px(120) + captionWidth + px(120);
        Label1[i]->setGeometry(boxLeft, px(120 + 320 * i), px(5640) - boxLeft, px(255));
        Label1[i]->setFrameShape(QFrame::Panel);
    }
    LabelM[0]->setGeometry(px(120), px(120), px(600), px(255));
    Label2[0]->setGeometry(px(720), px(120), px(1920), px(255));
    LabelM[4]->setGeometry(px(2760), px(120), px(600), px(255));
    Label2[1]->setGeometry(px(3360), px(120), px(1080), px(255));
    Label2[2]->setGeometry(px(4560), px(120), px(1080), px(255));
    TextSms = new QPlainTextEdit(this);
    TextSms->setObjectName(QStringLiteral("TextSms"));
    TextSms->setFont(TextBox::terminalFont());
    Command1 = new QPushButton(tr("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(tr("Send"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command3 = new QPushButton(tr("Acknowledge all"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setColumnCount(0);
    resize(px(5760), px(DesignHeight));
    place(true);

    connect(Command1, &QPushButton::clicked, this, &FrmSms::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &FrmSms::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &FrmSms::acknowledgeAll);
}

FrmSms::~FrmSms() = default;

void FrmSms::load()
{
    m_loaded = true;
    ListView1->clear();
    const char *columns[6] = {QT_TR_NOOP("N\u00B0"), QT_TR_NOOP("Tel"), QT_TR_NOOP("Data"),
                              QT_TR_NOOP("Ora"),     QT_TR_NOOP("SMS"), QT_TR_NOOP("Station")};
    const int widths[6] = {400, 1000, 1000, 1000, 1000, 1000};
    QStringList labels;
    for (const char *c : columns)
        labels << tr(c);
    ListView1->setHeaderLabels(labels);
    for (int i = 0; i < 6; ++i)
        ListView1->header()->resizeSection(i, px(widths[i]));
    m_db = std::make_unique<SqlMachineDb>(m_databasePath);
    if (!m_db->open())
        m_s.dialogs->message(m_db->failureMessage(), MsgButtons::Ok, MsgIcon::Exclamation,
                             tr("Error"));
}

void FrmSms::unload()
{
    m_loaded = false;
    m_closing = true;
    close();
    m_closing = false;
    ListView1->clear();
    ListView1->setColumnCount(0);
    m_db.reset();
}

void FrmSms::closeEvent(QCloseEvent *e)
{
    e->setAccepted(m_closing);
}

bool FrmSms::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate && m_loaded)
        showNext();
    return QWidget::event(e);
}

int FrmSms::queued() const
{
    return ListView1->topLevelItemCount();
}

void FrmSms::insertItem(int position, const SmsListing::Message &m)
{
    if (!m_loaded)
        load();
    const QStringList columns{QString::number(m.index),    QString::fromLatin1(m.number),
                              QString::fromLatin1(m.date), QString::fromLatin1(m.time),
                              QString::fromLatin1(m.text), m_station};
    // Filed before the modem deletes it: from now on a stop of the station cannot lose it.
    const qint64 id =
        m_db ? AlarmQueue::file(*m_db,
                                IncomingSms::identify(m_db.get(), columns[1], columns[2],
                                                      columns[3], columns[4]),
                                m_station)
             : -1;
    queue(position, columns, id);
}

void FrmSms::queue(int position, const QStringList &columns, qint64 id)
{
    auto *item = new QTreeWidgetItem(columns);
    item->setData(0, IdRole, id);
    ListView1->insertTopLevelItem(qBound(0, position - 1, queued()), item);
    // Numbers differ in their last digits: each column as wide as what it holds.
    for (int c = 0; c < ListView1->columnCount(); ++c)
        ListView1->resizeColumnToContents(c);
}

void FrmSms::showPending()
{
    if (m_watch->isShared()) {
        m_watch->start();
        return;
    }
    // A missing file is not created at start-up, and an unusable one is reported when the first
    // message arrives.
    if (!QFileInfo::exists(m_databasePath))
        return;
    SqlMachineDb db(m_databasePath);
    if (const auto pending = db.open() ? AlarmQueue::waiting(db) : std::nullopt)
        follow(*pending);
}

void FrmSms::refresh()
{
    if (const auto pending = m_watch->waiting())
        follow(*pending);
}

void FrmSms::follow(const QList<AlarmQueue::Waiting> &pending)
{
    QSet<qint64> ids;
    for (const AlarmQueue::Waiting &w : pending)
        ids.insert(w.id);
    const QTreeWidgetItem *onShow = queued() > 0 ? ListView1->topLevelItem(0) : nullptr;
    QSet<qint64> listed;
    for (int i = queued() - 1; i >= 0; --i) {
        const qint64 id = ListView1->topLevelItem(i)->data(0, IdRole).toLongLong();
        if (id < 0 || ids.contains(id))
            listed.insert(id);
        else
            delete ListView1->takeTopLevelItem(i);
    }
    int added = 0;
    for (const AlarmQueue::Waiting &w : pending) {
        if (listed.contains(w.id))
            continue;
        if (!m_loaded)
            load();
        queue(++added, {QString(), w.number, w.date, w.time, w.text, w.station}, w.id);
    }
    if (added > 0)
        showWindow();
    else if (m_loaded && queued() == 0)
        unload();
    else if (m_loaded && ListView1->topLevelItem(0) != onShow)
        showNext();
}

void FrmSms::showWindow()
{
    if (!m_loaded)
        load();
    show();
    raise();
    showNext();
}

void FrmSms::FrmSize(int mode)
{
    if (m_fullHeight == 0)
        m_fullHeight = height(); // the design size is the full layout's
    place(mode == 1);
    setFixedSize(width(), m_fullHeight - (m_machineShown ? 0 : px(Shift)));
}

void FrmSms::place(bool full)
{
    m_machineShown = full;
    const int shift = full ? 0 : Shift;
    for (int i = 1; i < 4; ++i) {
        LabelM[i]->setVisible(m_machineShown);
        Label1[i]->setVisible(m_machineShown);
    }
    const int textTop = FullTextTop - shift;
    const int buttonTop = FullButtonTop - shift;
    TextSms->setGeometry(px(120), px(textTop), px(5520), px(buttonTop - textTop - 120));
    Command1->setGeometry(px(120), px(buttonTop), px(1200), px(375));
    Command2->setGeometry(px(1440), px(buttonTop), px(1200), px(375));
    Command3->setGeometry(px(2760), px(buttonTop), px(1800), px(375));
    ListView1->setGeometry(px(120), px(buttonTop + ListGap), px(5520), px(ListHeight));
}

void FrmSms::showNext()
{
    if (queued() == 0) {
        FrmSize(0);
        return;
    }
    const QTreeWidgetItem *row = ListView1->topLevelItem(0);
    const IncomingSms::Shown m =
        IncomingSms::identify(m_db.get(), row->text(1), row->text(2), row->text(3), row->text(4));
    Label2[0]->setText(m.number);
    Label2[1]->setText(m.date);
    Label2[2]->setText(m.time);
    TextBox::setText(TextSms, m.text);
    Label1[1]->setText(m.machine);
    Label1[2]->setText(m.salePoint);
    Label1[3]->setText(m.operatorName);
    FrmSize(m.machineKnown ? 1 : 0);
}

IncomingSms::Shown FrmSms::shown() const
{
    return {Label2[0]->text(), Label2[1]->text(), Label2[2]->text(), TextBox::text(TextSms),
            m_machineShown,    Label1[1]->text(), Label1[2]->text(), Label1[3]->text()};
}

void FrmSms::acknowledge(const QList<const QTreeWidgetItem *> &rows)
{
    // A failed save must not stop the queue: the message is in the monthly log anyway.
    if (!m_db)
        return;
    const QDateTime now = m_s.clock->now();
    const QString station = m_station;
    QList<qint64> ids;
    for (const QTreeWidgetItem *row : rows) {
        const qint64 id = row->data(0, IdRole).toLongLong();
        if (id >= 0) {
            ids << id;
            continue;
        }
        DbRecord e =
            IncomingSms::event(row == ListView1->topLevelItem(0)
                                   ? shown()
                                   : IncomingSms::identify(m_db.get(), row->text(1), row->text(2),
                                                           row->text(3), row->text(4)));
        e.insert(AlarmQueue::acknowledged(now, station));
        e.insert(QStringLiteral("Received by"), row->text(StationColumn));
        m_db->append(MachineTables::Eventi, e);
    }
    AlarmQueue::acknowledge(*m_db, ids, now, station);
}

void FrmSms::Command1_Click()
{
    const int rows = queued();
    if (rows > 0) {
        acknowledge({ListView1->topLevelItem(0)});
        delete ListView1->takeTopLevelItem(0);
    }
    if (rows <= 1)
        unload();
    else
        showNext();
}

void FrmSms::acknowledgeAll()
{
    const int rows = queued();
    if (rows > 1 &&
        m_s.dialogs->message(tr("Acknowledge the %1 messages in the queue?").arg(rows),
                             MsgButtons::YesNo, MsgIcon::Question, tr("SMS")) != MsgResult::Yes)
        return;
    // Other desks may have acknowledged some while the question was open.
    QList<const QTreeWidgetItem *> all;
    for (int i = 0; i < queued(); ++i)
        all << ListView1->topLevelItem(i);
    acknowledge(all);
    unload();
}

void FrmSms::Command2_Click()
{
    m_send.showWindow();
    const IncomingSms::Forward f = IncomingSms::forward(m_db.get(), shown());
    m_send.setText(f.text);
    m_send.setNumber(f.number);
}
