#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <map>

class ModemSim;

// The modem's SMS store in text mode, answering as 3GPP TS 27.005 describes: "+CMGL" lists,
// "+CMGR" reads, "+CMGD" deletes, "+CMGS" takes a text after the "> " prompt up to Ctrl-Z.
class SmsStore
{
public:
    enum class Form {
        Generic,        // +CMGL: 1,"REC UNREAD","+39...",,"yy/MM/dd,hh:mm:ss+zz"
        GenericNoAlpha, // +CMGL: 1,"REC UNREAD","+39...","yy/MM/dd,hh:mm:ss+zz"
        Telit,          // +CMGL: 1,"REC UNREAD","+39..." (no time stamp)
    };
    // How the next sends go wrong.
    enum class SendFault {
        None,
        NoPrompt,  // the command is swallowed: no "> ", no result
        Error,     // "+CMS ERROR: 500" after the text
        NoFinalOk, // the text is taken but no result follows
    };

    struct Stored
    {
        int index = 0;
        bool read = false;
        QByteArray number;
        QDateTime stamp;
        int zoneQuarters = 4; // time zone in quarters of an hour (+04 = one hour east)
        QByteArray text;
    };
    struct Sent
    {
        QByteArray number;
        QByteArray text;
    };

    explicit SmsStore(int capacity = 30) : m_capacity(capacity) {}

    // Registers the SMS commands on the modem.
    void install(ModemSim &modem);

    void setForm(Form f) { m_form = f; }
    Form form() const { return m_form; }
    // count sends fail with fault, after the next `after` sends went well.
    void failSends(SendFault fault, int count = 1, int after = 0);

    // A message arrives; returns its storage index, or 0 when the store is full.
    int receive(const QByteArray &number, const QByteArray &text, const QDateTime &stamp,
                int zoneQuarters = 4);
    QList<Stored> messages() const;
    int count() const { return int(m_messages.size()); }
    const QList<Sent> &sent() const { return m_sent; }
    QList<int> deleted() const { return m_deleted; }

    // The answers themselves, as the modem sends them (information text framed by CR LF).
    QByteArray listing(const QByteArray &status);
    QByteArray readAnswer(int index);

private:
    QByteArray header(const Stored &m) const;
    static QByteArray stampText(const Stored &m);

    int m_capacity;
    Form m_form = Form::Generic;
    std::map<int, Stored> m_messages;
    QList<Sent> m_sent;
    QList<int> m_deleted;
    SendFault m_fault = SendFault::None;
    int m_faultCount = 0;
    int m_faultAfter = 0;
    int m_reference = 0;
};
