#include "viewer/UndoHistory.h"

#include "effects/PictureWrite.h"

PictureUndo::PictureUndo(int entry, const QString& path, const Picture& before)
    : m_entry(entry), m_path(path), m_before(before)
{
}

QList<RestoredPicture> PictureUndo::restore()
{
    const Picture snapshot = pictureForFile(m_before, m_path);
    snapshot.saveToFile(m_path);
    return {{m_path, snapshot, m_entry}};
}

void PictureUndo::setExifOrientation(ExifOrientation exif)
{
    m_before = m_before.withExifOrientation(exif);
}

QList<RestoredPicture> RunUndo::restore()
{
    const AllPicturesUndo::Result r = m_copies->restore();
    QList<RestoredPicture> restored;
    for (const QString& path : r.restored)
        restored.append({path, Picture(), 0});
    for (const QString& path : r.changed)
        restored.append({path, Picture(), 0, true});
    return restored;
}

void UndoHistory::record(std::unique_ptr<UndoRecord> record)
{
    m_record = std::move(record);
    setAvailable(m_record != nullptr);
}

QList<RestoredPicture> UndoHistory::undo()
{
    if (!m_available || !m_record)
        return {};
    QList<RestoredPicture> restored = m_record->restore();
    setAvailable(false);
    return restored;
}

void UndoHistory::clear()
{
    m_record.reset();
    setAvailable(false);
}

void UndoHistory::setExifOrientation(ExifOrientation exif)
{
    if (m_record)
        m_record->setExifOrientation(exif);
}

void UndoHistory::setAvailable(bool on)
{
    if (m_available == on)
        return;
    m_available = on;
    emit availableChanged(on);
}
