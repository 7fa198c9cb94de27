#pragma once
// A picture or a folder opened by itself: the pictures of the folder become
// a collection with no file yet, in the order a person numbers files.
#include "collection/CollectionFile.h"

#include <QList>
#include <QString>

#include <atomic>

// Whether `path` is a regular file holding a kind of picture the program
// reads (by its name, else by its first bytes) that a collection can list.
bool isPictureFile(const QString& path);
// Whether `path` names a folder (after any links).
bool isFolder(const QString& path);
// Whether `path` opens as the pictures of a folder rather than as a
// collection file: a picture, or a folder.
bool opensAsFolderPictures(const QString& path);

struct FolderPictures {
    QList<CollectionEntry> entries; // absolute names, no comments
    int current = 0;                // the entry of the picture asked for; 0 when none
};
// Every picture in the folder of `picture`, in natural name order
// ("img2.jpg" before "img10.jpg"). Given a folder, its own pictures, at the
// first; throws AppError when it holds none. A name with a picture's
// extension is taken by its name alone; only the others are read. With
// `stop` raised on the way, nothing.
FolderPictures folderPictures(const QString& picture, const std::atomic<bool>* stop = nullptr);
// `picture` alone, named as folderPictures() names it among the others.
FolderPictures namedPicture(const QString& picture);

// The picture an open of `named` shows first where that is known without
// listing a folder: a picture itself, a collection's first entry (read in
// `codePage` where it is no UTF-8; not for one of over 1 MiB). Empty
// otherwise, and when that entry is no picture file.
QString firstPictureOpened(const QString& named, const QByteArray& codePage);
