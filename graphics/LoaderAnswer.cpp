#include "graphics/LoaderAnswer.h"

#include "core/SealedMapping.h"
#include "graphics/Bitmap24.h"
#include "graphics/PictureDamage.h"
#include "graphics/PictureFormat.h"

#include <QSet>

#include <algorithm>

namespace {

constexpr qsizetype MaxErrorChars = 4096;
constexpr qint32 MaxFrameDelayMs = 600'000;
constexpr qsizetype MaxIccBytes = 4 << 20;
// Full size at the pixel limit in 16 bits per channel with alpha.
constexpr qint64 MaxPixelBytes = qint64(Bitmap24::MaxBytes) / 3 * 8;

bool factsInRange(const LoaderReply& r)
{
    return r.format > quint8(PictureFormat::Unknown) && r.format <= quint8(PictureFormat::Svg) &&
           r.damage <= quint8(PictureDamage::Corrupt) && r.orientation >= 1 && r.orientation <= 8 &&
           !r.size.isEmpty() && Bitmap24::sizeAllowed(r.size.width(), r.size.height()) &&
           (r.storedSize == r.size || r.storedSize == r.size.transposed()) &&
           r.iccProfile.size() <= MaxIccBytes && r.pixelsPerMetre.width() >= 0 &&
           r.pixelsPerMetre.height() >= 0;
}

// Metadata: only the values asked for, once each, of a size a camera writes.
bool valuesAsked(const LoaderReply& r, const LoaderRequest& request)
{
    constexpr qsizetype MaxValueBytes = 4096;
    QSet<QByteArray> seen;
    for (const auto& [name, value] : r.values) {
        if (!request.keys.contains(name) || seen.contains(name) || value.isEmpty() ||
            value.size() > MaxValueBytes)
            return false;
        seen.insert(name);
    }
    return true;
}

// A frame within the animation, whole on its canvas, shown for a sane
// time; without pixels only past the last frame.
bool frameFitsTask(const LoaderReply& r, const LoaderRequest& request)
{
    if (request.task != LoaderTask::Frame)
        return (r.frames == 0 || (request.task == LoaderTask::Probe && r.frames == 1)) && r.frameDelay == 0 &&
               r.plays == 0;
    if (r.frameDelay < 0 || r.frameDelay > MaxFrameDelayMs || r.plays < 0 ||
        request.shape != DecodeShape::Whole)
        return false;
    return r.pixels ? (r.frames == 0 || request.frame < r.frames)
                    : (r.frames > 0 && request.frame >= r.frames);
}

// What each task answers, and nothing else.
bool partsFitTask(const LoaderReply& r, const LoaderRequest& request)
{
    // A failure says why; a picture sent elsewhere says nothing else.
    if (!r.done || r.needsFullLoader)
        return !r.done && r.error.isEmpty() == r.needsFullLoader && !r.pixels && r.values.isEmpty() &&
               r.edits.isEmpty() && r.newFile.isEmpty();
    return r.error.isEmpty() && factsInRange(r) && frameFitsTask(r, request) &&
           (r.pixels.has_value() == (request.task == LoaderTask::Decode) ||
            request.task == LoaderTask::Frame || request.task == LoaderTask::Rows ||
            (!r.pixels && request.shape == DecodeShape::ExifThumbnail)) &&
           (r.values.isEmpty() || (request.task == LoaderTask::Metadata && valuesAsked(r, request)) ||
            (request.task == LoaderTask::Decode && r.values.size() <= request.keys.size())) &&
           ((r.edits.isEmpty() && r.newFile.isEmpty()) || request.task == LoaderTask::Rewrite) &&
           (r.edits.isEmpty() || r.newFile.isEmpty()) && r.newFile.size() <= LoaderReply::MaxNewFileBytes;
}

// In file order, apart and inside the file.
bool editsFitFile(const QList<ByteEdit>& edits, qint64 fileSize)
{
    qint64 end = 0;
    for (const ByteEdit& e : edits) {
        if (e.offset < end || e.removed < 0 || e.removed > fileSize - e.offset)
            return false;
        end = e.offset + e.removed;
    }
    return true;
}

bool layoutFits(const PixelLayout& p, const LoaderReply& r, const LoaderRequest& request)
{
    // A small picture's thumbnail is enlarged to its box; a drawing is drawn
    // as large as it is shown, beyond its own size.
    const bool fitted = request.shape == DecodeShape::Thumbnail || request.shape == DecodeShape::Reduced ||
                        request.shape == DecodeShape::ExifThumbnail;
    const bool drawn = r.format == quint8(PictureFormat::Svg) && request.shape == DecodeShape::Covering;
    const QSize largest = fitted ? r.size.expandedTo(request.size) : r.size;
    if (p.format <= quint32(QImage::Format_Indexed8) || p.format >= quint32(QImage::NImageFormats) ||
        p.size.isEmpty() ||
        (!drawn && (p.size.width() > largest.width() || p.size.height() > largest.height())))
        return false;
    const int bits = QImage::toPixelFormat(QImage::Format(p.format)).bitsPerPixel();
    const qint64 leastPerLine = (qint64(p.size.width()) * bits + 7) / 8;
    if (p.bytesPerLine < leastPerLine || p.bytesPerLine % 4 != 0 || p.byteCount() > MaxPixelBytes)
        return false;
    const QRect picture(QPoint(0, 0), r.size);
    // Exactly the rows asked, as Bitmap24 lays them out.
    if (request.task == LoaderTask::Rows)
        return picture.contains(p.region) && p.region == request.region && p.size == p.region.size() &&
               p.format == quint32(QImage::Format_BGR888) &&
               p.bytesPerLine == Bitmap24::strideFor(p.size.width());
    if (request.shape == DecodeShape::Band) {
        // Within the picture at the scale asked (libjpeg rounds up), or the whole of it.
        const int d = std::clamp(request.size.width(), 1, 8);
        const QRect scaled(0, 0, (r.size.width() + d - 1) / d, (r.size.height() + d - 1) / d);
        return (scaled.contains(p.region) || p.region == picture) && p.region.size() == p.size;
    }
    if (fitted && (p.size.width() > r.size.width() || p.size.height() > r.size.height()) &&
        p.size.width() != request.size.width() && p.size.height() != request.size.height())
        return false;
    return p.region == picture && (request.shape != DecodeShape::Whole || p.size == r.size);
}

} // namespace

