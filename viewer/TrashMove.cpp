#include "viewer/TrashMove.h"

#include "core/AtomicFile.h"
#include "viewer/ViewerSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
// Whether anything has this name, a dangling link included.
bool nameTaken(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString absoluteName(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// rename() that never replaces what has the new name; errno as rename's.
bool renameNoReplace(const QString& from, const QString& to)
{
    const QByteArray f = QFile::encodeName(from), t = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system that can't promise it: a link fails on any name there.
    if (::link(f.constData(), t.constData()) == 0) {
        ::unlink(f.constData());
        return true;
    }
    if (errno == EEXIST)
        return false;
    if (nameTaken(to)) {
        errno = EEXIST;
        return false;
    }
    return ::rename(f.constData(), t.constData()) == 0;
}

// The home trash, made where it is missing. Qt 6.4 moves a file into
// "files/" of the working folder when it can't make it, so nothing goes to
// the trash before it is there.
bool homeTrashReady()
{
    const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (home.isEmpty())
        return false;
    const QDir trash(home + QStringLiteral("/Trash"));
    return QDir().mkpath(trash.filePath(QStringLiteral("files"))) &&
           QDir().mkpath(trash.filePath(QStringLiteral("info")));
}
} // namespace

TrashedFile moveFileToTrash(const QString& path, const TrashTexts& texts)
{
    QString inTrash;
    if (!nameTaken(path))
        throw AppError(ioErrorText(ENOENT, path));
    // Never a copy and a delete: the file keeps its bytes, owner, mode and time.
    if (!QFileInfo(path).isFile() || !homeTrashReady() || !QFile::moveToTrash(path, &inTrash) ||
        inTrash.isEmpty())
        throw AppError(texts.noTrash.arg(path));
    if (QFileInfo(inTrash).isRelative()) {
        // No trash after all: the file goes back where it was.
        renameNoReplace(inTrash, path);
        throw AppError(texts.noTrash.arg(path));
    }
    const QFileInfo kept(inTrash);
    const QString info = kept.dir().absoluteFilePath(QStringLiteral("../info/") + kept.fileName() +
                                                     QStringLiteral(".trashinfo"));
    return {path, inTrash, QDir::cleanPath(info)};
}

void takeBackFromTrash(const TrashedFile& file, const TrashTexts& texts)
{
    if (!nameTaken(file.inTrash))
        throw AppError(texts.gone.arg(file.path));
    if (nameTaken(file.path))
        throw AppError(texts.occupied.arg(file.path));
    if (!renameNoReplace(file.inTrash, file.path)) {
        const int err = errno;
        throw AppError(err == EEXIST ? texts.occupied.arg(file.path) : ioErrorText(err, file.path));
    }
}

void returnToTrash(const TrashedFile& file)
{
    renameNoReplace(file.path, file.inTrash);
}

void forgetTrashNote(const TrashedFile& file)
{
    QFile::remove(file.info);
}

TakenEntries entriesNaming(const QList<CollectionEntry>& listed, const QString& fileName)
{
    const QString file = absoluteName(fileName);
    TakenEntries taken;
    for (int i = 0; i < listed.size(); ++i) {
        if (absoluteName(listed.at(i).path) == file) {
            taken.places.append(i);
            taken.entries.append(listed.at(i));
        }
    }
    return taken;
}

QList<CollectionEntry> withoutEntries(QList<CollectionEntry> listed, const TakenEntries& taken)
{
    for (qsizetype i = taken.places.size() - 1; i >= 0; --i)
        listed.removeAt(taken.places.at(i));
    return listed;
}

QList<CollectionEntry> withEntriesBack(QList<CollectionEntry> listed, const TakenEntries& taken)
{
    // In ascending order each place is counted among the entries put back before it.
    for (qsizetype i = 0; i < taken.places.size(); ++i)
        listed.insert(std::min<qsizetype>(taken.places.at(i), listed.size()), taken.entries.at(i));
    return listed;
}

TrashUndo::TrashUndo(ViewerSession& session, TrashedFile file, TakenEntries taken, CollectionBytes collection,
                     TrashTexts texts)
    : m_session(session), m_file(std::move(file)), m_taken(std::move(taken)),
      m_collection(std::move(collection)), m_texts(std::move(texts))
{
}

QList<RestoredPicture> TrashUndo::restore()
{
    takeBackFromTrash(m_file, m_texts);
    try {
        m_session.putEntriesBack(m_taken, m_collection);
    } catch (...) {
        // The collection still lacks the entries: so does the folder.
        returnToTrash(m_file);
        throw;
    }
    forgetTrashNote(m_file);
    return {{m_file.path, Picture(), 0}};
}
