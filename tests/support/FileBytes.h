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

// The number after `key` in a /proc file of this process ("VmHWM:" in
// "/proc/self/status", "rchar:" in "/proc/thread-self/io"); -1 without it.
inline qint64 procNumber(const char* file, const char* key)
{
    for (const QByteArray& line : fileBytes(QString::fromLatin1(file)).split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').first().toLongLong();
    return -1;
}

inline bool putBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
