#pragma once

#include <QString>
#include <memory>

class QLockFile;

// Marks the program as running under a system-wide name, for this program and for others. On
// Windows this is a named mutex; elsewhere a lock file in dir (the temporary folder by default)
// that the system releases when the process dies.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &name, const QString &dir = {});
    ~SingleInstance();
    // Creates the marker; false when another running process holds it.
    bool acquire();
    bool held() const { return m_held; }

private:
    QString m_name;
    QString m_dir;
    bool m_held = false;
    std::unique_ptr<QLockFile> m_lock;
    void *m_handle = nullptr;
};
