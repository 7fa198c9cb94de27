#include "loader/PictureRequests.h"

#include "loader/FrameRequests.h"
#include "loader/RowRequests.h"

#include "core/Errors.h"
#include "core/RegularFile.h"
#include "core/SealedBuffer.h"
#include "core/SealedMapping.h"
#include "graphics/AnimatedPicture.h"
#include "graphics/DisplayColors.h"
#include "graphics/ExifThumbnail.h"
#include "graphics/HeifPicture.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"
#include "graphics/PictureError.h"
#include "loader/MetadataAnswer.h"
#include "graphics/PictureRewrite.h"
#include "loader/RewriteRequests.h"

#include <QBuffer>
#include <QImageReader>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

qint64 fileSize(int fd, const QString& name)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw AppError(msg::cannotOpen(name, QStringLiteral("It is not a regular file.")));
    if (st.st_size > MaxReadBytes)
        throw AppError(msg::cannotOpen(name, QString::fromLocal8Bit(std::strerror(EFBIG))));
    return qint64(st.st_size);
}

QByteArray fileBytes(int fd, const QString& name)
{
    QByteArray bytes(qsizetype(fileSize(fd, name)), '\0');
    const qint64 got = readFullyAt(fd, bytes.data(), bytes.size(), 0);
    if (got < 0)
        throw AppError(msg::cannotOpen(name, QString::fromLocal8Bit(std::strerror(errno))));
    bytes.truncate(qsizetype(got));
    return bytes;
}

QByteArray mappedOrRead(int fd, qint64 size, const QString& name, SealedMapping::Read read,
                        std::shared_ptr<const SealedMapping>& mapping)
{
    mapping = SealedMapping::map(fd, size, size, read);
    return mapping ? QByteArray::fromRawData(reinterpret_cast<const char*>(mapping->data()), qsizetype(size))
                   : fileBytes(fd, name);
}

void putFacts(const Picture& picture, LoaderReply& reply)
{
    reply.format = quint8(picture.format());
    reply.size = picture.size();
    reply.storedSize = picture.withExifOrientation(ExifOrientation::Ignore).size();
    // The orientation as the file stores it; with `size` upright, the
    // viewer knows both layouts.
    reply.orientation = quint8(picture.withExifOrientation(ExifOrientation::Apply).orientation());
    reply.damage = quint8(picture.knownDamage());
    reply.damageKnown = picture.damageKnown();
    reply.iccProfile = picture.iccProfile();
    reply.pages = quint32(picture.pageCount());
    const BmpExtras& bmp = picture.bitmapExtras();
    if (picture.kind() == Picture::Kind::Bitmap)
        reply.pixelsPerMetre = QSize(bmp.xPixelsPerMetre, bmp.yPixelsPerMetre);
}

namespace {

// Those of a PNG's texts named in `keys` that it holds.
QList<std::pair<QByteArray, QByteArray>> pngTexts(const QByteArray& png, const QList<QByteArray>& keys)
{
    QList<std::pair<QByteArray, QByteArray>> values;
    if (keys.isEmpty())
        return values;
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    reader.setAutoDetectImageFormat(false);
    // Texts after the pixels are known only once they were read.
    const QImage read = reader.read();
    for (const QByteArray& key : keys) {
        const QString text = read.text(QString::fromUtf8(key));
        if (!text.isNull())
            values.append({key, text.toUtf8()});
    }
    return values;
}

// `image` in the display's colours where the request asks for them.
QImage inColorsAsked(const Picture& picture, QImage image, bool display)
{
    return display && !image.isNull() ? picture.inDisplayColors(std::move(image)) : image;
}

// What the file carries ready to show: a HEIF's own thumbnail, within
// `box`; else a JPEG's EXIF thumbnail, fitted to it. Null when none.
QImage embeddedPreview(const Picture& picture, QSize box, bool display)
{
    if (picture.format() != PictureFormat::Heif && picture.format() != PictureFormat::Avif)
        return fittedExifThumbnail(picture, box, display);
    QImage thumb;
    try {
        thumb = decodeHeifThumbnail(picture.data(), picture.exifOrientation() == ExifOrientation::Apply, {1, 1});
    } catch (const AppError&) {
        return QImage(); // the picture itself may still decode
    }
    if (thumb.width() > box.width() || thumb.height() > box.height())
        thumb = thumb.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return inColorsAsked(picture, std::move(thumb), display);
}

// The pixels `request` asks for, and where they sit in the picture.
QImage decoded(const Picture& picture, const LoaderRequest& request, QRect* region)
{
    *region = QRect(QPoint(0, 0), picture.size());
    const bool display = request.displayColors;
    switch (request.shape) {
    case DecodeShape::Whole:
        return inColorsAsked(picture, picture.toImage(), display);
    case DecodeShape::Reduced:
        return inColorsAsked(picture, picture.reducedTo(request.size), display);
    case DecodeShape::Covering:
        return picture.decodedCovering(request.size, display);
    case DecodeShape::Thumbnail:
        return picture.thumbnail(request.size, display);
    case DecodeShape::ExifThumbnail:
        return embeddedPreview(picture, request.size, display);
    case DecodeShape::Band: {
        *region = request.region;
        // `size` carries the scale: 1/size.width().
        const int denom = request.size.width() >= 1 && request.size.width() <= 8 ? request.size.width() : 1;
        const QImage band = picture.decodedBand(region, display, denom);
        // A kind that has no band decode answers with the whole picture.
        if (band.isNull()) {
            *region = QRect(QPoint(0, 0), picture.size());
            return picture.decodedCovering(picture.size(), display);
        }
        return band;
    }
    }
    return QImage();
}

} // namespace

