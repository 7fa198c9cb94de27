#include "effects/PictureWrite.h"

#include "effects/EffectRenderer.h"
#include "effects/Rotate.h"
#include "core/AtomicFile.h"
#include "graphics/JpegCodec.h"

namespace {
constexpr std::uint32_t kWhite = 0x00FFFFFF;
constexpr int kJpegQuality = 90;

Picture writeJpeg(const QString& path, const QByteArray& bytes, ExifOrientation exif)
{
    writeFileAtomically(path, bytes);
    return Picture::fromJpegData(bytes, exif);
}

Picture writeJpeg(const QString& path, const Bitmap24& bitmap, const Picture& source)
{
    return writeJpeg(path, source.encodeJpegReplacement(bitmap), source.exifOrientation());
}

Picture writeBitmap(const QString& path, Bitmap24 bitmap)
{
    Picture p = Picture::fromBitmap(std::move(bitmap));
    p.saveToFile(path);
    return p;
}
} // namespace

PictureFileKind pictureFileKind(const QString& path)
{
    const QString ext = pictureExtension(path);
    if (ext == QLatin1String("bmp"))
        return PictureFileKind::Bitmap;
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg"))
        return PictureFileKind::Jpeg;
    return PictureFileKind::Other;
}

Picture writeRenderedPicture(const QString& path, const Bitmap24& rendered, const Picture& source)
{
    switch (pictureFileKind(path)) {
    case PictureFileKind::Bitmap:
        return writeBitmap(path, rendered);
    case PictureFileKind::Jpeg:
        return writeJpeg(path, rendered, source);
    case PictureFileKind::Other:
        break;
    }
    return Picture();
}

Picture pictureForFile(const Picture& picture, const QString& path)
{
    switch (pictureFileKind(path)) {
    case PictureFileKind::Bitmap:
        if (picture.kind() == Picture::Kind::Bitmap)
            return picture;
        return Picture::fromBitmap(picture.toBitmap24());
    case PictureFileKind::Jpeg:
        if (picture.kind() == Picture::Kind::Jpeg)
            return picture;
        return Picture::fromJpegData(encodeJpeg(picture.toBitmap24(), kJpegQuality));
    case PictureFileKind::Other:
        break;
    }
    return picture;
}

Picture rotatePictureFile(const Picture& picture, const QString& path, int angle)
{
    const PictureFileKind kind = pictureFileKind(path);
    if (kind == PictureFileKind::Other) {
        picture.saveToFile(path);
        return picture;
    }
    if (kind == PictureFileKind::Jpeg) {
        const QByteArray turned = picture.turnedLosslessly(angle);
        if (!turned.isEmpty())
            return writeJpeg(path, turned, picture.exifOrientation());
    }
    Bitmap24 bitmap = picture.toBitmap24();
    RotateBitmap(bitmap, angle, kWhite);
    return kind == PictureFileKind::Bitmap ? writeBitmap(path, std::move(bitmap)) : writeJpeg(path, bitmap, picture);
}

Picture applyEffectsToFile(EffectRenderer& engine, const QString& path, ExifOrientation exif)
{
    const Picture source = Picture::loadFromFile(path, exif);
    engine.setPictureOriginal(source);
    return writeRenderedPicture(path, engine.Picture(), source);
}

int applyEffectsToFiles(EffectRenderer& engine, const QStringList& files, ExifOrientation exif,
                        const ApplyProgress& progress)
{
    const int total = int(files.size());
    for (int k = 1; k <= total; ++k) {
        const QString& file = files[k - 1];
        if (progress.before && !progress.before(k, total, file))
            return k - 1;
        applyEffectsToFile(engine, file, exif);
        if (progress.after)
            progress.after(k, total, file);
    }
    return total;
}
