#include "viewer/AllPicturesUndo.h"

#include "core/AtomicFile.h"
#include "core/Errors.h"
#include "core/FileNames.h"
#include "core/RegularFile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

#include <algorithm>
#include <sys/stat.h>

namespace {

// A run needs more than its copies: leave a tenth again, and at least 16 MB.
constexpr qint64 MinimumSpare = 16 * 1024 * 1024;

QByteArray contentHash(const QString& path)
{
    try {
        const RegularFile file(path);
        QFile f;
        if (!f.open(file.fd(), QIODevice::ReadOnly))
            return QByteArray();
        QCryptographicHash hash(QCryptographicHash::Sha256);
        hash.addData(&f);
        return hash.result();
    } catch (const AppError&) {
        return QByteArray();
    }
}

// Size and last change of a file by any name it has; size -1 when gone.
struct Stamp {
    qint64 size = -1;
    QDateTime modified;
};
Stamp stampOf(const QString& path)
{
    struct stat st {};
    if (::stat(nativeFileName(path).constData(), &st) != 0)
        return {};
    return {qint64(st.st_size),
            QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000)};
}

qint64 diskFreeSpace(const QString& folder)
{
    QDir().mkpath(folder);
    const QStorageInfo disk(folder);
    return disk.isValid() ? disk.bytesAvailable() : -1;
}

int g_runs = 0; // runs of this process, for folder names of their own

} // namespace

AllPicturesUndo::AllPicturesUndo(QString folder, FreeSpace freeSpace) : m_root(std::move(folder))
{
    setFreeSpace(std::move(freeSpace));
}

void AllPicturesUndo::setFreeSpace(FreeSpace freeSpace)
{
    m_freeSpace = freeSpace ? std::move(freeSpace) : FreeSpace(diskFreeSpace);
}

AllPicturesUndo::~AllPicturesUndo()
{
    discard();
}

QString AllPicturesUndo::defaultFolder()
{
    return backupFolder() + QStringLiteral("/undo");
}

bool AllPicturesUndo::hasRoomFor(const QStringList& files) const
{
    qint64 needed = 0;
    QSet<QString> seen;
    for (const QString& f : files) {
        if (seen.contains(f))
            continue;
        seen.insert(f);
        needed += std::max<qint64>(stampOf(f).size, 0);
    }
    const qint64 free = m_freeSpace(m_root);
    return free >= 0 && free - needed >= std::max(MinimumSpare, needed / 10);
}

void AllPicturesUndo::keepCopies(const QStringList& files)
{
    discard();
    m_run = QStringLiteral("%1/%2-%3").arg(m_root).arg(QCoreApplication::applicationPid()).arg(++g_runs);
    if (!QDir().mkpath(m_run))
        throw AppError(msg::cannotCreate(m_run, QStringLiteral("The folder can't be made.")));
    try {
        QSet<QString> kept;
        for (const QString& f : files) {
            if (kept.contains(f))
                continue;
            kept.insert(f);
            Kept k;
            k.path = f;
            k.copy = QStringLiteral("%1/%2").arg(m_run).arg(m_kept.size());
            writeFileAtomically(k.copy, readWholeFile(f));
            m_kept.append(k);
        }
    } catch (...) {
        discard();
        throw;
    }
}

void AllPicturesUndo::runFinished(const QStringList& written)
{
    const QSet<QString> wrote(written.cbegin(), written.cend());
    for (Kept& k : m_kept) {
        if (!wrote.contains(k.path))
            continue;
        const Stamp now = stampOf(k.path);
        k.written = true;
        k.size = now.size;
        k.modified = now.modified;
        k.hash = contentHash(k.path);
    }
    m_finished = true;
}

AllPicturesUndo::Result AllPicturesUndo::restore()
{
    Result r;
    if (!m_finished)
        return r;
    // All are looked at before any is written: names that lead to one file
    // (links) must all still find the run's state.
    QList<const Kept*> unchanged;
    for (const Kept& k : m_kept) {
        if (!k.written)
            continue;
        const Stamp now = stampOf(k.path);
        if (now.size >= 0 && now.size == k.size && now.modified == k.modified &&
            contentHash(k.path) == k.hash)
            unchanged << &k;
        else
            r.changed << k.path;
    }
    for (const Kept* k : unchanged) {
        writeFileAtomically(k->path, readWholeFile(k->copy));
        r.restored << k->path;
    }
    discard();
    return r;
}

void AllPicturesUndo::discard()
{
    if (!m_run.isEmpty())
        QDir(m_run).removeRecursively();
    m_run.clear();
    m_kept.clear();
    m_finished = false;
}
