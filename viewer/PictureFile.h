#pragma once
// One picture file of the open collection, as the viewer knows it while it
// is shown somewhere (a slot, the main image, decoded ahead, a command):
// the strip's rendition of it and the file's stamp when that was made, why
// the file can't be read, and the picture a command starts from with the
// stamp it was read at. PictureFiles keeps one for each such file.
#include "graphics/Picture.h"
#include "viewer/FileStamp.h"
#include "viewer/SlotThumbnail.h"

#include <QImage>
#include <QString>

class PictureFile {
public:
    explicit PictureFile(const QString& path = {}) : m_path(path) {}
    const QString& path() const { return m_path; }

    // The strip's rendition, fitted to a slot; null while there is none.
    const QImage& thumbnail() const { return m_thumbnail; }
    // Why the file can't be read, or nothing.
    const QString& failure() const { return m_failure; }
    // Whether the rendition is to be made: none is held, it was marked
    // stale, or the file changed since it was read.
    bool needsThumbnail() const;
    void takeThumbnail(const SlotThumbnail& made);
    // What is held stays on view, but is to be made again.
    void markStale() { m_stale = true; }

    // The picture read from the file or last written into it; empty when
    // none is held.
    const Picture& picture() const { return m_picture; }
    // Whether the file still holds that picture.
    bool pictureCurrent() const { return m_pictureStamp.isValid() && m_pictureStamp == FileStamp::of(m_path); }
    // What a decode of the picture found wrong with the file.
    PictureDamage damage() const { return m_picture.knownDamage(); }
    // `picture` was read from the file as `stamp` describes it.
    void takePicture(const Picture& picture, const FileStamp& stamp);
    // `now` was written into the file: it is the picture and, fitted to
    // `slotBox`, the rendition.
    void written(const Picture& now, QSize slotBox, bool displayColors);
    // Held pictures decode as `exif` says; the rendition is made again.
    void reorient(ExifOrientation exif);

private:
    QString m_path;
    QImage m_thumbnail;
    FileStamp m_thumbnailStamp; // the file as it was when m_thumbnail was made
    bool m_stale = false;
    QString m_failure;
    Picture m_picture;
    FileStamp m_pictureStamp;
};
