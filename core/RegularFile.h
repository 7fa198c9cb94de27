#pragma once
// Files read whole, such as pictures, must be ordinary files: a name that
// leads to a FIFO, a device or a socket is refused before a byte is read (a
// FIFO would block the reader for good, /dev/zero never ends), and no read
// runs past the cap, whatever size the file claims.
#include <QByteArray>
#include <QString>

#include <functional>

// Why a file of this st_mode is not read or written ("It is a named pipe,
// not a regular file."); empty for a regular file.
QString notRegularReason(unsigned mode);

// Files beyond this are no picture or collection of ours.
inline constexpr qint64 MaxReadBytes = qint64(1) << 31;

// Reads `count` bytes at offset `at` of `fd` into `into`, across short
// reads and interruptions: how many came (fewer at the file's end), or -1
// with errno set.
qint64 readFullyAt(int fd, void* into, qint64 count, qint64 at);

// An open regular file, closed when this goes.
class RegularFile {
public:
    // The text of a failure of the system (an errno value, a folder's
    // EISDIR included) for this file; by default "Cannot open file "%s". %s"
    // with the system's own words.
    using ErrorText = std::function<QString(int error)>;
    // Throws AppError when `path` can't be opened or is (or links to)
    // anything but a regular file: "Cannot open file "%s". It is a named
    // pipe, not a regular file." and the like.
    explicit RegularFile(const QString& path, ErrorText errorText = {});
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    int fd() const noexcept { return m_fd; }
    // The size at opening.
    qint64 size() const noexcept { return m_size; }
    // Everything from the start, at most `cap` bytes: a file that holds
    // more (or grows past it while read) throws "File too large".
    QByteArray readAll(qint64 cap = MaxReadBytes);
    // The first `count` bytes, fewer when the file is shorter.
    QByteArray readHead(qint64 count);

private:
    [[noreturn]] void fail(int error) const;

    QString m_path;
    ErrorText m_errorText;
    int m_fd = -1;
    qint64 m_size = 0;
};
