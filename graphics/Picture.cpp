#include "graphics/Picture.h"

#include "core/AtomicFile.h"
#include "core/Errors.h"
#include "core/RegularFile.h"
#include "core/SealedBuffer.h"
#include "graphics/BlockReducer.h"
#include "graphics/BmpCodec.h"
#include "graphics/ContainerDamage.h"
#include "graphics/DisplayColors.h"
#include "graphics/ExifMetadata.h"
#include "graphics/HeifPicture.h"
#include "graphics/JpegCodec.h"
#include "graphics/JpegSegments.h"
#include "graphics/Orientation.h"
#include "graphics/PictureError.h"
#include "graphics/PictureBands.h"
#include "graphics/PictureLoaders.h"
#include "graphics/PluginPicture.h"
#include "graphics/PngReduced.h"
#include "graphics/ShowOnlyPicture.h"
#include "graphics/TiffSamples.h"
#include "graphics/TiffStructure.h"

#include <QFileInfo>

#include <cstring>
#include <functional>

#include <unistd.h>

struct Picture::Data {
    Kind kind = Kind::Empty;
    PictureFormat format = PictureFormat::Unknown;
    int width = 0; // as shown
    int height = 0;
    QSize stored;        // as the file stores it
    QSize upright;       // with its orientation applied
    int exifTag = 1;     // the EXIF orientation as stored
    int pages = 0;       // as the loader counted them; 0: count here
    int orientation = 1; // the one decodes apply: exifTag, or 1 when ignored
    ExifOrientation exif = ExifOrientation::Apply;
    QColorSpace colorSpace;
    QByteArray icc;
    QString name;     // the file, for messages
    QByteArray bytes; // Jpeg, Other read here: the file as read (a file's head: see `file`)
    qint64 byteCount = 0; // Jpeg, Other: the file's size
    // A JPEG read here from a descriptor: its decodes read the file as they
    // go, and `bytes` holds only its head.
    JpegFile file;
    int mappedFrom = -1; // Other read here over a mapping of this descriptor
    Bitmap24 bitmap;  // Bitmap
    BmpExtras bmp;    // Bitmap: its alpha and resolution
    // A PictureDamage, or -1 while no decode has read the whole file; shared
    // by the copies that hold the same bytes.
    std::shared_ptr<std::atomic<int>> damage = std::make_shared<std::atomic<int>>(-1);
    // Jpeg, Other read through the loaders: the file's bytes sealed in a
    // memfd, handed to a loader for every decode and read from it when
    // asked; nothing else of them is held. Null where they are read here.
    std::shared_ptr<const UniqueFd> source;
    bool rewritable = false; // as the loader told
    bool oneFrame = false;   // as the loader read it in the header of a kind that may animate
};

