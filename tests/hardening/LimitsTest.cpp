// The 1 GiB pixel limit: what is allowed loads, what is larger or lies about
// its size is refused before anything big is allocated.
#include "core/LittleEndian.h"
#include "core/AtomicFile.h"
#include "graphics/Bitmap24.h"
#include "graphics/BmpCodec.h"
#include "core/Errors.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <jerror.h>
#include <jpeglib.h>
#include <new>
#include <vector>

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
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

constexpr std::size_t OneMiB = 1 << 20;

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const AppError& e) {
        return e.text();
    }
    return QString();
}

// A bitmap header with a 40-byte info header and no palette.
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
    for (int width : {1, 3, 1000, 8192, 16383, 65535}) {
        const std::int64_t stride = Bitmap24::strideFor(width);
        const std::int64_t maxHeight = std::int64_t(Bitmap24::MaxBytes) / stride;
        EXPECT_TRUE(Bitmap24::sizeAllowed(width, maxHeight)) << width;
        EXPECT_FALSE(Bitmap24::sizeAllowed(width, maxHeight + 1)) << width;
    }
    EXPECT_FALSE(Bitmap24::sizeAllowed(0x7fffffff, 1));
    EXPECT_FALSE(Bitmap24::sizeAllowed(1, 0x7fffffff));
    EXPECT_FALSE(Bitmap24::sizeAllowed(-1, 10));
    EXPECT_FALSE(Bitmap24::sizeAllowed(65536, 65536));
    EXPECT_TRUE(Bitmap24::sizeAllowed(0, 0));
}

TEST(PixelLimit, OversizedBitmapIsRefusedWithoutAllocating)
{
    // 30000 x 30000 at 24 bits would need 2.5 GiB.
    QByteArray file = bmpHeader(30000, 30000, 24, 0) + QByteArray(64, '\x7f');
    g_largestNew = 0;
    EXPECT_EQ(errorOf([&] { decodeBmp(file); }), "Picture too large (30000 x 30000 pixels)");
    EXPECT_LT(g_largestNew.load(), OneMiB);

    // Top-down and OS/2 sizes take the same road.
    file = bmpHeader(40000, -40000, 8, 0, 2) + QByteArray(64, '\0');
    EXPECT_EQ(errorOf([&] { decodeBmp(file); }), "Picture too large (40000 x 40000 pixels)");
}

TEST(PixelLimit, AllowedSizeThatTheFileCannotFillIsRefusedBeforeAllocating)
{
    // 16000 x 16000 fits the limit, but 64 bytes cannot hold its pixels.
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        const QByteArray file = bmpHeader(16000, 16000, bits, 0, bits <= 8 ? 2 : 0) + QByteArray(64, '\0');
        g_largestNew = 0;
        EXPECT_EQ(errorOf([&] { decodeBmp(file); }), "Bitmap file is truncated") << bits;
        EXPECT_LT(g_largestNew.load(), OneMiB) << bits;
    }
}

TEST(PixelLimit, RunLengthBitmapOfAQuarterGibibyteDecodes)
{
    // 8192 x 10922 at 3 bytes a pixel is a quarter of the limit (the whole
    // gibibyte takes seconds just to clear). A few bytes of RLE8 paint the
    // bottom-left and top-right corners.
    const int width = 8192;
    const int height = int(Bitmap24::MaxBytes / 4 / Bitmap24::strideFor(width));
    ASSERT_EQ(height, 10922);
    QByteArray file = bmpHeader(width, height, 8, 1, 3);
    putLe32(file, 54 + 4, 0x00ff0000); // palette 1: red (stored blue, green, red)
    putLe32(file, 54 + 8, 0x0000ff00); // palette 2: green
    auto delta = [&](int right, int up) {
        const char d[4] = {0, 2, char(right), char(up)};
        file += QByteArray(d, 4);
    };
    file += QByteArray("\x02\x01", 2); // two red pixels at the bottom left
    for (int y = 0; y < height - 1;) { // climb to the top row
        const int up = std::min(255, height - 1 - y);
        delta(0, up);
        y += up;
    }
    for (int x = 2; x < width - 2;) { // then right to its last two pixels
        const int right = std::min(255, width - 2 - x);
        delta(right, 0);
        x += right;
    }
    file += QByteArray("\x02\x02\x00\x01", 4); // two green pixels, end of bitmap
    putLe32(file, 2, quint32(file.size()));

    g_largestNew = 0;
    const Bitmap24 b = decodeBmp(file);
    ASSERT_EQ(b.width(), width);
    ASSERT_EQ(b.height(), height);
    EXPECT_GE(g_largestNew.load(), std::size_t(Bitmap24::MaxBytes) / 4 - 16 * 1024);
    const std::uint8_t* bottom = b.scanLine(height - 1);
    EXPECT_EQ(bottom[2], 0xff); // red
    EXPECT_EQ(bottom[3 + 2], 0xff);
    EXPECT_EQ(bottom[6 + 2], 0x00);
    const std::uint8_t* top = b.scanLine(0);
    EXPECT_EQ(top[3 * (width - 1) + 1], 0xff); // green
    EXPECT_EQ(top[3 * (width - 2) + 1], 0xff);
    EXPECT_EQ(top[3 * (width - 3) + 1], 0x00);
}

