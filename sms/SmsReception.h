#pragma once

#include "Services.h"
#include "SmsListing.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

class AtExchange;
class FrmSms;

// Takes the messages out of the modem at every network-polling tick: lists them, logs the raw
// listing in the monthly "SMR" file, queues each in the incoming SMS window and deletes it.
// The listing is logged before the first deletion, so a message is always either still in the
// modem or in the log; when the log cannot be written nothing is deleted. Only messages that the
// listing genuinely holds are deleted: never an index taken from line noise.
class SmsReception
{
public:
    // comOK: the station's `ComOK`; logFolder: where the monthly logs lie.
    SmsReception(const Services &services, AtExchange &at, FrmSms &viewer,
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
    FrmSms &m_viewer;
    std::function<bool()> m_comOK;
    QString m_logFolder;
    bool m_logFailing = false; // the operator has been told; told again after a success
};
