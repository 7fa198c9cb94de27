#include "platform/DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

DataFolder findDataFolder(const QString& programDir)
{
    const QDir dir(programDir);
    for (const char* sub : {"help", "lang", "sounds"}) {
        if (QFileInfo(dir.filePath(QLatin1String(sub))).isDir())
            return {QDir::cleanPath(dir.absolutePath()), false};
    }
    const QString shared = QDir::cleanPath(dir.absoluteFilePath(QStringLiteral("../share/pictavo")));
    if (QFileInfo(shared).isDir())
        return {shared, true};
    return {QDir::cleanPath(dir.absolutePath()), false};
}

const DataFolder& dataFolder()
{
    static const DataFolder folder = findDataFolder(QCoreApplication::applicationDirPath());
    return folder;
}
