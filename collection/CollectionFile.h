#pragma once
// The collection file: one line per picture, "FileName^Comment^" and CR LF,
// 8-bit text (read as UTF-8 when valid, else Latin-1; written as UTF-8),
// a byte 26 ending the file for the reader.
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
bool parseCollectionLine(const QByteArray& line, CollectionEntry& out);

// Line-by-line producer: onEntry runs as soon as each line has been read,
// numbered from 1. The file is closed on every path. Throws AppError with
// the run-time library's text ("File not found", "File access denied",
// "I/O error %d", ...) followed by the path in parentheses.
void readCollection(const QString& path,
                    const std::function<void(int number, const CollectionEntry&)>& onEntry);
QList<CollectionEntry> readCollectionAll(const QString& path);

// The exact bytes a collection is written as.
QByteArray formatCollection(const QList<CollectionEntry>& entries);
// Atomic: a failure leaves the old file whole and throws AppError.
void writeCollection(const QString& path, const QList<CollectionEntry>& entries);

// "File not found (path)" and the like, for an errno value.
QString ioErrorText(int err, const QString& path);
