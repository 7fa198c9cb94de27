#include "graphics/RawPreview.h"

#include "graphics/DecoderMessages.h"
#include "graphics/JpegCodec.h"
#include "graphics/PictureError.h"
#include "graphics/PictureLimits.h"
#include "graphics/TiffStructure.h"

#include <QLibrary>

#include <libraw/libraw.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// LibRaw is loaded with the first RAW file, as libheif is with the first HEIF.
#define PV_RAW_FUNCTIONS(F)                                                                                  \
    F(libraw_init)                                                                                           \
    F(libraw_open_buffer)                                                                                    \
    F(libraw_unpack)                                                                                         \
    F(libraw_unpack_thumb)                                                                                   \
    F(libraw_dcraw_process)                                                                                  \
    F(libraw_dcraw_make_mem_image)                                                                           \
    F(libraw_dcraw_make_mem_thumb)                                                                           \
    F(libraw_dcraw_clear_mem)                                                                                \
    F(libraw_set_dataerror_handler)                                                                          \
    F(libraw_close)

struct RawLibrary {
#define PV_RAW_POINTER(name) decltype(&::name) name = nullptr;
    PV_RAW_FUNCTIONS(PV_RAW_POINTER)
#undef PV_RAW_POINTER
    bool loaded = false;
};

