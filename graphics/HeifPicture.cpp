#include "graphics/HeifPicture.h"

#include "core/Errors.h"
#include "graphics/Bitmap24.h"
#include "graphics/DisplayColors.h"

#include <QThread>

#include <libheif/heif.h>

#include <memory>
#include <vector>

namespace {

[[noreturn]] void fail(const heif_error& e)
{
    throw AppError(msg::pictureNotValid(QString::fromUtf8(e.message ? e.message : "")));
}

void check(const heif_error& e)
{
    if (e.code != heif_error_Ok)
        fail(e);
}

struct Context {
    std::unique_ptr<heif_context, decltype(&heif_context_free)> ctx{heif_context_alloc(), &heif_context_free};
    std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> primary{nullptr,
                                                                                      &heif_image_handle_release};

    // `data` must outlive the context: it is not copied.
    explicit Context(const QByteArray& data)
    {
        if (!ctx)
            throw AppError(msg::pictureNotValid(QStringLiteral("Out of memory")));
        heif_context_set_max_decoding_threads(ctx.get(), std::max(1, QThread::idealThreadCount()));
        check(heif_context_read_from_memory_without_copy(ctx.get(), data.constData(), std::size_t(data.size()),
                                                         nullptr));
        heif_image_handle* h = nullptr;
        check(heif_context_get_primary_image_handle(ctx.get(), &h));
        primary.reset(h);
    }
};

QSize handleSize(const heif_image_handle* h, bool upright)
{
    return upright ? QSize(heif_image_handle_get_width(h), heif_image_handle_get_height(h))
                   : QSize(heif_image_handle_get_ispe_width(h), heif_image_handle_get_ispe_height(h));
}

void checkSize(QSize size)
{
    if (size.width() < 1 || size.height() < 1)
        throw AppError(msg::pictureNotValid(QStringLiteral("The picture has no size.")));
    // Decoded as four bytes a pixel.
    if (!Bitmap24::sizeAllowed(qint64(size.width()) * 4 / 3 + 1, size.height()))
        throw AppError(msg::pictureTooLarge(size.width(), size.height()));
}

// Decodes `h` into an image that keeps libheif's pixels without a copy.
QImage decode(const heif_image_handle* h, bool upright)
{
    checkSize(handleSize(h, upright));
    std::unique_ptr<heif_decoding_options, decltype(&heif_decoding_options_free)> options(
        heif_decoding_options_alloc(), &heif_decoding_options_free);
    options->ignore_transformations = upright ? 0 : 1;
    options->convert_hdr_to_8bit = 1;
    const bool alpha = heif_image_handle_has_alpha_channel(h);
    heif_image* image = nullptr;
    check(heif_decode_image(h, &image, heif_colorspace_RGB,
                            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get()));
    int stride = 0;
    const uint8_t* pixels = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    const int w = heif_image_get_primary_width(image), h2 = heif_image_get_primary_height(image);
    if (!pixels || w < 1 || h2 < 1) {
        heif_image_release(image);
        throw AppError(msg::pictureNotValid(QStringLiteral("The picture holds no pixels.")));
    }
    return QImage(
        pixels, w, h2, stride, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888,
        [](void* p) { heif_image_release(static_cast<heif_image*>(p)); }, image);
}

} // namespace

HeifPictureInfo readHeifPictureInfo(const QByteArray& data)
{
    const Context c(data);
    HeifPictureInfo info;
    info.stored = handleSize(c.primary.get(), false);
    info.upright = handleSize(c.primary.get(), true);
    checkSize(info.stored);
    checkSize(info.upright);
    const heif_image_handle* h = c.primary.get();
    switch (heif_image_handle_get_color_profile_type(h)) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC: {
        info.icc = QByteArray(qsizetype(heif_image_handle_get_raw_color_profile_size(h)), '\0');
        if (heif_image_handle_get_raw_color_profile(h, info.icc.data()).code == heif_error_Ok)
            info.colorSpace = colorSpaceOfIcc(info.icc);
        else
            info.icc.clear();
        break;
    }
    case heif_color_profile_type_nclx: {
        heif_color_profile_nclx* nclx = nullptr;
        if (heif_image_handle_get_nclx_color_profile(h, &nclx).code == heif_error_Ok && nclx) {
            // Display P3 and BT.2020 with the sRGB curve; anything else
            // (HDR curves above all) shows as stored.
            const bool srgbCurve = nclx->transfer_characteristics == heif_transfer_characteristic_IEC_61966_2_1;
            if (srgbCurve && nclx->color_primaries == heif_color_primaries_SMPTE_EG_432_1)
                info.colorSpace = QColorSpace(QColorSpace::DisplayP3);
            heif_nclx_color_profile_free(nclx);
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

QImage decodeHeifThumbnail(const QByteArray& data, bool upright, QSize atLeast)
{
    const Context c(data);
    const int n = heif_image_handle_get_number_of_thumbnails(c.primary.get());
    if (n <= 0)
        return QImage();
    std::vector<heif_item_id> ids(static_cast<std::size_t>(n));
    heif_image_handle_get_list_of_thumbnail_IDs(c.primary.get(), ids.data(), n);
    for (heif_item_id id : ids) {
        heif_image_handle* t = nullptr;
        if (heif_image_handle_get_thumbnail(c.primary.get(), id, &t).code != heif_error_Ok)
            continue;
        std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> thumb(t,
                                                                                      &heif_image_handle_release);
        const QSize size = handleSize(t, upright);
        if (size.width() >= atLeast.width() && size.height() >= atLeast.height())
            return decode(t, upright);
    }
    return QImage();
}
