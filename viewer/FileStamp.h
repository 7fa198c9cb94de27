#pragma once
// Tells whether a file changed since it was read: its size, modification
// time and inode, so that two writes of one size within one clock tick
// (the second renamed over the first) are told apart.
#include <QString>

struct FileStamp {
    qint64 size = -1;
    qint64 modifiedNs = 0;
    quint64 inode = 0;
    // Invalid when the file can't be looked at.
    static FileStamp of(const QString& path);
    bool isValid() const { return size >= 0; }
    bool operator==(const FileStamp& o) const
    {
        return size == o.size && modifiedNs == o.modifiedNs && inode == o.inode;
    }
};
