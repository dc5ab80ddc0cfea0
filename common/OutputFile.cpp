#include "OutputFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QRandomGenerator>
#include <QThreadPool>
#include <cerrno>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {
enum class Kind { Missing, Regular, Folder, Node, StandardOutput, Unknown };

struct Target
{
    Kind kind;
    QString file;  // Missing and Regular: the file to replace, links followed
    int error = 0; // Unknown: why the target cannot be looked at
};

const QString Folder = QStringLiteral("it is a folder");

// A dangling link is written through, as an editor would: the link stays.
QString followLinks(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 32 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.absoluteFilePath();
}

Target targetOf(const QString &path)
{
    if (path == QLatin1String("-"))
        return {Kind::StandardOutput, {}};
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT || errno == ENAMETOOLONG ? Target{Kind::Missing, followLinks(path)}
                                                        : Target{Kind::Unknown, {}, errno};
    struct stat out;
    if (::fstat(STDOUT_FILENO, &out) == 0 && out.st_dev == st.st_dev && out.st_ino == st.st_ino)
        return {Kind::StandardOutput, {}};
    if (S_ISDIR(st.st_mode))
        return {Kind::Folder, {}};
    if (!S_ISREG(st.st_mode))
        return {Kind::Node, {}};
    return {Kind::Regular, QFileInfo(path).canonicalFilePath()};
#else
    const QFileInfo info(path);
    if (info.isDir())
        return {Kind::Folder, {}};
    if (!info.exists())
        return {Kind::Missing, followLinks(path)};
    return {Kind::Regular, info.canonicalFilePath()};
#endif
}

// Why the process may not write to path (an existing file or folder), or "".
QString accessProblem(const QString &path, bool folder)
{
#ifdef Q_OS_UNIX
    if (::access(QFile::encodeName(path).constData(), folder ? W_OK | X_OK : W_OK) != 0)
        return qt_error_string(errno);
    return {};
#else
    Q_UNUSED(folder);
    return QFileInfo(path).isWritable() ? QString() : qt_error_string(EACCES);
#endif
}

QString folderProblem(const QString &file)
{
    const QFileInfo info(file);
    const QString dir = info.absolutePath();
    if (!QFileInfo(dir).isDir())
        return QStringLiteral("there is no folder %1").arg(QDir::toNativeSeparators(dir));
    if (QString why = accessProblem(dir, true); !why.isEmpty())
        return why;
#ifdef Q_OS_UNIX
    const long limit = ::pathconf(QFile::encodeName(dir).constData(), _PC_NAME_MAX);
    const qsizetype length = QFile::encodeName(info.fileName()).size();
    if (limit > 0 && length > limit)
        return QStringLiteral("its name is %1 bytes long, more than the %2 the file system allows")
            .arg(length)
            .arg(limit);
#endif
    return {};
}

bool replace(const QString &temp, const QString &target)
{
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(temp).utf16()),
                       reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(target).utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
#else
    return ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) ==
           0;
#endif
}
} // namespace

OutputFile::OutputFile(const QString &path) : m_path(path) {}

OutputFile::~OutputFile()
{
    cancel();
}

bool OutputFile::fail(QFileDevice::FileError kind, const QString &why)
{
    m_errorKind = kind;
    m_error = why;
    return false;
}

QString OutputFile::problem(const QString &path)
{
    const Target t = targetOf(path);
    switch (t.kind) {
    case Kind::StandardOutput:
        return {};
    case Kind::Unknown:
        return qt_error_string(t.error);
    case Kind::Folder:
        return Folder;
    case Kind::Node:
        return accessProblem(path, false);
    case Kind::Regular:
        if (QString why = accessProblem(t.file, false); !why.isEmpty())
            return why;
        break;
    case Kind::Missing:
        break;
    }
    return folderProblem(t.file);
}

bool OutputFile::open()
{
    cancel();
    m_error.clear();
    m_errorKind = QFileDevice::NoError;
    const Target t = targetOf(m_path);
    switch (t.kind) {
    case Kind::StandardOutput:
        std::fflush(stdout);
        return m_file.open(fileno(stdout), QIODevice::WriteOnly, QFileDevice::DontCloseHandle) ||
               fail(QFileDevice::OpenError, m_file.errorString());
    case Kind::Unknown:
        return fail(QFileDevice::OpenError, qt_error_string(t.error));
    case Kind::Folder:
        return fail(QFileDevice::OpenError, Folder);
    case Kind::Node:
        return openInPlace();
    case Kind::Regular:
        // A read-only file is not replaced behind its owner's back.
        if (QString why = accessProblem(t.file, false); !why.isEmpty())
            return fail(QFileDevice::OpenError, why);
        break;
    case Kind::Missing:
        break;
    }
    return openTemporary(t.file);
}

