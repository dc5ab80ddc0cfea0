#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

// The modem's answer to the listing of all stored messages, taken apart header by header.
// Each header is matched against the form its modem lists in, so a header that does not have
// it is reported as unparsed, never guessed at. Whether a header was genuinely listed
// (and may be deleted by its index) is judged apart, on the header line's own fields.
namespace SmsListing {

// Modems that report this manufacturer list messages without time stamps.
inline const QByteArray TelitManufacturer = QByteArrayLiteral("Telit_Mobile_Terminals");

enum class Form {
    Generic, // index, status, number, optional empty alpha field, time stamp
    Telit,   // index, status, number; date and time come from reading the message singly
};

// Storage indices a modem uses; anything larger is noise.
inline constexpr qint64 MaxStorageIndex = 9999;

struct Message
{
    int header = 0;   // offset of its "+CMGL:"
    qint64 index = 0; // storage index, for reading and deleting
    bool parsed = false;
    QByteArray number; // without quotes
    QByteArray date;   // dd/MM/yy (generic form only)
    QByteArray time;   // hh:mm:ss (generic form only)
    QByteArray text;   // the line after the header
    // A well-formed header line: "+CMGL: " at the start of a line, an index within the modem's
    // range, a known status and a quoted number. Only such an index is read or deleted.
    bool listed = false;
};

enum class Outcome { Pending, Complete, Failed };
// Judges the answer collected so far, line by line: a final result ("OK", "ERROR", "+CMS ERROR")
// counts only on a complete line of its own that is not the text line of a listed message, so a
// machine's text reading "OK" or "ERROR" neither cuts the listing short nor fails it.
Outcome judge(const QByteArray &answer);

// Judges the answer to reading one message ("AT+CMGR=") the same way: the text line after the
// "+CMGR:" header never counts as a final result, so a text such as "POWER OK" does not end it.
Outcome judgeRead(const QByteArray &answer);

// The length of a listing up to the end of its final "OK" line: what follows it is not part of
// the listing. -1 while (or when) the listing has not ended in "OK".
qsizetype completeListingEnd(const QByteArray &answer);

// Every "+CMGL:" header of the listing, in listing order. A header after which no comma
// follows ends the walk (it has no index to delete by).
QList<Message> parse(const QByteArray &listing, Form form);

struct Stamp
{
    QByteArray date; // dd/MM/yy
    QByteArray time; // hh:mm
};
// The time stamp of a single-message read ("+CMGR:" answer), when it can be found.
std::optional<Stamp> parseReadAnswer(const QByteArray &answer);

// "yy/MM/dd" -> "dd/MM/yy": the first two and the last two characters change places.
QByteArray swapEnds(const QByteArray &date);

} // namespace SmsListing
