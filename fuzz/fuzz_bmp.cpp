// Windows bitmap reader: any bytes either decode or throw AppError.
#include "fuzz/FuzzSupport.h"
#include "graphics/BmpCodec.h"
#include "core/Errors.h"
#include "graphics/Picture.h"

#include <QtEndian>
#include <cstdlib>

namespace {
// What the header claims, read the way the decoder reads it. Allowed sizes
// past a few megapixels decode through the same code as small ones, only
// slower: zero-filling up to a gigabyte per input would starve the fuzzer.
bool hugeButAllowed(const QByteArray& bytes)
{
    if (bytes.size() < 26)
        return false;
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    const bool core = qFromLittleEndian<quint32>(p + 14) == 12;
    const qint64 w = core ? qFromLittleEndian<quint16>(p + 18) : qFromLittleEndian<qint32>(p + 18);
    qint64 h = core ? qFromLittleEndian<quint16>(p + 20) : qFromLittleEndian<qint32>(p + 22);
    h = h < 0 ? -h : h;
    return Bitmap24::sizeAllowed(w, h) && w * h > FuzzMaxDecodePixels;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (hugeButAllowed(fuzzBytes(data, size)))
        return 0;
    try {
        BmpExtras extras;
        const Bitmap24 bitmap = decodeBmp(fuzzBytes(data, size), nullptr, &extras);
        if (bitmap.isEmpty() ||
            static_cast<long long>(bitmap.width()) * bitmap.height() > FuzzMaxDecodePixels)
            return 0;
        // What we read we must be able to write back and read again unchanged,
        // its alpha channel and resolution too.
        BmpExtras again;
        if (!(decodeBmp(encodeBmp(bitmap, extras), nullptr, &again) == bitmap) || again.alpha != extras.alpha ||
            again.xPixelsPerMetre != extras.xPixelsPerMetre || again.yPixelsPerMetre != extras.yPixelsPerMetre)
            std::abort();
        Picture::fromBitmap(bitmap).thumbnail(QSize(40, 30), true);
    } catch (const AppError&) {
    }
    return 0;
}
