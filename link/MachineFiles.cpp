#include "MachineFiles.h"

#include "Clock.h"
#include "OutputFile.h"
#include "Runtime.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

namespace MachineFiles {

namespace {

constexpr int TrailerSize = 3;
constexpr char TrailerMark = 7;
constexpr int TelemetryLogicalSize = 700;    // header + addresses 3824-4447
constexpr int OldTelemetryLogicalSize = 492; // what a 987-byte file holds
constexpr int TitleSize = 13;

// Where a configuration file keeps what its readers take from it (logical offsets).
constexpr int ConfigByte7At = 49;
constexpr int ConfigBytes9To11At = 59;
constexpr int ConfigBytes0To3At = 68;
constexpr int ConfigDataAt = HeaderSize;
constexpr int FirstReadAddress = 16; // 4-6, 8 and 12-15 are the machine's own

QString errorTitle()
{
    return QCoreApplication::translate("MachineFiles", "ERROR");
}

Result notValid()
{
    return {Status::NotValid,
            QCoreApplication::translate("MachineFiles", "Error File : Isn't a valid File"),
            errorTitle(), MsgIcon::Critical};
}

Result badTelemetryChecksum()
{
    return {Status::BadChecksum,
            QCoreApplication::translate("MachineFiles", " Attention : Error File!!  "),
            errorTitle(), MsgIcon::Critical};
}

Result badConfigChecksum()
{
    return {Status::BadChecksum,
            QCoreApplication::translate("MachineFiles", " Attention : Error File!!  "), QString(),
            MsgIcon::Exclamation};
}

Result snapshotMissing(const QString &machine)
{
    return {Status::SnapshotMissing,
            QCoreApplication::translate("MachineFiles", " File %1 Not Found ").arg(machine),
            QString(), MsgIcon::Critical};
}

// The operator knows file trouble by the station's run-time error numbers.
enum RuntimeError {
    DeviceIoError = 57,
    FileNotFound = 53,
    PermissionDenied = 70,
    FileAccessError = 75,
    PathNotFound = 76,
};

Result ioError(int number)
{
    return {Status::IoError,
            QCoreApplication::translate("MachineFiles", "Error Number :%1").arg(number),
            errorTitle(), MsgIcon::Critical};
}

int openErrorNumber(QFileDevice::FileError e)
{
    return e == QFileDevice::PermissionsError ? PermissionDenied : FileAccessError;
}

quint8 byteAt(const QByteArray &a, qsizetype i)
{
    return i >= 0 && i < a.size() ? quint8(a[i]) : 0;
}

// The image resized to `size`, bytes it lacked reading as 0.
QByteArray sized(const QByteArray &image, qsizetype size)
{
    QByteArray out = image.left(size);
    if (out.size() < size)
        out.append(size - out.size(), '\0');
    return out;
}

quint16 sum(const char *data, qsizetype n)
{
    quint16 s = 0;
    for (qsizetype i = 0; i < n; ++i)
        s = quint16(s + quint8(data[i]));
    return s;
}

struct ReadFile
{
    Result result;
    QByteArray bytes;
};

// At most limit + 1 bytes: enough for every reader to refuse an oversized file by its length
// without pulling a stray huge file into memory.
ReadFile readAtMost(const QString &path, qint64 limit)
{
    QFileInfo info(path);
    if (!info.exists())
        return {ioError(FileNotFound), {}};
    QFile file(path);
    // A FIFO would hold the station in open(), and a device holds no file.
    if (!inputFileProblem(path).isEmpty() || !file.open(QIODevice::ReadOnly))
        return {ioError(openErrorNumber(file.error())), {}};
    QByteArray bytes = file.read(limit + 1);
    if (file.error() != QFileDevice::NoError)
        return {ioError(DeviceIoError), {}};
    return {{}, bytes};
}

} // namespace

FillerSource fillerFrom(Clock &clock)
{
    return [&clock] { return quint8(qBound(0, int(clock.rnd() * 255), 254)); };
}

QByteArray interleave(const QByteArray &logical, const FillerSource &filler)
{
    QByteArray file;
    file.reserve(logical.size() * 2 + TrailerSize);
    quint16 s = 0;
    for (char c : logical) {
        const quint8 fill = filler();
        file.append(c);
        file.append(char(fill));
        s = quint16(s + quint8(c) + fill);
    }
    file.append(char(s & 0xFF));
    file.append(TrailerMark);
    file.append(char(s >> 8));
    return file;
}

bool checksumMatches(const QByteArray &file)
{
    const qsizetype body = file.size() - TrailerSize;
    if (body < 0)
        return false;
    const quint16 stored = quint16(byteAt(file, body) | byteAt(file, body + 2) << 8);
    // The mark is checked too, so that no single changed byte of a file goes unnoticed.
    return file[body + 1] == TrailerMark && sum(file.constData(), body) == stored;
}

QByteArray logicalBytes(const QByteArray &file)
{
    const qsizetype body = qMax<qsizetype>(0, file.size() - TrailerSize);
    QByteArray out;
    out.reserve((body + 1) / 2);
    for (qsizetype i = 0; i < body; i += 2)
        out.append(file[i]);
    return out;
}

QByteArray header(FileKind kind, const QString &title, const QByteArray &configImage)
{
    QByteArray h(HeaderSize, char(0xFF));
    const QByteArray name = title.left(TitleSize).toLatin1();
    h.replace(0, name.size(), name);

    h.replace(32, 2, "DT");
    // The field holds four digits; a larger number keeps its first four.
    const int number = byteAt(configImage, 4) + 256 * byteAt(configImage, 5);
    const QByteArray digits = kind == FileKind::Telemetry
                                  ? QByteArray("0331")
                                  : QString::asprintf("%04d", number).toLatin1().left(4);
    h.replace(34, 4, digits);
    h[38] = 'A';
    // 255 is an unset byte; values past the alphabet wrap within the byte.
    const quint8 variant = byteAt(configImage, 6);
    h[39] = char(variant == 255 ? 'A' : quint8('A' + variant));

    static const char *const Models[] = {"MQA", "MQB", "MQC", "MQD", "MQE", "MQF"};
    const quint8 model = byteAt(configImage, 48);
    h.replace(40, 3, model >= 1 && model <= 6 ? Models[model - 1] : "   ");
    h.replace(43, 5, "     ");
    h[48] = kind == FileKind::Telemetry ? char(0x40) : ' ';
    h[49] = char(byteAt(configImage, 7));
    h.replace(50, 8, QByteArray(8, '\0'));
    for (int i = 0; i < 4; ++i)
        h[58 + i] = char(byteAt(configImage, 8 + i));
    for (int i = 0; i < 5; ++i)
        h[62 + i] = char(byteAt(configImage, 64 + i));
    h[67] = char(model);
    for (int i = 0; i < 4; ++i)
        h[68 + i] = char(byteAt(configImage, i));
    return h; // 72-75 stay 0xFF
}

QByteArray configFile(const QString &title, const QByteArray &configImage,
                      const FillerSource &filler)
{
    return interleave(header(FileKind::Configuration, title, configImage) +
                          sized(configImage, ConfigImageSize),
                      filler);
}

// The header is built afresh like a configuration file's, not copied from telemetryImage[0..75]:
// after a read from the machine those bytes are zero, since the machine holds no header.
QByteArray telemetryFile(const QString &title, const QByteArray &configImage,
                         const QByteArray &telemetryImage, const FillerSource &filler)
{
    const QByteArray data =
        sized(telemetryImage, TelemetryLogicalSize).mid(HeaderSize); // addresses 3824-4447
    return interleave(header(FileKind::Telemetry, title, configImage) + data, filler);
}

QByteArray rawImage(const QByteArray &configImage)
{
    return sized(configImage, ConfigImageSize);
}

Result readTelemetry(const QByteArray &file, QByteArray &telemetryImage)
{
    if (file.size() != TelemetryFileSize && file.size() != OldTelemetryFileSize)
        return notValid();
    if (!checksumMatches(file))
        return badTelemetryChecksum();
    // The trailer is not data: stored at index 492-493 it would reach the machine as settings.
    const int logical =
        file.size() == TelemetryFileSize ? TelemetryLogicalSize : OldTelemetryLogicalSize;
    QByteArray image(TelemetryImageSize, '\0');
    for (int i = 0; i < logical; ++i)
        image[i] = file[2 * i];
    telemetryImage = image;
    return {};
}

ConfigLayout configLayoutOf(const QString &fileName)
{
    const QString title = QFileInfo(fileName).fileName();
    const qsizetype dot = title.indexOf(u'.');
    if (dot < 0)
        return ConfigLayout::Unknown;
    return title.mid(dot, 4).compare(u".cfx", Qt::CaseInsensitive) == 0 ? ConfigLayout::RawImage
                                                                        : ConfigLayout::ConfigFile;
}

Result readConfig(const QByteArray &file, ConfigLayout layout, QByteArray &configImage)
{
    if (layout == ConfigLayout::RawImage) {
        if (file.size() != RawImageFileSize)
            return notValid();
        configImage = file;
        return {};
    }
    if (layout != ConfigLayout::ConfigFile)
        return notValid();

    QByteArray logical;
    if (file.size() == PlainConfigFileSize) {
        logical = file;
    } else if (file.size() == ConfigFileSize) {
        if (!checksumMatches(file))
            return badConfigChecksum();
        logical = logicalBytes(file);
    } else {
        return notValid();
    }

    QByteArray image = sized(configImage, ConfigImageSize);
    image[7] = logical[ConfigByte7At];
    for (int i = 0; i < 3; ++i)
        image[9 + i] = logical[ConfigBytes9To11At + i];
    for (int i = 0; i < 4; ++i)
        image[i] = logical[ConfigBytes0To3At + i];
    image.replace(FirstReadAddress, ConfigImageSize - FirstReadAddress,
                  logical.constData() + ConfigDataAt + FirstReadAddress,
                  ConfigImageSize - FirstReadAddress);
    configImage = image;
    return {};
}

Result readSnapshot(const QByteArray &file, const QString &machine, QByteArray &snapshotImage)
{
    if (file.size() < RawImageFileSize)
        return snapshotMissing(machine);
    snapshotImage = file.left(RawImageFileSize);
    return {};
}

QString snapshotPath(const QString &appFolder, const QString &machine)
{
    return QDir(appFolder).filePath(QStringLiteral("Cartella/") + machine + QStringLiteral(".ntm"));
}

Result loadTelemetryFile(const QString &path, QByteArray &telemetryImage)
{
    const ReadFile f = readAtMost(path, TelemetryFileSize);
    return f.result.ok() ? readTelemetry(f.bytes, telemetryImage) : f.result;
}

Result loadConfigFile(const QString &path, QByteArray &configImage)
{
    const ConfigLayout layout = configLayoutOf(path);
    if (layout == ConfigLayout::Unknown)
        return notValid();
    const ReadFile f = readAtMost(path, ConfigFileSize);
    return f.result.ok() ? readConfig(f.bytes, layout, configImage) : f.result;
}

Result loadSnapshotFile(const QString &path, const QString &machine, QByteArray &snapshotImage)
{
    const ReadFile f = readAtMost(path, RawImageFileSize);
    return f.result.ok() ? readSnapshot(f.bytes, machine, snapshotImage) : snapshotMissing(machine);
}

Result writeWholeFile(const QString &path, const QByteArray &bytes)
{
    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
        return ioError(PathNotFound);
    OutputFile file(path);
    if (!file.open())
        return ioError(openErrorNumber(file.error()));
    if (!file.write(bytes))
        return ioError(DeviceIoError);
    if (!file.commit())
        return ioError(openErrorNumber(file.error()));
    return {};
}

void writeWholeFileLater(const QString &path, const QByteArray &bytes, QObject *context,
                         std::function<void(const Result &)> done)
{
    Runtime &rt = Runtime::current();
    auto refuse = [&](const Result &r) {
        rt.post(0, [guard = QPointer<QObject>(context), done, r] {
            if (guard)
                done(r);
        });
    };
    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
        return refuse(ioError(PathNotFound));
    OutputFile file(path);
    if (!file.open())
        return refuse(ioError(openErrorNumber(file.error())));
    if (!file.write(bytes))
        return refuse(ioError(DeviceIoError));
    commitLater(file, context, [done = std::move(done)](const OutputFile::Committed &c) {
        done(c.ok ? Result{} : ioError(openErrorNumber(c.error)));
    });
}

void commitLater(OutputFile &file, QObject *context,
                 std::function<void(const OutputFile::Committed &)> done)
{
    // The disk's work is I/O under way: virtual time waits for it as for a socket's bytes.
    auto *flushing = new QObject(context);
    Runtime::current().watchIo(flushing, [] { return true; });
    file.commitLater(context, [flushing, done = std::move(done)](const OutputFile::Committed &c) {
        delete flushing;
        done(c);
    });
}

Result saveConfigFile(const QString &path, const QByteArray &configImage,
                      const FillerSource &filler)
{
    return writeWholeFile(path, configFile(QFileInfo(path).fileName(), configImage, filler));
}

Result saveTelemetryFile(const QString &path, const QByteArray &configImage,
                         const QByteArray &telemetryImage, const FillerSource &filler)
{
    return writeWholeFile(
        path, telemetryFile(QFileInfo(path).fileName(), configImage, telemetryImage, filler));
}

Result saveSnapshotFile(const QString &path, const QByteArray &configImage)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return writeWholeFile(path, rawImage(configImage));
}

} // namespace MachineFiles