// A real progressive JPEG of 16 x 16 grey pixels, without chroma subsampling.
QByteArray progressiveJpeg()
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = 16;
    c.image_height = 16;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    // 4:4:4: every component keeps all its coefficients, 6 bytes a pixel.
    c.comp_info[0].h_samp_factor = 1;
    c.comp_info[0].v_samp_factor = 1;
    jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(16 * 3, 128);
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

QByteArray jpegClaiming(int width, int height, bool progressive)
{
    Bitmap24 small(16, 16);
    small.fill(10, 120, 200);
    QByteArray jpeg = progressive ? progressiveJpeg() : encodeJpeg(small);
    // Rewrite the frame header: SOF0 (or SOF2) holds height, then width.
    for (int i = 2; i + 8 < jpeg.size(); ++i) {
        if (quint8(jpeg[i]) == 0xff && quint8(jpeg[i + 1]) == (progressive ? 0xc2 : 0xc0)) {
            qToBigEndian(quint16(height), jpeg.data() + i + 5);
            qToBigEndian(quint16(width), jpeg.data() + i + 7);
            return jpeg;
        }
    }
    ADD_FAILURE() << "no frame header";
    return jpeg;
}

TEST(PixelLimit, JpegClaimingTooManyPixelsIsRefusedFromItsHeader)
{
    const QByteArray jpeg = jpegClaiming(65000, 65000, false);
    g_largestNew = 0;
    EXPECT_EQ(errorOf([&] { readJpegHeader(jpeg); }), "Picture too large (65000 x 65000 pixels)");
    EXPECT_EQ(errorOf([&] { Picture::fromJpegData(jpeg); }), "Picture too large (65000 x 65000 pixels)");
    // Even an eighth-size decode would have to hold the whole progressive
    // picture, so it is refused as well.
    EXPECT_EQ(errorOf([&] { decodeJpeg(jpeg, 8); }), "Picture too large (65000 x 65000 pixels)");
    EXPECT_LT(g_largestNew.load(), OneMiB);
}

TEST(PixelLimit, ProgressiveJpegCannotMakeTheDecoderHoldGigabytes)
{
    // 18000 x 18000 is within the pixel limit, but its progressive 4:4:4
    // coefficients would take 1.9 GB more: libjpeg's working memory is
    // capped, so this stops with a JPEG error instead.
    const QByteArray jpeg = jpegClaiming(18000, 18000, true);
    ASSERT_NO_THROW(readJpegHeader(jpeg));
    g_largestNew = 0;
    EXPECT_EQ(errorOf([&] { decodeJpeg(jpeg, 8); }), msg::jpegError(JERR_NO_BACKING_STORE));
    EXPECT_LT(g_largestNew.load(), std::size_t(Bitmap24::MaxBytes / 32) + OneMiB);
}

TEST(PixelLimit, FilesBeyondTwoGibibytesAreNotRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("huge.bmp");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(qint64(3) << 30)); // sparse: no disk is used
    f.close();
    g_largestNew = 0;
    const QString error = errorOf([&] { Picture::loadFromFile(path); });
    EXPECT_TRUE(error.startsWith(QString("Cannot open file \"%1\". ").arg(path))) << error.toStdString();
    EXPECT_LT(g_largestNew.load(), OneMiB);
}

} // namespace
