#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Comma-separated values as spreadsheets write them (RFC 4180): fields in double quotes may hold
// the separator, line breaks and doubled quotes; records end in CR LF, LF or CR.
namespace Csv {

enum class Encoding { Utf8, Latin1 };

struct Record
{
    int line = 0;       // physical line on which the record starts (1-based)
    QStringList fields; // empty when error is set
    QString error;      // why the record could not be read
};

struct Document
{
    Encoding encoding = Encoding::Utf8;
    QChar separator = QLatin1Char(',');
    QList<Record> records; // blank lines and records of empty fields are left out
};

// UTF-8 when the bytes are valid UTF-8 (a byte order mark is dropped), Latin-1 otherwise: a file
// saved by an older spreadsheet in Latin-1 is never valid UTF-8 once it holds an accented letter.
Encoding detectEncoding(const QByteArray &bytes);
QString decode(const QByteArray &bytes, Encoding encoding);

// Reads every record. The separator is the comma, or the semicolon when the first record holds
// semicolons and no comma (what spreadsheets write where the comma is the decimal mark).
Document parse(const QByteArray &bytes);
Document parseText(const QString &text, QChar separator);

// One record as a line ended by CR LF; fields are quoted only when they need it.
QString line(const QStringList &fields);
QString field(const QString &value);

const char *encodingName(Encoding encoding);
} // namespace Csv