void putPixels(QImage image, const QRect& region, const PixelMemory& memory, PixelLayout& layout, bool toDraw)
{
    if (image.format() <= QImage::Format_Indexed8)
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    // Pixels to draw go as the window draws them: widened here in the copy
    // that is made anyway, rather than in a new frame there.
    const bool widened =
        toDraw && image.format() == QImage::Format_BGR888 && QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    const QImage::Format format = widened ? QImage::Format_RGB32 : image.format();
    const qint64 perLine = widened ? qint64(image.width()) * 4 : image.bytesPerLine();
    const qint64 size = perLine * image.height();
    const UniqueFd given = memory(size);
    if (!given.isValid())
        throw std::bad_alloc();
    // Unmapped and closed on leaving: the viewer seals it against writing.
    GivenMemoryFill fill(given.get(), size);
    for (int y = 0; y < image.height(); ++y) {
        uchar* to = fill.next(perLine);
        const uchar* from = image.constScanLine(y);
        if (!widened) {
            std::memcpy(to, from, size_t(perLine));
            continue;
        }
        // BGR888 is the bytes of RGB32 on this machine without its padding.
        for (int x = 0; x < image.width(); ++x, to += 4, from += 3) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
            to[3] = 0xff;
        }
    }
    layout.size = image.size();
    layout.bytesPerLine = qint32(perLine);
    layout.format = quint32(format);
    layout.region = region;
}

OutgoingReply answerPictureRequest(const LoaderRequest& request, std::vector<UniqueFd>& fds,
                                   const PixelMemory& memory)
{
    if (request.task == LoaderTask::Frame)
        return answerFrameRequest(request, fds, memory);
    if (request.task == LoaderTask::Rows)
        return answerRowsRequest(request, fds);
    if (request.task == LoaderTask::Rewrite)
        return answerRewriteRequest(request, fds);
    if (request.task != LoaderTask::Probe && request.task != LoaderTask::Decode &&
        request.task != LoaderTask::Metadata)
        return OutgoingReply::failure(QStringLiteral("This loader does not answer that request."));
    if (fds.size() != 1)
        return OutgoingReply::failure(QStringLiteral("A request names one file."));
    if (request.format > quint8(PictureFormat::Svg))
        return OutgoingReply::failure(QStringLiteral("The request is not valid."));
    OutgoingReply out;
    try {
        const int fd = fds.front().get();
        const qint64 size = fileSize(fd, request.name);
        const PictureFormat format =
            request.format != 0 ? PictureFormat(request.format)
                                : pictureFormatOf(readJpegFile(JpegFile{fd, std::min<qint64>(size, PictureFormatHeadBytes)}),
                                                  request.name);
        const auto exif = request.applyOrientation ? ExifOrientation::Apply : ExifOrientation::Ignore;
        // A JPEG's decodes read the file as they go: a giant picture's
        // tiles cost no copy of its bytes here. Its metadata needs them all.
        const bool streamed = format == PictureFormat::Jpeg && request.task != LoaderTask::Metadata;
        // Another kind's file sealed by the viewer is mapped rather than
        // copied: a giant picture's facts, tiles and stand-in read a part of
        // it, or read it once through, and only what they read is resident.
        std::shared_ptr<const SealedMapping> mapping;
        const QByteArray bytes =
            streamed ? QByteArray() : mappedOrRead(fd, size, request.name, SealedMapping::Read::AsNeeded, mapping);
        const Picture picture = streamed ? Picture::jpegOverFile(fd, size, exif, request.name)
                                   : mapping ? Picture::readHereOverMapping(bytes, fd, format, exif, request.name)
                                             : Picture::readHere(bytes, format, exif, request.name);
        if (request.task == LoaderTask::Decode) {
            QRect region;
            const QImage image = decoded(picture, request, &region);
            if (image.isNull() && request.shape != DecodeShape::ExifThumbnail)
                throw PictureError::corrupt().about(request.name);
            if (!image.isNull()) {
                PixelLayout layout;
                putPixels(image, region, memory, layout,
                          request.shape == DecodeShape::Covering || request.shape == DecodeShape::Band);
                out.reply.pixels = layout;
            }
            if (format == PictureFormat::Png)
                out.reply.values = pngTexts(bytes, request.keys);
        } else if (request.task == LoaderTask::Metadata) {
            out.reply.values = pictureMetadata(picture, bytes, request.keys);
        } else if (request.wholeDamage) {
            picture.damage();
        } else {
            out.reply.rewritable = pictureRewritable(picture);
            if (!AnimatedPicture::mayHoldFrames(bytes, format))
                out.reply.frames = 1;
        }
        // After the decode, which may have found damage.
        putFacts(picture, out.reply);
        out.reply.done = true;
    } catch (const AppError& e) {
        return OutgoingReply::failure(e.text());
    }
    return out;
}
