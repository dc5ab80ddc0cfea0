#include "FrmPin.h"

#include "Dialogs.h"
#include "FrmSet.h"
#include "FrmStGSM.h"
#include "PinFile.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FrmPin::FrmPin(FrmStGSM &main) : QWidget(nullptr, Qt::Window), m_main(main)
{
    setWindowTitle(tr("Security Code"));
    const char *captions[3] = {QT_TR_NOOP("Pin"), QT_TR_NOOP("Puk"), QT_TR_NOOP("Pin 2")};
    for (int i = 0; i < 3; ++i)
        LabelT[i] = new QLabel(tr(captions[i]), this);
    Text1 = new QLineEdit(this);
    Text1->setMaxLength(4);
    Text1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Text2 = new QLineEdit(this);
    Text2->setMaxLength(8);
    Text3 = new QLineEdit(this);
    for (QLineEdit *t : {Text1, Text2, Text3}) {
        t->setEchoMode(QLineEdit::Password);
        setOpen(t, false);
    }
    Check1 = new QCheckBox(this);
    Check1->setEnabled(false);
    Command1 = new QPushButton(tr("OK"), this);
    auto *grid = new QGridLayout(this);
    QLineEdit *fields[3] = {Text1, Text2, Text3};
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(LabelT[i], i, 0);
        grid->addWidget(fields[i], i, 1);
    }
    grid->addWidget(Check1, 2, 2);
    grid->addWidget(Command1, 3, 1);
    connect(Text1, &QLineEdit::textChanged, this, [this] { Text1_Change(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Check1, &QCheckBox::clicked, this, [this] { Check1_Click(); });
}

void FrmPin::setOpen(QLineEdit *field, bool open)
{
    field->setEnabled(open);
    QPalette pal = field->palette();
    pal.setColor(QPalette::Base, open ? QColor(0xFF, 0xFF, 0xFF) : QColor(0xE0, 0xE0, 0xE0));
    field->setPalette(pal);
    field->setAutoFillBackground(true);
    if (open)
        field->setFocus();
}

void FrmPin::Vpin()
{
    setOpen(Text1, true);
    m_main.Timer1.setEnabled(false);
}

void FrmPin::Vpuk()
{
    setOpen(Text2, true);
    Vpin();
}

void FrmPin::Vpin2()
{
    setOpen(Text3, true);
    Check1->setEnabled(true);
}

void FrmPin::Text1_Change()
{
    // Every complete PIN is stored at once, with fresh filler each time.
    if (Text1->text().size() == 4)
        PinFile::write(QDir::currentPath(), Text1->text().toLatin1(), *m_main.services().clock);
}

void FrmPin::Command1_Click()
{
    m_main.state().PinConfirmed = true;
    m_main.Timer1.setEnabled(true);
    if (Text1->isEnabled() && !Text2->isEnabled()) {
        unload(); // supervision sends the PIN from "Pin.set"
        return;
    }
    if (Text1->text().isEmpty())
        return;
    AtExchange &at = m_main.at();
    at.clear();
    at.send("AT+CPIN=\"" + Text2->text().toLatin1() + "\",\"" + Text1->text().toLatin1() + "\"\r");
    at.Tout(5000);
    if (at.collect({ERROR_CRLF, OK_CRLF}) == 0) {
        m_main.services().dialogs->message(tr("Error Puk"), MsgButtons::Ok,
                                           MsgIcon::Critical, tr("PUK"));
        Text1->clear();
        Text2->clear();
        return;
    }
    unload();
}

void FrmPin::Check1_Click()
{
    if (FrmSet *set = m_main.setupWindow())
        set->Check1->setChecked(Check1->isChecked());
    if (!Check1->isChecked())
        setOpen(Text3, false);
}

void FrmPin::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (!m_main.state().PinConfirmed) {
        m_main.Timer1.setEnabled(false);
        m_main.endProgram();
    } else {
        m_main.Timer1.setEnabled(true);
    }
    m_main.pinWindowUnloaded(this);
}

void FrmPin::closeEvent(QCloseEvent *e)
{
    e->accept();
    unload();
}
