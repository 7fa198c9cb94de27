// Our lossless WebP decoder against libwebp's: any file libwebp decodes,
// ours must decode whole to the same pixels; any other ends in a false,
// never a crash. A band of it read through a picture likewise.
#include "fuzz/FuzzSupport.h"
#include "graphics/LosslessWebp.h"
#include "graphics/Picture.h"

#include <webp/decode.h>

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray file = fuzzBytes(data, size);
    const LosslessWebpDecoder ours(file);
    if (!ours.isValid() || static_cast<long long>(ours.size().width()) * ours.size().height() > FuzzMaxDecodePixels)
        return 0;
    const int width = ours.size().width();
    std::vector<std::uint32_t> pixels;
    const bool whole = ours.decodeRows([&](int, const std::uint32_t* row) {
        pixels.insert(pixels.end(), row, row + width);
        return true;
    });
    int w = 0, h = 0;
    if (std::uint8_t* bgra = WebPDecodeBGRA(data, size, &w, &h)) {
        // Blue, green, red, alpha bytes: the words ours gives, on this little-endian machine.
        if (!whole || pixels.size() != std::size_t(w) * std::size_t(h) ||
            std::memcmp(pixels.data(), bgra, pixels.size() * 4) != 0)
            std::abort();
        WebPFree(bgra);
    }
    const Picture picture = Picture::readHere(file, PictureFormat::WebP, ExifOrientation::Apply);
    QRect band(width / 3, ours.size().height() / 2, 40, 30);
    picture.decodedBand(&band, true, 1 + int(size % 3));
    return 0;
}
