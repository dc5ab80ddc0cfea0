#pragma once

#include "AtExchange.h"
#include "Timer.h"

#include <QWidget>

class FrmStGSM;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Setup": writes the modem's complete working configuration and the SMS service centre. Its
// "Set GSM" also runs hidden every time discovery finds the modem. It borrows the main window's
// port but times its exchanges with its own timer.
class FrmSet : public QWidget
{
    Q_OBJECT
public:
    // Form load: reads the service centre from the modem.
    explicit FrmSet(FrmStGSM &main);

    void TimOut(int ms) { m_at.Tout(ms); }
    // Runs "Set GSM".
    void setup() { Command1_Click(); }
    // Form unload: the station gets its port back.
    void unload();

    QLabel *Label2;
    QLineEdit *Text2;
    QPushButton *Command1;
    QCheckBox *Check1;
    QCheckBox *CheckQueue = nullptr; // only on a shared database
    Timer Timer1{QStringLiteral("FrmSet.Timer1"), 2000, false};

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void readServiceCentre();
    void Command1_Click();
    void Check1_Click();

    FrmStGSM &m_main;
    AtExchange m_at;
    bool m_unloaded = false;
};
