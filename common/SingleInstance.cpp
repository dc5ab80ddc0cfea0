#include "SingleInstance.h"

#include <QDir>
#include <QLockFile>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

SingleInstance::SingleInstance(const QString &name, const QString &dir)
    : m_name(name), m_dir(dir.isEmpty() ? QDir::tempPath() : dir)
{
}

SingleInstance::~SingleInstance()
{
#ifdef Q_OS_WIN
    if (m_handle)
        CloseHandle(HANDLE(m_handle));
#endif
}

bool SingleInstance::acquire()
{
    if (m_held)
        return true;
#ifdef Q_OS_WIN
    m_handle = CreateMutexW(nullptr, FALSE, reinterpret_cast<LPCWSTR>(m_name.utf16()));
    m_held = m_handle && GetLastError() != ERROR_ALREADY_EXISTS;
#else
    m_lock = std::make_unique<QLockFile>(QDir(m_dir).filePath(m_name + QStringLiteral(".lock")));
    // Never stale by age: only a lock whose process has died is taken over.
    m_lock->setStaleLockTime(0);
    m_held = m_lock->tryLock(0);
#endif
    return m_held;
}
