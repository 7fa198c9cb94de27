#include "collection/CollectionFile.h"

#include "core/AtomicFile.h"
#include "core/Errors.h"
#include "core/FileNames.h"
#include "core/RegularFile.h"
#include "core/TextEncoding.h"

#include <QFileInfo>
#include <QStringEncoder>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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
    out.path = decodeText(QByteArrayView(d, first), field);
    out.comment = decodeText(QByteArrayView(d + first + 1, second - first - 1), field);
    return true;
}

namespace {

// Hands on every line before the end (the physical end or a byte 26), read
// in fixed-size chunks. A line longer than the cap is not kept: it is
// handed on empty, marked too long, so memory stays bounded whatever the
// file holds. onLine gets the line (without its LF) and its number, and
// answers false to stop early; so does a raised stop flag.
using LineHandler = std::function<bool(QByteArray& line, int number, bool tooLong)>;
void forEachLine(int fd, const QString& path, const std::atomic<bool>* stop, const LineHandler& onLine)
{
    QByteArray line;
    bool tooLong = false;
    int number = 1;
    qint64 total = 0;
    char buf[64 * 1024];
    const auto take = [&](const char* p, qsizetype n) {
        // One byte more than the cap: the CR of a CR LF is not counted.
        if (tooLong || line.size() + n > MaxCollectionLine + 1) {
            tooLong = true;
            line.clear();
            return;
        }
        line.append(p, n);
    };
    const auto hand = [&] {
        const bool longLine = tooLong || line.size() - (line.endsWith('\r') ? 1 : 0) > MaxCollectionLine;
        if (longLine)
            line.clear();
        const bool more = onLine(line, number++, longLine);
        line.clear();
        tooLong = false;
        return more;
    };
    for (;;) {
        if (stop && *stop)
            return;
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw AppError(ioErrorText(errno, path));
        }
        if (got == 0)
            break;
        // A file that grew past the cap since it was opened.
        total += got;
        if (total > MaxCollectionBytes)
            throw CollectionLimitError(path, CollectionLimitError::Limit::Bytes, total);
        const char* p = buf;
        const char* const end = buf + got;
        while (p < end) {
            const char* stopAt = p;
            while (stopAt < end && *stopAt != '\n' && *stopAt != kEndOfFile)
                ++stopAt;
            take(p, stopAt - p);
            if (stopAt == end)
                break;
            if (*stopAt == kEndOfFile) {
                if (!line.isEmpty() || tooLong)
                    hand();
                return;
            }
            if (!hand())
                return;
            p = stopAt + 1;
        }
    }
    // The last line needs no line end.
    if (!line.isEmpty() || tooLong)
        hand();
}

// Only a regular file: a FIFO would hold the reader for good, a device
// might never end. Failures speak the run-time library's language.
RegularFile openForReading(const QString& path)
{
    return RegularFile(path, [path](int err) { return ioErrorText(err, path); });
}

// Refused by its size before a byte is read.
void checkSize(const RegularFile& file, const QString& path)
{
    if (file.size() > MaxCollectionBytes)
        throw CollectionLimitError(path, CollectionLimitError::Limit::Bytes, file.size());
}

// The whole text decides: valid UTF-8 throughout, or the legacy code page.
// Lines left out don't count.
TextEncoding scanEncoding(int fd, const QString& path, const QByteArray& codePage,
                          const std::atomic<bool>* stop = nullptr)
{
    bool utf8 = true;
    bool bom = false;
    bool atStart = true;
    forEachLine(fd, path, stop, [&](QByteArray& line, int, bool tooLong) {
        if (atStart)
            bom = line.startsWith("\xEF\xBB\xBF");
        atStart = false;
        utf8 = tooLong || isValidUtf8(line);
        return utf8;
    });
    return utf8 ? TextEncoding{QByteArray(), bom} : TextEncoding{codePageOrLocale(codePage), false};
}

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes)
        if (c & 0x80)
            return false;
    return true;
}

bool exists(const QString& name)
{
    struct stat st {};
    return !name.contains(QChar(0)) && ::lstat(nativeFileName(name).constData(), &st) == 0;
}

