#pragma once
// The collection file: one line per picture, "FileName^Comment^" and CR LF,
// UTF-8 or 8-bit text in the legacy code page (see TextEncoding.h), a byte
// 26 ending the file for the reader.
#include "core/TextEncoding.h"

#include <QList>
#include <QString>
#include <functional>

struct CollectionEntry {
    QString FileName;
    QString Comment;
    bool operator==(const CollectionEntry&) const = default;
};

// Splits one line (without its line end). Returns false for a line that
// holds no "^" (skipped by the reader, blank lines included); a line with
// one "^" gives the text after it as the comment.
bool parseCollectionLine(const QByteArray& line, CollectionEntry& out, const TextEncoding& encoding = {});

// Line-by-line producer: onEntry runs as soon as each line has been read,
// numbered from 1. The file is closed on every path. Throws AppError with
// the run-time library's text ("File not found", "File access denied",
// "I/O error %d", ...) followed by the path in parentheses. Answers the
// encoding the file was read in.
TextEncoding readCollection(const QString& path,
                            const std::function<void(int number, const CollectionEntry&)>& onEntry);
QList<CollectionEntry> readCollectionAll(const QString& path);

// The exact bytes a collection is written as, in `encoding` (UTF-8 when
// none is given); it becomes UTF-8 when a character doesn't fit.
QByteArray formatCollection(const QList<CollectionEntry>& entries, TextEncoding* encoding = nullptr);
// The encoding an existing collection file is in; UTF-8 for a new one.
TextEncoding collectionEncoding(const QString& path);
// Keeps the file's encoding while every character fits. Atomic: a failure
// leaves the old file whole and throws AppError.
void writeCollection(const QString& path, const QList<CollectionEntry>& entries);

// "File not found (path)" and the like, for an errno value.
QString ioErrorText(int err, const QString& path);
