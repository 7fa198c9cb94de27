#pragma once
// What the viewer asks a loader about one picture file. The file travels
// beside the request as the message's first descriptor, opened read-only
// by the viewer; pixels given for a write travel as the second.
#include "core/PixelLayout.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

enum class LoaderTask : quint8 {
    Probe = 1, // the facts: kind, sizes, orientation, colour profile, damage known so far
    Decode,    // the facts and pixels shaped as `shape` says
    Metadata,  // the facts and the values `keys` names
    Rewrite,   // the facts and the bytes of a write: edits of the file, or a whole new file
    Frame,     // an animation's frame `frame`, composed on its canvas, with its delay
    // A JPEG's rows `region` (whole width, as stored), asked in file order
    // from one loader: it keeps the file's decoder from one band to the next
    // and drops it after the last. No pixels for a file it can't band.
    Rows,
};

enum class DecodeShape : quint8 {
    Whole,     // full size, upright
    Covering,  // at least `size` large (full size when smaller); JPEGs at the smallest scale that covers it
    Band,      // pixels of `region` only, upright, at 1/size.width() (1, 2, 4, 8) of full size
    Thumbnail, // fitting `size`
    Reduced,   // fitting `size`, in stored values
    // A JPEG's EXIF thumbnail fitted to `size`, upright: no pixels unless
    // it shows the whole picture at least that large.
    ExifThumbnail,
    Last = ExifThumbnail,
};

enum class RewriteKind : quint8 {
    None,
    Turn,       // turned clockwise by `angle`; a JPEG's blocks moved where they allow it
    WithPixels, // the file with the given pixels in place of its own, everything else kept
    NewPng,     // a PNG of the given pixels with the file's colour profile
    Kept,       // what a JPEG of new pixels of `size` keeps of the file (see KeptMetadata)
    Thumbnail,  // the file, a JPEG written for new pixels, with the given pixels as its EXIF thumbnail
    Last = Thumbnail,
};

struct LoaderRequest {
    LoaderTask task = LoaderTask::Probe;
    // The file's path, for messages and for its kind where its bytes tell none.
    QString name;
    quint8 format = 0; // a PictureFormat the file is read as; 0: its bytes and name tell
    bool applyOrientation = true;
    // Pixels converted to sRGB from the file's colour space; the viewer's
    // ColorManaged setting for Covering, Thumbnail and Band.
    bool displayColors = false;
    bool wholeDamage = false;   // Probe: the damage found by reading the whole file
    DecodeShape shape = DecodeShape::Whole;
    QSize size;             // Covering, Thumbnail, Reduced; Kept
    QRect region;           // Band
    QList<QByteArray> keys; // Metadata; Decode: a PNG's texts to tell beside its pixels
    RewriteKind rewrite = RewriteKind::None;
    qint32 angle = 0;                  // Turn
    std::optional<PixelLayout> pixels; // WithPixels, NewPng
    quint32 frame = 0;                 // Frame
    // What the tests' loader is told to do instead; the shipped loader
    // never looks at it.
    QByteArray arguments;

    QByteArray encoded() const;
    // Empty for bytes that are no well-formed request.
    static std::optional<LoaderRequest> decoded(QByteArrayView bytes);
};
