// Hostile files that ask for memory or time without bound: each is refused
// from what its header says, before any library allocates for it, and in
// words; data after a picture's last row is never read.
#include "graphics/BmpCodec.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"
#include "graphics/PngChunks.h"
#include "graphics/TiffStructure.h"
#include "tests/support/ErrorText.h"
#include "tests/support/FileBytes.h"
#include "tests/support/KindPictures.h"
#include "tests/support/Printers.h"
#include "tests/support/TestPictures.h"
#include "tests/graphics/MadeFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <atomic>
#include <dlfcn.h>
#include <functional>
#include <gtest/gtest.h>
#include <zlib.h>

// How many bytes zlib has inflated for libpng (and anyone else) since the
// last reset: a decoder that reads past a picture's last row inflates what
// follows.
static std::atomic<std::uint64_t> g_inflated{0};
extern "C" int inflate(z_streamp stream, int flush)
{
    using Inflate = int (*)(z_streamp, int);
    static const auto real = reinterpret_cast<Inflate>(dlsym(RTLD_NEXT, "inflate"));
    const uInt room = stream->avail_out;
    const int result = real(stream, flush);
    g_inflated += room - stream->avail_out;
    return result;
}

// The largest single request to malloc, calloc or realloc since the last
// reset: libpng's, libjpeg's, libtiff's and Qt's buffers all come this way.
// (AddressSanitizer keeps the allocator to itself.)
#if defined(__SANITIZE_ADDRESS__)
#define PV_COUNTS_ALLOCATIONS 0
#else
#define PV_COUNTS_ALLOCATIONS 1
static std::atomic<std::size_t> g_largest{0};
static void note(std::size_t size)
{
    std::size_t seen = g_largest.load(std::memory_order_relaxed);
    while (size > seen && !g_largest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
    }
}
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void* malloc(std::size_t size)
{
    note(size);
    return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t count, std::size_t size)
{
    note(count * size);
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* p, std::size_t size)
{
    note(size);
    return __libc_realloc(p, size);
}
#endif

namespace {

constexpr std::size_t OneMiB = 1 << 20;

// A bitmap header with a 40-byte info header and an all-black palette.
QByteArray bmpOf(qint32 width, qint32 height, int bits, quint32 compression, int paletteEntries = 0)
{
    return bmpHeader(width, height, quint16(bits), compression, quint32(paletteEntries), 4 * paletteEntries) +
           QByteArray(4 * paletteEntries, '\0');
}

// 18000 x 19800 in run-length rows of 255 pixels: 2.85 MB that claim a gigabyte.
QByteArray rleGiant()
{
    QByteArray row;
    for (int left = 18000; left > 0; left -= 255)
        row.append(char(std::min(left, 255))).append('\1');
    row.append('\0').append('\0');
    return bmpOf(18000, 19800, 8, 1, 2) + row.repeated(200) + QByteArray("\0\1", 2);
}

const Bitmap24 kGrey = testpics::brighter(Bitmap24(16, 16), 128);

// A 16 x 16 grey 4:4:4 JPEG, progressive when asked, whose frame header then
// claims width x height.
QByteArray jpegClaiming(int width, int height, bool progressive)
{
    QByteArray jpeg = tjJpeg(kGrey, TJSAMP_444, 90, progressive ? TJFLAG_PROGRESSIVE : 0);
    const qsizetype sof = jpeg.indexOf(progressive ? "\xff\xc2" : "\xff\xc0");
    qToBigEndian(quint16(height), jpeg.data() + sof + 5);
    qToBigEndian(quint16(width), jpeg.data() + sof + 7);
    return jpeg;
}

// A progressive JPEG whose last scan comes 3000 times: each a pass over
// every coefficient.
QByteArray jpegOfManyScans(int flags)
{
    const QByteArray jpeg = tjJpeg(kGrey, TJSAMP_444, 90, flags);
    const qsizetype last = jpeg.lastIndexOf("\xff\xda"), end = jpeg.lastIndexOf("\xff\xd9");
    return jpeg.left(end) + jpeg.mid(last, end - last).repeated(3000) + jpeg.mid(end);
}

// A PNG whose text chunk says it holds 2 GB, in 44 bytes.
QByteArray pngClaimingText()
{
    const QByteArray png = kinds::encoded(QImage(16, 16, QImage::Format_RGB32), "png");
    QByteArray out = png.left(8 + 25);
    out += QByteArray("\x7f\xff\xff\xff", 4) + "tEXt" + "abc";
    return out;
}

// A 4 x 4 PNG whose compressed data goes on after its rows with 32 MB of
// zeros (a few kilobytes of a file).
QByteArray pngWithSurplus()
{
    QByteArray data;
    for (int y = 0; y < 4; ++y)
        data += QByteArray(1, '\0') + QByteArray(12, char(40 * y));
    data += QByteArray(32 << 20, '\0');
    uLongf size = compressBound(uLong(data.size()));
    QByteArray packed(qsizetype(size), '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(data.constData()),
              uLong(data.size()), 9);
    packed.truncate(qsizetype(size));
    QList<PngChunk> chunks = pngChunks(kinds::encoded(QImage(4, 4, QImage::Format_RGB888), "png"));
    for (PngChunk& c : chunks) {
        if (c.type == "IDAT")
            c.data = packed;
    }
    return pngFile(chunks);
}

QByteArray pngClaiming(quint32 width, quint32 height)
{
    QList<PngChunk> chunks = pngChunks(kinds::encoded(QImage(1, 1, QImage::Format_RGB32), "png"));
    qToBigEndian(width, chunks[0].data.data());
    qToBigEndian(height, chunks[0].data.data() + 4);
    return pngFile(chunks);
}

QByteArray tiffClaiming(quint32 width, quint32 height)
{
    QByteArray tiff = kinds::tiff(kinds::quadrants(4, 4), 1, false);
    const TiffStructure t(tiff);
    for (const auto& e : t.entries(TiffStructure::Directory::First)) {
        if (e.tag == tifftag::ImageWidth || e.tag == tifftag::ImageLength) {
            t.put16(tiff, e.at + 2, 4); // a LONG, to hold the claim
            t.put32(tiff, e.at + 8, e.tag == tifftag::ImageWidth ? width : height);
        }
    }
    return tiff;
}

QByteArray gifClaiming(quint16 width, quint16 height)
{
    QByteArray gif = fileBytes(QStringLiteral(PV_SOURCE_DIR "/tests/graphics/samples/frames.gif"));
    qToLittleEndian(width, gif.data() + 6);
    qToLittleEndian(height, gif.data() + 8);
    const qsizetype image = gif.indexOf('\x2c', 13);
    qToLittleEndian(width, gif.data() + image + 5);
    qToLittleEndian(height, gif.data() + image + 7);
    return gif;
}

struct Hostile {
    const char* name;
    std::function<QByteArray()> make;
    PictureFormat format;
    const char* message; // empty: it decodes, whole; %1 x %2: the size claimed (a square if one)
    int width = 0, height = 0;
    std::size_t mostAllocated = OneMiB;
    std::uint64_t mostInflated = std::uint64_t(1) << 40;
};

class HostileFile : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileFile, IsRefusedInWordsBeforeAnythingLargeIsAllocated)
{
    const Hostile& h = GetParam();
    const QByteArray bytes = h.make();
    PictureDamage damage = PictureDamage::Corrupt;
#if PV_COUNTS_ALLOCATIONS
    g_largest = 0;
#endif
    g_inflated = 0;
    const QString text = errorText([&] {
        const Picture p = Picture::fromData(bytes, h.format);
        p.toImage();
        damage = p.damage();
    });
#if PV_COUNTS_ALLOCATIONS
    EXPECT_LT(g_largest.load(), h.mostAllocated);
#endif
    EXPECT_LT(g_inflated.load(), h.mostInflated);
    QString message = QString::fromUtf8(h.message);
    if (h.width)
        message = message.arg(h.width).arg(h.height ? h.height : h.width);
    EXPECT_EQ(text, message);
    if (text.isEmpty()) {
        EXPECT_EQ(damage, PictureDamage::None);
    }
}