RawLibrary loadRawLibrary()
{
    RawLibrary lib;
    // The thread-safe build: loaders decode on several threads.
    QLibrary library(QStringLiteral("raw_r"), 20);
    if (!library.load())
        return lib;
    lib.loaded = true;
#define PV_RAW_RESOLVE(name)                                                                                 \
    lib.name = reinterpret_cast<decltype(lib.name)>(library.resolve(#name));                                 \
    lib.loaded = lib.loaded && lib.name;
    PV_RAW_FUNCTIONS(PV_RAW_RESOLVE)
#undef PV_RAW_RESOLVE
    return lib;
}

// Null when LibRaw is missing: embedded JPEG previews still show without it.
const RawLibrary* raw()
{
    static const RawLibrary lib = loadRawLibrary();
    return lib.loaded ? &lib : nullptr;
}

// One LibRaw session over bytes that outlive it, set for a half-size
// development in sRGB with the camera's white balance.
struct RawSession {
    libraw_data_t* lr = nullptr;
    bool opened = false;

    explicit RawSession(const QByteArray& data)
    {
        const RawLibrary* lib = raw();
        if (!lib || !(lr = lib->libraw_init(0)))
            return;
        lib->libraw_set_dataerror_handler(lr, [](void*, const char*, int) {}, nullptr);
        lr->params.half_size = 1;
        lr->params.use_camera_wb = 1;
        lr->params.output_color = 1;
        lr->params.output_bps = 8;
        const QuietDecoding quiet;
        opened = lib->libraw_open_buffer(lr, const_cast<char*>(data.constData()), std::size_t(data.size())) ==
                 LIBRAW_SUCCESS;
    }
    ~RawSession()
    {
        if (lr)
            raw()->libraw_close(lr);
    }
    RawSession(const RawSession&) = delete;
    RawSession& operator=(const RawSession&) = delete;

    // A development needs the raw data, which files pruned to their
    // metadata lack: no camera codes under a bit per pixel.
    bool canDevelop(qint64 fileBytes) const
    {
        return opened && lr->sizes.raw_width > 0 && lr->sizes.raw_height > 0 &&
               qint64(lr->sizes.raw_width) * lr->sizes.raw_height / 8 <= fileBytes;
    }
    QSize developedSize() const { return QSize(lr->sizes.iwidth, lr->sizes.iheight); }
    int orientation() const
    {
        switch (lr ? lr->sizes.flip : 0) {
        case 3:
            return 3;
        case 5:
            return 8;
        case 6:
            return 6;
        default:
            return 1;
        }
    }
};

QImage imageOf(const RawLibrary& lib, libraw_processed_image_t* p)
{
    std::unique_ptr<libraw_processed_image_t, decltype(lib.libraw_dcraw_clear_mem)> owned(
        p, lib.libraw_dcraw_clear_mem);
    if (!p || p->type != LIBRAW_IMAGE_BITMAP || p->bits != 8 || (p->colors != 3 && p->colors != 1) ||
        qint64(p->width) * p->height * p->colors > qint64(p->data_size))
        return QImage();
    const QImage view(p->data, p->width, p->height, p->width * p->colors,
                      p->colors == 3 ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
    return view.copy();
}

// The JPEG streams of the file whose headers read, largest first. The
// camera's previews are among them, and the stubs and cut-off streams of
// a damaged file, which the wholeness check sets apart.
struct Embedded {
    qsizetype at = 0;
    QSize size;
};

QByteArray viewFrom(const QByteArray& data, qsizetype at)
{
    return QByteArray::fromRawData(data.constData() + at, data.size() - at);
}

std::vector<Embedded> embeddedJpegs(const QByteArray& data)
{
    // Enough for every preview a camera writes; bounds the work on a file
    // full of start markers.
    constexpr int MaxStreams = 16;
    std::vector<Embedded> found;
    for (qsizetype at = data.indexOf("\xFF\xD8\xFF"); at >= 0 && int(found.size()) < MaxStreams;
         at = data.indexOf("\xFF\xD8\xFF", at + 3)) {
        try {
            const JpegInfo info = readJpegHeader(viewFrom(data, at));
            found.push_back({at, QSize(info.width, info.height)});
        } catch (const AppError&) {
            // a stub or no JPEG at all
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const Embedded& a, const Embedded& b) {
        return qint64(a.size.width()) * a.size.height() > qint64(b.size.width()) * b.size.height();
    });
    return found;
}

bool isWhole(const QByteArray& data, const Embedded& e)
{
    try {
        const QuietDecoding quiet;
        return scanJpegDamage(viewFrom(data, e.at)) == PictureDamage::None;
    } catch (const AppError&) {
        return false;
    }
}

const Embedded* largestWhole(const QByteArray& data, const std::vector<Embedded>& all)
{
    for (const Embedded& e : all) {
        if (isWhole(data, e))
            return &e;
    }
    return nullptr;
}

QImage decodeEmbedded(const QByteArray& data, const Embedded& e)
{
    const QuietDecoding quiet;
    return decodeJpeg(viewFrom(data, e.at)).toImage();
}

// A CR3's orientation where LibRaw can't open the file: its first TIFF
// block (CMT1) holds it.
int cr3Orientation(const QByteArray& data)
{
    const qsizetype at = data.indexOf("CMT1");
    if (at < 4 || at + 4 >= data.size())
        return 1;
    const TiffStructure tiff(data.mid(at + 4, 64 * 1024));
    const int o = int(tiff.number(TiffStructure::Directory::First, 0x0112).value_or(1));
    return o >= 1 && o <= 8 ? o : 1;
}

enum class Rendition { Preview, Thumbnail, Development };

struct Choice {
    Rendition rendition = Rendition::Preview;
    Embedded preview;
    QSize size;
    int orientation = 1;
};

// A thumbnail of LibRaw's own as a bitmap (old cameras store one);
// JPEG thumbnails are among the embedded streams already.
QImage bitmapThumbnail(RawSession& s)
{
    if (!s.opened || s.lr->thumbnail.tformat != LIBRAW_THUMBNAIL_BITMAP)
        return QImage();
    const RawLibrary& lib = *raw();
    if (lib.libraw_unpack_thumb(s.lr) != LIBRAW_SUCCESS)
        return QImage();
    int error = 0;
    return imageOf(lib, lib.libraw_dcraw_make_mem_thumb(s.lr, &error));
}

Choice choose(const QByteArray& data, RawSession& s)
{
    Choice c;
    c.orientation = s.opened || (s.lr && s.lr->sizes.flip > 0) ? s.orientation() : cr3Orientation(data);
    const std::vector<Embedded> all = embeddedJpegs(data);
    const Embedded* preview = largestWhole(data, all);
    QSize best = preview ? preview->size : QSize();
    if (preview)
        c.preview = *preview;
    if (s.opened && s.lr->thumbnail.tformat == LIBRAW_THUMBNAIL_BITMAP &&
        s.lr->thumbnail.twidth > best.width()) {
        c.rendition = Rendition::Thumbnail;
        best = QSize(s.lr->thumbnail.twidth, s.lr->thumbnail.theight);
    }
    const bool thumbnailOnly = best.isEmpty() || best.width() * 4 < int(s.opened ? s.lr->sizes.width : 0);
    if (thumbnailOnly && s.canDevelop(data.size())) {
        c.rendition = Rendition::Development;
        c.size = s.developedSize();
        checkPictureSize(c.size.width(), c.size.height());
        return c;
    }
    if (best.isEmpty())
        throw PictureError(PictureError::Problem::NoPreview, QString());
    c.size = best;
    return c;
}

} // namespace

RawPictureInfo readRawPictureInfo(const QByteArray& data)
{
    RawSession session(data);
    const Choice c = choose(data, session);
    return {c.size, c.orientation};
}

QImage decodeRawPicture(const QByteArray& data)
{
    RawSession session(data);
    const Choice c = choose(data, session);
    QImage image;
    switch (c.rendition) {
    case Rendition::Preview:
        image = decodeEmbedded(data, c.preview);
        break;
    case Rendition::Thumbnail:
        image = bitmapThumbnail(session);
        break;
    case Rendition::Development: {
        const RawLibrary& lib = *raw();
        const QuietDecoding quiet;
        int error = 0;
        // Left as stored: Picture turns it, as it turns the previews.
        session.lr->params.user_flip = 0;
        if (lib.libraw_unpack(session.lr) == LIBRAW_SUCCESS &&
            lib.libraw_dcraw_process(session.lr) == LIBRAW_SUCCESS)
            image = imageOf(lib, lib.libraw_dcraw_make_mem_image(session.lr, &error));
        break;
    }
    }
    if (image.isNull())
        throw PictureError(PictureError::Problem::NoPreview, QString());
    // Cameras with pixels that are not square develop to another shape.
    if (image.size() != c.size)
        image = image.scaled(c.size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

QImage decodeRawPreviewCovering(const QByteArray& data, QSize shown, QSize atLeast)
{
    std::vector<Embedded> all = embeddedJpegs(data);
    std::reverse(all.begin(), all.end());
    // A thumbnail of another shape (4:3 beside a 3:2 preview) would be stretched.
    const auto sameShape = [&](QSize s) {
        const qint64 a = qint64(s.width()) * shown.height(), b = qint64(shown.width()) * s.height();
        return std::abs(a - b) * 100 <= std::max(a, b);
    };
    for (const Embedded& e : all) {
        if (e.size.width() >= atLeast.width() && e.size.height() >= atLeast.height() && sameShape(e.size) &&
            isWhole(data, e))
            return decodeEmbedded(data, e);
    }
    return QImage();
}

bool loadCameraRawLibrary()
{
    return raw() != nullptr;
}
