#include "SmsReception.h"

#include "AtExchange.h"
#include "Clock.h"
#include "Dialogs.h"
#include "StationState.h"
#include "SmsListing.h"
#include "SmsLog.h"

#include <QCoreApplication>
#include <QDir>

SmsReception::SmsReception(const Services &services, AtExchange &at, SmsInbox &viewer,
                           std::function<bool()> comOK, const QString &logFolder)
    : m_s(services), m_at(at), m_viewer(viewer), m_comOK(std::move(comOK)), m_logFolder(logFolder)
{
}

namespace {
// Judges an answer line by line with judge: 0 complete, 1 failed, -1 still coming.
std::function<int(const QByteArray &)> byLines(SmsListing::Outcome (*judge)(const QByteArray &))
{
    return [judge](const QByteArray &answer) {
        switch (judge(answer)) {
        case SmsListing::Outcome::Complete:
            return 0;
        case SmsListing::Outcome::Failed:
            return 1;
        case SmsListing::Outcome::Pending:
            break;
        }
        return -1;
    };
}
} // namespace

void SmsReception::CONTROLLASMS()
{
    if (!m_comOK())
        return;
    ExchangeRules listing;
    listing.skipEmptyRounds = true;
    listing.judge = byLines(SmsListing::judge);
    m_at.flush();
    if (m_at.exchange(QByteArrayLiteral("AT+CMGL=\"ALL\""), 15000, listing) == 0) {
        const QByteArray answer = m_at.buffer(); // the exchanges below reuse the buffer
        GetSMS(answer);
    }
}

bool SmsReception::log(const QByteArray &listing)
{
    const QString path =
        QDir(m_logFolder).filePath(SmsLog::fileName(SmsLog::Received, m_s.clock->now().date()));
    QString why;
    if (SmsLog::append(path, listing + "\r\n", &why)) {
        m_logFailing = false;
        return true;
    }
    if (!m_logFailing)
        m_s.dialogs->message(QCoreApplication::translate(
                                 "SmsReception",
                                 "The received SMS cannot be written to %1 (%2).\r\n"
                                 "They stay in the modem until the log can be written.")
                                 .arg(QDir::toNativeSeparators(path), why),
                             MsgButtons::Ok, MsgIcon::Exclamation,
                             QCoreApplication::translate("SmsReception", "Error"));
    m_logFailing = true;
    return false;
}

void SmsReception::remove(qint64 index)
{
    // Whatever an earlier answer left behind must not be taken for this one's result.
    m_at.flush();
    m_at.exchange("AT+CMGD=" + QByteArray::number(index), 2000, {OK_CRLF});
}

std::optional<SmsListing::Stamp> SmsReception::readStamp(qint64 index)
{
    ExchangeRules read;
    read.judge = byLines(SmsListing::judgeRead);
    m_at.flush();
    m_at.exchange("AT+CMGR=" + QByteArray::number(index), 2000, read);
    return SmsListing::parseReadAnswer(m_at.buffer());
}

void SmsReception::GetSMS(const QByteArray &listing)
{
    if (listing.isEmpty() || !listing.contains("+CMGL:"))
        return;
    if (!log(listing))
        return;
    // Only a listing that ended in its own "OK" says what the store holds, and only up to that
    // line; indices from noise in it or around it are never read or deleted.
    const qsizetype end = SmsListing::completeListingEnd(listing);
    if (end < 0)
        return;
    const bool telit =
        m_s.station && m_s.station->Manufacturer.toLatin1() == SmsListing::TelitManufacturer;
    const auto form = telit ? SmsListing::Form::Telit : SmsListing::Form::Generic;
    int taken = 0;
    QByteArray date;
    QByteArray time;
    for (SmsListing::Message m : SmsListing::parse(listing.left(end), form)) {
        if (!m.listed)
            continue;
        if (m.parsed) {
            if (telit) {
                if (const auto stamp = readStamp(m.index)) {
                    date = stamp->date;
                    time = stamp->time;
                }
                m.date = date;
                m.time = time;
            }
            m_viewer.insertItem(++taken, m);
        }
        remove(m.index);
    }
    if (taken > 0)
        m_viewer.showWindow();
}
