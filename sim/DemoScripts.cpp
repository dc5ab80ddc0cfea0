#include "DemoScripts.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

// Resources of a static library register only when something calls their initialiser.
static void initDemoResources()
{
    Q_INIT_RESOURCE(demo);
}

namespace {
QByteArray resource(const QString &name)
{
    initDemoResources();
    QFile file(QStringLiteral(":/demo/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray text = file.readAll();
    text.replace("\r\n", "\n");
    return text.replace("\n", "\r\n");
}
} // namespace

QByteArray DemoScripts::script()
{
    return resource(QStringLiteral("decod.asm"));
}

QByteArray DemoScripts::addresses()
{
    return resource(QStringLiteral("address.asm"));
}

bool DemoScripts::install(const QString &programFolder, QStringList *written, QString *error)
{
    const QDir folder(programFolder);
    const std::pair<QString, QByteArray> files[] = {
        {QStringLiteral("decod.asm"), script()},
        {QStringLiteral("address.asm"), addresses()},
    };
    for (const auto &[name, contents] : files) {
        const QString path = folder.filePath(name);
        if (QFileInfo::exists(path))
            continue;
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size() ||
            !file.commit()) {
            if (error)
                *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
            return false;
        }
        if (written)
            *written << path;
    }
    return true;
}