// Reads the entry's path against the collection's folder. In a file that
// is no UTF-8, a name the code page's text doesn't find may be a name
// whose bytes are not text at all (Latin-1 from an old memory card): the
// bytes as they stand are tried next.
void locate(CollectionEntry& e, QByteArrayView storedBytes, const TextEncoding& encoding,
            const QString& folder)
{
    const QString stored = e.path;
    e.path = entryFileName(folder, stored);
    if (!encoding.isUtf8() && !isAscii(storedBytes) && !exists(e.path)) {
        const QString asBytes = entryFileName(folder, fileNameFromNative(storedBytes));
        if (exists(asBytes))
            e.path = asBytes;
    }
    e.storedPath = e.path == stored ? QString() : stored;
}

} // namespace

CollectionLimitError::CollectionLimitError(const QString& path, Limit limit, qint64 size)
    : AppError(limit == Limit::Bytes
                   ? msg::collectionTooLarge(path, (size + (1 << 20) - 1) >> 20, MaxCollectionBytes >> 20)
                   : msg::collectionTooManyEntries(path, MaxCollectionEntries)),
      m_path(path), m_limit(limit), m_size(size)
{
}

QString entryFileName(const QString& folder, const QString& stored)
{
    if (stored.isEmpty() || stored.startsWith(QLatin1Char('/')) || folder.isEmpty())
        return stored;
    return folder.endsWith(QLatin1Char('/')) ? folder + stored : folder + QLatin1Char('/') + stored;
}

TextEncoding readCollection(const QString& path,
                            const std::function<void(int number, const CollectionEntry&)>& onEntry,
                            const CollectionReadHooks& hooks)
{
    RegularFile file = openForReading(path);
    checkSize(file, path);
    const int fd = file.fd();
    // Read twice, the first time only to learn the encoding.
    TextEncoding encoding = scanEncoding(fd, path, hooks.codePage, hooks.stop);
    if (::lseek(fd, 0, SEEK_SET) < 0)
        throw AppError(ioErrorText(errno, path));

    const QString folder = realFolderOf(path);
    int number = 0;
    bool atStart = true;
    CollectionEntry entry;
    forEachLine(fd, path, hooks.stop, [&](QByteArray& line, int lineNumber, bool tooLong) {
        const bool first = std::exchange(atStart, false);
        if (tooLong) {
            if (hooks.longLine)
                hooks.longLine(lineNumber);
            return true;
        }
        if (line.endsWith('\r'))
            line.chop(1);
        // A BOM from a UTF-8 editor would otherwise stick to the first path.
        if (first && encoding.isUtf8() && line.startsWith("\xEF\xBB\xBF")) {
            encoding.bom = true;
            line.remove(0, 3);
        }
        if (!parseCollectionLine(line, entry, encoding))
            return true;
        if (number == MaxCollectionEntries)
            throw CollectionLimitError(path, CollectionLimitError::Limit::Entries, number + 1);
        locate(entry, QByteArrayView(line.constData(), line.indexOf(kSeparator)), encoding, folder);
        onEntry(++number, entry);
        return true;
    });
    return encoding;
}

QList<CollectionEntry> readCollectionAll(const QString& path, const QByteArray& codePage)
{
    QList<CollectionEntry> entries;
    CollectionReadHooks hooks;
    hooks.codePage = codePage;
    readCollection(
        path, [&entries](int, const CollectionEntry& e) { entries.append(e); }, hooks);
    return entries;
}

