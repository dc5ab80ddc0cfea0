#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

// The modem's answer to the listing of all stored messages, taken apart header by header.
// Positions follow the station's fixed arithmetic over the raw text, so a header the arithmetic
// cannot follow is reported as unparsed (and still deleted by the caller), never guessed at.
namespace SmsListing {

// Modems that report this manufacturer list messages without time stamps.
inline const QByteArray TelitManufacturer = QByteArrayLiteral("Telit_Mobile_Terminals");

enum class Form {
    Generic, // index, status, number, optional empty alpha field, time stamp
    Telit,   // index, status, number; date and time come from reading the message singly
};

struct Message
{
    int header = 0;   // offset of its "+CMGL:"
    qint64 index = 0; // storage index, for reading and deleting
    bool parsed = false;
    QByteArray number; // without quotes
    QByteArray date;   // dd/MM/yy (generic form only)
    QByteArray time;   // hh:mm:ss (generic form only)
    QByteArray text;   // the line after the header
};

enum class Outcome { Pending, Complete, Failed };
// Judges the answer collected so far, line by line: a final result ("OK", "ERROR", "+CMS ERROR")
// counts only on a complete line of its own that is not the text line of a listed message, so a
// machine's text reading "OK" or "ERROR" neither cuts the listing short nor fails it.
Outcome judge(const QByteArray &answer);

// Judges the answer to reading one message ("AT+CMGR=") the same way: the text line after the
// "+CMGR:" header never counts as a final result, so a text such as "POWER OK" does not end it.
Outcome judgeRead(const QByteArray &answer);

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
