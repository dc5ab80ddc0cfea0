#pragma once

#include "Services.h"

#include <QByteArray>
#include <QWidget>
#include <array>

class AtExchange;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class Timer;

// "Send sms": sends one text to one number as 160-character SMS through the station's modem
// port, which it borrows while it is open, and logs each text sent in the monthly "SMT" file.
class FrmSend : public QWidget
{
    Q_OBJECT
public:
    static constexpr int PartSize = 160;

    // at: the main window's exchange on `MSComm1`; the window borrows the port from
    // services.lender while it is loaded; mainWindow is hidden meanwhile.
    FrmSend(const Services &services, AtExchange &at, QWidget *mainWindow, const QString &logFolder,
            QWidget *parent = nullptr);
    ~FrmSend() override;

    // The call console is closed when this window loads (not owned; may be null).
    void setCallConsole(WindowOpener *console) { m_console = console; }
    // How the station's menu opens this window.
    WindowOpener &opener();

    void showWindow();
    bool isLoaded() const { return m_loaded; }
    void unload();
    bool isSending() const { return m_sending; }

    void setNumber(const QString &number);
    // Line breaks as CR LF.
    void setText(const QString &text);
    QString text() const;

    // Parts of 160 characters a text of this length needs (at least one).
    static int partsFor(qsizetype length);
    // The bytes sent for a text: Ctrl-Z and ESC, which would end or abandon the modem's text
    // entry, become blanks.
    static QByteArray wireText(const QString &text);

    QLineEdit *Text1 = nullptr;
    QPlainTextEdit *TextSms = nullptr;
    std::array<QLabel *, 2> Label1{};
    QPushButton *Command1 = nullptr;

    void Command1_Click();

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void load();
    void recount();
    bool sendParts(const QByteArray &number, const QByteArray &text);

    Services m_s;
    AtExchange &m_at;
    QWidget *m_mainWindow;
    QString m_logFolder;
    WindowOpener *m_console = nullptr;
    class Opener;
    Opener *m_opener;
    bool m_loaded = false;
    bool m_sending = false;
};
