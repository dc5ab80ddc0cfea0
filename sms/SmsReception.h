#pragma once

#include "Services.h"
#include "SmsListing.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

class AtExchange;

// Where reception puts the messages it takes: the incoming SMS window.
class SmsInbox
{
public:
    virtual ~SmsInbox() = default;
    // position: 1 = top.
    virtual void insertItem(int position, const SmsListing::Message &m) = 0;
    virtual void showWindow() = 0;
};

// Takes the messages out of the modem at every network-polling tick: lists them, logs the raw
// listing in the monthly "SMR" file, queues each in the incoming SMS window and deletes it.
// The listing is logged before the first deletion, so a message is always either still in the
// modem or in the log; when the log cannot be written nothing is deleted. Only messages that the
// listing genuinely holds are deleted: never an index taken from line noise.
class SmsReception
{
public:
    // comOK: the station's `ComOK`; logFolder: where the monthly logs lie.
    SmsReception(const Services &services, AtExchange &at, SmsInbox &viewer,
                 std::function<bool()> comOK, const QString &logFolder);

    void CONTROLLASMS();
    void GetSMS(const QByteArray &listing);

private:
    bool log(const QByteArray &listing);
    void remove(qint64 index);
    // The time stamp of one message, read singly (modems that list without it).
    std::optional<SmsListing::Stamp> readStamp(qint64 index);

    Services m_s;
    AtExchange &m_at;
    SmsInbox &m_viewer;
    std::function<bool()> m_comOK;
    QString m_logFolder;
    bool m_logFailing = false; // the operator has been told; told again after a success
};
