#include "viewer/ViewerSession.h"

#include "core/AtomicFile.h"
#include "core/TextEncoding.h"
#include "settings/SettingsStore.h"

#include <algorithm>
#include <memory>
#include <utility>

ViewerSession::ViewerSession(const SettingsStore& settings, QObject* parent)
    : QObject(parent), m_settings(settings), m_undo(this), m_slideShow(settings, this)
{
    connect(&m_undo, &UndoHistory::availableChanged, this, &ViewerSession::commandStatesChanged);
    connect(&m_slideShow, &SlideShow::runningChanged, this, [this](bool running) {
        emit commandStatesChanged();
        if (!running && !m_withheldFailures.isEmpty())
            emit failuresWithheld(std::exchange(m_withheldFailures, {}));
    });
}

bool ViewerSession::fitsPictures() const
{
    return m_settings.values().fitPictures;
}

void ViewerSession::setCollectionFileName(const QString& path)
{
    m_fileName = path;
}

void ViewerSession::newCollectionSaved(const QString& path)
{
    m_fileName = path;
    if (!std::exchange(m_newCollectionSaved, true))
        emit commandStatesChanged();
}

void ViewerSession::beginOpen(const QString& path)
{
    const bool wasShown = entryCount() > 0;
    // The record belongs to a picture of what was open: never write it
    // into whatever this open brings.
    clearUndo();
    m_fileName = path;
    m_listed.clear();
    m_strip.reset();
    m_toldFailures.clear();
    emit openBegan();
    if (wasShown)
        emit commandStatesChanged();
}

void ViewerSession::appendEntry(const CollectionEntry& e)
{
    m_listed.append(e);
    m_strip.setEntryCount(int(m_listed.size()));
    if (m_listed.size() == 1)
        emit commandStatesChanged();
}

void ViewerSession::endOpen(const QList<CollectionEntry>& listed)
{
    m_listed = listed;
    const bool hadFile = std::exchange(m_newCollectionSaved, false);
    emit collectionOpened();
    if (hadFile)
        emit commandStatesChanged();
}

void ViewerSession::setFollowsCursor(bool on)
{
    if (m_followsCursor == on)
        return;
    m_followsCursor = on;
    emit followModeChanged(on);
}

QByteArray ViewerSession::codePage() const
{
    return knownCodePage(m_settings.values().codePage);
}

void ViewerSession::applySettings()
{
    const SettingsValues& v = m_settings.values();
    m_thumbnailCacheWrites = v.thumbnailCache;
    const ExifOrientation exif = v.autoOrient ? ExifOrientation::Apply : ExifOrientation::Ignore;
    if (std::exchange(m_exifOrientation, exif) != exif) {
        m_undo.setExifOrientation(exif);
        emit exifOrientationChanged(exif);
    }
    if (std::exchange(m_colorManaged, v.colorManaged) != v.colorManaged)
        emit colorManagedChanged(v.colorManaged);
}

void ViewerSession::recordUndo(const Picture& before)
{
    // One level of undo: a run's copies kept before go with its record.
    const int e = currentEntry();
    m_undo.record(std::make_unique<PictureUndo>(
        e, e >= 1 && e <= entryCount() ? entry(e).path : QString(), before));
}

bool ViewerSession::runUndoFits(const QStringList& files) const
{
    return AllPicturesUndo(AllPicturesUndo::defaultFolder(), m_freeSpace).hasRoomFor(files);
}

void ViewerSession::beginRun(const QStringList& files, bool keepCopies)
{
    m_run.reset();
    if (!keepCopies)
        return;
    auto run = std::make_unique<AllPicturesUndo>(AllPicturesUndo::defaultFolder(), m_freeSpace);
    run->keepCopies(files);
    m_run = std::move(run);
}

void ViewerSession::endRun(const QStringList& written)
{
    std::unique_ptr<AllPicturesUndo> run = std::move(m_run);
    // Nothing changed: what Undo did before, it still does.
    if (written.isEmpty())
        return;
    if (!run) {
        clearUndo(); // the last effect can't be undone, and no earlier one may be
        return;
    }
    run->runFinished(written);
    m_undo.record(std::make_unique<RunUndo>(std::move(run)));
}

