#pragma once
// A file's whole contents, or nothing when it can't be read; and a file
// written whole with the given bytes, without the program's own writer.
#include <QByteArray>
#include <QFile>
#include <QString>

inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool putBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
