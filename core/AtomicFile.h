#pragma once
// Every file the program writes goes through here: written to a temporary
// file in the same folder and renamed over the target only when complete.
// Where a rename would lose something (the folder takes no new file, the
// file has other hard links, its owner can't be given to a new file), the
// file is rewritten in place instead, with its old bytes kept aside and put
// back if the write fails. A chain of symbolic links is followed to the file
// at its end, and every link stays; a name that leads to anything but a
// regular file (a device, a FIFO, a socket, a folder) is refused before a
// byte is written. What a killed write leaves behind is cleared later: its
// temporary at the next write into that folder, its kept bytes at the next
// start (recoverInterruptedWrites).
#include "core/Errors.h"

#include <QByteArray>
#include <QString>

#include <functional>

// A failed write: the system's error and, when even putting the old bytes
// back failed, where a copy of them is kept.
class FileWriteError : public AppError {
public:
    FileWriteError(const QString& path, int error, const QString& backup = {});
    // A refusal that is no error of the system's: error() is then 0.
    FileWriteError(const QString& path, const QString& reason);
    int error() const { return m_error; }
    const QString& backupPath() const { return m_backup; }
    // " A copy of the old file is kept in "...".", or empty.
    QString backupNote() const;

private:
    int m_error;
    QString m_backup;
};

// Throws FileWriteError("Cannot create file "%s". %s") on any failure; the
// old file stays whole (or, failing that, a copy is named) and no temporary
// file is left behind. Owner, group and permissions are kept.
void writeFileAtomically(const QString& path, const QByteArray& data);

// The same for data made while it is written, so that it never has to be
// whole in memory: `produce` hands it over piece by piece through `put`, and
// may throw to abandon the write (the old file then stays as it was).
using ByteSink = std::function<void(const char* data, qint64 size)>;
void writeFileAtomically(const QString& path, const std::function<void(const ByteSink& put)>& produce);

// Reads a whole regular file (see RegularFile); throws AppError("Cannot
// open file "%s". %s").
QByteArray readWholeFile(const QString& path);

// Where in-place writes keep the old bytes: $XDG_CACHE_HOME/pictavo.
QString backupFolder();

// A write killed halfway through an in-place rewrite leaves the old bytes
// and a note of the write in backupFolder(). Run at the start of each
// program: every such file is put back as it was, unless the write had
// finished or the file has been changed since; then the notes go. Answers
// the files put back.
QStringList recoverInterruptedWrites();

// Failures a test build plants in the writes (tests/support/WriteFaults.h);
// the program itself meets none. A Write fault strikes after half of the
// data has been written; Backup strikes while the old bytes of an in-place
// write are kept aside; Restore strikes an in-place write halfway and then
// the putting back of the old bytes. A kill (SIGKILL) strikes where its step
// would fail: at Commit, with the temporary complete and not yet renamed; at
// Write, halfway through writing the data (over the file itself on the
// in-place route). A refusing folder takes no new file (as a read-only folder
// does to anyone but root), so writes to existing files go in place.
enum class AtomicWriteFault { None, Open, Write, Flush, Commit, Backup, Restore };
struct PlantedWriteFaults {
    AtomicWriteFault fault = AtomicWriteFault::None;
    int error = 5; // EIO
    AtomicWriteFault kill = AtomicWriteFault::None;
    bool folderRefuses = false;
};
PlantedWriteFaults plantedWriteFaults() noexcept;
