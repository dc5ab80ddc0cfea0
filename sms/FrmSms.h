#pragma once

#include "AlarmQueue.h"
#include "IncomingSms.h"
#include "Services.h"
#include "SmsListing.h"
#include "SmsReception.h"

#include <QWidget>
#include <array>
#include <memory>

class AlarmWatch;
class FrmSend;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class SqlMachineDb;

// "SMS": the queue of received messages. The message in the first row is on show with the
// machine that sent it; each is filed as a pending event when it arrives, "OK" acknowledges it
// and moves on, "Acknowledge all" empties the queue, "Send" forwards it. On a shared database
// the queue holds every desk's pending alarms, each with the station that received it, and
// follows what the other desks file and acknowledge.
class FrmSms : public QWidget, public SmsInbox
{
    Q_OBJECT
public:
    // databasePath: the machine database, opened each time the window loads.
    FrmSms(const Services &services, const QString &databasePath, FrmSend &send,
           QWidget *parent = nullptr);
    ~FrmSms() override;

    // Adds a message to the queue at row position (1 = top); loads the window if needed.
    void insertItem(int position, const SmsListing::Message &m) override;
    // Shows the window with the message in the first row.
    void showWindow() override;
    // Queues the alarms still pending in the database and shows them (the station's start); on
    // a shared database the queue follows the other desks from then on.
    void showPending();
    // The name this desk files and acknowledges alarms under (the computer's name by default).
    void setStationName(const QString &name) { m_station = name; }
    bool isLoaded() const { return m_loaded; }
    int queued() const;
    // Whether a machine was identified for the message on show (full layout).
    bool machineShown() const { return m_machineShown; }

    // 0: compact layout (no machine identified), 1: full layout.
    void FrmSize(int mode);
    void showNext();
    void Command1_Click();
    void Command2_Click();
    void acknowledgeAll();

    QTreeWidget *ListView1 = nullptr;
    std::array<QLabel *, 3> Label2{};
    std::array<QLabel *, 4> Label1{}; // 1 to 3 are bound to the machine
    std::array<QLabel *, 5> LabelM{};
    QPlainTextEdit *TextSms = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr; // "Acknowledge all"

protected:
    void closeEvent(QCloseEvent *e) override;
    bool event(QEvent *e) override;

private:
    // What is on show, as the operator sees it (the text box may have been edited).
    IncomingSms::Shown shown() const;
    void load();
    void unload();
    void place(bool full);
    void queue(int position, const QStringList &columns, qint64 id);
    // Acknowledges the rows' records (those that could not be filed are filed now).
    void acknowledge(const QList<const QTreeWidgetItem *> &rows);
    // Makes the queue the pending alarms: those acknowledged elsewhere go, those filed
    // elsewhere come in on top as if received here.
    void follow(const QList<AlarmQueue::Waiting> &pending);
    void refresh();

    Services m_s;
    QString m_databasePath;
    FrmSend &m_send;
    QString m_station;
    AlarmWatch *m_watch;
    std::unique_ptr<SqlMachineDb> m_db;
    bool m_loaded = false;
    bool m_closing = false;
    bool m_machineShown = true;
    int m_fullHeight = 0; // taken at the first layout switch
};
