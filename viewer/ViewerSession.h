#pragma once
// What the viewer has open and where it stands in it: the collection, the
// strip's position, follow mode, how JPEGs are read, the undo record, the
// slide show and the requests between windows. Windows share one session,
// change it through its functions and learn of changes through its signals;
// each fact has its one owner here.
#include "collection/CollectionFile.h"
#include "graphics/Picture.h"
#include "settings/UiText.h"
#include "viewer/AllPicturesUndo.h"
#include "viewer/SlideShow.h"
#include "viewer/StripModel.h"
#include "viewer/TrashMove.h"
#include "viewer/UndoHistory.h"
#include "viewer/ViewerCommands.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class SettingsStore;

// Program-wide texts; the language file replaces all but TitleText.
struct ProgramTexts : UiProgramTexts {
    QString TitleText = QStringLiteral("Pictavo 2006");
};

class ViewerSession : public QObject {
    Q_OBJECT
public:
    // What the collection editor was opened for.
    enum class EditorMode { NewCollection, EditCollection };

    // The session and the slide show read their options from `settings`,
    // which must outlive the session.
    explicit ViewerSession(const SettingsStore& settings, QObject* parent = nullptr);

    // The open collection. The viewer walks entries 1..entryCount(); the
    // file may list more (an unreadable picture in the strip ends the walk
    // there), and the collection editor gets every entry listed.
    const QString& collectionFileName() const { return m_fileName; }
    // Pictures are open that no file lists yet (a picture opened by
    // itself): saving them asks for a name.
    bool collectionUnsaved() const { return m_fileName.isEmpty() && !m_listed.isEmpty(); }
    int entryCount() const { return m_strip.entryCount(); }
    const CollectionEntry& entry(int e) const { return m_listed.at(e - 1); }
    QList<CollectionEntry> entries() const { return m_listed.mid(0, entryCount()); }
    const QList<CollectionEntry>& listedEntries() const { return m_listed; }
    // Names the collection the next open without a dialog reads.
    void setCollectionFileName(const QString& path);
    // A new collection was saved under `path`: it can be edited before the
    // open that follows has shown it.
    void newCollectionSaved(const QString& path);

    // An open begins: the file named, nothing listed, the top current, no
    // undo. Then each entry the walk takes, then every entry listed.
    void beginOpen(const QString& path);
    void appendEntry(const CollectionEntry& e);
    void endOpen(const QList<CollectionEntry>& listed);

    // Where the strip stands; the main window moves it and lays it out.
    const StripModel& strip() const { return m_strip; }
    StripModel& strip() { return m_strip; }
    int currentEntry() const { return m_strip.currentEntry(); }

    // Follow mode: every step shows the new current entry in the main image.
    bool followsCursor() const { return m_followsCursor; }
    void setFollowsCursor(bool on);

    // Whether an open and a slot click show the picture fitted to the main
    // image's area rather than 1:1.
    bool fitsPictures() const;

    // The settings as the start read them, or as the settings dialog's OK
    // left them: from now on pictures are read and drawn as they say.
    void applySettings();
    // How pictures are read: turned upright by their orientation or as stored.
    ExifOrientation exifOrientation() const { return m_exifOrientation; }
    // Whether pictures are drawn in the screen's colours (their profiles
    // converted to sRGB) or as their values are stored.
    bool colorManaged() const { return m_colorManaged; }
    // The settings' code page for text that is not UTF-8; empty: the locale's.
    QByteArray codePage() const;
    // Whether slot thumbnails decoded here are written to the desktop's
    // shared thumbnail cache (it is read either way).
    bool thumbnailCacheWrites() const { return m_thumbnailCacheWrites; }

    // Undo, one level: the effects dialog's OK keeps the picture before.
    UndoHistory& undoHistory() { return m_undo; }
    const UndoHistory& undoHistory() const { return m_undo; }
    // Keeps `before` as the current entry's picture to go back to.
    void recordUndo(const Picture& before);
    // An all-pictures run: whether copies of `files` fit on the disk; the
    // copies made before the first write (throws AppError when they can't
    // be, with nothing changed), when `keepCopies`; and its end. The record
    // before stays until the run has written a file: then Undo puts back
    // what the run wrote, or, without copies, has nothing left to undo.
    bool runUndoFits(const QStringList& files) const;
    void beginRun(const QStringList& files, bool keepCopies);
    void endRun(const QStringList& written);
    // How much the disk keeping the copies has free (tests); null: the disk's own.
    void setUndoFreeSpace(AllPicturesUndo::FreeSpace freeSpace) { m_freeSpace = std::move(freeSpace); }
    // Forgets the record and any copies kept: undo then does nothing.
    void clearUndo();

