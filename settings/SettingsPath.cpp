#include "settings/SettingsPath.h"

#include "platform/DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

QString settingsPathBesideExecutable(const QString& executablePath)
{
    const QFileInfo info(executablePath);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    // ".ext" alone is a hidden file's name, not an extension.
    if (dot > 0 && name.size() - dot - 1 == 3)
        return executablePath.left(executablePath.size() - 3) + QStringLiteral("ini");
    return executablePath + QStringLiteral(".ini");
}

QString settingsFilePath(const SettingsPathInputs& in)
{
    const QString beside = settingsPathBesideExecutable(in.executablePath);
    if (!in.installed && in.folderWritable && in.folderWritable(QFileInfo(beside).absolutePath()))
        return beside;
    // Relative values of XDG_CONFIG_HOME are invalid and ignored.
    QString base = in.xdgConfigHome;
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir(in.home).filePath(QStringLiteral(".config"));
    return QDir::cleanPath(base + QStringLiteral("/pictavo/pictavo.ini"));
}

QString settingsFilePath()
{
    SettingsPathInputs in;
    in.executablePath = QCoreApplication::applicationFilePath();
    in.xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    in.home = QDir::homePath();
    in.installed = dataFolder().installed;
    in.folderWritable = [](const QString& folder) {
        return access(QFile::encodeName(folder).constData(), W_OK) == 0;
    };
    return settingsFilePath(in);
}
