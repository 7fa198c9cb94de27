// JPEG loader: header check, scaled and full decodes, thumbnails.
#include "fuzz/FuzzSupport.h"
#include "core/Errors.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    try {
        const Picture picture = Picture::readHere(bytes, PictureFormat::Jpeg);
        const long long pixels = static_cast<long long>(picture.width()) * picture.height();
        // A truncated file claiming a huge picture decodes, as grey, as slowly
        // as a real one would: correct, and no news to the fuzzer.
        if (pixels <= 16 * FuzzMaxDecodePixels)
            picture.thumbnail(QSize(40, 30), true);
        if (pixels <= FuzzMaxDecodePixels) {
            const Bitmap24 full = decodeJpeg(bytes);
            (void)full;
        }
    } catch (const AppError&) {
    }
    return 0;
}
