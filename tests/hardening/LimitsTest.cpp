// The 1 GiB pixel limit: what is allowed loads, what is larger or lies about
// its size is refused before anything big is allocated.
#include "core/LittleEndian.h"
#include "graphics/BmpCodec.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"
#include "tests/support/ErrorText.h"
#include "tests/support/Printers.h"

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <jerror.h>
#include <turbojpeg.h>
#include <new>

// The largest single allocation made through operator new since the last
// reset: pixel buffers are std::vectors, so this sees them.
static std::atomic<std::size_t> g_largestNew{0};

void* operator new(std::size_t size)
{
    std::size_t seen = g_largestNew.load(std::memory_order_relaxed);
    while (size > seen && !g_largestNew.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
    }
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr std::size_t OneMiB = 1 << 20;

// The error `f` raises, with the largest allocation it made in `largest`.
QString errorOf(const std::function<void()>& f, std::size_t* largest = nullptr)
{
    g_largestNew = 0;
    const QString text = errorText(f);
    if (largest)
        *largest = g_largestNew.load();
    return text;
}

// A bitmap header with a 40-byte info header.
QByteArray bmpHeader(qint32 width, qint32 height, int bits, quint32 compression, int paletteEntries = 0)
{
    QByteArray h(14 + 40 + 4 * paletteEntries, '\0');
    h[0] = 'B';
    h[1] = 'M';
    putLe32(h, 10, quint32(h.size()));
    putLe32(h, 14, 40);
    putLe32(h, 18, quint32(width));
    putLe32(h, 22, quint32(height));
    putLe16(h, 26, 1);
    putLe16(h, 28, quint16(bits));
    putLe32(h, 30, compression);
    putLe32(h, 46, quint32(paletteEntries));
    return h;
}

TEST(PixelLimit, SizeRuleAllowsExactlyOneGibibyteOfRows)
{
    for (int width : {1, 3, 16383, 65535}) {
        const std::int64_t maxHeight = std::int64_t(Bitmap24::MaxBytes) / Bitmap24::strideFor(width);
        EXPECT_TRUE(Bitmap24::sizeAllowed(width, maxHeight) && !Bitmap24::sizeAllowed(width, maxHeight + 1)) << width;
    }
    EXPECT_FALSE(Bitmap24::sizeAllowed(0x7fffffff, 1) || Bitmap24::sizeAllowed(-1, 10));
}

TEST(PixelLimit, OversizedOrUnfillableBitmapIsRefusedWithoutAllocating)
{
    std::size_t largest = 0;
    // 30000 x 30000 at 24 bits would need 2.5 GiB; top-down sizes too.
    EXPECT_EQ(errorOf([] { decodeBmp(bmpHeader(30000, 30000, 24, 0) + QByteArray(64, '\x7f')); }, &largest),
              "Picture too large (30000 x 30000 pixels)");
    EXPECT_LT(largest, OneMiB);
    // 16000 x 16000 fits the limit, but 64 bytes cannot hold its pixels.
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        const QByteArray file = bmpHeader(16000, 16000, bits, 0, bits <= 8 ? 2 : 0) + QByteArray(64, '\0');
        EXPECT_EQ(errorOf([&] { decodeBmp(file); }, &largest), "Bitmap file is truncated") << bits;
        EXPECT_LT(largest, OneMiB) << bits;
    }
}

// A 16 x 16 grey 4:4:4 JPEG, progressive when asked, whose frame header then
// claims width x height.
QByteArray jpegClaiming(int width, int height, bool progressive)
{
    std::vector<unsigned char> grey(16 * 16 * 3, 128);
    tjhandle h = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    // Progressive, every component keeps all its coefficients: 6 bytes a pixel.
    EXPECT_EQ(tjCompress2(h, grey.data(), 16, 0, 16, TJPF_RGB, &out, &size, TJSAMP_444, 90,
                          progressive ? TJFLAG_PROGRESSIVE : 0), 0);
    QByteArray jpeg(reinterpret_cast<const char*>(out), qsizetype(size));
    tjFree(out);
    tjDestroy(h);
    const qsizetype sof = jpeg.indexOf(progressive ? "\xff\xc2" : "\xff\xc0");
    EXPECT_GT(sof, 0);
    qToBigEndian(quint16(height), jpeg.data() + sof + 5);
    qToBigEndian(quint16(width), jpeg.data() + sof + 7);
    return jpeg;
}

TEST(PixelLimit, JpegClaimingTooManyPixelsIsRefusedBeforeTheDecoderHoldsGigabytes)
{
    const QByteArray huge = jpegClaiming(65000, 65000, false);
    const QString tooLarge = "Picture too large (65000 x 65000 pixels)";
    std::size_t largest = 0;
    EXPECT_EQ(errorOf([&] { Picture::fromJpegData(huge); }), tooLarge);
    // Even an eighth-size decode would hold the whole picture's coefficients.
    EXPECT_EQ(errorOf([&] { decodeJpeg(huge, 8); }, &largest), tooLarge);
    EXPECT_LT(largest, OneMiB);
    // 18000 x 18000 is within the pixel limit, but its progressive 4:4:4
    // coefficients would take 1.9 GB more: libjpeg's working memory is
    // capped, so this stops with a JPEG error instead.
    const QByteArray progressive = jpegClaiming(18000, 18000, true);
    ASSERT_NO_THROW(readJpegHeader(progressive));
    EXPECT_EQ(errorOf([&] { decodeJpeg(progressive, 8); }, &largest), msg::jpegError(JERR_NO_BACKING_STORE));
    EXPECT_LT(largest, std::size_t(Bitmap24::MaxBytes / 32) + OneMiB);
}

TEST(PixelLimit, FilesBeyondTwoGibibytesAreNotRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("huge.bmp");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(qint64(3) << 30)); // sparse: no disk is used
    f.close();
    std::size_t largest = 0;
    EXPECT_TRUE(errorOf([&] { Picture::loadFromFile(path); }, &largest).startsWith(QString("Cannot open file \"%1\". ").arg(path)));
    EXPECT_LT(largest, OneMiB);
}

} // namespace