// clang-format off
const char* const TooLarge = "The picture is too large (%1 × %2 pixels; the limit is 268 megapixels)";
using F = PictureFormat;
INSTANTIATE_TEST_SUITE_P(Files, HostileFile, ::testing::Values(
    Hostile{"PngTextChunkOfTwoGigabytes", pngClaimingText, F::Png, "The picture is damaged (its data ends early)"},
    Hostile{"PngDataAfterTheLastRow", pngWithSurplus, F::Png, "", 0, 0, OneMiB, OneMiB},
    Hostile{"PngOf70000Squared", [] { return pngClaiming(70000, 70000); }, F::Png, TooLarge, 70000},
    Hostile{"BmpRunLengthOf18000x19800", rleGiant, F::Bitmap, TooLarge, 18000, 19800},
    Hostile{"Bmp30000Squared", [] { return bmpOf(30000, 30000, 24, 0) + QByteArray(64, '\x7f'); }, F::Bitmap, TooLarge, 30000},
    Hostile{"Bmp16000SquaredIn64Bytes", [] { return bmpOf(16000, 16000, 24, 0) + QByteArray(64, '\0'); }, F::Bitmap, "The picture is damaged (its data ends early)"},
    Hostile{"JpegOf65000Squared", [] { return jpegClaiming(65000, 65000, false); }, F::Jpeg, TooLarge, 65000},
    // Within the pixel limit, but its progressive 4:4:4 coefficients would
    // take 1.5 GB more: libjpeg's working memory is capped.
    Hostile{"JpegProgressive16000Squared", [] { return jpegClaiming(16000, 16000, true); }, F::Jpeg,
            "The picture is too large (its coefficients need more than the memory one picture may take; JPEG error #49)", 0, 0, std::size_t(1) << 30},
    Hostile{"JpegOf3000Scans", [] { return jpegOfManyScans(TJFLAG_PROGRESSIVE); }, F::Jpeg, "The picture uses a layout Pictavo can't read (more than 1000 scans)"},
    // Not counted: libjpeg stops at the second scan of a sequential file.
    Hostile{"SequentialJpegOf3000Scans", [] { return jpegOfManyScans(0); }, F::Jpeg, "The picture is damaged (its data is corrupt; JPEG error #35)"},
    Hostile{"TiffOf70000Squared", [] { return tiffClaiming(70000, 70000); }, F::Tiff, TooLarge, 70000},
    Hostile{"GifOf65535Squared", [] { return gifClaiming(65535, 65535); }, F::Gif, TooLarge, 65535}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(PixelLimit, FilesBeyondTwoGibibytesAreNotRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("huge.bmp");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("BM") == 2 && f.resize(qint64(3) << 30)); // sparse: no disk is used
    f.close();
#if PV_COUNTS_ALLOCATIONS
    g_largest = 0;
#endif
    EXPECT_TRUE(errorText([&] { Picture::loadFromFile(path); }).startsWith(QString("Cannot open file \"%1\". ").arg(path)));
#if PV_COUNTS_ALLOCATIONS
    EXPECT_LT(g_largest.load(), OneMiB);
#endif
}

} // namespace
