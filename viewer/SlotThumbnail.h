#pragma once
// A strip slot's thumbnail, made on a worker thread from the cheapest source
// that is still true to the file.
#include "graphics/Picture.h"
#include "viewer/DecodeAhead.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <atomic>

struct SlotThumbnailOptions {
    QSize box;                                     // the slot's drawing box
    ExifOrientation exif = ExifOrientation::Apply; // as the main image uses it
    bool writeSharedCache = true;                  // [Settings] ThumbnailCache
    QString cacheRoot;                             // empty: $XDG_CACHE_HOME/thumbnails (~/.cache/thumbnails)
    bool displayColors = true;                     // [Settings] ColorManaged
};

struct SlotThumbnail {
    enum class Source { None, ExifThumbnail, SharedCache, Decode };
    QString path;
    FileStamp stamp;   // the file as it was when this was made
    QImage image;      // fitted to the box keeping the aspect ratio, upright, in display colours
    Source source = Source::None;
    QString failure;   // the program's own error text (same wording as Picture::loadFromFile throws) when image is null
    bool stopped = false; // *stop turned true on the way: nothing made
};

// Thread-safe and reentrant (no shared mutable state); never throws.
SlotThumbnail makeSlotThumbnail(const QString& path, const SlotThumbnailOptions& options,
                                const std::atomic<bool>* stop = nullptr);
