#pragma once
// Undo, one level deep: a record of what to put back, written into the
// files when the user asks. A record is one picture before an effect; a run
// over every picture can keep its own kind of record (copies of the files
// as they were) behind the same interface.
#include "graphics/Picture.h"
#include "viewer/AllPicturesUndo.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

// One file as an undo left it.
struct RestoredPicture {
    QString path;
    // What the file holds now; empty when it must be read again.
    Picture picture;
    // The entry the record was made for; 0 for every entry of that file.
    int entry = 0;
    // Changed since the record was made, so left as it is.
    bool leftAsItIs = false;
};

class UndoRecord {
public:
    virtual ~UndoRecord() = default;
    // Writes what was kept back into the files. A failed write throws
    // AppError; the record stays whole, so undo can be tried again.
    virtual QList<RestoredPicture> restore() = 0;
    // JPEGs kept in memory decode as the viewer now reads them.
    virtual void setExifOrientation(ExifOrientation) {}
};

// The current picture as it was before an effect changed its file.
class PictureUndo : public UndoRecord {
public:
    PictureUndo(int entry, const QString& path, const Picture& before);
    // The picture goes back in the format the file's name promises, so a
    // ".jpg" never receives bitmap bytes.
    QList<RestoredPicture> restore() override;
    void setExifOrientation(ExifOrientation exif) override;
    int entry() const { return m_entry; }
    const Picture& picture() const { return m_before; }

private:
    int m_entry;
    QString m_path;
    Picture m_before;
};

// Every file an all-pictures run wrote, put back from the copies kept,
// which go with the record.
class RunUndo : public UndoRecord {
public:
    explicit RunUndo(std::unique_ptr<AllPicturesUndo> copies) : m_copies(std::move(copies)) {}
    QList<RestoredPicture> restore() override;

private:
    std::unique_ptr<AllPicturesUndo> m_copies;
};

class UndoHistory : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Keeps `record` in place of the last one and makes undo available.
    void record(std::unique_ptr<UndoRecord> record);
    bool isAvailable() const { return m_available; }
    // The record kept, available or not (null when none).
    const UndoRecord* last() const { return m_record.get(); }
    // Restores the record; afterwards undo is unavailable until the next
    // record. On a failed write it stays available and throws.
    QList<RestoredPicture> undo();
    // Forgets the record (an open: it belongs to the collection it was made in).
    void clear();
    void setExifOrientation(ExifOrientation exif);

signals:
    void availableChanged(bool available);

private:
    void setAvailable(bool on);

    std::unique_ptr<UndoRecord> m_record;
    bool m_available = false;
};
