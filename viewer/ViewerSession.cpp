#include "viewer/ViewerSession.h"

void ViewerSession::setCollectionFileName(const QString& path)
{
    if (m_fileName == path)
        return;
    m_fileName = path;
    emit collectionChanged();
}

void ViewerSession::startCollection(const QString& path)
{
    m_fileName = path;
    m_entries.clear();
    clearUndo();
    const bool moved = m_firstIndex != 0 || m_currentSlot != 1;
    m_firstIndex = 0;
    m_currentSlot = 1;
    emit collectionChanged();
    if (moved)
        emit positionChanged();
}

void ViewerSession::appendEntry(const CollectionEntry& e)
{
    m_entries.append(e);
    emit collectionChanged();
}

void ViewerSession::setFirstIndex(int index)
{
    if (m_firstIndex == index)
        return;
    m_firstIndex = index;
    emit positionChanged();
}

void ViewerSession::setCurrentSlot(int slot)
{
    if (m_currentSlot == slot)
        return;
    m_currentSlot = slot;
    emit positionChanged();
}

void ViewerSession::setFollowsCursor(bool on)
{
    if (m_followsCursor == on)
        return;
    m_followsCursor = on;
    emit followModeChanged(on);
}

void ViewerSession::recordUndo(const Picture& before)
{
    // One level of undo: the run's copies can no longer serve.
    m_allPicturesUndo.discard();
    m_undoRestoresRun = false;
    m_undo = {before, m_currentSlot, m_firstIndex};
    setUndoAvailable(true);
}

void ViewerSession::recordAllPicturesUndo()
{
    m_undo = UndoRecord();
    m_undoRestoresRun = m_allPicturesUndo.canRestore();
    setUndoAvailable(m_undoRestoresRun);
}

void ViewerSession::setUndoAvailable(bool on)
{
    if (m_undoAvailable == on)
        return;
    m_undoAvailable = on;
    emit undoAvailableChanged(on);
}

void ViewerSession::clearUndo()
{
    m_allPicturesUndo.discard();
    m_undoRestoresRun = false;
    m_undo = UndoRecord();
    setUndoAvailable(false);
}

void ViewerSession::requestReopen()
{
    reopenWithoutDialog = true;
    emit reopenRequested();
}
