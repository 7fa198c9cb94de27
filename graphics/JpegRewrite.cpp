// A JPEG picture written anew: the replacement for new pixels and the
// turns, lossless or coded again, each keeping the file's metadata, colour
// space and sampling.
#include "graphics/Picture.h"

#include "graphics/ExifMetadata.h"
#include "graphics/ExifThumbnail.h"
#include "graphics/InkConversion.h"
#include "graphics/JpegCodec.h"
#include "graphics/JpegSegments.h"
#include "graphics/JpegStream.h"
#include "graphics/JpegTransform.h"
#include "graphics/Orientation.h"
#include "graphics/PictureError.h"

namespace {

// The thumbnail a replacement JPEG carries, made from its shown pixels.
QByteArray withThumbnailOf(const QByteArray& jpeg, const Bitmap24& pixels, QSize thumbnail)
{
    if (!thumbnail.isValid())
        return jpeg;
    ThumbnailSampler sampler(QSize(pixels.width(), pixels.height()), thumbnail);
    sampler.addRows(0, pixels.bits(), pixels.stride(), pixels.height());
    return withExifThumbnail(jpeg, sampler.result());
}

// CMYK samples as the file stores them (inverted under an Adobe marker)
// for new colours, each keeping the black of `old` where it can.
SampleRaster inksFor(const Bitmap24& pixels, const SampleRaster& old, bool inverted)
{
    SampleRaster out(pixels.width(), pixels.height(), 32);
    const bool sameSize = old.size() == out.size();
    for (int y = 0; y < pixels.height(); ++y) {
        const std::uint8_t* p = pixels.scanLine(y);
        std::uint8_t* o = out.row(y);
        const std::uint8_t* was = sameSize ? old.row(y) : nullptr;
        for (int x = 0; x < pixels.width(); ++x, p += 3, o += 4) {
            const std::uint8_t rgb[3] = {p[2], p[1], p[0]};
            const unsigned black = was ? (inverted ? 255u - was[4 * x + 3] : was[4 * x + 3]) : 255u;
            unsigned inks[4];
            ::inksFor(rgb, black, 255, inks);
            for (int c = 0; c < 4; ++c)
                o[c] = std::uint8_t(inverted ? 255 - inks[c] : inks[c]);
        }
    }
    return out;
}

// Samples of a JPEG's colour space as 24-bit pixels, as the decoders read them.
Bitmap24 shownPixels(const SampleRaster& samples, const JpegEncoding& e)
{
    Bitmap24 out(samples.width(), samples.height());
    for (int y = 0; y < samples.height(); ++y) {
        const std::uint8_t* in = samples.row(y);
        std::uint8_t* o = out.scanLine(y);
        for (int x = 0; x < samples.width(); ++x, o += 3) {
            if (e.components == 1) {
                o[0] = o[1] = o[2] = in[x];
            } else if (e.components == 3) {
                o[0] = in[3 * x + 2];
                o[1] = in[3 * x + 1];
                o[2] = in[3 * x];
            } else {
                const std::uint8_t* k = in + 4 * x;
                const auto ink = [&](int c) { return unsigned(e.adobe ? k[c] : 255 - k[c]); };
                o[0] = std::uint8_t((ink(2) * ink(3) + 127) / 255);
                o[1] = std::uint8_t((ink(1) * ink(3) + 127) / 255);
                o[2] = std::uint8_t((ink(0) * ink(3) + 127) / 255);
            }
        }
    }
    return out;
}

} // namespace

QByteArray Picture::encodeJpegReplacement(const Bitmap24& pixels) const
{
    if (!readsHere())
        return rewrittenByLoader(RewriteKind::WithPixels, 0, &pixels);
    return namingFile(fileName(), [&] {
        const QSize size(pixels.width(), pixels.height());
        const JpegReplacement keep = jpegReplacement(*this, size);
        if (!keep.metadata.encoding || !keep.metadata.encoding->cmyk())
            return withThumbnailOf(encodeJpeg(pixels, 90, keep.metadata), pixels, keep.thumbnail);
        // CMYK stays CMYK: the inks of the new colours, the old black kept.
        JpegEncoding encoding;
        const SampleRaster old = decodeJpegSamples(data(), &encoding).oriented(orientation());
        const SampleRaster inks = inksFor(pixels, old, encoding.adobe);
        return withThumbnailOf(encodeJpegSamples(inks, 90, keep.metadata), pixels, keep.thumbnail);
    });
}

QByteArray Picture::turnedReencoded(int angle) const
{
    if (kind() != Kind::Jpeg)
        return QByteArray();
    return namingFile(fileName(), [&] {
        const int transform = turnedOrientation(orientation(), angle);
        JpegEncoding encoding;
        PictureDamage damage = PictureDamage::None;
        const SampleRaster samples = decodeJpegSamples(data(), &encoding, &damage).oriented(transform);
        rememberDamage(damage);
        if (damage != PictureDamage::None)
            return QByteArray();
        const JpegReplacement keep = jpegReplacement(*this, samples.size(), transform >= 5);
        const QByteArray jpeg = encodeJpegSamples(samples, 90, keep.metadata);
        return keep.thumbnail.isValid() ? withThumbnailOf(jpeg, shownPixels(samples, encoding), keep.thumbnail)
                                        : jpeg;
    });
}

QByteArray Picture::turnedLosslessly(int angle) const
{
    if (kind() != Kind::Jpeg)
        return QByteArray();
    const int transform = turnedOrientation(orientation(), angle);
    PictureDamage damage = PictureDamage::None;
    const QByteArray turned = transformJpegLosslessly(data(), transform, &damage);
    if (turned.isEmpty())
        return turned;
    rememberDamage(damage); // the transform read every block
    const bool applied = exifOrientation() == ExifOrientation::Apply;
    const QByteArray exif = readJpegHeader(data()).exif;
    ExifChanges changes;
    changes.resetOrientation = applied;
    changes.size = angle % 180 == 0 ? size() : size().transposed();
    changes.swapResolution = transform >= 5;
    changes.thumbnail = turnedExifThumbnail(exif, transform);
    const QByteArray result = editJpegMetadata(turned, changes);
    // Blocks that hold the camera's turn must not carry its tag too, or the
    // picture would be turned twice: better the re-encoding path then.
    if (applied && ::exifOrientation(readJpegHeader(result).exif) != 1)
        return QByteArray();
    return result;
}
