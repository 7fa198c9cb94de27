#pragma once
// What the viewer has open and where it stands in it: the collection, the
// position, follow mode and the undo record. Windows share one session and
// learn of changes through its signals.
#include "collection/CollectionFile.h"
#include "graphics/Picture.h"
#include "settings/SettingsModel.h"
#include "settings/UiText.h"
#include "viewer/AllPicturesUndo.h"

#include <QList>
#include <QObject>
#include <QString>

// Program-wide texts; the language file replaces all but TitleText.
struct ProgramTexts : UiProgramTexts {
    QString TitleText = QStringLiteral("Pictavo 2006");
};

class ViewerSession : public QObject {
    Q_OBJECT
public:
    // The picture as it was before the last change, and where it stood.
    struct UndoRecord {
        Picture picture;
        int slot = 0;
        int firstIndex = 0;
        int entry() const { return slot + firstIndex; }
    };

    explicit ViewerSession(QObject* parent = nullptr) : QObject(parent) {}

    // The open collection; entry e (from 1) is entries()[e - 1].
    const QString& collectionFileName() const { return m_fileName; }
    int entryCount() const { return int(m_entries.size()); }
    const CollectionEntry& entry(int e) const { return m_entries.at(e - 1); }
    const QList<CollectionEntry>& entries() const { return m_entries; }
    // Names the collection the next open without a dialog reads.
    void setCollectionFileName(const QString& path);
    // An open begins: the file named, no entries yet, the top shown, no undo.
    void startCollection(const QString& path);
    void appendEntry(const CollectionEntry& e);

    // The position: the strip shows entries firstIndex()+1 on, and the
    // current one sits in currentSlot() (from 1).
    int firstIndex() const { return m_firstIndex; }
    int currentSlot() const { return m_currentSlot; }
    int currentEntry() const { return m_firstIndex + m_currentSlot; }
    void setFirstIndex(int index);
    void setCurrentSlot(int slot);

    // Follow mode: the current picture follows the mouse over the strip.
    bool followsCursor() const { return m_followsCursor; }
    void setFollowsCursor(bool on);

    const UndoRecord& undoRecord() const { return m_undo; }
    bool undoAvailable() const { return m_undoAvailable; }
    // Keeps `before` as the current entry's picture to go back to.
    void recordUndo(const Picture& before);
    // The copies an all-pictures run keeps for Undo.
    AllPicturesUndo& allPicturesUndo() { return m_allPicturesUndo; }
    // A run finished with its copies kept: Undo now puts its files back.
    void recordAllPicturesUndo();
    bool undoRestoresRun() const { return m_undoRestoresRun; }
    void setUndoRecord(const UndoRecord& record) { m_undo = record; }
    void setUndoAvailable(bool on);
    // Forgets the record: undo then does nothing.
    void clearUndo();

    // Asks between windows: the next open takes collectionFileName() without
    // a dialog; the editor is making a new collection rather than editing.
    bool reopenWithoutDialog = false;
    bool newCollectionMode = false;
    ProgramTexts texts;
    // The settings as last applied (read at start, then each OK); the slide
    // show and the comments window go by these.
    SettingsValues settings;
    // How JPEGs are read from now on.
    ExifOrientation exifOrientation = ExifOrientation::Apply;

    // A window changed the current picture's file (the effects dialog's
    // OK): the main window shows `now` in the main image and the strip.
    void announcePictureReplaced(const Picture& now) { emit currentPictureReplaced(now); }
    // A short report for the status bar (the end of an all-pictures run).
    void announceStatus(const QString& text) { emit statusAnnounced(text); }
    // A window wants the collection opened again from its file.
    void requestReopen();
    // The files of the pictures in the strip changed: read them again.
    void requestStripReload() { emit stripReloadRequested(); }

signals:
    void collectionChanged();
    void positionChanged();
    void followModeChanged(bool on);
    void undoAvailableChanged(bool on);
    void currentPictureReplaced(const Picture& now);
    void reopenRequested();
    void stripReloadRequested();
    void statusAnnounced(const QString& text);

private:
    QString m_fileName;
    QList<CollectionEntry> m_entries;
    int m_firstIndex = 0;
    int m_currentSlot = 1;
    bool m_followsCursor = false;
    UndoRecord m_undo;
    bool m_undoAvailable = false;
    AllPicturesUndo m_allPicturesUndo;
    bool m_undoRestoresRun = false;
};
