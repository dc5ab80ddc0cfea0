#pragma once

#include "AuditImage.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>

class OutputFile;

namespace audit {

struct ConversionResult
{
    enum class Outcome {
        Converted,   // every script line succeeded
        LinesFailed, // the output holds what the other lines wrote
        FileError,   // a file could not be read or written; see fileError
    };
    Outcome outcome = Outcome::Converted;
    QList<int> failedLines; // script line numbers, counted from 1
    QString fileError;

    bool succeeded() const { return outcome == Outcome::Converted; }
};

// The contents of the conversion script ("decod.asm") and of the address table
// ("address.asm").
struct ConversionScripts
{
    QByteArray script;
    QByteArray addresses;
};

// Reads both files whole; they are closed again whatever happens.
ConversionResult LoadScripts(const QString &scriptPath, const QString &addressPath,
                             ConversionScripts &scripts);

// Fills the code tables, then hands every script line in file order to the dispatcher,
// going on after a failed line. Records go to out as they are built.
ConversionResult Convert(const ConversionScripts &scripts, const AuditImage &image, QIODevice &out);

// The station's audit conversion: "decod.asm" and "address.asm" from the program folder,
// records into outputPath (created or replaced).
ConversionResult RunAuditConversion(const QString &programFolder, const QByteArray &auditImage,
                                    qint32 auditImageLength, const QString &outputPath);
// The same short of making the output final, which is left to the caller unless the outcome
// is FileError; OutputError tells an output that could not be made final.
ConversionResult ConvertInto(const QString &programFolder, const QByteArray &auditImage,
                             qint32 auditImageLength, OutputFile &output,
                             const QString &outputPath);
ConversionResult OutputError(const QString &outputPath, const QString &why);

} // namespace audit
