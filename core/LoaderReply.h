#pragma once
// What a loader answers about one picture file. Pixels travel beside the
// reply as the message's first descriptor, a sealed memfd laid out as
// `pixels` says. Nothing here is trusted before the viewer checked it.
#include "core/PixelLayout.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// `removed` bytes of the file at `offset` become `inserted`.
struct ByteEdit {
    qint64 offset = 0;
    qint64 removed = 0;
    QByteArray inserted;
};

struct LoaderReply {
    // A whole new file a reply may carry: what its body holds besides.
    static constexpr qint64 MaxNewFileBytes = (qint64(1) << 30) - (qint64(16) << 20);

    // False when the picture can't be read; `error` says why, in the words
    // of the program's messages.
    bool done = false;
    QString error;

    // The facts.
    quint8 format = 0;      // a PictureFormat
    QSize storedSize;       // as the file stores it
    QSize size;             // as shown: upright when the orientation applies
    quint8 orientation = 1; // EXIF's, 1..8
    quint8 damage = 0;      // a PictureDamage
    bool damageKnown = false; // whether the reading so far reached the file's end
    QSize pixelsPerMetre{0, 0}; // a bitmap's resolution; 0 where none is told
    quint32 pages = 1;          // a TIFF's pages
    QByteArray iccProfile;  // the file's, or one made for its colour tags; kept as bytes

    std::optional<PixelLayout> pixels;               // Decode
    QList<std::pair<QByteArray, QByteArray>> values; // Metadata: name, value
    QList<ByteEdit> edits;                           // Rewrite, in file order
    QByteArray newFile;                              // Rewrite, when the file is replaced whole
    // Frame: how many frames the animation has (0: not known yet), how
    // long this one shows, and how often the whole plays (0: forever).
    // No pixels: the frame asked for is past the last, which `frames` counts.
    // Probe: 1 where a kind that may animate shows a single frame by its header.
    quint32 frames = 0;
    qint32 frameDelay = 0; // milliseconds
    qint32 plays = 0;
    // Probe: whether a rotation or an effect can write the file back in its
    // own kind without losing frames or pages.
    bool rewritable = false;
    // A lean loader's only answer to a picture of a kind it has no reader
    // for: a loader with every reader is to be asked instead.
    bool needsFullLoader = false;

    QByteArray encoded() const;
    // Empty for bytes that are no well-formed reply.
    static std::optional<LoaderReply> decoded(QByteArrayView bytes);
};
