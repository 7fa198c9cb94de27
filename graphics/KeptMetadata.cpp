#include "graphics/KeptMetadata.h"

#include "core/WireReader.h"
#include "core/WireWriter.h"
#include "graphics/PictureError.h"

namespace {

constexpr qsizetype MaxSegmentBytes = 65533;
constexpr int MaxThumbnailSide = 1024;

bool encodingInRange(const JpegEncoding& e)
{
    // libjpeg's J_COLOR_SPACE: grey, RGB, YCbCr, CMYK, YCCK.
    if (e.colourSpace < 1 || e.colourSpace > 5 ||
        (e.components != 1 && e.components != 3 && e.components != 4))
        return false;
    for (int c = 0; c < 4; ++c) {
        if (e.h[std::size_t(c)] < 1 || e.h[std::size_t(c)] > 4 || e.v[std::size_t(c)] < 1 ||
            e.v[std::size_t(c)] > 4)
            return false;
    }
    return true;
}

} // namespace

JpegReplacement keptForReplacement(const Picture& source, QSize size)
{
    if (source.readsHere() || source.kind() != Picture::Kind::Jpeg)
        return jpegReplacement(source, size);
    const std::optional<JpegReplacement> kept =
        decodedReplacement(source.rewrittenByLoader(RewriteKind::Kept, 0, nullptr, size));
    if (!kept)
        throw AppError(
            msg::cannotCreate(source.fileName(), QStringLiteral("its reader's answer was not valid")));
    return *kept;
}

QByteArray withNewThumbnail(const Picture& source, const QByteArray& jpeg, const Bitmap24& thumbnail)
{
    if (source.readsHere())
        return withExifThumbnail(jpeg, thumbnail);
    return Picture::rewrittenByLoader(jpeg, source.fileName(), RewriteKind::Thumbnail, &thumbnail);
}

QByteArray encodedReplacement(const JpegReplacement& kept)
{
    WireWriter out;
    out.putU32(quint32(kept.metadata.segments.size()));
    for (const JpegSegment& s : kept.metadata.segments) {
        out.putU8(quint8(s.marker));
        out.putBytes(s.payload);
    }
    const JpegEncoding e = kept.metadata.encoding.value_or(JpegEncoding());
    out.putU8(kept.metadata.encoding.has_value());
    out.putU8(quint8(e.colourSpace));
    out.putU8(quint8(e.components));
    for (int c = 0; c < 4; ++c) {
        out.putU8(quint8(e.h[std::size_t(c)]));
        out.putU8(quint8(e.v[std::size_t(c)]));
    }
    out.putU8(e.adobe);
    out.putU8(kept.metadata.ownJfif);
    out.putSize(kept.thumbnail);
    return out.bytes();
}

std::optional<JpegReplacement> decodedReplacement(QByteArrayView bytes)
{
    WireReader in(bytes);
    JpegReplacement kept;
    for (qsizetype n = in.count(5); n > 0 && in.ok(); --n) {
        JpegSegment s;
        s.marker = in.u8();
        s.payload = in.bytes();
        if (!((s.marker >= 0xE0 && s.marker <= 0xEF) || s.marker == 0xFE) ||
            s.payload.size() > MaxSegmentBytes)
            return std::nullopt;
        kept.metadata.segments.append(std::move(s));
    }
    const bool hasEncoding = in.u8() != 0;
    JpegEncoding e;
    e.colourSpace = in.u8();
    e.components = in.u8();
    for (int c = 0; c < 4; ++c) {
        e.h[std::size_t(c)] = in.u8();
        e.v[std::size_t(c)] = in.u8();
    }
    e.adobe = in.u8() != 0;
    kept.metadata.ownJfif = in.u8() != 0;
    kept.thumbnail = in.size();
    const QSize t = kept.thumbnail;
    if (!in.complete() || (hasEncoding && !encodingInRange(e)) ||
        (t != QSize() && (t.isEmpty() || t.width() > MaxThumbnailSide || t.height() > MaxThumbnailSide)))
        return std::nullopt;
    if (hasEncoding)
        kept.metadata.encoding = e;
    return kept;
}
