#include "graphics/HeifPicture.h"

#include "graphics/BlockReducer.h"
#include "graphics/DecoderMessages.h"
#include "graphics/DisplayColors.h"
#include "graphics/PictureError.h"
#include "graphics/PictureLimits.h"

#include <QLibrary>
#include <QThread>
#include <QtEndian>

#include <libheif/heif.h>

#include <memory>
#include <vector>

namespace {

// libheif and the codecs it links (x265, libde265, dav1d, aom) are loaded
// with the first HEIF or AVIF picture rather than at every start.
#define PV_HEIF_FUNCTIONS(F)                                                                                 \
    F(heif_context_alloc)                                                                                    \
    F(heif_context_free)                                                                                     \
    F(heif_context_get_primary_image_handle)                                                                 \
    F(heif_context_read_from_memory_without_copy)                                                            \
    F(heif_context_set_max_decoding_threads)                                                                 \
    F(heif_decode_image)                                                                                     \
    F(heif_decoding_options_alloc)                                                                           \
    F(heif_decoding_options_free)                                                                            \
    F(heif_image_get_bits_per_pixel_range)                                                                   \
    F(heif_image_get_plane_readonly)                                                                         \
    F(heif_image_get_primary_height)                                                                         \
    F(heif_image_get_primary_width)                                                                          \
    F(heif_image_handle_get_color_profile_type)                                                              \
    F(heif_image_handle_get_height)                                                                          \
    F(heif_image_handle_get_list_of_metadata_block_IDs)                                                      \
    F(heif_image_handle_get_list_of_thumbnail_IDs)                                                           \
    F(heif_image_handle_get_metadata)                                                                        \
    F(heif_image_handle_get_metadata_size)                                                                   \
    F(heif_image_handle_get_nclx_color_profile)                                                              \
    F(heif_image_handle_get_number_of_thumbnails)                                                            \
    F(heif_image_handle_get_raw_color_profile)                                                               \
    F(heif_image_handle_get_raw_color_profile_size)                                                          \
    F(heif_image_handle_get_thumbnail)                                                                       \
    F(heif_image_handle_get_width)                                                                           \
    F(heif_image_handle_has_alpha_channel)                                                                   \
    F(heif_image_handle_release)                                                                             \
    F(heif_image_release)                                                                                    \
    F(heif_nclx_color_profile_free)

struct HeifLibrary {
#define PV_HEIF_POINTER(name) decltype(&::name) name = nullptr;
    PV_HEIF_FUNCTIONS(PV_HEIF_POINTER)
#undef PV_HEIF_POINTER
    QString failure; // why it could not be loaded
};

HeifLibrary loadHeifLibrary()
{
    HeifLibrary lib;
    QLibrary library(QStringLiteral("heif"), 1);
    if (!library.load()) {
        lib.failure = library.errorString();
        return lib;
    }
#define PV_HEIF_RESOLVE(name)                                                                                \
    lib.name = reinterpret_cast<decltype(lib.name)>(library.resolve(#name));                                 \
    if (!lib.name)                                                                                           \
        lib.failure = library.errorString();
    PV_HEIF_FUNCTIONS(PV_HEIF_RESOLVE)
#undef PV_HEIF_RESOLVE
    return lib;
}

// Loaded once, from whichever thread reads the first such picture.
const HeifLibrary& heif()
{
    static const HeifLibrary lib = loadHeifLibrary();
    if (!lib.failure.isEmpty())
        throw PictureError(PictureError::Problem::Unreadable, QStringLiteral("libheif can't be loaded: %1").arg(lib.failure));
    return lib;
}

[[noreturn]] void fail(const heif_error& e)
{
    const QString what = QString::fromUtf8(e.message ? e.message : "");
    switch (e.code) {
    case heif_error_Invalid_input:
        if (e.subcode == heif_suberror_End_of_data)
            throw PictureError::endsEarly();
        break;
    case heif_error_Unsupported_filetype:
    case heif_error_Unsupported_feature:
        throw PictureError(PictureError::Problem::Unreadable, what);
    case heif_error_Memory_allocation_error:
        throw std::bad_alloc();
    default:
        break;
    }
    throw PictureError::corrupt(QStringLiteral("its data is corrupt: %1").arg(what));
}

void check(const heif_error& e)
{
    if (e.code != heif_error_Ok)
        fail(e);
}

struct Context {
    std::unique_ptr<heif_context, decltype(&heif_context_free)> ctx{heif().heif_context_alloc(),
                                                                    heif().heif_context_free};
    std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> primary{
        nullptr, heif().heif_image_handle_release};

    // `data` must outlive the context: it is not copied.
    explicit Context(const QByteArray& data)
    {
        const QuietDecoding quiet;
        if (!ctx)
            throw std::bad_alloc();
        heif().heif_context_set_max_decoding_threads(ctx.get(), std::max(1, QThread::idealThreadCount()));
        check(heif().heif_context_read_from_memory_without_copy(ctx.get(), data.constData(),
                                                                std::size_t(data.size()), nullptr));
        heif_image_handle* h = nullptr;
        check(heif().heif_context_get_primary_image_handle(ctx.get(), &h));
        primary.reset(h);
    }
};

// ISO media boxes: size, type, payload. Answers the payloads of the boxes
// of `type` directly inside `data`, in order.
QList<QByteArray> boxes(const QByteArray& data, const char* type)
{
    QList<QByteArray> found;
    for (qsizetype at = 0; at + 8 <= data.size();) {
        quint64 size = qFromBigEndian<quint32>(data.constData() + at);
        qsizetype head = 8;
        if (size == 1 && at + 16 <= data.size()) {
            size = qFromBigEndian<quint64>(data.constData() + at + 8);
            head = 16;
        } else if (size == 0) {
            size = quint64(data.size() - at);
        }
        if (size < quint64(head) || size > quint64(data.size() - at))
            break;
        if (data.mid(at + 4, 4) == type)
            found << data.mid(at + head, qsizetype(size) - head);
        at += qsizetype(size);
    }
    return found;
}

QByteArray box(const QByteArray& data, const char* type)
{
    const QList<QByteArray> found = boxes(data, type);
    return found.isEmpty() ? QByteArray() : found.first();
}

// The property boxes of the primary item (type first, then payload).
QList<QByteArray> primaryProperties(const QByteArray& file)
{
    const QByteArray meta = box(file, "meta").mid(4); // a full box
    const QByteArray pitm = box(meta, "pitm"), iprp = box(meta, "iprp");
    const QByteArray ipco = box(iprp, "ipco"), ipma = box(iprp, "ipma");
    QList<QByteArray> out;
    if (pitm.size() < 6 || ipma.size() < 8)
        return out;
    const auto u16 = [](const QByteArray& b, qsizetype at) {
        return qFromBigEndian<quint16>(b.constData() + at);
    };
    const auto u32 = [](const QByteArray& b, qsizetype at) {
        return qFromBigEndian<quint32>(b.constData() + at);
    };
    const quint32 primary = pitm[0] == 0 ? u16(pitm, 4) : (pitm.size() >= 8 ? u32(pitm, 4) : 0);
    // Property boxes in order: associations count them from 1.
    QList<QByteArray> all;
    for (qsizetype at = 0; at + 8 <= ipco.size();) {
        const quint32 size = u32(ipco, at);
        if (size < 8 || size > quint32(ipco.size() - at))
            break;
        all << ipco.mid(at + 4, qsizetype(size) - 4);
        at += size;
    }
    const bool wideIds = ipma[0] != 0, wideIndexes = (ipma[3] & 1) != 0;
    const quint32 entries = u32(ipma, 4);
    qsizetype at = 8;
    for (quint32 e = 0; e < entries && at + (wideIds ? 5 : 3) <= ipma.size(); ++e) {
        const quint32 item = wideIds ? u32(ipma, at) : u16(ipma, at);
        at += wideIds ? 4 : 2;
        const int count = quint8(ipma[at++]);
        for (int i = 0; i < count && at + (wideIndexes ? 2 : 1) <= ipma.size(); ++i) {
            const int index = wideIndexes ? u16(ipma, at) & 0x7FFF : quint8(ipma[at]) & 0x7F;
            at += wideIndexes ? 2 : 1;
            if (item == primary && index >= 1 && index <= all.size())
                out << all[index - 1];
        }
    }
    return out;
}

// Whether the primary image turns a quarter (its 'irot' says 90 or 270
// degrees), so that as stored it is the other way round. (libheif of this
// generation tells no coded size that can be trusted.)
bool turnsAQuarter(const QByteArray& file)
{
    for (const QByteArray& p : primaryProperties(file)) {
        if (p.startsWith("irot") && p.size() >= 5)
            return (p[4] & 1) != 0;
    }
    return false;
}

QSize handleSize(const heif_image_handle* h)
{
    return QSize(heif().heif_image_handle_get_width(h), heif().heif_image_handle_get_height(h));
}

void checkSize(QSize size)
{
    checkPictureSize(size.width(), size.height());
}

std::unique_ptr<heif_decoding_options, decltype(&heif_decoding_options_free)> decodingOptions(bool upright)
{
    std::unique_ptr<heif_decoding_options, decltype(&heif_decoding_options_free)> options(
        heif().heif_decoding_options_alloc(), heif().heif_decoding_options_free);
    options->ignore_transformations = upright ? 0 : 1;
    options->convert_hdr_to_8bit = 1;
    return options;
}

// Decodes `h` into an image that keeps libheif's pixels without a copy.
QImage decode(const heif_image_handle* h, bool upright)
{
    checkSize(handleSize(h));
    const auto options = decodingOptions(upright);
    const bool alpha = heif().heif_image_handle_has_alpha_channel(h);
    heif_image* image = nullptr;
    check(heif().heif_decode_image(h, &image, heif_colorspace_RGB,
                                   alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                                   options.get()));
    int stride = 0;
    const uint8_t* pixels = heif().heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    const int w = heif().heif_image_get_primary_width(image),
              h2 = heif().heif_image_get_primary_height(image);
    if (!pixels || w < 1 || h2 < 1) {
        heif().heif_image_release(image);
        throw PictureError::corrupt(QStringLiteral("it holds no pixels"));
    }
    return QImage(
        pixels, w, h2, stride, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888,
        [](void* p) { heif().heif_image_release(static_cast<heif_image*>(p)); }, image);
}

} // namespace

HeifPictureInfo readHeifPictureInfo(const QByteArray& data)
{
    const Context c(data);
    HeifPictureInfo info;
    info.upright = handleSize(c.primary.get());
    info.stored = turnsAQuarter(data) ? info.upright.transposed() : info.upright;
    checkSize(info.stored);
    checkSize(info.upright);
    const heif_image_handle* h = c.primary.get();
    switch (heif().heif_image_handle_get_color_profile_type(h)) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC: {
        info.icc = QByteArray(qsizetype(heif().heif_image_handle_get_raw_color_profile_size(h)), '\0');
        if (heif().heif_image_handle_get_raw_color_profile(h, info.icc.data()).code == heif_error_Ok)
            info.colorSpace = colorSpaceOfIcc(info.icc);
        else
            info.icc.clear();
        break;
    }
    case heif_color_profile_type_nclx: {
        heif_color_profile_nclx* nclx = nullptr;
        if (heif().heif_image_handle_get_nclx_color_profile(h, &nclx).code == heif_error_Ok && nclx) {
            // Display P3 and BT.2020 with the sRGB curve; anything else
            // (HDR curves above all) shows as stored.
            const bool srgbCurve =
                nclx->transfer_characteristics == heif_transfer_characteristic_IEC_61966_2_1;
            if (srgbCurve && nclx->color_primaries == heif_color_primaries_SMPTE_EG_432_1)
                info.colorSpace = QColorSpace(QColorSpace::DisplayP3);
            heif().heif_nclx_color_profile_free(nclx);
        }
        break;
    }
    default:
        break;
    }
    if (info.icc.isEmpty() && info.colorSpace.isValid())
        info.icc = info.colorSpace.iccProfile();
    return info;
}

QImage decodeHeifPicture(const QByteArray& data, bool upright)
{
    const Context c(data);
    return decode(c.primary.get(), upright);
}

QImage decodeHeifReduced(const QByteArray& data, bool upright, QSize atLeast)
{
    const Context c(data);
    const heif_image_handle* h = c.primary.get();
    const QSize size = upright || !turnsAQuarter(data) ? handleSize(h) : handleSize(h).transposed();
    if (heif().heif_image_handle_has_alpha_channel(h) || blockFactorCovering(size, atLeast) < 2)
        return QImage();
    checkSize(size);
    // Planes: libheif takes a sixth longer to interleave them than to give
    // them apart, and blocks need no interleaved frame.
    heif_image* decoded = nullptr;
    check(heif().heif_decode_image(h, &decoded, heif_colorspace_RGB, heif_chroma_444,
                                   decodingOptions(upright).get()));
    const std::unique_ptr<heif_image, decltype(&heif_image_release)> image(decoded,
                                                                           heif().heif_image_release);
    RgbPlanes planes{
        QSize(heif().heif_image_get_primary_width(decoded), heif().heif_image_get_primary_height(decoded)),
        {},
        {}};
    if (planes.size.isEmpty())
        throw PictureError::corrupt(QStringLiteral("it holds no pixels"));
    const heif_channel channels[3] = {heif_channel_R, heif_channel_G, heif_channel_B};
    for (int k = 0; k < 3; ++k) {
        int stride = 0;
        planes.first[k] = heif().heif_image_get_plane_readonly(decoded, channels[k], &stride);
        planes.stride[k] = stride;
        // Deeper samples than asked for: the whole decode takes them.
        if (heif().heif_image_get_bits_per_pixel_range(decoded, channels[k]) != 8)
            return QImage();
        if (!planes.first[k] || stride < planes.size.width())
            throw PictureError::corrupt(QStringLiteral("it holds no pixels"));
    }
    return reducedByBlocks(planes, atLeast);
}

QImage decodeHeifThumbnail(const QByteArray& data, bool upright, QSize atLeast)
{
    const Context c(data);
    const int n = heif().heif_image_handle_get_number_of_thumbnails(c.primary.get());
    if (n <= 0)
        return QImage();
    std::vector<heif_item_id> ids(static_cast<std::size_t>(n));
    heif().heif_image_handle_get_list_of_thumbnail_IDs(c.primary.get(), ids.data(), n);
    for (heif_item_id id : ids) {
        heif_image_handle* t = nullptr;
        if (heif().heif_image_handle_get_thumbnail(c.primary.get(), id, &t).code != heif_error_Ok)
            continue;
        std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> thumb(
            t, heif().heif_image_handle_release);
        // Its own rotation may differ from the picture's: either way round.
        const QSize size = handleSize(t);
        const bool sameWay = (size.width() >= size.height()) == (atLeast.width() >= atLeast.height());
        const QSize need = sameWay ? atLeast : atLeast.transposed();
        if (size.width() >= need.width() && size.height() >= need.height())
            return decode(t, upright);
    }
    return QImage();
}

QByteArray heifExif(const QByteArray& data)
{
    const Context c(data);
    heif_item_id id = 0;
    if (heif().heif_image_handle_get_list_of_metadata_block_IDs(c.primary.get(), "Exif", &id, 1) != 1)
        return QByteArray();
    const std::size_t size = heif().heif_image_handle_get_metadata_size(c.primary.get(), id);
    // Four bytes tell where the TIFF header starts; a block past a JPEG
    // segment's size is no camera's.
    if (size < 12 || size > 65536)
        return QByteArray();
    QByteArray block(qsizetype(size), '\0');
    if (heif().heif_image_handle_get_metadata(c.primary.get(), id, block.data()).code != heif_error_Ok)
        return QByteArray();
    const quint32 skip = qFromBigEndian<quint32>(block.constData());
    return skip <= size - 8 - 4 ? block.mid(4 + skip) : QByteArray();
}
