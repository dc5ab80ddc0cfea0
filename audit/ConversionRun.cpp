#include "ConversionRun.h"

#include "AddressTable.h"
#include "CodeTables.h"
#include "Dispatcher.h"
#include "OutputFile.h"
#include "ScriptText.h"

#include <QDir>
#include <QFile>

namespace audit {

namespace {

ConversionResult fileError(const QString &text)
{
    return {ConversionResult::Outcome::FileError, {}, text};
}

QString readWhole(const QString &path, QByteArray &contents)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    contents = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    return {};
}

} // namespace

ConversionResult LoadScripts(const QString &scriptPath, const QString &addressPath,
                             ConversionScripts &scripts)
{
    QString problem = readWhole(scriptPath, scripts.script);
    if (problem.isEmpty())
        problem = readWhole(addressPath, scripts.addresses);
    if (!problem.isEmpty())
        return fileError(problem);
    return {};
}

ConversionResult Convert(const ConversionScripts &scripts, const AuditImage &image, QIODevice &out)
{
    CodeTables tables;
    FillCodeTables(tables);
    const AddressTable addresses = AddressTable::fromText(scripts.addresses);
    const ScriptSources sources{image, addresses, tables};

    ConversionResult result;
    FieldViews fields;
    int number = 0;
    ForEachLine(scripts.script, [&](QByteArrayView line) {
        ++number;
        LineFieldViews(line, fields);
        if (!DecodeScriptLine(fields, sources, out))
            result.failedLines.append(number);
    });
    if (!result.failedLines.isEmpty())
        result.outcome = ConversionResult::Outcome::LinesFailed;
    return result;
}

ConversionResult OutputError(const QString &outputPath, const QString &why)
{
    return fileError(QStringLiteral("cannot write %1: %2").arg(outputPath, why));
}

ConversionResult ConvertInto(const QString &programFolder, const QByteArray &auditImage,
                             qint32 auditImageLength, OutputFile &output, const QString &outputPath)
{
    const QDir folder(programFolder);
    ConversionScripts scripts;
    ConversionResult result = LoadScripts(folder.filePath(QStringLiteral("decod.asm")),
                                          folder.filePath(QStringLiteral("address.asm")), scripts);
    if (!result.fileError.isEmpty())
        return result;
    if (!output.open())
        return OutputError(outputPath, output.errorString());
    return Convert(scripts, AuditImage(auditImage, auditImageLength), output.device());
}

ConversionResult RunAuditConversion(const QString &programFolder, const QByteArray &auditImage,
                                    qint32 auditImageLength, const QString &outputPath)
{
    OutputFile output(outputPath);
    const ConversionResult result =
        ConvertInto(programFolder, auditImage, auditImageLength, output, outputPath);
    if (result.outcome != ConversionResult::Outcome::FileError && !output.commit())
        return OutputError(outputPath, output.errorString());
    return result;
}

} // namespace audit