std::optional<LoaderAnswer> LoaderAnswer::fromMessage(LoaderChannel::Message& message,
                                                      const LoaderRequest& request, qint64 fileSize,
                                                      qint64 rowsMemoryBytes)
{
    const bool inSentMemory = request.task == LoaderTask::Rows && rowsMemoryBytes >= 0;
    std::optional<LoaderReply> reply = LoaderReply::decoded(message.body);
    if (!reply || reply->error.size() > MaxErrorChars || !partsFitTask(*reply, request) ||
        !editsFitFile(reply->edits, fileSize) ||
        message.fds.size() != (reply->pixels && !inSentMemory ? 1u : 0u))
        return std::nullopt;
    LoaderAnswer answer{std::move(*reply), QImage()};
    if (!answer.reply.pixels)
        return answer;
    const PixelLayout& p = *answer.reply.pixels;
    if (!layoutFits(p, answer.reply, request))
        return std::nullopt;
    if (inSentMemory) {
        if (p.byteCount() > rowsMemoryBytes)
            return std::nullopt;
        return answer;
    }
    const auto mapping = SealedMapping::map(message.fds.front().get(), p.byteCount(), p.byteCount(),
                                            SealedMapping::Read::Whole);
    if (!mapping)
        return std::nullopt;
    auto* keep = new std::shared_ptr<const SealedMapping>(mapping);
    answer.image = QImage(
        mapping->data(), p.size.width(), p.size.height(), p.bytesPerLine, QImage::Format(p.format),
        [](void* kept) { delete static_cast<std::shared_ptr<const SealedMapping>*>(kept); }, keep);
    if (answer.image.isNull()) {
        delete keep;
        return std::nullopt;
    }
    return answer;
}
