#include "viewer/PictureFile.h"

bool PictureFile::needsThumbnail() const
{
    // A file that could not be read is tried again, and told again when
    // the session says so.
    if (m_stale || m_thumbnail.isNull())
        return true;
    return !(m_thumbnailStamp == FileStamp::of(m_path));
}

void PictureFile::takeThumbnail(const SlotThumbnail& made)
{
    m_thumbnail = made.image;
    m_thumbnailStamp = made.stamp;
    m_failure = made.failure;
    m_stale = false;
}

void PictureFile::takePicture(const Picture& picture, const FileStamp& stamp)
{
    m_picture = picture;
    m_pictureStamp = stamp;
}

void PictureFile::written(const Picture& now, QSize slotBox, bool displayColors)
{
    const FileStamp stamp = FileStamp::of(m_path);
    takePicture(now, stamp);
    m_thumbnail = now.thumbnail(slotBox, displayColors);
    m_thumbnailStamp = stamp;
    m_failure.clear();
    m_stale = false;
}

void PictureFile::reorient(ExifOrientation exif)
{
    if (!m_picture.isEmpty())
        m_picture = m_picture.withExifOrientation(exif);
    m_stale = true;
}
