#pragma once
// A JPEG's EXIF block (the APP1 payload that starts "Exif\0\0"), read and
// edited where its values lie: nothing else in the block moves, so maker
// notes whose values count from the TIFF header stay valid. A block whose
// directories can't be followed counts as absent and is kept as it is.
#include <QByteArray>
#include <QSize>

#include <functional>

// The orientation tag, 1..8; 1 when absent, out of range or unreadable.
int exifOrientation(const QByteArray& exif);

// The thumbnail JPEG of the second directory, or empty.
QByteArray exifThumbnail(const QByteArray& exif);

struct ExifChanges {
    // The orientation tags that exist read 1.
    bool resetOrientation = false;
    // The width and height tags that exist give this size (when valid).
    QSize size;
    // After a quarter turn: the X and Y resolutions trade places.
    bool swapResolution = false;
    // Makes the new thumbnail, at most `budget` bytes long; answers empty
    // when it can't, and the thumbnail is then removed. Null: the thumbnail
    // stays as it is.
    std::function<QByteArray(qsizetype budget)> thumbnail;
};

// The block with those values changed in place. Tags that don't exist are
// not added; a value that its tag's type can't hold is left alone. The
// thumbnail goes where the old one was when it fits, else at the block's
// end; the block never passes what one JPEG segment holds.
QByteArray editExif(const QByteArray& exif, const ExifChanges& changes);