namespace {

// The path an entry is written with: its stored text while that still
// names the same file from `folder`, else the file's path, relative again
// where the stored text was.
QString nameToWrite(const CollectionEntry& e, const QString& folder)
{
    if (e.storedPath.isEmpty())
        return e.path;
    if (entryFileName(folder, e.storedPath) == e.path)
        return e.storedPath;
    const QString here = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    if (!folder.isEmpty() && !e.storedPath.startsWith(QLatin1Char('/')) && e.path.startsWith(here))
        return e.path.mid(here.size());
    return e.path;
}

// A field in an encoding already known to fit, without a byte order mark.
QByteArray encodeField(const QString& text, const TextEncoding& encoding)
{
    if (encoding.isUtf8())
        return text.toUtf8();
    QStringEncoder encoder(encoding.codePage.constData(), QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

} // namespace

QByteArray formatCollection(const QList<CollectionEntry>& entries, TextEncoding* encoding,
                            const QString& folder, const QByteArray& codePage)
{
    QString text;
    QList<QString> names;
    bool anyBytes = false;
    for (const CollectionEntry& e : entries) {
        names << fieldText(nameToWrite(e, folder));
        // Bytes that are no text are the name's own: no encoding holds them.
        const bool bytes = hasForeignBytes(names.last());
        anyBytes = anyBytes || bytes;
        text +=
            (bytes ? QString() : names.last()) + kSeparator + fieldText(e.comment) + QLatin1String("^\r\n");
    }
    TextEncoding utf8;
    TextEncoding& used = encoding ? *encoding : utf8;
    // Such bytes make the file no UTF-8, so it will be read in the code
    // page: the rest is written in it where it fits.
    if (anyBytes && used.isUtf8())
        used = TextEncoding{codePageOrLocale(codePage), false};
    const QByteArray whole = encodeText(text, used);
    if (!anyBytes)
        return whole;
    QByteArray out =
        used.isUtf8() && whole.startsWith("\xEF\xBB\xBF") ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString& name = names.at(i);
        out += hasForeignBytes(name) ? nativeFileName(name) : encodeField(name, used);
        out += kSeparator + encodeField(fieldText(entries.at(i).comment), used) + "^\r\n";
    }
    return out;
}

TextEncoding collectionEncoding(const QString& path, const QByteArray& codePage)
{
    try {
        const RegularFile file = openForReading(path);
        checkSize(file, path);
        return scanEncoding(file.fd(), path, codePage);
    } catch (const AppError&) {
        return {};
    }
}

namespace {
// The lines of the file at `path` that the reader left out as too long,
// each with its line end. No list read from the file holds them, so a
// rewrite keeps them (at its end) rather than lose what it never showed.
QByteArray linesLeftOut(const QString& path)
{
    QByteArray whole;
    try {
        RegularFile file = openForReading(path);
        checkSize(file, path);
        whole = file.readAll();
    } catch (const AppError&) {
        return {};
    }
    const qsizetype endMark = whole.indexOf(kEndOfFile);
    if (endMark >= 0)
        whole.truncate(endMark);
    QByteArray kept;
    for (qsizetype start = 0; start < whole.size();) {
        qsizetype end = whole.indexOf('\n', start);
        if (end < 0)
            end = whole.size();
        QByteArrayView line(whole.constData() + start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() > MaxCollectionLine)
            kept += line.toByteArray() + "\r\n";
        start = end + 1;
    }
    return kept;
}
} // namespace

void writeCollection(const QString& path, const QList<CollectionEntry>& entries, const QByteArray& codePage)
{
    TextEncoding encoding = collectionEncoding(path, codePage);
    const QByteArray bytes =
        formatCollection(entries, &encoding, realFolderOf(path), codePage) + linesLeftOut(path);
    try {
        writeFileAtomically(path, bytes);
    } catch (const FileWriteError& e) {
        // A refusal of our own (a device, a FIFO) says what it is.
        if (e.error() == 0)
            throw;
        // Collection errors speak the run-time library's language, like the reader's.
        throw AppError(ioErrorText(e.error(), path) + e.backupNote());
    }
}

QString lineNumbersText(const QList<int>& lines, const QString& moreText)
{
    constexpr int Shown = 10;
    QStringList shown;
    for (int i = 0; i < lines.size() && i < Shown; ++i)
        shown << QString::number(lines.at(i));
    QString text = shown.join(QStringLiteral(", "));
    if (lines.size() > Shown)
        text += QLatin1Char(' ') + moreText.arg(lines.size() - Shown);
    return text;
}
