#include "loader/RewriteRequests.h"

#include "core/Errors.h"
#include "core/RegularFile.h"
#include "graphics/Bitmap24.h"
#include "graphics/JpegStream.h"
#include "graphics/KeptMetadata.h"
#include "graphics/Picture.h"
#include "graphics/PictureError.h"
#include "graphics/PictureRewrite.h"
#include "loader/PictureRequests.h"

#include <QImage>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// The viewer's pixels, laid out as a Bitmap24 is. Read, not mapped: the
// viewer, not this process, is the one that must trust what it maps.
Bitmap24 givenPixels(int fd, const PixelLayout& layout)
{
    const QSize size = layout.size;
    if (layout.format != quint32(QImage::Format_BGR888) || size.isEmpty() ||
        !Bitmap24::sizeAllowed(size.width(), size.height()) ||
        layout.bytesPerLine != Bitmap24::strideFor(size.width()))
        throw AppError(QStringLiteral("The request is not valid."));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size != layout.byteCount())
        throw AppError(QStringLiteral("The request is not valid."));
    Bitmap24 pixels = Bitmap24::forOverwrite(size.width(), size.height());
    auto* into = reinterpret_cast<char*>(pixels.bits());
    if (readFullyAt(fd, into, layout.byteCount(), 0) != layout.byteCount())
        throw AppError(QStringLiteral("The request is not valid."));
    return pixels;
}

QByteArray rewritten(const Picture& picture, const LoaderRequest& request, const Bitmap24& pixels)
{
    switch (request.rewrite) {
    case RewriteKind::Turn:
        return turnedPictureFile(picture, request.angle);
    case RewriteKind::WithPixels:
        if (picture.kind() == Picture::Kind::Jpeg)
            return picture.encodeJpegReplacement(pixels);
        return pictureFileWithPixels(picture, pixels);
    case RewriteKind::NewPng:
        return newPngFile(pixels, picture);
    case RewriteKind::Kept:
        if (request.size.isEmpty() || !Bitmap24::sizeAllowed(request.size.width(), request.size.height()))
            break;
        return encodedReplacement(jpegReplacement(picture, request.size));
    case RewriteKind::Thumbnail:
        return withExifThumbnail(picture.data(), pixels);
    case RewriteKind::None:
        break;
    }
    throw AppError(QStringLiteral("The request is not valid."));
}

// The one run of bytes that changed from `was` to `now`: what lies
// between the bytes both start and end with.
ByteEdit changedRun(const QByteArray& was, const QByteArray& now)
{
    const qsizetype shorter = std::min(was.size(), now.size());
    qsizetype head = 0, tail = 0;
    while (head < shorter && was[head] == now[head])
        ++head;
    while (tail < shorter - head && was[was.size() - 1 - tail] == now[now.size() - 1 - tail])
        ++tail;
    return ByteEdit{head, was.size() - head - tail, now.sliced(head, now.size() - head - tail)};
}

} // namespace

OutgoingReply answerRewriteRequest(const LoaderRequest& request, std::vector<UniqueFd>& fds)
{
    const bool withPixels = request.rewrite == RewriteKind::WithPixels ||
                            request.rewrite == RewriteKind::NewPng ||
                            request.rewrite == RewriteKind::Thumbnail;
    if (request.rewrite == RewriteKind::None || request.pixels.has_value() != withPixels ||
        fds.size() != (withPixels ? 2u : 1u) || request.format == 0 ||
        request.format > quint8(PictureFormat::Svg) ||
        (request.rewrite == RewriteKind::Turn && request.angle % 90 != 0))
        return OutgoingReply::failure(QStringLiteral("The request is not valid."));
    OutgoingReply out;
    try {
        const Bitmap24 pixels = withPixels ? givenPixels(fds[1].get(), *request.pixels) : Bitmap24();
        fds.resize(1); // the pixels are read: their memory goes back at once
        const QByteArray bytes = fileBytes(fds.front().get(), request.name);
        const auto exif = request.applyOrientation ? ExifOrientation::Apply : ExifOrientation::Ignore;
        const Picture picture = Picture::readHere(bytes, PictureFormat(request.format), exif, request.name);
        // A write refused for damage says so as the viewer's own refusals do.
        try {
            out.reply.newFile = rewritten(picture, request, pixels);
            // The viewer's own file comes back as the one run it changes.
            if (request.rewrite == RewriteKind::Thumbnail)
                out.reply.edits = {changedRun(bytes, std::exchange(out.reply.newFile, QByteArray()))};
        } catch (const PictureError& e) {
            if (e.problem() == PictureError::Problem::Damaged)
                throw AppError(msg::pictureDamaged(request.name, e.detail()));
            throw e.about(request.name);
        }
        if (out.reply.newFile.size() > LoaderReply::MaxNewFileBytes)
            throw AppError(msg::cannotCreate(request.name, QString::fromLocal8Bit(std::strerror(EFBIG))));
        // After the write, which may have read the whole file and found damage.
        putFacts(picture, out.reply);
        out.reply.done = true;
    } catch (const AppError& e) {
        return OutgoingReply::failure(e.text());
    }
    return out;
}
