#include "FrmSend.h"

#include "AtExchange.h"
#include "Clock.h"
#include "Dialogs.h"
#include "PortLender.h"
#include "SmsLog.h"
#include "TextBox.h"
#include "Timer.h"

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
constexpr char CtrlZ = 26;
constexpr char Esc = 27;
} // namespace

class FrmSend::Opener : public WindowOpener
{
public:
    explicit Opener(FrmSend &w) : m_w(w) {}
    void show() override { m_w.showWindow(); }
    bool isLoaded() const override { return m_w.isLoaded(); }
    void unload() override { m_w.unload(); }

private:
    FrmSend &m_w;
};

FrmSend::FrmSend(const Services &services, AtExchange &at, QWidget *mainWindow,
                 const QString &logFolder, QWidget *parent)
    : QWidget(parent), m_s(services), m_at(at),
      m_mainWindow(mainWindow), m_logFolder(logFolder), m_opener(new Opener(*this))
{
    using TextBox::px;
    setWindowTitle(tr("Send sms"));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(px(120), px(120), px(2400), px(315));
    for (int i = 0; i < 2; ++i) {
        Label1[i] = new QLabel(this);
        Label1[i]->setObjectName(QStringLiteral("Label1(%1)").arg(i));
    }
    Label1[0]->setGeometry(px(2640), px(150), px(1200), px(255));
    Label1[1]->setGeometry(px(3960), px(150), px(600), px(255));
    TextSms = new QPlainTextEdit(this);
    TextSms->setObjectName(QStringLiteral("TextSms"));
    TextSms->setFont(TextBox::terminalFont());
    TextSms->setGeometry(px(120), px(555), px(4680), px(1800));
    Command1 = new QPushButton(tr("Send"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(px(3600), px(2475), px(1200), px(375));
    setFixedSize(px(4920), px(2970));

    connect(Text1, &QLineEdit::textChanged, this, [this](const QString &number) {
        if (!m_sending)
            Command1->setEnabled(number.size() >= 3);
    });
    connect(TextSms, &QPlainTextEdit::textChanged, this, &FrmSend::recount);
    connect(Command1, &QPushButton::clicked, this, &FrmSend::Command1_Click);
    Command1->setEnabled(false);
    recount();
}

FrmSend::~FrmSend()
{
    delete m_opener;
}

WindowOpener &FrmSend::opener()
{
    return *m_opener;
}

void FrmSend::load()
{
    m_loaded = true;
    if (m_s.lender)
        m_s.lender->lend();
    if (m_mainWindow)
        m_mainWindow->hide();
    if (m_console && m_console->isLoaded())
        m_console->unload();
}

void FrmSend::showWindow()
{
    if (!m_loaded)
        load();
    show();
    raise();
}

void FrmSend::unload()
{
    if (!m_loaded)
        return;
    m_loaded = false;
    hide();
    Text1->clear();
    TextSms->clear();
    if (m_s.lender)
        m_s.lender->giveBack();
}

void FrmSend::closeEvent(QCloseEvent *e)
{
    // The port is in use until the send ends.
    if (m_sending) {
        e->ignore();
        return;
    }
    unload();
    e->accept();
}

void FrmSend::setNumber(const QString &number)
{
    Text1->setText(number);
}
void FrmSend::setText(const QString &text)
{
    TextBox::setText(TextSms, text);
}
QString FrmSend::text() const
{
    return TextBox::text(TextSms);
}

int FrmSend::partsFor(qsizetype length)
{
    return length <= PartSize ? 1 : int((length + PartSize - 1) / PartSize);
}

QByteArray FrmSend::wireText(const QString &text)
{
    QByteArray bytes = text.toLatin1();
    for (char &c : bytes)
        if (c == CtrlZ || c == Esc)
            c = ' ';
    return bytes;
}

void FrmSend::recount()
{
    const qsizetype length = text().size();
    const int parts = partsFor(length);
    Label1[0]->setText(QStringLiteral("%1/%2").arg(parts * PartSize).arg(length));
    Label1[1]->setText(QString::number(parts));
}

bool FrmSend::sendParts(const QByteArray &number, const QByteArray &text)
{
    const int parts = Label1[1]->text().toInt();
    for (int i = 0; i < parts; ++i) {
        if (m_at.exchange("AT+CMGS=\"" + number + '"', 2000, {ERROR_, ">"}) != 1)
            return false;
        const QByteArray piece = text.mid(qsizetype(i) * PartSize, PartSize);
        if (m_at.exchange(piece, 30000, {ERROR_, OK_}, QByteArray(1, CtrlZ)) != 1)
            return false;
    }
    return true;
}

void FrmSend::Command1_Click()
{
    const QString number = Text1->text();
    if (number.contains(QLatin1Char('"')) || number.contains(QLatin1Char('\r')) ||
        number.contains(QLatin1Char('\n'))) {
        m_s.dialogs->message(tr("The number must not hold double quotes or line "
                                            "breaks."),
                             MsgButtons::Ok, MsgIcon::Exclamation, tr("Error"));
        return;
    }
    const QByteArray wireNumber = number.toLatin1();
    const QByteArray body = wireText(text());
    m_sending = true;
    Command1->setEnabled(false);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    while (!sendParts(wireNumber, body)) {
        QGuiApplication::restoreOverrideCursor();
        if (m_s.dialogs->message(tr("Fail to send SMS! Retry?"), MsgButtons::YesNo,
                                 MsgIcon::Question, tr("Error")) != MsgResult::Yes) {
            m_sending = false;
            Command1->setEnabled(true);
            return;
        }
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    const QString log =
        QDir(m_logFolder).filePath(SmsLog::fileName(SmsLog::Sent, m_s.clock->now().date()));
    QString why;
    const bool logged =
        SmsLog::append(log, wireNumber + "\r\n" + body + "\r\n" + "SEND OK+" + "\r\n", &why);
    m_sending = false;
    Command1->setEnabled(true);
    QGuiApplication::restoreOverrideCursor();
    if (!logged)
        m_s.dialogs->message(
            tr("The SMS was sent but could not be written to %1 (%2).").arg(log, why),
            MsgButtons::Ok, MsgIcon::Exclamation, tr("Error"));
    unload();
}
