#pragma once

#include "Services.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class Schedule;
class ScheduleRecord;
class SpinButtons;

// "Scheduler": edits the schedule entry of one telephone number. Each control writes its field
// of the entry at once, so the periodic check sees the edit even before it is saved; "Save and
// Exit" writes PROGOR.DAT, "Exit" (or the title bar) leaves the edits in memory only.
class FrmProgor : public QWidget
{
    Q_OBJECT
public:
    FrmProgor(const Services &services, Schedule &schedule, QWidget *parent = nullptr);

    // Opens the window on the entry of number: reloads the schedule file, then edits the first
    // entry holding the number, or the first free one, which takes the number. False, and the
    // window stays closed, for a blank number or when every entry belongs to another number.
    bool showFor(const QString &number);

    // The entry being edited (index into the schedule), -1 before the first opening.
    int editedRecord() const { return m_record; }

    QLineEdit *numerotelefono = nullptr;
    std::array<QRadioButton *, 2> Option1{}; // "Weekly", "Monthly"
    QGroupBox *Frame1 = nullptr;             // "Weekly"
    std::array<QCheckBox *, 7> Check1{};     // Monday ... Sunday
    QGroupBox *Frame2 = nullptr;             // "Monthly"
    std::array<QCheckBox *, 12> Check2{};    // January ... December
    QLabel *Label1 = nullptr;                // "Every"
    QComboBox *Combo1 = nullptr;             // "No one", "First", "Last"
    QComboBox *Combo2 = nullptr;             // "No one", "Monday" ... "Sunday"
    QGroupBox *Frame3 = nullptr;             // "Hour/minute"
    std::array<QLineEdit *, 2> Text1{};      // hour, minute ("00")
    std::array<SpinButtons *, 2> VScroll1{}; // 0-23, 0-59
    QCheckBox *Check3 = nullptr;             // "Collect audit unattended"
    std::array<QPushButton *, 2> Command1{}; // "Save and Exit", "Exit"

    void Command1_Click(int index);

private:
    ScheduleRecord &record();
    void fillControls();
    void setWeekly(bool weekly);
    void showTime(int box, int value);

    Services m_s;
    Schedule &m_schedule;
    int m_record = -1;
    bool m_filling = false;
    bool m_typing = false;
};
