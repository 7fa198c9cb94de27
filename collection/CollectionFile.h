#pragma once
// The collection file: one line per picture, "FileName^Comment^" and CR LF,
// UTF-8 or 8-bit text in the legacy code page (see TextEncoding.h), a byte
// 26 ending the file for the reader. A relative path is read against the
// collection file's folder, as playlists are, and written back as it was.
#include "core/Errors.h"
#include "core/TextEncoding.h"

#include <QList>
#include <QString>

#include <atomic>
#include <functional>

struct CollectionEntry {
    // The picture's file: the path as stored or, when that is relative, read
    // against the collection file's folder.
    QString path;
    QString comment;
    // The path's text as the file holds it, where that is not `path`: it
    // is written back so while it still names the same file.
    QString storedPath = {};
    bool operator==(const CollectionEntry&) const = default;
};

// What the reader takes on: a line longer than MaxCollectionLine is left
// out (and reported), a file larger than MaxCollectionBytes or with more
// entries than MaxCollectionEntries is refused.
inline constexpr qsizetype MaxCollectionLine = 64 * 1024;
inline constexpr qint64 MaxCollectionBytes = qint64(64) << 20;
inline constexpr int MaxCollectionEntries = 1000000;

// A collection past those limits.
class CollectionLimitError : public AppError {
public:
    enum class Limit { Bytes, Entries };
    CollectionLimitError(const QString& path, Limit limit, qint64 size);
    const QString& path() const { return m_path; }
    Limit limit() const { return m_limit; }
    // The file's size in bytes, or the number of entries reached.
    qint64 size() const { return m_size; }

private:
    QString m_path;
    Limit m_limit;
    qint64 m_size;
};

// Splits one line (without its line end). Returns false for a line that
// holds no "^" (skipped by the reader, blank lines included); a line with
// one "^" gives the text after it as the comment. `path` is the path's
// text as stored.
bool parseCollectionLine(const QByteArray& line, CollectionEntry& out, const TextEncoding& encoding = {});

// The file a stored path names in a collection whose file is in `folder`.
QString entryFileName(const QString& folder, const QString& stored);

// What the reader tells besides the entries; each may be empty.
struct CollectionReadHooks {
    // A line (numbered from 1 among all lines) that was left out as too long.
    std::function<void(int line)> longLine;
    // Raised from another thread: the read ends at the next chunk.
    const std::atomic<bool>* stop = nullptr;
    // What a file that is not UTF-8 is read in (codePageOrLocale).
    QByteArray codePage;
};

// Line-by-line producer: onEntry runs as soon as each line has been read,
// numbered from 1. The file is closed on every path. Throws AppError with
// the run-time library's text ("File not found", "File access denied",
// "I/O error %d", ...) followed by the path in parentheses, or
// CollectionLimitError. Answers the encoding the file was read in.
TextEncoding readCollection(const QString& path,
                            const std::function<void(int number, const CollectionEntry&)>& onEntry,
                            const CollectionReadHooks& hooks = {});
QList<CollectionEntry> readCollectionAll(const QString& path, const QByteArray& codePage = {});

// The exact bytes a collection in `folder` is written as, in `encoding`
// (UTF-8 when none is given); it becomes UTF-8 when a character doesn't
// fit. A path with bytes that are no text is written as those bytes, the
// rest then in `codePage` (codePageOrLocale).
QByteArray formatCollection(const QList<CollectionEntry>& entries, TextEncoding* encoding = nullptr,
                            const QString& folder = {}, const QByteArray& codePage = {});
// The encoding an existing collection file is in; UTF-8 for a new one.
TextEncoding collectionEncoding(const QString& path, const QByteArray& codePage = {});
// Keeps the file's encoding while every character fits. Atomic: a failure
// leaves the old file whole and throws AppError.
void writeCollection(const QString& path, const QList<CollectionEntry>& entries, const QByteArray& codePage = {});

// "File not found (path)" and the like, for an errno value.
QString ioErrorText(int err, const QString& path);
// "3, 7, 9 and 2 more": the lines left out, for a message.
QString lineNumbersText(const QList<int>& lines, const QString& moreText = QStringLiteral("and %1 more"));
