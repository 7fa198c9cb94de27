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

} // namespace

QByteArray transformJpegLosslessly(const QByteArray& jpeg, int orientation, bool* warned)
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

    tjtransform xform;
    std::memset(&xform, 0, sizeof xform);
    xform.op = transformOp(orientation);
    xform.options = TJXOPT_PERFECT;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    // Hostile progressive files can ask for endless scans.
    const int rc = tjTransform(tj.h, src, srcSize, 1, &out, &outSize, &xform, TJFLAG_LIMITSCANS);
    // A warning still leaves the whole output made.
    const bool warning = rc != 0 && tjGetErrorCode(tj.h) == TJERR_WARNING;
    if (warned)
        *warned = warning;
    QByteArray result;
    if ((rc == 0 || warning) && out && outSize > 0)
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