    // How many entries name entry `e`'s file (it leaves with all of them).
    int entriesNamingFileOf(int e) const;
    // Moves entry `e`'s file to the trash: every entry naming it leaves the
    // collection, whose file is written as the editor writes it, and the
    // entry after it becomes current. Undo puts all back. Throws AppError
    // with nothing changed (the last picture of a collection stays).
    void moveEntryToTrash(int e);
    // Undo of a move: the entries back in their places, the collection
    // file as `bytes` had it before (written from the list when it changed
    // since). Throws AppError with nothing changed.
    void putEntriesBack(const TakenEntries& taken, const CollectionBytes& bytes);
    TrashTexts trashTexts() const;

    SlideShow& slideShow() { return m_slideShow; }
    const SlideShow& slideShow() const { return m_slideShow; }

    // A picture that can't be read is told once per file and open, and
    // never over a slide show or full screen: the main image says why
    // instead. Answers whether to tell the failure of `path` now. One met
    // during a show is kept with its `text` and told when the show ends,
    // all together (failuresWithheld).
    bool takeFailureToTell(const QString& path, const QString& text = {});
    // Full screen: the main window follows it.
    bool isFullScreen() const { return m_fullScreen; }
    void setFullScreen(bool on);

    // Which commands can run now, and why not.
    CommandState commandState(ViewerCommand command) const;

    // A short report for the status bar (the end of an all-pictures run).
    void announceStatus(const QString& text) { emit statusAnnounced(text); }
    // The next open reads collectionFileName() without a dialog. A window
    // asks for it; the open takes it; the editor closing withdraws it.
    void requestReopen();
    bool takeReopenRequest();
    void withdrawReopenRequest() { m_reopenRequested = false; }
    EditorMode editorMode() const { return m_editorMode; }
    void setEditorMode(EditorMode mode) { m_editorMode = mode; }

    const ProgramTexts& texts() const { return m_texts; }
    void setProgramText(ProgramText id, const QString& text) { m_texts[id] = text; }

    // The effects dialog's OK changed the current picture's file: the main
    // window shows `now` in the main image and the strip.
    void announcePictureReplaced(const Picture& now) { emit currentPictureReplaced(now); }
    // The files of the pictures in the strip changed: read them again.
    void requestStripReload() { emit stripReloadRequested(); }

signals:
    // An open began: what the old collection listed is gone.
    void openBegan();
    // An open ended: listedEntries() holds every entry of the file.
    void collectionOpened();
    void followModeChanged(bool on);
    void exifOrientationChanged(ExifOrientation exif);
    void colorManagedChanged(bool on);
    void commandStatesChanged();
    void currentPictureReplaced(const Picture& now);
    void reopenRequested();
    // Entries left the collection or came back: the strip shows it anew,
    // at the current entry.
    void entriesChanged();
    void stripReloadRequested();
    void statusAnnounced(const QString& text);
    // A slide show ended that passed by pictures it could not read.
    void failuresWithheld(const QStringList& texts);

private:
    const SettingsStore& m_settings;
    QString m_fileName;
    QList<CollectionEntry> m_listed;
    StripModel m_strip;
    bool m_followsCursor = false;
    bool m_newCollectionSaved = false;
    ExifOrientation m_exifOrientation = ExifOrientation::Apply;
    bool m_colorManaged = true;
    bool m_thumbnailCacheWrites = true;
    UndoHistory m_undo;
    std::unique_ptr<AllPicturesUndo> m_run; // the copies of a run under way
    AllPicturesUndo::FreeSpace m_freeSpace;
    SlideShow m_slideShow;
    bool m_reopenRequested = false;
    QSet<QString> m_toldFailures;
    QStringList m_withheldFailures;
    bool m_fullScreen = false;
    EditorMode m_editorMode = EditorMode::EditCollection;
    ProgramTexts m_texts;
};
