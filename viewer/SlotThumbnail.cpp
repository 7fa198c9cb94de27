#include "viewer/SlotThumbnail.h"

#include "core/Errors.h"
#include "core/RegularFile.h"
#include "core/SealedBuffer.h"
#include "graphics/DisplayColors.h"
#include "graphics/PictureFormat.h"
#include "graphics/PictureLoaders.h"
#include "viewer/SharedThumbnailCache.h"

#include <cstring>

namespace {

// Enough of a JPEG for its markers up to the pixels: an EXIF block, its
// colour profile and the frame header. Larger headers skip the EXIF step.
constexpr qint64 HeadBytes = 256 * 1024;

bool stopRequested(const std::atomic<bool>* stop)
{
    return stop && stop->load();
}

QSize fittedSize(QSize picture, QSize box)
{
    return picture.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

QImage resized(const QImage& image, QSize size)
{
    return image.size() == size ? image : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Nothing when the file can't be read: the decode after says why.
QByteArray fileHead(const QString& path)
{
    try {
        return RegularFile(path).readHead(HeadBytes);
    } catch (const AppError&) {
        return QByteArray();
    }
}

// The thumbnail a JPEG's EXIF block carries, as a loader finds it in the
// file's head (see fittedExifThumbnail); null when there is none to use.
QImage exifThumbnailFor(const QByteArray& head, ExifOrientation exif, QSize box, bool displayColors)
{
    try {
        SealedBuffer copy(head.size());
        std::memcpy(copy.data(), head.constData(), size_t(head.size()));
        const UniqueFd sealed = copy.seal();
        LoaderRequest request;
        request.task = LoaderTask::Decode;
        request.format = quint8(PictureFormat::Jpeg);
        request.applyOrientation = exif == ExifOrientation::Apply;
        request.displayColors = displayColors;
        request.shape = DecodeShape::ExifThumbnail;
        request.size = box;
        if (!sealed.isValid())
            return QImage();
        return PictureLoaders::shared().ask(sealed.get(), head.size(), request).image;
    } catch (const AppError&) {
        return QImage(); // the decode after says what is wrong
    }
}

// Decodes the file; with a cache to fill, at the size of the cache's class
// for `box` first, and stores that.
QImage decodedThumbnail(const QString& path, const SlotThumbnailOptions& options, const FileStamp& stamp,
                        const SharedThumbnailCache* cache)
{
    const Picture picture = Picture::loadFromFile(path, options.exif);
    const QList<SharedThumbnailCache::SizeClass> classes = SharedThumbnailCache::classesCovering(options.box);
    if (!cache || classes.isEmpty())
        return picture.thumbnail(options.box, options.displayColors);
    // Never enlarged: a picture smaller than the class is stored at its own size.
    const QSize classBox(classes.first().size, classes.first().size);
    const QSize stored = picture.size().boundedTo(classBox) == picture.size() ? picture.size() : classBox;
    const QImage large = picture.thumbnail(stored, options.displayColors);
    // A file changed meanwhile may not have its new pixels stored under its old time.
    if (FileStamp::of(path) == stamp)
        cache->store(path, stamp, large, picture.size(), options.box);
    return resized(large, fittedSize(picture.size(), options.box));
}

void make(SlotThumbnail& result, const SlotThumbnailOptions& options, const std::atomic<bool>* stop)
{
    const QString& path = result.path;
    const QByteArray head = fileHead(path);
    if (pictureFormatOf(head) == PictureFormat::Jpeg) {
        result.image = exifThumbnailFor(head, options.exif, options.box, options.displayColors);
        if (!result.image.isNull()) {
            result.source = SlotThumbnail::Source::ExifThumbnail;
            return;
        }
    }
    // The cache holds upright sRGB: it can't stand in for pictures shown as
    // stored, nor take values that were not converted.
    const SharedThumbnailCache cache(options.cacheRoot);
    const bool shared = options.exif == ExifOrientation::Apply && options.displayColors &&
                        result.stamp.isValid() && !cache.contains(path);
    if (shared) {
        const QImage entry = cache.find(path, result.stamp, options.box);
        if (!entry.isNull()) {
            result.image = resized(entry, fittedSize(entry.size(), options.box));
            result.source = SlotThumbnail::Source::SharedCache;
            return;
        }
    }
    if (stopRequested(stop))
        return;
    result.image =
        decodedThumbnail(path, options, result.stamp, shared && options.writeSharedCache ? &cache : nullptr);
    result.source = SlotThumbnail::Source::Decode;
}

} // namespace

SlotThumbnail makeSlotThumbnail(const QString& path, const SlotThumbnailOptions& options,
                                const std::atomic<bool>* stop)
{
    SlotThumbnail result;
    result.path = path;
    result.stamp = FileStamp::of(path);
    if (stopRequested(stop)) {
        result.stopped = true;
        return result;
    }
    try {
        make(result, options, stop);
    } catch (const AppError& e) {
        result.failure = e.text();
    } catch (const std::exception& e) {
        result.failure = QString::fromLocal8Bit(e.what());
    }
    if (stopRequested(stop)) {
        result.image = QImage();
        result.source = SlotThumbnail::Source::None;
        result.failure.clear();
        result.stopped = true;
    } else if (result.image.isNull() && result.failure.isEmpty()) {
        result.source = SlotThumbnail::Source::None;
    }
    return result;
}
