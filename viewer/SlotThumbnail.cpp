#include "viewer/SlotThumbnail.h"

#include "core/Errors.h"

SlotThumbnail makeSlotThumbnail(const QString& path, const SlotThumbnailOptions& options,
                                const std::atomic<bool>* stop)
{
    SlotThumbnail out;
    out.path = path;
    const auto stopped = [&] { return stop && stop->load(); };
    if (stopped()) {
        out.stopped = true;
        return out;
    }
    // Stamped before reading: a file written meanwhile is made again.
    out.stamp = FileStamp::of(path);
    try {
        const Picture picture = Picture::loadFromFile(path, options.exif);
        if (stopped()) {
            out.stopped = true;
            return out;
        }
        out.image = picture.thumbnail(options.box);
        out.source = SlotThumbnail::Source::Decode;
    } catch (...) {
        out.image = QImage();
        out.failure = failureText(std::current_exception());
    }
    return out;
}
