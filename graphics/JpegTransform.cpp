#include "graphics/JpegTransform.h"

#include "core/Errors.h"
#include "graphics/JpegCodec.h"

#include <cstdint>
#include <cstring>

#include <turbojpeg.h>

namespace {

struct TjHandle {
    tjhandle h;
    explicit TjHandle(tjhandle handle) : h(handle) {}
    TjHandle(const TjHandle&) = delete;
    TjHandle& operator=(const TjHandle&) = delete;
    ~TjHandle()
    {
        if (h)
            tjDestroy(h);
    }
};

int transformOp(int orientation)
{
    switch (orientation) {
    case 2:
        return TJXOP_HFLIP;
    case 3:
        return TJXOP_ROT180;
    case 4:
        return TJXOP_VFLIP;
    case 5:
        return TJXOP_TRANSPOSE;
    case 6:
        return TJXOP_ROT90;
    case 7:
        return TJXOP_TRANSVERSE;
    case 8:
        return TJXOP_ROT270;
    default:
        return TJXOP_NONE;
    }
}

constexpr char ExifTag[] = "Exif\0";

int segmentLength(const QByteArray& jpeg, qsizetype at)
{
    return (std::uint8_t(jpeg[at + 2]) << 8) | std::uint8_t(jpeg[at + 3]);
}

} // namespace

QByteArray transformJpegLosslessly(const QByteArray& jpeg, int orientation)
{
    const auto* src = reinterpret_cast<const unsigned char*>(jpeg.constData());
    const auto srcSize = static_cast<unsigned long>(jpeg.size());
    TjHandle tj(tjInitTransform());
    if (!tj.h)
        return QByteArray();
    int width = 0, height = 0, subsamp = -1, colorspace = -1;
    if (tjDecompressHeader3(tj.h, src, srcSize, &width, &height, &subsamp, &colorspace) != 0 || subsamp < 0 ||
        subsamp >= TJ_NUMSAMP)
        return QByteArray();
    if (width % tjMCUWidth[subsamp] != 0 || height % tjMCUHeight[subsamp] != 0)
        return QByteArray();

    tjtransform xform;
    std::memset(&xform, 0, sizeof xform);
    xform.op = transformOp(orientation);
    xform.options = TJXOPT_PERFECT;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    // Hostile progressive files can ask for endless scans.
    const int rc = tjTransform(tj.h, src, srcSize, 1, &out, &outSize, &xform, TJFLAG_LIMITSCANS);
    QByteArray result;
    if (rc == 0 && out && outSize > 0)
        result = QByteArray(reinterpret_cast<const char*>(out), qsizetype(outSize));
    tjFree(out);
    // The transform writes standard Huffman tables; a source whose tables
    // were fitted to it would grow by a few percent, so fit them again.
    try {
        if (!result.isEmpty() && !usesStandardHuffmanTables(jpeg))
            return recodeJpegOptimized(result);
    } catch (const AppError&) {
    }
    return result;
}

QByteArray replaceExifSegment(const QByteArray& jpeg, const QByteArray& exif)
{
    if (jpeg.size() < 4 || std::uint8_t(jpeg[0]) != 0xFF || std::uint8_t(jpeg[1]) != 0xD8 ||
        exif.size() > 65533)
        return jpeg;
    QByteArray segment;
    if (!exif.isEmpty()) {
        const int n = int(exif.size()) + 2;
        segment = QByteArray("\xFF\xE1") + char(n >> 8) + char(n & 0xFF) + exif;
    }
    // Walk the segments before the first scan; each is FF, a marker byte and
    // a big-endian length that counts itself.
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && std::uint8_t(jpeg[at]) == 0xFF) {
        const std::uint8_t marker = std::uint8_t(jpeg[at + 1]);
        if (marker == 0xDA || marker == 0xD9)
            break;
        const int length = segmentLength(jpeg, at);
        if (length < 2 || at + 2 + length > jpeg.size())
            return jpeg;
        if (marker == 0xE1 && length - 2 >= int(sizeof ExifTag) &&
            std::memcmp(jpeg.constData() + at + 4, ExifTag, sizeof ExifTag) == 0)
            return jpeg.left(at) + segment + jpeg.mid(at + 2 + length);
        at += 2 + length;
    }
    return jpeg.left(2) + segment + jpeg.mid(2);
}