bool OutputFile::openInPlace()
{
#ifdef Q_OS_UNIX
    // Not blocking in open(): a FIFO without a reader says so at once.
    const int fd =
        ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (const int e = errno; fd < 0)
        return fail(e == EACCES ? QFileDevice::PermissionsError : QFileDevice::OpenError,
                    e == ENXIO ? QStringLiteral("nothing reads from it") : qt_error_string(e));
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (m_file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
        return true;
    ::close(fd);
#else
    m_file.setFileName(m_path);
    if (m_file.open(QIODevice::WriteOnly))
        return true;
#endif
    return fail(m_file.error(), m_file.errorString());
}

bool OutputFile::openTemporary(const QString &target)
{
    const QFileInfo info(target);
    const QDir dir = info.absoluteDir();
    // A short name of its own: the target's may already take all the file system allows.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString temp =
            dir.filePath(QStringLiteral(".out-%1.tmp")
                             .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        m_file.setFileName(temp);
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            m_temp = temp;
            m_target = target;
            if (info.exists())
                m_file.setPermissions(info.permissions());
            return true;
        }
        if (!QFileInfo::exists(temp))
            break;
    }
    return fail(m_file.error(), m_file.errorString());
}

// What a worker needs to make a written temporary file final.
struct OutputFile::Handover
{
    int fd = -1; // a descriptor of the temporary file's own, to flush to the disk
    QString temp;
    QString target;

    OutputFile::Committed finish() const
    {
        Committed c;
#ifdef Q_OS_UNIX
        // A renamed file must not turn out empty after a power cut.
        if (::fsync(fd) != 0)
            c = {false, QFileDevice::WriteError, qt_error_string(errno)};
        ::close(fd);
#endif
        if (c.ok && !replace(temp, target))
            c = {false, QFileDevice::RenameError, qt_error_string()};
        if (!c.ok)
            QFile::remove(temp);
        return c;
    }
};

// Writes what is buffered and, for a temporary file, hands it over closed; false (the output
// cancelled) when the bytes could not be written. A false with an empty h.temp is no failure:
// an output written in place is final once written.
bool OutputFile::handOver(Handover &h)
{
    if (!m_file.isOpen())
        return m_error.isEmpty() ? fail(QFileDevice::WriteError, QStringLiteral("not open"))
                                 : false;
    if (!m_file.flush() || m_file.error() != QFileDevice::NoError) {
        fail(m_file.error(), m_file.errorString());
        cancel();
        return false;
    }
    if (m_temp.isEmpty()) {
        m_file.close();
        return false;
    }
#ifdef Q_OS_UNIX
    h.fd = ::dup(m_file.handle());
    if (h.fd < 0) {
        fail(QFileDevice::WriteError, qt_error_string(errno));
        cancel();
        return false;
    }
#endif
    m_file.close();
    h.temp = std::exchange(m_temp, {});
    h.target = m_target;
    return true;
}

bool OutputFile::commit()
{
    Handover h;
    if (!handOver(h))
        return m_error.isEmpty();
    const Committed c = h.finish();
    return c.ok || fail(c.error, c.errorString);
}

namespace {
// Flushes wait on the disk, not on a processor: more of them than cores keep it busy.
QThreadPool &flushers()
{
    static QThreadPool pool;
    static const bool sized = (pool.setMaxThreadCount(16), true);
    Q_UNUSED(sized);
    return pool;
}
} // namespace

void OutputFile::commitLater(QObject *receiver, std::function<void(const Committed &)> done)
{
    // Only the main thread may look at receiver; the worker hands the outcome to the application.
    auto deliver = [guard = QPointer<QObject>(receiver),
                    done = std::move(done)](const Committed &c) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, done, c] {
                if (guard)
                    done(c);
            },
            Qt::QueuedConnection);
    };
    Handover h;
    if (!handOver(h)) {
        deliver({m_error.isEmpty(), m_errorKind, m_error});
        return;
    }
    flushers().start([h, deliver] { deliver(h.finish()); });
}

void OutputFile::cancel()
{
    m_file.close();
    if (!m_temp.isEmpty())
        QFile::remove(m_temp);
    m_temp.clear();
}

QString inputFileProblem(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st;
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &st) != 0)
        return qt_error_string(errno);
    if (S_ISDIR(st.st_mode))
        return Folder;
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("it is a FIFO, not a file");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return QStringLiteral("it is a device, not a file");
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("it is not a file");
    if (::access(native.constData(), R_OK) != 0)
        return qt_error_string(errno);
    return {};
#else
    const QFileInfo info(path);
    if (!info.exists())
        return qt_error_string(ENOENT);
    if (info.isDir())
        return Folder;
    return info.isReadable() ? QString() : qt_error_string(EACCES);
#endif
}