void ViewerSession::clearUndo()
{
    m_undo.clear();
    m_run.reset();
}

int ViewerSession::entriesNamingFileOf(int e) const
{
    return int(entriesNaming(m_listed, entry(e).path).places.size());
}

TrashTexts ViewerSession::trashTexts() const
{
    return {m_texts.TrashRefusedMessage, m_texts.TrashOccupiedMessage, m_texts.TrashGoneMessage};
}

void ViewerSession::moveEntryToTrash(int e)
{
    if (e < 1 || e > entryCount())
        return;
    const TakenEntries taken = entriesNaming(m_listed, entry(e).path);
    const QList<CollectionEntry> left = withoutEntries(m_listed, taken);
    // As the editor, which never saves a collection of no picture.
    if (left.isEmpty())
        throw AppError(m_texts.MinOneImageMessage);
    CollectionBytes bytes{m_fileName, {}, {}};
    if (!m_fileName.isEmpty())
        bytes.before = readWholeFile(m_fileName);
    const TrashedFile file = moveFileToTrash(entry(e).path, trashTexts());
    if (!m_fileName.isEmpty()) {
        try {
            writeCollection(m_fileName, left, codePage());
        } catch (...) {
            // The collection still names the file: it goes back in place.
            takeBackFromTrash(file, trashTexts());
            forgetTrashNote(file);
            throw;
        }
        try {
            bytes.after = readWholeFile(m_fileName);
        } catch (const AppError&) {
            // Undo then writes the list with the entries back.
        }
    }
    // The next entry that stays becomes current, moved up by those that left before it.
    int next = e + 1;
    while (taken.places.contains(next - 1))
        ++next;
    const int leftBefore = int(std::count_if(taken.places.begin(), taken.places.end(),
                                             [next](int place) { return place < next - 1; }));
    m_listed = left;
    m_strip.entriesChanged(int(left.size()), next - leftBefore);
    m_undo.record(std::make_unique<TrashUndo>(*this, file, TakenEntries{taken.places, taken.entries, e},
                                              bytes, trashTexts()));
    emit entriesChanged();
    emit commandStatesChanged();
}

void ViewerSession::putEntriesBack(const TakenEntries& taken, const CollectionBytes& bytes)
{
    const QList<CollectionEntry> listed = withEntriesBack(m_listed, taken);
    if (!bytes.path.isEmpty()) {
        bool asLeft = false;
        try {
            asLeft = !bytes.after.isEmpty() && readWholeFile(bytes.path) == bytes.after;
        } catch (const AppError&) {
        }
        if (asLeft)
            writeFileAtomically(bytes.path, bytes.before);
        else
            writeCollection(bytes.path, listed, codePage());
    }
    m_listed = listed;
    m_strip.entriesChanged(int(listed.size()), taken.current);
    emit entriesChanged();
    emit commandStatesChanged();
}

CommandState ViewerSession::commandState(ViewerCommand command) const
{
    CommandFacts facts;
    facts.collectionShown = entryCount() > 0;
    facts.collectionHasFile = m_newCollectionSaved;
    facts.undoAvailable = m_undo.isAvailable();
    facts.slideShowRunning = m_slideShow.isRunning();
    facts.canGoBack = m_strip.canGoBack();
    facts.canGoForward = m_strip.canGoForward();
    facts.fullScreen = m_fullScreen;
    return ::commandState(command, facts);
}

void ViewerSession::requestReopen()
{
    m_reopenRequested = true;
    emit reopenRequested();
}

bool ViewerSession::takeReopenRequest()
{
    return std::exchange(m_reopenRequested, false);
}

bool ViewerSession::takeFailureToTell(const QString& path, const QString& text)
{
    if (m_toldFailures.contains(path))
        return false;
    if (m_slideShow.isRunning()) {
        // Kept for the show's end, so the show goes on meanwhile.
        if (!text.isEmpty()) {
            m_toldFailures.insert(path);
            m_withheldFailures.append(text);
        }
        return false;
    }
    if (m_fullScreen)
        return false;
    m_toldFailures.insert(path);
    return true;
}

void ViewerSession::setFullScreen(bool on)
{
    if (std::exchange(m_fullScreen, on) != on)
        emit commandStatesChanged();
}
