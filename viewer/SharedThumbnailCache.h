#pragma once
// The thumbnail cache the desktop shares: PNGs named by the MD5 of the
// file's URI, one directory per size, each carrying the URI and the file's
// modification time, so that a file manager's thumbnails serve the strip
// and the strip's serve the file manager. Nothing here holds mutable state:
// any thread may read and write entries at once.
#include "viewer/DecodeAhead.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

class SharedThumbnailCache {
public:
    // A size directory and the longer side of the thumbnails it holds.
    struct SizeClass {
        QString directory;
        int size = 0;
    };

    // `root` empty: $XDG_CACHE_HOME/thumbnails, ~/.cache/thumbnails when unset.
    explicit SharedThumbnailCache(const QString& root = QString());
    static QString defaultRoot();
    const QString& root() const { return m_root; }

    // The URI an entry is keyed by, and the entry's file name (MD5 hex + ".png").
    static QByteArray uriOf(const QString& path);
    static QString entryName(const QString& path);
    // The size classes whose thumbnails cover `box`, smallest first.
    static QList<SizeClass> classesCovering(QSize box);

    // Whether `path` lies under the cache root: such files are thumbnails
    // themselves and are never looked up or stored.
    bool contains(const QString& path) const;

    // The smallest entry covering `box` that was made from the file as
    // `stamp` describes it (its URI, modification second and, where the
    // entry says, its size); null when there is none.
    QImage find(const QString& path, const FileStamp& stamp, QSize box) const;
    // Stores `image` (sRGB, at most the class's size) for `box`'s size class:
    // a temporary file made private, then renamed over the entry. `original`
    // is the picture's size. False on any failure, which is otherwise silent.
    bool store(const QString& path, const FileStamp& stamp, const QImage& image, QSize original,
               QSize box) const;

    // Removes every entry for `path`: the program rewrote the file, maybe
    // within the second an entry records.
    void forget(const QString& path) const;

    // The file an entry of `sizeClass` for `path` lives in.
    QString entryPath(const SizeClass& sizeClass, const QString& path) const;

private:
    QString m_root;
};
