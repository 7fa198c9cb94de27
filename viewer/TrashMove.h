#pragma once
// A picture's file moved to the desktop's trash and put back, and the
// entries that name it taken out of a collection and put back in their
// places. No widgets: the main window asks, the session keeps the record.
#include "collection/CollectionFile.h"
#include "viewer/UndoHistory.h"

#include <QByteArray>
#include <QList>
#include <QString>

class ViewerSession;

// A file the trash holds: where it was, where the trash keeps it and the
// note the trash keeps of its old place.
struct TrashedFile {
    QString path;
    QString inTrash;
    QString info;
};

// What the refusals say; %1 is the file.
struct TrashTexts {
    QString noTrash;  // the file system has no trash (or the move failed)
    QString occupied; // something now has the old name
    QString gone;     // the trash no longer holds the file
};

// Moves `path` into the freedesktop trash; the file is never deleted.
// Throws AppError(texts.noTrash) with nothing changed when it can't go.
TrashedFile moveFileToTrash(const QString& path, const TrashTexts& texts);
// Moves the file back to its old name, never over anything there now
// (AppError texts.occupied) and only while the trash holds it (texts.gone).
// The trash's note stays until forgetTrashNote: a later failure can still
// give the file back to the trash with returnToTrash.
void takeBackFromTrash(const TrashedFile& file, const TrashTexts& texts);
void returnToTrash(const TrashedFile& file);
void forgetTrashNote(const TrashedFile& file);

// The entries that name one file, by their places (from 0, ascending) in
// the list they were taken from.
struct TakenEntries {
    QList<int> places;
    QList<CollectionEntry> entries;
    int current = 1; // the entry current before, current again when they come back
};
// Every entry of `listed` that names the file `fileName` (by its path made
// absolute, so "a/../b.jpg" and "b.jpg" beside the collection are one).
TakenEntries entriesNaming(const QList<CollectionEntry>& listed, const QString& fileName);
QList<CollectionEntry> withoutEntries(QList<CollectionEntry> listed, const TakenEntries& taken);
QList<CollectionEntry> withEntriesBack(QList<CollectionEntry> listed, const TakenEntries& taken);

// The collection file around a move: its bytes before and as the move
// wrote them. Empty path: the collection has no file yet.
struct CollectionBytes {
    QString path;
    QByteArray before;
    QByteArray after;
};

// Undo of a move to the trash: the file back at its name, the entries back
// in their places and the collection file as it was before, byte for byte
// (or, when it was changed since, written from the list with them back).
class TrashUndo : public UndoRecord {
public:
    TrashUndo(ViewerSession& session, TrashedFile file, TakenEntries taken, CollectionBytes collection,
              TrashTexts texts);
    QList<RestoredPicture> restore() override;

    const TrashedFile& file() const { return m_file; }
    const TakenEntries& taken() const { return m_taken; }
    const CollectionBytes& collection() const { return m_collection; }

private:
    ViewerSession& m_session;
    TrashedFile m_file;
    TakenEntries m_taken;
    CollectionBytes m_collection;
    TrashTexts m_texts;
};
