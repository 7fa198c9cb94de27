// Animations frame by frame, as the loader plays them: the first byte picks
// the kind (0 GIF, 1 WebP, 2 PNG, 3 JPEG XL, 4 AVIF), the rest is the file. Every
// frame is the whole canvas; the frames end, by their end or by damage.
#include "core/Errors.h"
#include "fuzz/FuzzSupport.h"
#include "graphics/AnimatedPicture.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    static const PictureFormat formats[] = {PictureFormat::Gif, PictureFormat::WebP, PictureFormat::Png,
                                            PictureFormat::JpegXl, PictureFormat::Avif};
    try {
        const std::unique_ptr<AnimatedPicture> a =
            AnimatedPicture::open(fuzzBytes(data + 1, size - 1), formats[data[0] % 5]);
        if (!a)
            return 0;
        const long long pixels = static_cast<long long>(a->canvas().width()) * a->canvas().height();
        if (pixels > FuzzMaxDecodePixels)
            return 0;
        // Frames past this many pixels in all are the decoder's, not ours, to time.
        for (long long drawn = 0; drawn < 8 * FuzzMaxDecodePixels; drawn += pixels) {
            const std::optional<AnimationFrame> frame = a->next();
            if (!frame)
                break;
            if (frame->image.size() != a->canvas() || frame->delayMs < 0)
                std::abort();
        }
    } catch (const AppError&) {
    }
    return 0;
}
