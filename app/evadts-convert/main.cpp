// Converts a framed audit image into EVA-DTS records with a conversion script and an
// address table, as the station does after an audit read.
#include "AuditImage.h"
#include "ConversionRun.h"
#include "OutputFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

namespace {

enum ExitStatus {
    AllLinesConverted = 0,
    SomeLinesFailed = 1,
    UsageOrFileError = 2,
};

int fail(const QString &message)
{
    QTextStream(stderr) << "evadts-convert: " << message << '\n';
    return UsageOrFileError;
}

// The framed image from --image, or --data framed here; an error text otherwise.
QString loadImage(const QCommandLineParser &parser, const QCommandLineOption &imageOption,
                  const QCommandLineOption &dataOption, QByteArray &image)
{
    const bool framed = parser.isSet(imageOption);
    const QString path = parser.value(framed ? imageOption : dataOption);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    // A 16-bit length word counts no more; the input may be a device that never ends.
    constexpr qint64 MostBytes = 0xFFFF;
    const QByteArray bytes = file.read(MostBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    if (bytes.size() > MostBytes)
        return QStringLiteral("%1: larger than %2 bytes, which no audit image is")
            .arg(path)
            .arg(MostBytes);
    if (framed) {
        image = bytes;
        const QString problem = audit::FrameProblem(image);
        return problem.isEmpty() ? problem : QStringLiteral("%1: %2").arg(path, problem);
    }
    const std::optional<QByteArray> framedData = audit::FrameAuditData(bytes);
    if (!framedData)
        return QStringLiteral("%1: %2 data bytes do not fit a 16-bit length word")
            .arg(path)
            .arg(bytes.size());
    image = *framedData;
    return {};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("evadts-convert"));
    QCoreApplication::setApplicationVersion(QStringLiteral(STATION_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes the EVA-DTS records of a framed audit image as a conversion script says.\n"
        "Exit status: 0 every script line converted, 1 some lines failed (listed on standard "
        "error), 2 usage or file error."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption scriptOption(QStringLiteral("script"),
                                          QStringLiteral("Conversion script (decod.asm)."),
                                          QStringLiteral("DECOD"));
    const QCommandLineOption addressOption(QStringLiteral("address"),
                                           QStringLiteral("Address table (address.asm)."),
                                           QStringLiteral("ADDRESS"));
    const QCommandLineOption imageOption(
        QStringLiteral("image"),
        QStringLiteral("Framed audit image: length word, data bytes, sum word."),
        QStringLiteral("IMAGE"));
    const QCommandLineOption dataOption(
        QStringLiteral("data"),
        QStringLiteral("Bare data bytes, framed here (instead of --image)."),
        QStringLiteral("RAW"));
    const QCommandLineOption outputOption(
        QStringLiteral("output"),
        QStringLiteral("Audit file to write (default, or \"-\": standard output)."),
        QStringLiteral("OUT"));
    parser.addOptions({scriptOption, addressOption, imageOption, dataOption, outputOption});

    if (!parser.parse(app.arguments()))
        return fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(AllLinesConverted);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments()[0]));
    if (!parser.isSet(scriptOption) || !parser.isSet(addressOption))
        return fail(QStringLiteral("--script and --address are required (see --help)"));
    if (parser.isSet(imageOption) == parser.isSet(dataOption))
        return fail(QStringLiteral("give exactly one of --image and --data (see --help)"));

    QByteArray image;
    if (const QString problem = loadImage(parser, imageOption, dataOption, image);
        !problem.isEmpty())
        return fail(problem);

    audit::ConversionScripts scripts;
    audit::ConversionResult result =
        audit::LoadScripts(parser.value(scriptOption), parser.value(addressOption), scripts);
    if (!result.fileError.isEmpty())
        return fail(result.fileError);

    OutputFile output(parser.isSet(outputOption) ? parser.value(outputOption)
                                                 : QStringLiteral("-"));
    if (!output.open())
        return fail(QStringLiteral("cannot write %1: %2")
                        .arg(parser.value(outputOption), output.errorString()));

    result = audit::Convert(scripts, audit::AuditImage(image), output.device());
    if (!output.commit())
        return fail(QStringLiteral("cannot write the records: %1").arg(output.errorString()));
    if (result.failedLines.isEmpty())
        return AllLinesConverted;
    QStringList numbers;
    for (int line : result.failedLines)
        numbers.append(QString::number(line));
    QTextStream(stderr) << "evadts-convert: failed script lines: " << numbers.join(QLatin1Char(' '))
                        << '\n';
    return SomeLinesFailed;
}
