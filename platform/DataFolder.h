#pragma once
// Where the program's own files (help, language files, sounds) live: beside
// the executable, as in the build tree, else in ../share/pictavo, as after
// `make install`.
#include <QString>

struct DataFolder {
    QString path;           // absolute, no trailing '/'
    bool installed = false; // the files came from ../share/pictavo
};

DataFolder findDataFolder(const QString& programDir);
// The running program's, looked up once.
const DataFolder& dataFolder();
