#pragma once
// Where the settings file lives: beside the executable when that folder can
// be written, otherwise, and always for an installed program, in the user's
// configuration folder.
#include <QString>
#include <functional>

struct SettingsPathInputs {
    QString executablePath; // QCoreApplication::applicationFilePath()
    QString xdgConfigHome;  // $XDG_CONFIG_HOME, may be empty
    QString home;           // $HOME
    std::function<bool(const QString& folder)> folderWritable;
    // Installed programs share their folder (root may still write it).
    bool installed = false;
};

// The executable's path with a three-letter extension replaced by "ini", or
// with ".ini" appended when it has none.
QString settingsPathBesideExecutable(const QString& executablePath);

QString settingsFilePath(const SettingsPathInputs& in);
// The running program's settings file.
QString settingsFilePath();
