#include "FrmSet.h"

#include "Dialogs.h"
#include "FrmPin.h"
#include "FrmStGSM.h"
#include "ModemCommands.h"
#include "ModemSteps.h"
#include "SerialPort.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FrmSet::FrmSet(FrmStGSM &main)
    : QWidget(nullptr, Qt::Window), m_main(main), m_at(*main.services().port, Timer1)
{
    setWindowTitle(tr("Setup"));
    Label2 = new QLabel(tr("Service Center"), this);
    Text2 = new QLineEdit(this);
    Text2->setMaxLength(18);
    Command1 = new QPushButton(tr("Set GSM"), this);
    Check1 = new QCheckBox(tr("Enable   PIN2"), this);
    auto *grid = new QGridLayout(this);
    grid->addWidget(Label2, 0, 0);
    grid->addWidget(Text2, 0, 1);
    grid->addWidget(Check1, 1, 0);
    grid->addWidget(Command1, 1, 1);
    if (const auto &choice = m_main.queueLineChoice(); choice.get && choice.set) {
        // Takes effect at once: it concerns the station, not the modem's configuration.
        CheckQueue = new QCheckBox(tr("Serve the collection queue with this modem"), this);
        CheckQueue->setChecked(choice.get());
        grid->addWidget(CheckQueue, 2, 0, 1, 2);
        connect(CheckQueue, &QCheckBox::toggled, this, [this](bool on) {
            if (const auto &c = m_main.queueLineChoice(); c.set)
                c.set(on);
        });
    }
    connect(&Timer1, &Timer::tick, this, [this] { Timer1.setEnabled(false); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Check1, &QCheckBox::clicked, this, [this] { Check1_Click(); });
    readServiceCentre();
}

void FrmSet::readServiceCentre()
{
    m_at.flush();
    // "OK" is judged before "ERROR".
    const int found = m_at.exchange("AT+CSCA?", 1000, {OK_, ERROR_});
    if (found < 0)
        return;
    if (found == 1) {
        Text2->setEnabled(false);
        return;
    }
    const QByteArray &buf = m_at.buffer();
    const int p = buf.indexOf('"');
    const int q = p >= 0 ? buf.indexOf('"', p + 1) : -1;
    if (q - p > 1)
        Text2->setText(QString::fromLatin1(buf.mid(p + 1, q - p - 1)));
}

void FrmSet::Command1_Click()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Command1->setEnabled(false);

    // A disabled field (the modem refused the query) sends no service centre either.
    const QByteArray centre = Text2->isEnabled() ? Text2->text().toLatin1() : QByteArray();
    const bool changed = ModemSteps::setGsm(m_at, centre);

    m_main.Timer1.setEnabled(true);
    m_main.Timer2.setEnabled(false);
    QApplication::restoreOverrideCursor();
    Command1->setEnabled(true);
    if (changed)
        m_main.services().dialogs->message(
            QCoreApplication::translate("ModemCommands", ModemChangedMessage), MsgButtons::Ok,
                                           MsgIcon::Information);
    unload();
}

void FrmSet::Check1_Click()
{
    FrmPin *pin = m_main.loadPinWindow();
    pin->Check1->setChecked(Check1->isChecked());
    if (Check1->isChecked()) {
        m_main.showPinWindow()->Vpin2();
        unload();
    }
}

void FrmSet::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    // After new settings the SIM supervision starts over, and it restarts the polling.
    m_main.lender().giveBack(m_main.Timer1.isEnabled() ? PortLender::Resume::Nothing
                                                       : PortLender::Resume::Polling);
    m_main.setupWindowUnloaded(this);
}

void FrmSet::closeEvent(QCloseEvent *e)
{
    e->accept();
    unload();
}
