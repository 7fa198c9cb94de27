#include "graphics/Picture.h"

#include "core/AtomicFile.h"
#include "core/Errors.h"
#include "graphics/BmpCodec.h"
#include "graphics/ExifMetadata.h"
#include "graphics/ExifThumbnail.h"
#include "graphics/JpegCodec.h"
#include "graphics/JpegSegments.h"
#include "graphics/JpegStream.h"
#include "graphics/JpegTransform.h"
#include "graphics/Orientation.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>

struct Picture::Data {
    Kind kind = Kind::Empty;
    int width = 0; // as shown
    int height = 0;
    int exifTag = 1;     // Jpeg: the EXIF orientation as stored
    int orientation = 1; // the one decodes apply: exifTag, or 1 when ignored
    ExifOrientation exif = ExifOrientation::Apply;
    QByteArray bytes; // Jpeg, Other: the file as read
    Bitmap24 bitmap;  // Bitmap
    QImage image;     // Other: decoded once at load
    // A PictureDamage, or -1 while no decode has read the whole file; shared
    // by the copies that hold the same bytes.
    std::shared_ptr<std::atomic<int>> damage = std::make_shared<std::atomic<int>>(-1);
};

namespace {

void setOrientation(Picture::Data& d, ExifOrientation exif)
{
    const QSize stored = orientedSize(QSize(d.width, d.height), d.orientation);
    d.exif = exif;
    d.orientation = exif == ExifOrientation::Apply ? d.exifTag : 1;
    const QSize shown = orientedSize(stored, d.orientation);
    d.width = shown.width();
    d.height = shown.height();
}

// A QImage over a decoded bitmap that it owns.
QImage owningImage(Bitmap24&& bitmap)
{
    if (bitmap.isEmpty())
        return QImage();
    auto* owned = new Bitmap24(std::move(bitmap));
    return QImage(
        owned->bits(), owned->width(), owned->height(), owned->stride(), QImage::Format_BGR888,
        [](void* p) { delete static_cast<Bitmap24*>(p); }, owned);
}

QImage fitted(const QImage& image, QSize target)
{
    if (image.isNull())
        return QImage();
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

QString pictureExtension(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

int jpegThumbnailDenom(QSize picture, QSize box)
{
    if (picture.isEmpty() || box.isEmpty())
        return 8;
    return jpegDenomCovering(picture, picture.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
}

int jpegDenomCovering(QSize picture, QSize drawn)
{
    for (int denom : {8, 4, 2}) {
        // libjpeg rounds scaled sizes up.
        const int w = (picture.width() + denom - 1) / denom;
        const int h = (picture.height() + denom - 1) / denom;
        if (w >= drawn.width() && h >= drawn.height())
            return denom;
    }
    return 1;
}

Picture Picture::loadFromFile(const QString& path, ExifOrientation exif)
{
    const QString ext = pictureExtension(path);
    if (ext == QLatin1String("bmp")) {
        PictureDamage damage = PictureDamage::None;
        Picture p = fromBitmap(decodeBmp(readWholeFile(path), &damage));
        p.rememberDamage(damage);
        return p;
    }
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg"))
        return fromJpegData(readWholeFile(path), exif);
    if (ext == QLatin1String("ico"))
        return fromOtherData(readWholeFile(path), "ico");
    throw AppError(msg::unknownExtension(ext));
}

Picture Picture::fromBitmap(Bitmap24 bitmap)
{
    if (bitmap.isEmpty())
        return Picture();
    auto d = std::make_shared<Data>();
    d->kind = Kind::Bitmap;
    d->width = bitmap.width();
    d->height = bitmap.height();
    d->bitmap = std::move(bitmap);
    return Picture(std::move(d));
}

Picture Picture::fromJpegData(const QByteArray& data, ExifOrientation exif)
{
    const JpegInfo info = readJpegHeader(data);
    auto d = std::make_shared<Data>();
    d->kind = Kind::Jpeg;
    d->width = info.width;
    d->height = info.height;
    d->exifTag = ::exifOrientation(info.exif);
    d->bytes = data;
    setOrientation(*d, exif);
    return Picture(std::move(d));
}

Picture Picture::withExifOrientation(ExifOrientation exif) const
{
    if (kind() != Kind::Jpeg || m_d->exif == exif)
        return *this;
    auto d = std::make_shared<Data>(*m_d);
    setOrientation(*d, exif);
    return Picture(std::move(d));
}

Picture Picture::fromOtherData(const QByteArray& data, const QByteArray& format)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    const QSize declared = reader.size();
    if (declared.isValid() && !Bitmap24::sizeAllowed(declared.width(), declared.height()))
        throw AppError(msg::pictureTooLarge(declared.width(), declared.height()));
    QImage image = reader.read();
    if (image.isNull())
        throw AppError(msg::pictureNotValid(reader.errorString()));

    auto d = std::make_shared<Data>();
    d->kind = Kind::Other;
    d->width = image.width();
    d->height = image.height();
    d->bytes = data;
    d->image = std::move(image);
    return Picture(std::move(d));
}

Picture::Kind Picture::kind() const noexcept
{
    return m_d ? m_d->kind : Kind::Empty;
}
int Picture::width() const noexcept
{
    return m_d ? m_d->width : 0;
}
int Picture::height() const noexcept
{
    return m_d ? m_d->height : 0;
}
int Picture::orientation() const noexcept
{
    return m_d ? m_d->orientation : 1;
}
ExifOrientation Picture::exifOrientation() const noexcept
{
    return m_d ? m_d->exif : ExifOrientation::Apply;
}

void Picture::rememberDamage(PictureDamage damage) const noexcept
{
    if (m_d)
        m_d->damage->store(int(damage));
}

PictureDamage Picture::knownDamage() const noexcept
{
    const int known = m_d ? m_d->damage->load() : -1;
    return known < 0 ? PictureDamage::None : PictureDamage(known);
}

PictureDamage Picture::damage() const
{
    if (kind() == Kind::Jpeg && m_d->damage->load() < 0)
        rememberDamage(scanJpegDamage(m_d->bytes));
    return knownDamage();
}

Bitmap24 Picture::toBitmap24() const
{
    switch (kind()) {
    case Kind::Jpeg: {
        PictureDamage damage = PictureDamage::None;
        Bitmap24 pixels = decodeJpeg(m_d->bytes, 1, nullptr, &damage);
        rememberDamage(damage);
        return orientBitmap(std::move(pixels), m_d->orientation);
    }
    case Kind::Bitmap:
        return m_d->bitmap;
    case Kind::Other:
        return Bitmap24::fromImage(m_d->image);
    case Kind::Empty:
        break;
    }
    return Bitmap24();
}

QImage Picture::toImage() const
{
    switch (kind()) {
    case Kind::Jpeg:
        return owningImage(toBitmap24());
    case Kind::Bitmap: {
        // Read-only view of the shared pixels; the image keeps the data
        // alive, and a write through it detaches into a copy.
        const Bitmap24& b = m_d->bitmap;
        auto* keep = new std::shared_ptr<const Data>(m_d);
        return QImage(
            b.bits(), b.width(), b.height(), b.stride(), QImage::Format_BGR888,
            [](void* p) { delete static_cast<std::shared_ptr<const Data>*>(p); }, keep);
    }
    case Kind::Other:
        return m_d->image;
    case Kind::Empty:
        break;
    }
    return QImage();
}

QImage Picture::thumbnail(QSize box, QImage* decoded) const
{
    if (isEmpty() || box.isEmpty())
        return QImage();
    const QSize target = size().scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    if (kind() == Kind::Jpeg) {
        // Scaled decode of the stored layout, turned upright afterwards.
        const int o = m_d->orientation;
        const int denom = jpegThumbnailDenom(orientedSize(size(), o), orientedSize(box, o));
        PictureDamage damage = PictureDamage::None;
        QImage scaled = owningImage(orientBitmap(decodeJpeg(m_d->bytes, denom, nullptr, &damage), o));
        rememberDamage(damage);
        if (decoded)
            *decoded = scaled;
        return fitted(scaled, target);
    }
    return fitted(toImage(), target);
}

QImage Picture::decodedCovering(QSize drawn, const std::atomic<bool>* stop, const QImage& known) const
{
    if (kind() != Kind::Jpeg)
        return toImage();
    const int o = m_d->orientation;
    const QSize stored = orientedSize(size(), o);
    const int denom = jpegDenomCovering(stored, orientedSize(drawn, o));
    // libjpeg rounds scaled sizes up.
    const QSize scaled((stored.width() + denom - 1) / denom, (stored.height() + denom - 1) / denom);
    if (!known.isNull() && known.size() == orientedSize(scaled, o))
        return known;
    PictureDamage damage = PictureDamage::None;
    Bitmap24 pixels = decodeJpeg(m_d->bytes, denom, stop, &damage);
    if (pixels.isEmpty())
        return QImage();
    rememberDamage(damage);
    return owningImage(orientBitmap(std::move(pixels), o));
}

QImage Picture::decodedBand(QRect* band) const
{
    if (kind() != Kind::Jpeg || m_d->orientation != 1) {
        *band = QRect();
        return QImage();
    }
    return owningImage(decodeJpegBand(m_d->bytes, band));
}

QByteArray Picture::encodeJpegReplacement(const Bitmap24& pixels) const
{
    const QSize size(pixels.width(), pixels.height());
    const JpegReplacement keep = jpegReplacement(*this, size);
    const QByteArray jpeg = encodeJpeg(pixels, 90, keep.metadata);
    if (!keep.thumbnail.isValid())
        return jpeg;
    ThumbnailSampler sampler(size, keep.thumbnail);
    sampler.addRows(0, pixels.bits(), pixels.stride(), pixels.height());
    return withExifThumbnail(jpeg, sampler.result());
}

QByteArray Picture::turnedLosslessly(int angle) const
{
    if (kind() != Kind::Jpeg)
        return QByteArray();
    const int transform = turnedOrientation(m_d->orientation, angle);
    PictureDamage damage = PictureDamage::None;
    const QByteArray turned = transformJpegLosslessly(m_d->bytes, transform, &damage);
    if (turned.isEmpty())
        return turned;
    rememberDamage(damage); // the transform read every block
    const bool applied = m_d->exif == ExifOrientation::Apply;
    const QByteArray exif = readJpegHeader(m_d->bytes).exif;
    ExifChanges changes;
    changes.resetOrientation = applied;
    changes.size = angle % 180 == 0 ? size() : size().transposed();
    changes.thumbnail = turnedExifThumbnail(exif, transform);
    const QByteArray result = editJpegMetadata(turned, changes);
    // Blocks that hold the camera's turn must not carry its tag too, or the
    // picture would be turned twice: better the re-encoding path then.
    if (applied && ::exifOrientation(readJpegHeader(result).exif) != 1)
        return QByteArray();
    return result;
}

const Bitmap24& Picture::bitmap() const
{
    static const Bitmap24 empty;
    return kind() == Kind::Bitmap ? m_d->bitmap : empty;
}

QByteArray Picture::data() const
{
    return kind() == Kind::Jpeg || kind() == Kind::Other ? m_d->bytes : QByteArray();
}

void Picture::saveToFile(const QString& path) const
{
    switch (kind()) {
    case Kind::Jpeg:
    case Kind::Other:
        writeFileAtomically(path, m_d->bytes);
        return;
    case Kind::Bitmap:
        writeFileAtomically(path, encodeBmp24(m_d->bitmap));
        return;
    case Kind::Empty:
        break;
    }
    // Writing nothing over a picture file would only destroy it.
    throw AppError(msg::cannotCreate(path, QStringLiteral("The picture is empty.")));
}
