#pragma once

#include "Services.h"
#include "Timer.h"

#include <QWidget>
#include <array>
#include <functional>

class CallSession;
class MachineListModel;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeView;

// The call console "Call": the machine directory and the buttons of the seven commands. It only
// shows the session and passes clicks on; the session does the work.
class FrmCall : public QWidget, public WindowOpener
{
    Q_OBJECT
public:
    FrmCall(CallSession &session, MachineListModel &machines, QWidget *parent = nullptr);

    // Where a queued call comes from (the scheduler's queue): returns "" when none is waiting.
    void setCallQueue(std::function<QString()> takeNext) { m_takeQueued = std::move(takeNext); }
    // Run at load: hides the main window and closes the send window.
    void setOnLoad(std::function<void()> f) { m_onLoad = std::move(f); }
    // Fills the list from the database (when it has no rows).
    void setFillList(std::function<void()> f) { m_fill = std::move(f); }
    // Opens the schedule of the selected machine's number ("Schedule").
    void setOpenSchedule(std::function<void(const QString &)> f)
    {
        m_openSchedule = std::move(f);
        refresh();
    }

    // WindowOpener
    void show() override;
    bool isLoaded() const override { return m_loaded; }
    void unload() override;

    // Every activation: fills an empty list, then takes one queued number.
    void activated();
    // A click on a row.
    void rowClicked(int row);

    CallSession &session() const { return m_session; }

    // Controls
    QTreeView *ListView1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label10 = nullptr;
    // The machine of the command (name and number), its step and times, and the file it saved.
    QLabel *LabelMachine = nullptr;
    QLabel *LabelProgress = nullptr;
    QLabel *LabelSaved = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command4 = nullptr;
    QPushButton *Command6 = nullptr;
    QPushButton *Command7 = nullptr;
    QPushButton *Command8 = nullptr;
    QPushButton *Command9 = nullptr;
    QPushButton *Command10 = nullptr;
    QPushButton *Command12 = nullptr;
    QPushButton *CommandSchedule = nullptr;
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;

protected:
    void changeEvent(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void build();
    void refresh();
    void fitColumns();
    QPushButton *button(int which) const;

    CallSession &m_session;
    MachineListModel &m_machines;
    std::function<QString()> m_takeQueued;
    std::function<void()> m_onLoad;
    std::function<void()> m_fill;
    std::function<void(const QString &)> m_openSchedule;
    bool m_loaded = false;
    bool m_unloading = false;
    // Keeps the elapsed time moving while nothing else changes (a dial waits up to a minute).
    ::Timer m_clockTimer{QStringLiteral("FrmCall.clock"), 1000, false};
};
