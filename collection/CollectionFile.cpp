#include "collection/CollectionFile.h"

#include "graphics/AtomicFile.h"
#include "graphics/Errors.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kSeparator = '^';
constexpr char kEndOfFile = 26;

// Strict: no overlong forms, no surrogates, nothing above U+10FFFF. Latin-1
// text almost never passes this, so the guess is safe in practice.
bool isValidUtf8(const char* s, qsizetype n)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0)
                lo = 0xA0;
            else if (c == 0xED)
                hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0)
                lo = 0x90;
            else if (c == 0xF4)
                hi = 0x8F;
        } else {
            return false;
        }
        if (n - i < len)
            return false;
        if (p[i + 1] < lo || p[i + 1] > hi)
            return false;
        for (int k = 2; k < len; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
        i += len;
    }
    return true;
}

// A field must never break the one-line-per-entry layout: a line end would
// split the entry and a byte 26 would end the file for the reader.
QByteArray fieldBytes(const QString& text)
{
    QString t = text;
    for (QChar& ch : t) {
        if (ch == u'\r' || ch == u'\n' || ch == QChar(kEndOfFile))
            ch = u' ';
    }
    return t.toUtf8();
}

struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

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

bool parseCollectionLine(const QByteArray& line, CollectionEntry& out)
{
    const qsizetype first = line.indexOf(kSeparator);
    if (first < 0)
        return false;
    qsizetype second = line.indexOf(kSeparator, first + 1);
    if (second < 0)
        second = line.size();

    const char* d = line.constData();
    const bool utf8 = isValidUtf8(d, second);
    const auto decode = [utf8](const char* s, qsizetype n) {
        if (!utf8)
            return QString::fromLatin1(s, n);
        // QString::fromUtf8 would drop a leading U+FEFF of every field; only
        // the file's own BOM is dropped, by the reader.
        QStringDecoder utf8Decoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
        return QString(utf8Decoder(QByteArrayView(s, n)));
    };
    out.FileName = decode(d, first);
    out.Comment = decode(d + first + 1, second - first - 1);
    return true;
}

void readCollection(const QString& path,
                    const std::function<void(int number, const CollectionEntry&)>& onEntry)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw AppError(ioErrorText(errno, path));
    FdCloser closer{fd};

    // Opening a folder succeeds here; refuse it before reading.
    struct stat st;
    if (::fstat(fd, &st) != 0)
        throw AppError(ioErrorText(errno, path));
    if (S_ISDIR(st.st_mode))
        throw AppError(ioErrorText(EISDIR, path));

    int number = 0;
    bool atStart = true;
    QByteArray line;
    CollectionEntry entry;
    const auto finishLine = [&] {
        if (line.endsWith('\r'))
            line.chop(1);
        if (atStart) {
            // A BOM from a UTF-8 editor would otherwise stick to the first path.
            if (line.startsWith("\xEF\xBB\xBF"))
                line.remove(0, 3);
            atStart = false;
        }
        if (parseCollectionLine(line, entry))
            onEntry(++number, entry);
        line.clear();
    };

    // Fixed-size chunks: the reader hands entries on while the rest of the
    // file is still unread, and memory stays bounded by the longest line.
    char buf[64 * 1024];
    bool ended = false;
    while (!ended) {
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
                ended = true;
                break;
            }
            finishLine();
            p = stop + 1;
        }
    }
    // The last line needs no line end.
    if (!line.isEmpty())
        finishLine();
}

QList<CollectionEntry> readCollectionAll(const QString& path)
{
    QList<CollectionEntry> entries;
    readCollection(path, [&entries](int, const CollectionEntry& e) { entries.append(e); });
    return entries;
}

QByteArray formatCollection(const QList<CollectionEntry>& entries)
{
    QByteArray out;
    // The reader drops a byte order mark at the very start; a first name
    // that itself begins with U+FEFF gets one in front so it survives.
    if (!entries.isEmpty() && entries.first().FileName.startsWith(QChar(0xFEFF)))
        out += "\xEF\xBB\xBF";
    for (const CollectionEntry& e : entries) {
        out += fieldBytes(e.FileName);
        out += kSeparator;
        out += fieldBytes(e.Comment);
        out += kSeparator;
        out += "\r\n";
    }
    return out;
}

void writeCollection(const QString& path, const QList<CollectionEntry>& entries)
{
    const QByteArray bytes = formatCollection(entries);
    try {
        writeFileAtomically(path, bytes);
    } catch (const FileWriteError& e) {
        // Collection errors speak the run-time library's language, like the reader's.
        throw AppError(ioErrorText(e.error(), path) + e.backupNote());
    }
}