namespace {

void setOrientation(Picture::Data& d, ExifOrientation exif)
{
    d.exif = exif;
    d.orientation = exif == ExifOrientation::Apply ? d.exifTag : 1;
    const QSize shown = exif == ExifOrientation::Apply ? d.upright : d.stored;
    d.width = shown.width();
    d.height = shown.height();
}

// A JPEG's profile, or EXIF's Adobe RGB mark.
void readJpegColors(Picture::Data& d, const QByteArray& exif)
{
    d.icc = iccFromJpegSegments(readJpegSegments(d.bytes));
    d.colorSpace = colorSpaceOfIcc(d.icc);
    if (d.icc.isEmpty() && exif.size() > 6 && tiffMarksAdobeRgb(TiffStructure(exif.mid(6)))) {
        d.colorSpace = QColorSpace(QColorSpace::AdobeRgb);
        d.icc = d.colorSpace.iccProfile();
    }
}

// Another kind's pixels, whole, upright as the picture says.
QImage decodeOther(const Picture::Data& d, PictureDamage* damage)
{
    return namingFile(d.name, [&] {
        if (d.format == PictureFormat::Heif || d.format == PictureFormat::Avif)
            return decodeHeifPicture(d.bytes, d.exif == ExifOrientation::Apply);
        if (isShowOnlyKind(d.format))
            return orientImage(decodeShowOnlyPicture(d.bytes, d.format, d.stored), d.orientation);
        return orientImage(decodePluginPicture(d.bytes, d.format, damage), d.orientation);
    });
}

// HEIF's own thumbnail when it covers `size`, else null.
QImage embeddedThumbnail(const Picture::Data& d, QSize size)
{
    if (d.format != PictureFormat::Heif && d.format != PictureFormat::Avif)
        return QImage();
    try {
        return decodeHeifThumbnail(d.bytes, d.exif == ExifOrientation::Apply, size);
    } catch (const AppError&) {
        return QImage(); // the picture itself may still decode
    }
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

// A bitmap as a loader sent it: its colours as stored, and its alpha
// apart where it has one.
Bitmap24 bitmapOfAnswer(const QImage& image, std::vector<std::uint8_t>* alpha)
{
    if (image.format() != QImage::Format_ARGB32)
        return Bitmap24::fromImage(image);
    Bitmap24 bitmap = Bitmap24::forOverwrite(image.width(), image.height());
    alpha->resize(std::size_t(image.width()) * std::size_t(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::uint8_t* out = bitmap.scanLine(y);
        std::uint8_t* a = alpha->data() + std::size_t(y) * std::size_t(image.width());
        for (int x = 0; x < image.width(); ++x, out += 3) {
            out[0] = std::uint8_t(qBlue(in[x]));
            out[1] = std::uint8_t(qGreen(in[x]));
            out[2] = std::uint8_t(qRed(in[x]));
            a[x] = std::uint8_t(qAlpha(in[x]));
        }
    }
    return bitmap;
}

QImage fitted(const QImage& image, QSize target)
{
    if (image.isNull())
        return QImage();
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The `size` bytes of the regular file `fd` in a sealed memfd. Null when
// the file's size changed while it was read.
std::shared_ptr<const UniqueFd> sealedCopy(int fd, qint64 size)
{
    if (size <= 0 || size > MaxReadBytes)
        return nullptr;
    UniqueFd copy = SealedBuffer::copyOf(fd, size);
    char past = 0;
    if (!copy.isValid() || ::pread(fd, &past, 1, off_t(size)) != 0)
        return nullptr; // shrunk or grown meanwhile: read as a whole
    return std::make_shared<const UniqueFd>(std::move(copy));
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
    RegularFile file(path);
    const QByteArray head = file.readHead(PictureFormatHeadBytes);
    const PictureFormat format = pictureFormatOf(head, path);
    if (head.isEmpty())
        throw PictureError::corrupt(QStringLiteral("it is empty")).about(path);
    // Named like a kind but starting like none: no decoder of that kind reads it.
    if (pictureFormatOf(head) == PictureFormat::Unknown)
        throw PictureError::notKind(format).about(path);
    if (auto source = sealedCopy(file.fd(), file.size()))
        return throughLoaders(std::move(source), file.size(), format, exif, path);
    return fromData(file.readAll(), format, exif, path);
}

Picture Picture::fromData(const QByteArray& data, PictureFormat format, ExifOrientation exif,
                          const QString& name)
{
    if (format == PictureFormat::Unknown)
        throw PictureError::notKind(format).about(name);
    return throughLoaders(data, format, exif, name);
}

Picture Picture::readHere(const QByteArray& data, PictureFormat format, ExifOrientation exif,
                          const QString& name)
{
    switch (format) {
    case PictureFormat::Bitmap:
        return namingFile(name, [&] {
            PictureDamage damage = PictureDamage::None;
            BmpExtras extras;
            Bitmap24 pixels = decodeBmp(data, &damage, &extras);
            Picture p = fromBitmap(std::move(pixels), std::move(extras), name);
            p.rememberDamage(damage);
            return p;
        });
    case PictureFormat::Jpeg:
        return jpegHere(data, exif, name);
    case PictureFormat::Unknown:
        throw PictureError::notKind(format).about(name);
    default:
        return otherHere(data, format, exif, name);
    }
}

Picture Picture::readHereOverMapping(const QByteArray& mapped, int fd, PictureFormat format, ExifOrientation exif,
                                     const QString& name)
{
    const Picture here = readHere(mapped, format, exif, name);
    if (here.kind() != Kind::Other)
        return here;
    auto d = std::make_shared<Data>(*here.m_d);
    d->mappedFrom = fd;
    return Picture(std::move(d));
}

Picture Picture::throughLoaders(const QByteArray& data, PictureFormat format, ExifOrientation exif,
                                const QString& name)
{
    // Nothing to parse: the messages of an empty file come from here.
    if (data.isEmpty())
        return readHere(data, format, exif, name);
    SealedBuffer copy(data.size());
    std::memcpy(copy.data(), data.constData(), size_t(data.size()));
    auto source = std::make_shared<const UniqueFd>(copy.seal());
    if (!source->isValid())
        throw std::bad_alloc();
    return throughLoaders(std::move(source), data.size(), format, exif, name);
}

Picture Picture::throughLoaders(std::shared_ptr<const UniqueFd> source, qint64 size, PictureFormat format,
                                ExifOrientation exif, const QString& name)
{
    LoaderRequest request;
    request.name = name;
    request.format = quint8(format);
    // A bitmap is held decoded, as one read here is.
    if (format == PictureFormat::Bitmap) {
        request.task = LoaderTask::Decode;
        request.shape = DecodeShape::Whole;
    }
    const LoaderAnswer answer = PictureLoaders::shared().ask(source->get(), size, request);
    const LoaderReply& r = answer.reply;
    if (format == PictureFormat::Bitmap) {
        BmpExtras extras;
        Bitmap24 pixels = bitmapOfAnswer(answer.image, &extras.alpha);
        if (!r.pixelsPerMetre.isEmpty()) {
            extras.xPixelsPerMetre = r.pixelsPerMetre.width();
            extras.yPixelsPerMetre = r.pixelsPerMetre.height();
        }
        Picture p = fromBitmap(std::move(pixels), std::move(extras), name);
        p.rememberDamage(PictureDamage(r.damage));
        return p;
    }
    auto d = std::make_shared<Data>();
    d->kind = format == PictureFormat::Jpeg ? Kind::Jpeg : Kind::Other;
    d->format = format;
    d->name = name;
    d->byteCount = size;
    d->source = std::move(source);
    d->stored = r.storedSize;
    d->upright = r.size;
    d->exifTag = r.orientation;
    d->icc = r.iccProfile;
    d->pages = int(std::min<quint32>(r.pages, 1u << 16));
    d->colorSpace = colorSpaceOfIcc(d->icc);
    d->rewritable = r.rewritable;
    d->oneFrame = r.frames == 1;
    if (r.damageKnown)
        d->damage->store(r.damage);
    setOrientation(*d, exif);
    return Picture(std::move(d));
}

std::shared_ptr<const UniqueFd> Picture::loaderSource() const
{
    return m_d ? m_d->source : nullptr;
}

bool Picture::readsHere() const noexcept
{
    return !m_d || !m_d->source;
}

bool Picture::toldRewritable() const noexcept
{
    return m_d && m_d->rewritable;
}

bool Picture::toldOneFrame() const noexcept
{
    return m_d && m_d->oneFrame;
}

namespace {

// The bytes a loader answered for a write of the `size` bytes behind `fd`
// (`file` holds them, for edits).
QByteArray askedRewrite(int fd, const QByteArray& file, LoaderRequest request, const Bitmap24* pixels,
                        const std::function<void(const LoaderReply&)>& facts = {})
{
    request.task = LoaderTask::Rewrite;
    UniqueFd given;
    if (pixels) {
        if (pixels->isEmpty())
            Picture().saveToFile(request.name); // refuses, as for any empty picture
        const qint64 bytes = qint64(pixels->stride()) * pixels->height();
        SealedBuffer copy(bytes);
        std::memcpy(copy.data(), pixels->bits(), size_t(bytes));
        given = copy.seal();
        if (!given.isValid())
            throw std::bad_alloc();
        const QSize size(pixels->width(), pixels->height());
        request.pixels =
            PixelLayout{size, pixels->stride(), quint32(QImage::Format_BGR888), QRect(QPoint(0, 0), size)};
    }
    const LoaderAnswer answer =
        PictureLoaders::shared().ask(fd, file.size(), request, given.isValid() ? given.get() : -1);
    if (facts)
        facts(answer.reply);
    if (answer.reply.edits.isEmpty())
        return answer.reply.newFile;
    // The edits lie apart, in file order, inside the file (checked).
    QByteArray edited;
    qint64 at = 0;
    for (const ByteEdit& e : answer.reply.edits) {
        edited += QByteArrayView(file).sliced(at, e.offset - at);
        edited += e.inserted;
        at = e.offset + e.removed;
    }
    return edited += QByteArrayView(file).sliced(at);
}

} // namespace

QByteArray Picture::rewrittenByLoader(RewriteKind kind, int angle, const Bitmap24* pixels, QSize size) const
{
    if (readsHere())
        throw AppError(msg::cannotCreate(fileName(), QString::fromLocal8Bit(std::strerror(EINVAL))));
    LoaderRequest request;
    request.name = m_d->name;
    request.format = quint8(m_d->format);
    request.applyOrientation = m_d->exif == ExifOrientation::Apply;
    request.rewrite = kind;
    request.angle = angle;
    request.size = size;
    return askedRewrite(m_d->source->get(), data(), request, pixels, [this](const LoaderReply& r) {
        if (r.damageKnown)
            rememberDamage(PictureDamage(r.damage));
    });
}

QByteArray Picture::rewrittenByLoader(const QByteArray& bytes, const QString& name, RewriteKind kind,
                                      const Bitmap24* pixels)
{
    SealedBuffer copy(bytes.size());
    std::memcpy(copy.data(), bytes.constData(), size_t(bytes.size()));
    const UniqueFd sealed = copy.seal();
    if (!sealed.isValid())
        throw std::bad_alloc();
    LoaderRequest request;
    request.name = name;
    request.format = quint8(PictureFormat::Jpeg);
    request.rewrite = kind;
    return askedRewrite(sealed.get(), bytes, request, pixels);
}

QImage Picture::asked(int shape, QSize size, QRect* region, bool displayColors) const
{
    LoaderRequest request;
    request.task = LoaderTask::Decode;
    request.name = m_d->name;
    request.format = quint8(m_d->format);
    request.applyOrientation = m_d->exif == ExifOrientation::Apply;
    request.displayColors = displayColors;
    request.shape = DecodeShape(shape);
    request.size = size;
    if (region)
        request.region = *region;
    LoaderAnswer answer = PictureLoaders::shared().ask(m_d->source->get(), m_d->byteCount, request);
    if (answer.reply.damageKnown)
        rememberDamage(PictureDamage(answer.reply.damage));
    if (region)
        *region = answer.reply.pixels->region;
    return answer.image;
}

Picture Picture::fromBitmap(Bitmap24 bitmap, BmpExtras extras, const QString& name)
{
    if (bitmap.isEmpty())
        return Picture();
    auto d = std::make_shared<Data>();
    d->name = name;
    d->kind = Kind::Bitmap;
    d->format = PictureFormat::Bitmap;
    d->width = bitmap.width();
    d->height = bitmap.height();
    d->stored = d->upright = QSize(d->width, d->height);
    d->bitmap = std::move(bitmap);
    if (extras.alpha.size() != std::size_t(d->width) * std::size_t(d->height))
        extras.alpha.clear();
    d->bmp = std::move(extras);
    return Picture(std::move(d));
}

Picture Picture::fromJpegData(const QByteArray& data, ExifOrientation exif, const QString& name)
{
    return throughLoaders(data, PictureFormat::Jpeg, exif, name);
}

Picture Picture::jpegHere(const QByteArray& data, ExifOrientation exif, const QString& name)
{
    const JpegInfo info = namingFile(name, [&] { return readJpegHeader(data); });
    auto d = std::make_shared<Data>();
    d->kind = Kind::Jpeg;
    d->format = PictureFormat::Jpeg;
    d->name = name;
    d->stored = QSize(info.width, info.height);
    d->exifTag = ::exifOrientation(info.exif);
    d->upright = orientedSize(d->stored, d->exifTag);
    d->bytes = data;
    d->byteCount = data.size();
    readJpegColors(*d, info.exif);
    setOrientation(*d, exif);
    return Picture(std::move(d));
}

Picture Picture::jpegOverFile(int fd, qint64 size, ExifOrientation exif, const QString& name)
{
    const JpegFile file{fd, size};
    const Picture head = jpegHere(readJpegHead(file), exif, name);
    auto d = std::make_shared<Data>(*head.m_d);
    d->file = file;
    d->byteCount = size;
    d->bytes = QByteArray(); // the head served its turn: the decodes read the file
    return Picture(std::move(d));
}

Picture Picture::withExifOrientation(ExifOrientation exif) const
{
    if (kind() == Kind::Bitmap || kind() == Kind::Empty || m_d->exif == exif)
        return *this;
    auto d = std::make_shared<Data>(*m_d);
    setOrientation(*d, exif);
    return Picture(std::move(d));
}

Picture Picture::fromOtherData(const QByteArray& data, PictureFormat format, ExifOrientation exif,
                               const QString& name)
{
    return throughLoaders(data, format, exif, name);
}

Picture Picture::otherHere(const QByteArray& data, PictureFormat format, ExifOrientation exif,
                           const QString& name)
{
    auto d = std::make_shared<Data>();
    d->kind = Kind::Other;
    d->format = format;
    d->name = name;
    d->bytes = data;
    d->byteCount = data.size();
    namingFile(name, [&] {
        if (format == PictureFormat::Heif || format == PictureFormat::Avif) {
            const HeifPictureInfo info = readHeifPictureInfo(data);
            d->stored = info.stored;
            d->upright = info.upright;
            d->colorSpace = info.colorSpace;
            d->icc = info.icc;
        } else if (isShowOnlyKind(format)) {
            const ShowOnlyInfo info = readShowOnlyInfo(data, format);
            d->stored = info.stored;
            d->exifTag = info.orientation;
            d->upright = orientedSize(d->stored, d->exifTag);
            d->colorSpace = info.colorSpace;
            d->icc = info.icc;
        } else {
            const PluginPictureInfo info = readPluginPictureInfo(data, format);
            d->stored = info.size;
            d->exifTag = info.orientation;
            d->upright = orientedSize(d->stored, d->exifTag);
            d->colorSpace = info.colorSpace;
            d->icc = info.icc;
        }
    });
    // What the structure tells is known at once; PNG's data tells at its decode.
    if (const ContainerDamage c = containerDamage(data, format); c.damage != PictureDamage::None)
        d->damage->store(int(c.damage));
    setOrientation(*d, exif);
    return Picture(std::move(d));
}

Picture::Kind Picture::kind() const noexcept
{
    return m_d ? m_d->kind : Kind::Empty;
}
PictureFormat Picture::format() const noexcept
{
    return m_d ? m_d->format : PictureFormat::Unknown;
}
QColorSpace Picture::colorSpace() const
{
    return m_d ? m_d->colorSpace : QColorSpace();
}
QByteArray Picture::iccProfile() const
{
    return m_d ? m_d->icc : QByteArray();
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

bool Picture::damageKnown() const noexcept
{
    return m_d && m_d->damage->load() >= 0;
}

PictureDamage Picture::damage() const
{
    if (!readsHere() && m_d->damage->load() < 0 && (kind() == Kind::Jpeg || m_d->format == PictureFormat::Png)) {
        LoaderRequest request;
        request.name = m_d->name;
        request.format = quint8(m_d->format);
        request.wholeDamage = true;
        const LoaderAnswer answer = PictureLoaders::shared().ask(m_d->source->get(), m_d->byteCount, request);
        rememberDamage(PictureDamage(answer.reply.damage));
    }
    if (kind() == Kind::Jpeg && m_d->damage->load() < 0)
        rememberDamage(namingFile(m_d->name, [&] { return scanJpegDamage(data()); }));
    if (kind() == Kind::Other && m_d->format == PictureFormat::Png && m_d->damage->load() < 0) {
        PictureDamage damage = PictureDamage::None;
        decodeOther(*m_d, &damage);
        rememberDamage(damage);
    }
    return knownDamage();
}

Bitmap24 Picture::toBitmap24() const
{
    if (!readsHere())
        return Bitmap24::fromImage(asked(int(DecodeShape::Whole), QSize()));
    switch (kind()) {
    case Kind::Jpeg: {
        PictureDamage damage = PictureDamage::None;
        Bitmap24 pixels = namingFile(m_d->name, [&] { return jpegDecode(1, nullptr, &damage); });
        rememberDamage(damage);
        return orientBitmap(std::move(pixels), m_d->orientation);
    }
    case Kind::Bitmap:
        return m_d->bitmap;
    case Kind::Other:
        return Bitmap24::fromImage(decodeOtherNoting());
    case Kind::Empty:
        break;
    }
    return Bitmap24();
}

QImage Picture::toImage() const
{
    if (!readsHere())
        return asked(int(DecodeShape::Whole), QSize());
    switch (kind()) {
    case Kind::Jpeg:
        return owningImage(toBitmap24());
    case Kind::Bitmap: {
        if (!m_d->bmp.alpha.empty())
            return bitmapWithAlpha();
        // Read-only view of the shared pixels; the image keeps the data
        // alive, and a write through it detaches into a copy.
        const Bitmap24& b = m_d->bitmap;
        auto* keep = new std::shared_ptr<const Data>(m_d);
        return QImage(
            b.bits(), b.width(), b.height(), b.stride(), QImage::Format_BGR888,
            [](void* p) { delete static_cast<std::shared_ptr<const Data>*>(p); }, keep);
    }
    case Kind::Other:
        return decodeOtherNoting();
    case Kind::Empty:
        break;
    }
    return QImage();
}

QImage Picture::decodeOtherNoting() const
{
    PictureDamage damage = PictureDamage::None;
    QImage image = decodeOther(*m_d, &damage);
    // The structure may have told already; the decoder adds what it found.
    if (damage != PictureDamage::None || m_d->damage->load() < 0)
        rememberDamage(damage);
    return image;
}

QImage Picture::bitmapWithAlpha() const
{
    const Bitmap24& b = m_d->bitmap;
    QImage image(b.width(), b.height(), QImage::Format_ARGB32);
    for (int y = 0; y < b.height(); ++y) {
        const std::uint8_t* in = b.scanLine(y);
        const std::uint8_t* a = m_d->bmp.alpha.data() + std::size_t(y) * std::size_t(b.width());
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < b.width(); ++x, in += 3)
            out[x] = qRgba(in[2], in[1], in[0], a[x]);
    }
    return image;
}

QImage Picture::inDisplayColors(QImage stored) const
{
    return m_d ? displayColors(std::move(stored), m_d->colorSpace) : stored;
}

QImage Picture::thumbnail(QSize box, bool displayColors) const
{
    if (isEmpty() || box.isEmpty())
        return QImage();
    if (!readsHere())
        return asked(int(DecodeShape::Thumbnail), box, nullptr, displayColors);
    if (kind() == Kind::Jpeg) {
        // Converted before it is fitted: the scaled decode serves as it is.
        const QImage scaled = drawn(jpegThumbnailDecode(box), displayColors);
        return fitted(scaled, size().scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    }
    return drawn(reducedTo(box), displayColors);
}

QImage Picture::jpegThumbnailDecode(QSize box) const
{
    // Scaled decode of the stored layout, turned upright afterwards.
    const int o = m_d->orientation;
    const int denom = jpegThumbnailDenom(orientedSize(size(), o), orientedSize(box, o));
    PictureDamage damage = PictureDamage::None;
    QImage scaled = owningImage(
        orientBitmap(namingFile(m_d->name, [&] { return jpegDecode(denom, nullptr, &damage); }), o));
    rememberDamage(damage);
    return scaled;
}

QImage Picture::reducedTo(QSize box) const
{
    if (isEmpty() || box.isEmpty())
        return QImage();
    if (!readsHere())
        return asked(int(DecodeShape::Reduced), box);
    const QSize target = size().scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    if (kind() == Kind::Jpeg)
        return fitted(jpegThumbnailDecode(box), target);
    if (kind() == Kind::Other)
        return fitted(otherCovering(target, nullptr), target);
    return fitted(toImage(), target);
}

QImage Picture::decodedCovering(QSize drawnSize, bool displayColors, const std::atomic<bool>* stop) const
{
    if (!readsHere())
        return stop && *stop ? QImage() : asked(int(DecodeShape::Covering), drawnSize, nullptr, displayColors);
    if (kind() == Kind::Other)
        return drawn(otherCovering(drawnSize, stop), displayColors);
    if (kind() != Kind::Jpeg)
        return drawn(toImage(), displayColors);
    const int o = m_d->orientation;
    const int denom = jpegDenomCovering(orientedSize(size(), o), orientedSize(drawnSize, o));
    PictureDamage damage = PictureDamage::None;
    Bitmap24 pixels = namingFile(m_d->name, [&] { return jpegDecode(denom, stop, &damage); });
    if (pixels.isEmpty())
        return QImage();
    rememberDamage(damage);
    return drawn(owningImage(orientBitmap(std::move(pixels), o)), displayColors);
}

QImage Picture::otherCovering(QSize drawn, const std::atomic<bool>* stop) const
{
    QImage image = embeddedThumbnail(*m_d, drawn);
    if (image.isNull() && isShowOnlyKind(m_d->format))
        image = orientImage(namingFile(m_d->name, [&] {
                                return showOnlyPictureCovering(m_d->bytes, m_d->format, m_d->stored,
                                                               orientedSize(drawn, m_d->orientation));
                            }),
                            m_d->orientation);
    // Set where whole blocks were averaged: see the end.
    bool blocks = false;
    if (image.isNull() && m_d->format == PictureFormat::Png) {
        image = orientImage(decodePngReduced(m_d->bytes, orientedSize(drawn, m_d->orientation), stop),
                            m_d->orientation);
        blocks = !image.isNull();
    }
    if (image.isNull() && m_d->format == PictureFormat::WebP)
        image = orientImage(decodeWebpCovering(m_d->bytes, orientedSize(drawn, m_d->orientation), m_d->mappedFrom),
                            m_d->orientation);
    if (image.isNull() && m_d->format == PictureFormat::Tiff) {
        // The whole first page at the smallest scale that still covers it.
        const int denom = jpegDenomCovering(m_d->stored, orientedSize(drawn, m_d->orientation));
        QRect all(QPoint(), scaledDown(m_d->stored, denom));
        if (denom > 1)
            image = orientImage(decodeTiffBand(m_d->bytes, &all, denom), m_d->orientation);
    }
    if (image.isNull() && stop && *stop)
        return QImage();
    if (image.isNull() && (m_d->format == PictureFormat::Heif || m_d->format == PictureFormat::Avif)) {
        const QSize shown(m_d->width, m_d->height);
        image = namingFile(m_d->name, [&] {
            return decodeHeifReduced(m_d->bytes, m_d->exif == ExifOrientation::Apply,
                                     shown.scaled(drawn, Qt::KeepAspectRatioByExpanding));
        });
        blocks = !image.isNull();
    }
    if (image.isNull())
        image = decodeOtherNoting();
    // Reduced here, so that converting its colours then costs little: by
    // whole blocks first, which spares Qt's scaling a converted copy of the
    // whole frame.
    const QSize cover = image.size().scaled(drawn, Qt::KeepAspectRatioByExpanding);
    if (QImage reduced = reducedByBlocks(image, cover); !reduced.isNull()) {
        image = std::move(reduced);
        blocks = true;
    }
    // Blocks are left for the caller to scale once to its size: so they
    // serve the sizes near the one asked, such as a decode asked before the
    // window's size was known.
    if (!blocks && cover.width() < image.width() && cover.height() < image.height() && !cover.isEmpty())
        image = image.scaled(cover, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

namespace {

// Where the part `upright` of a picture shown upright by `orientation` lies
// in its `stored` layout.
QRect storedPart(QRect upright, QSize stored, int orientation)
{
    const int w = stored.width(), h = stored.height();
    const auto at = [&](QPoint u) {
        switch (orientation) {
        case 2: return QPoint(w - 1 - u.x(), u.y());
        case 3: return QPoint(w - 1 - u.x(), h - 1 - u.y());
        case 4: return QPoint(u.x(), h - 1 - u.y());
        case 5: return QPoint(u.y(), u.x());
        case 6: return QPoint(u.y(), h - 1 - u.x());
        case 7: return QPoint(w - 1 - u.y(), h - 1 - u.x());
        case 8: return QPoint(w - 1 - u.y(), u.x());
        default: return u;
        }
    };
    const QPoint a = at(upright.topLeft()), b = at(upright.bottomRight());
    return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                 QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

} // namespace

bool Picture::reducesByBlocks() const noexcept
{
    const PictureFormat f = format();
    return kind() == Kind::Other && (f == PictureFormat::Png || f == PictureFormat::Heif || f == PictureFormat::Avif);
}

bool Picture::decodesBands() const noexcept
{
    const PictureFormat f = format();
    return kind() == Kind::Jpeg ||
           (kind() == Kind::Other && (f == PictureFormat::Png || f == PictureFormat::WebP || f == PictureFormat::Tiff));
}

QImage Picture::decodedBand(QRect* band, bool displayColors, int scaleDenom) const
{
    if (!decodesBands()) {
        *band = QRect();
        return QImage();
    }
    if (!readsHere())
        return asked(int(DecodeShape::Band), QSize(scaleDenom, scaleDenom), band, displayColors);
    const int o = m_d->orientation;
    const QSize stored = scaledDown(m_d->stored, scaleDenom);
    const QRect upright = band->intersected(QRect(QPoint(), orientedSize(stored, o)));
    if (upright.isEmpty()) {
        *band = QRect();
        return QImage();
    }
    QRect part = storedPart(upright, stored, o);
    QImage pixels;
    if (kind() == Kind::Jpeg) {
        pixels = owningImage(orientBitmap(namingFile(m_d->name,
                                                     [&] {
                                                         return m_d->file.fd >= 0
                                                                    ? decodeJpegBand(m_d->file, &part, scaleDenom)
                                                                    : decodeJpegBand(m_d->bytes, &part, scaleDenom);
                                                     }),
                                          o));
    } else {
        pixels = orientImage(namingFile(m_d->name, [&] { return otherBand(&part, scaleDenom); }), o);
        if (pixels.isNull()) {
            // An animated WebP, a TIFF libtiff reads only whole, a damaged
            // file: cut from the whole decode.
            const QImage whole = toImage();
            const QRect full = QRect(upright.topLeft() * scaleDenom, upright.size() * scaleDenom)
                                   .intersected(whole.rect());
            *band = upright;
            return drawn(fitted(whole.copy(full), upright.size()), displayColors);
        }
    }
    // Back to the upright layout: turned the other way round.
    const int back = o == 6 ? 8 : o == 8 ? 6 : o;
    *band = storedPart(part, orientedSize(stored, o), back);
    return drawn(std::move(pixels), displayColors);
}

QImage Picture::otherBand(QRect* part, int denom) const
{
    switch (m_d->format) {
    case PictureFormat::Png:
        return decodePngBand(m_d->bytes, part, denom);
    case PictureFormat::WebP:
        return decodeWebpBand(m_d->bytes, part, denom, m_d->mappedFrom);
    case PictureFormat::Tiff:
        return decodeTiffBand(m_d->bytes, part, denom);
    default:
        return QImage();
    }
}

int Picture::pageCount() const
{
    if (format() != PictureFormat::Tiff)
        return 1;
    if (m_d->pages > 0)
        return m_d->pages;
    const QByteArray bytes = data();
    const TiffStructure tiff(bytes);
    int pages = 0;
    // Each directory must lie past the one before: a chain that loops ends.
    for (qsizetype at = tiff.directoryAt(TiffStructure::Directory::First), last = 0;
         at > last && at + 2 <= bytes.size(); ++pages) {
        const qsizetype next = at + 2 + qsizetype(tiff.read16(at)) * 12;
        last = at;
        at = next + 4 <= bytes.size() ? qsizetype(tiff.read32(next)) : 0;
    }
    return std::max(pages, 1);
}

const Bitmap24& Picture::bitmap() const
{
    static const Bitmap24 empty;
    return kind() == Kind::Bitmap ? m_d->bitmap : empty;
}

const BmpExtras& Picture::bitmapExtras() const
{
    static const BmpExtras none;
    return kind() == Kind::Bitmap ? m_d->bmp : none;
}

QString Picture::fileName() const
{
    return m_d ? m_d->name : QString();
}

QByteArray Picture::data() const
{
    if (kind() != Kind::Jpeg && kind() != Kind::Other)
        return QByteArray();
    if (m_d->source)
        return readJpegFile(JpegFile{m_d->source->get(), m_d->byteCount}); // any kind: plain reads
    return m_d->file.fd >= 0 ? readJpegFile(m_d->file) : m_d->bytes;
}

qint64 Picture::byteCount() const
{
    return kind() == Kind::Jpeg || kind() == Kind::Other ? m_d->byteCount : 0;
}

Bitmap24 Picture::jpegDecode(int denom, const std::atomic<bool>* stop, PictureDamage* damage) const
{
    return m_d->file.fd >= 0 ? decodeJpeg(m_d->file, denom, stop, damage)
                             : decodeJpeg(m_d->bytes, denom, stop, damage);
}

void Picture::saveToFile(const QString& path) const
{
    switch (kind()) {
    case Kind::Jpeg:
    case Kind::Other:
        writeFileAtomically(path, data());
        return;
    case Kind::Bitmap:
        writeFileAtomically(path, encodeBmp(m_d->bitmap, m_d->bmp));
        return;
    case Kind::Empty:
        break;
    }
    // Writing nothing over a picture file would only destroy it.
    throw AppError(msg::cannotCreate(path, QStringLiteral("The picture is empty.")));
}
