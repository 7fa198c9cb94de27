#include "collection/CollectionFile.h"

#include "core/AtomicFile.h"
#include "core/Errors.h"
#include "core/RegularFile.h"
#include "core/TextEncoding.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

namespace {

constexpr char kSeparator = '^';
constexpr char kEndOfFile = 26;

// A field must never break the one-line-per-entry layout: a line end would
// split the entry and a byte 26 would end the file for the reader.
QString fieldText(const QString& text)
{
    QString t = text;
    for (QChar& ch : t) {
        if (ch == u'\r' || ch == u'\n' || ch == QChar(kEndOfFile))
            ch = u' ';
    }
    return t;
}

} // namespace

QString ioErrorText(int err, const QString& path)
{
    QString text;
    switch (err) {
    case ENOENT:
        // A missing folder on the way is a different complaint from a missing file.
        text = QFileInfo(QFileInfo(path).absolutePath()).isDir() ? QStringLiteral("File not found")
                                                                 : QStringLiteral("Path not found");
        break;
    case ENOTDIR:
        text = QStringLiteral("Path not found");
        break;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        text = QStringLiteral("File access denied");
        break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: // the file-size limit: the write ran out of room all the same
        text = QStringLiteral("Disk full");
        break;
    default:
        text = QStringLiteral("I/O error %1").arg(err);
        break;
    }
    return QStringLiteral("%1 (%2)").arg(text, path);
}

bool parseCollectionLine(const QByteArray& line, CollectionEntry& out, const TextEncoding& encoding)
{
    const qsizetype first = line.indexOf(kSeparator);
    if (first < 0)
        return false;
    qsizetype second = line.indexOf(kSeparator, first + 1);
    if (second < 0)
        second = line.size();
    // Each field on its own: the file's byte order mark is no longer here.
    const TextEncoding field{encoding.codePage, false};
    const char* d = line.constData();
    out.FileName = decodeText(QByteArrayView(d, first), field);
    out.Comment = decodeText(QByteArrayView(d + first + 1, second - first - 1), field);
    return true;
}

namespace {

// Hands on every line before the end (the physical end or a byte 26), read
// in fixed-size chunks so that memory stays bounded by the longest line.
// onLine answers false to stop early.
void forEachLine(int fd, const QString& path, const std::function<bool(QByteArray&)>& onLine)
{
    QByteArray line;
    char buf[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw AppError(ioErrorText(errno, path));
        }
        if (got == 0)
            break;
        const char* p = buf;
        const char* const end = buf + got;
        while (p < end) {
            const char* stop = p;
            while (stop < end && *stop != '\n' && *stop != kEndOfFile)
                ++stop;
            line.append(p, stop - p);
            if (stop == end)
                break;
            if (*stop == kEndOfFile) {
                if (!line.isEmpty())
                    onLine(line);
                return;
            }
            if (!onLine(line))
                return;
            line.clear();
            p = stop + 1;
        }
    }
    // The last line needs no line end.
    if (!line.isEmpty())
        onLine(line);
}

// Only a regular file: a FIFO would hold the reader for good, a device
// might never end. Failures speak the run-time library's language.
RegularFile openForReading(const QString& path)
{
    return RegularFile(path, [path](int err) { return ioErrorText(err, path); });
}

// The whole text decides: valid UTF-8 throughout, or the legacy code page.
TextEncoding scanEncoding(int fd, const QString& path)
{
    bool utf8 = true;
    bool bom = false;
    bool atStart = true;
    forEachLine(fd, path, [&](QByteArray& line) {
        if (atStart)
            bom = line.startsWith("\xEF\xBB\xBF");
        atStart = false;
        utf8 = isValidUtf8(line);
        return utf8;
    });
    return utf8 ? TextEncoding{QByteArray(), bom} : TextEncoding{legacyCodePage(), false};
}

} // namespace

TextEncoding readCollection(const QString& path,
                            const std::function<void(int number, const CollectionEntry&)>& onEntry)
{
    RegularFile file = openForReading(path);
    const int fd = file.fd();
    // Read twice, the first time only to learn the encoding.
    TextEncoding encoding = scanEncoding(fd, path);
    if (::lseek(fd, 0, SEEK_SET) < 0)
        throw AppError(ioErrorText(errno, path));

    int number = 0;
    bool atStart = true;
    CollectionEntry entry;
    forEachLine(fd, path, [&](QByteArray& line) {
        if (line.endsWith('\r'))
            line.chop(1);
        // A BOM from a UTF-8 editor would otherwise stick to the first path.
        if (atStart && encoding.isUtf8() && line.startsWith("\xEF\xBB\xBF")) {
            encoding.bom = true;
            line.remove(0, 3);
        }
        atStart = false;
        if (parseCollectionLine(line, entry, encoding))
            onEntry(++number, entry);
        return true;
    });
    return encoding;
}

QList<CollectionEntry> readCollectionAll(const QString& path)
{
    QList<CollectionEntry> entries;
    readCollection(path, [&entries](int, const CollectionEntry& e) { entries.append(e); });
    return entries;
}

QByteArray formatCollection(const QList<CollectionEntry>& entries, TextEncoding* encoding)
{
    QString text;
    for (const CollectionEntry& e : entries)
        text += fieldText(e.FileName) + kSeparator + fieldText(e.Comment) + QLatin1String("^\r\n");
    TextEncoding utf8;
    return encodeText(text, encoding ? *encoding : utf8);
}

TextEncoding collectionEncoding(const QString& path)
{
    try {
        const RegularFile file(path);
        return scanEncoding(file.fd(), path);
    } catch (const AppError&) {
        return {};
    }
}

void writeCollection(const QString& path, const QList<CollectionEntry>& entries)
{
    TextEncoding encoding = collectionEncoding(path);
    const QByteArray bytes = formatCollection(entries, &encoding);
    try {
        writeFileAtomically(path, bytes);
    } catch (const FileWriteError& e) {
        // Collection errors speak the run-time library's language, like the reader's.
        throw AppError(ioErrorText(e.error(), path) + e.backupNote());
    }
}
