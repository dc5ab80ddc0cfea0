#pragma once

#include <QFile>
#include <QString>
#include <functional>

class QObject;

// Where a program's output goes. A missing or regular target (or a link to one) is written under
// a short temporary name beside it and renamed over it once complete, so nobody ever reads half a
// file. An existing target that is not a regular file (a device, a FIFO, a link to one) and the
// program's own standard output ("-", or the file it already is) are written in place: such a
// node is never replaced. A FIFO nobody reads is refused instead of waited for.
class OutputFile
{
public:
    explicit OutputFile(const QString &path);
    ~OutputFile(); // an output never committed leaves the target as it was
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    bool open();
    QIODevice &device() { return m_file; }
    bool write(const QByteArray &bytes) { return m_file.write(bytes) == bytes.size(); }
    // Makes the output final; false (with errorString()) when it could not be written whole.
    bool commit();
    struct Committed
    {
        bool ok = true;
        QFileDevice::FileError error = QFileDevice::NoError;
        QString errorString;
    };
    // commit() without waiting for the disk: the flush to it and the rename run on a worker
    // thread, then done runs through receiver's event loop (not at all if receiver has gone).
    // receiver lives on the main thread. The output is closed when this returns.
    void commitLater(QObject *receiver, std::function<void(const Committed &)> done);
    void cancel();
    QString errorString() const { return m_error; }
    QFileDevice::FileError error() const { return m_errorKind; }

    // Why path cannot take output, or "" when it can; checks the target itself (its folder is
    // there and writable, its name within the file system's limit, it is no folder) without
    // creating or opening anything.
    static QString problem(const QString &path);

private:
    bool fail(QFileDevice::FileError kind, const QString &why);
    struct Handover;
    bool handOver(Handover &h);
    bool openInPlace();
    bool openTemporary(const QString &target);

    QString m_path;
    QString m_target; // the file a temporary one replaces (links followed)
    QString m_temp;   // "" when written in place
    QFile m_file;
    QString m_error;
    QFileDevice::FileError m_errorKind = QFileDevice::NoError;
};

// Why path cannot be read as an input file, or "" when it can. A FIFO or a device is refused: it
// could hold the reader in open() or never end.
QString inputFileProblem(const QString &path);
