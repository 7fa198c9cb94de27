#pragma once
// The check before an all-pictures run writes anything: each entry must be
// readable, sound (not damaged) and writable, file and folder, so that a run
// never stops half done over an entry it could have known about.
#include "graphics/Picture.h"

#include <QList>
#include <QStringList>

struct UnusableEntry {
    int entry = 0; // from 1
    QString file;
    QString reason; // the message a run would have stopped with
};

// The entries of `files` that a run could not write, in collection order.
// A file listed again is checked once and reported at each entry.
QList<UnusableEntry> checkEntries(const QStringList& files, ExifOrientation exif);

// `files` without the entries named in `unusable`.
QStringList usableFiles(const QStringList& files, const QList<UnusableEntry>& unusable);

// "one line per entry" lists: at most `shown` reasons, then "and N more"
// (`more`, with %1 for N) when there are others.
QString unusableList(const QList<UnusableEntry>& unusable, int shown, const QString& more);
