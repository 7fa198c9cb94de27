#include "graphics/BmpCodec.h"
#include "core/LittleEndian.h"
#include "core/Errors.h"

#include "TestFiles.h"

#include <QDir>
#include <QImage>
#include <QtEndian>
#include <gtest/gtest.h>
#include <random>

namespace {

QString decodeError(const QByteArray& data)
{
    try {
        decodeBmp(data);
    } catch (const AppError& e) {
        return e.text();
    }
    return QString();
}

Bitmap24 decodeCorpus(const QString& relative)
{
    return decodeBmp(corpusBytes(relative));
}

QStringList corpusFiles(const QString& folder)
{
    return QDir(corpusPath(folder)).entryList({QStringLiteral("*.bmp")}, QDir::Files, QDir::Name);
}

std::array<std::uint8_t, 3> pixel(const Bitmap24& b, int x, int y)
{
    const std::uint8_t* p = b.scanLine(y) + 3 * x;
    return {p[0], p[1], p[2]};
}

// A bitmap file with a 40-byte header, assembled field by field.
struct BmpBuilder {
    qint32 width = 4;
    qint32 height = 2;
    quint16 bitCount = 8;
    quint32 compression = 0;
    quint32 colorsUsed = 0;
    QByteArray palette; // four bytes per entry
    QByteArray extra;   // between header and palette (bit-field masks)
    QByteArray pixels;

    QByteArray build() const
    {
        QByteArray out(54, '\0');
        out[0] = 'B';
        out[1] = 'M';
        const quint32 offset = 54 + extra.size() + palette.size();
        putLe32(out, 2, offset + pixels.size());
        putLe32(out, 10, offset);
        putLe32(out, 14, 40);
        putLe32(out, 18, quint32(width));
        putLe32(out, 22, quint32(height));
        putLe16(out, 26, 1);
        putLe16(out, 28, bitCount);
        putLe32(out, 30, compression);
        putLe32(out, 34, pixels.size());
        putLe32(out, 46, colorsUsed);
        return out + extra + palette + pixels;
    }
};

QByteArray bgr0(std::initializer_list<std::array<std::uint8_t, 3>> colours)
{
    QByteArray out;
    for (const auto& c : colours)
        out += QByteArray::fromRawData(reinterpret_cast<const char*>(c.data()), 3) + '\0';
    return out;
}

const std::array<std::uint8_t, 3> Blue{255, 0, 0}, Green{0, 255, 0}, Red{0, 0, 255}, Grey{9, 9, 9},
    Black{0, 0, 0};

} // namespace

// The reference pictures of the 8-bit files were made with one green level
// of 42 where the bitmaps' palettes hold 43 (255 / 6 rounded the other
// way); Qt's own reader agrees with the bitmaps. Those files must match
// exactly except for that one level.
bool onlyKnownPaletteDifference(const QString& name, const Bitmap24& decoded, const Bitmap24& reference)
{
    if (!name.startsWith("pal8") || decoded.width() != reference.width() ||
        decoded.height() != reference.height())
        return false;
    for (int y = 0; y < decoded.height(); ++y)
        for (int i = 0; i < decoded.width() * 3; ++i) {
            const int ours = decoded.scanLine(y)[i], theirs = reference.scanLine(y)[i];
            if (ours != theirs && !(i % 3 == 1 && ours == 43 && theirs == 42))
                return false;
        }
    return true;
}

TEST(BmpCorpus, EveryGoodFileDecodesAndMatchesItsReferencePicture)
{
    const QStringList files = corpusFiles(QStringLiteral("bmpsuite/g"));
    ASSERT_GE(files.size(), 20);
    int compared = 0;
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        Bitmap24 decoded;
        ASSERT_NO_THROW(decoded = decodeCorpus(QStringLiteral("bmpsuite/g/") + name));
        EXPECT_FALSE(decoded.isEmpty());
        const QString png =
            corpusPath(QStringLiteral("bmpsuite/html/") + QString(name).replace(".bmp", ".png"));
        if (!QFile::exists(png))
            continue;
        const QImage reference(png);
        ASSERT_FALSE(reference.isNull());
        const Bitmap24 expected = Bitmap24::fromImage(reference);
        EXPECT_TRUE(decoded == expected || onlyKnownPaletteDifference(name, decoded, expected));
        ++compared;
    }
    EXPECT_EQ(compared, 10);
    // The allowance is that one level and nothing else.
    Bitmap24 pal8 = decodeCorpus("bmpsuite/g/pal8.bmp");
    const Bitmap24 pal8Reference = Bitmap24::fromImage(QImage(corpusPath("bmpsuite/html/pal8.png")));
    EXPECT_FALSE(pal8 == pal8Reference);
    EXPECT_TRUE(onlyKnownPaletteDifference("pal8.bmp", pal8, pal8Reference));
    pal8.scanLine(10)[30] ^= 0x10;
    EXPECT_FALSE(onlyKnownPaletteDifference("pal8.bmp", pal8, pal8Reference));
}

// The suite stores one picture in many encodings: each must give the same
// pixels as its plain form.
TEST(BmpCorpus, EncodingsOfOnePictureDecodeAlike)
{
    const std::vector<std::pair<const char*, const char*>> same = {
        {"g/pal8.bmp", "g/pal8-0.bmp"},         {"g/pal8.bmp", "g/pal8os2.bmp"},
        {"g/pal8.bmp", "g/pal8topdown.bmp"},    {"g/pal8.bmp", "g/pal8v4.bmp"},
        {"g/pal8.bmp", "g/pal8v5.bmp"},         {"g/pal8.bmp", "g/pal8rle.bmp"},
        {"g/pal4.bmp", "g/pal4rle.bmp"},        {"g/rgb16-565.bmp", "g/rgb16-565pal.bmp"},
        {"g/rgb24.bmp", "g/rgb24pal.bmp"},      {"g/rgb24.bmp", "g/rgb32.bmp"},
        {"g/rgb24.bmp", "g/rgb32bf.bmp"},       {"g/pal8.bmp", "q/pal8offs.bmp"},
        {"g/pal8.bmp", "q/pal8os2sp.bmp"},      {"g/pal8.bmp", "q/pal8os2v2.bmp"},
        {"g/pal8.bmp", "q/pal8os2v2-16.bmp"},   {"g/pal8.bmp", "q/pal8oversizepal.bmp"},
        {"g/rgb24.bmp", "q/rgb24largepal.bmp"}, {"g/rgb24.bmp", "q/rgb24prof.bmp"},
        {"g/rgb24.bmp", "q/rgb24lprof.bmp"},    {"g/rgb24.bmp", "q/rgb32fakealpha.bmp"},
        {"g/rgb24.bmp", "q/rgb32h52.bmp"},      {"g/rgb24.bmp", "q/rgb32bf-xbgr.bmp"},
    };
    for (const auto& [plain, other] : same) {
        SCOPED_TRACE(other);
        EXPECT_TRUE(decodeCorpus(QStringLiteral("bmpsuite/") + plain) ==
                    decodeCorpus(QStringLiteral("bmpsuite/") + other));
    }
}

TEST(BmpCorpus, QuestionableFilesDecodeOrAreRefusedWithAMessage)
{
    const QStringList files = corpusFiles(QStringLiteral("bmpsuite/q"));
    ASSERT_GE(files.size(), 20);
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        try {
            const Bitmap24 b = decodeCorpus(QStringLiteral("bmpsuite/q/") + name);
            EXPECT_EQ(b.width(), 127);
            EXPECT_EQ(b.height(), 64);
        } catch (const AppError& e) {
            EXPECT_FALSE(e.text().isEmpty());
        }
    }
    EXPECT_EQ(decodeError(corpusBytes("bmpsuite/q/rgb24jpeg.bmp")), "Unsupported bitmap compression (JPEG)");
    EXPECT_EQ(decodeError(corpusBytes("bmpsuite/q/rgb24png.bmp")), "Unsupported bitmap compression (PNG)");
}

TEST(BmpCorpus, BadFilesAreRefusedWithTheirProblemNamed)
{
    const std::vector<std::pair<const char*, QString>> refused = {
        {"badbitcount.bmp", "Unsupported bitmap format (30000 bits per pixel)"},
        {"badheadersize.bmp", "Unsupported bitmap header (66 bytes)"},
        {"badplanes.bmp", "Bitmap image is not valid"},
        {"badwidth.bmp", "Bitmap image is not valid"},
        {"reallybig.bmp", "Picture too large (3000000 x 2000000 pixels)"},
        {"rletopdown.bmp", "Bitmap image is not valid"},
        {"shortfile.bmp", "Bitmap file is truncated"},
    };
    for (const auto& [name, message] : refused) {
        SCOPED_TRACE(name);
        EXPECT_EQ(decodeError(corpusBytes(QStringLiteral("bmpsuite/b/") + name)), message);
    }
    // Wrong but harmless fields are ignored; the pixels are sound.
    const Bitmap24 pal1 = decodeCorpus("bmpsuite/g/pal1.bmp");
    for (const char* name : {"badbitssize.bmp", "baddens1.bmp", "baddens2.bmp", "badfilesize.bmp"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(decodeCorpus(QStringLiteral("bmpsuite/b/") + name) == pal1);
    }
    // A colour count far beyond the gap before the pixels is bounded by it.
    EXPECT_TRUE(decodeCorpus("bmpsuite/b/badpalettesize.bmp") == decodeCorpus("bmpsuite/g/pal8.bmp"));
    // Runs past the edges are clipped; indices past the palette are black.
    EXPECT_EQ(decodeCorpus("bmpsuite/b/badrle.bmp").width(), 127);
    EXPECT_EQ(decodeCorpus("bmpsuite/b/pal8badindex.bmp").height(), 64);
}

TEST(BmpCorpus, RealWorldBitmapsDecode)
{
    for (const char* name : {"shira_bird8.bmp", "vgl_6434_0018a.bmp", "vgl_6548_0026a.bmp"}) {
        SCOPED_TRACE(name);
        const QByteArray data = corpusBytes(QStringLiteral("jpeg/") + name);
        const Bitmap24 b = decodeBmp(data);
        // Cross-check against Qt's own reader.
        QImage qt;
        ASSERT_TRUE(qt.loadFromData(data, "BMP"));
        EXPECT_TRUE(b == Bitmap24::fromImage(qt));
    }
}

TEST(BmpWriter, RoundTripsExactlyForEveryRowPadding)
{
    for (int width = 1; width <= 5; ++width) {
        SCOPED_TRACE(width);
        const Bitmap24 original = noiseBitmap(width, 3, unsigned(width));
        const QByteArray file = encodeBmp24(original);
        const int stride = (width * 3 + 3) & ~3;
        ASSERT_EQ(file.size(), 54 + stride * 3);
        EXPECT_EQ(qFromLittleEndian<quint32>(file.constData() + 2), quint32(file.size()));
        EXPECT_EQ(qFromLittleEndian<quint32>(file.constData() + 14), 40u);
        EXPECT_EQ(qFromLittleEndian<qint32>(file.constData() + 22), 3); // bottom-up
        EXPECT_EQ(qFromLittleEndian<quint16>(file.constData() + 28), 24);
        // The first stored row is the bottom one.
        EXPECT_EQ(QByteArray(file.constData() + 54, width * 3),
                  QByteArray(reinterpret_cast<const char*>(original.scanLine(2)), width * 3));
        EXPECT_TRUE(decodeBmp(file) == original);
        // Qt reads what we write.
        QImage qt;
        ASSERT_TRUE(qt.loadFromData(file, "BMP"));
        EXPECT_TRUE(Bitmap24::fromImage(qt) == original);
    }
}

TEST(BmpWriter, RefusesAnEmptyBitmap)
{
    EXPECT_THROW(encodeBmp24(Bitmap24()), AppError);
}

TEST(BmpReader, Rle8DeltaAndEarlyEndLeaveBackgroundColour)
{
    BmpBuilder b;
    b.width = 4;
    b.height = 3;
    b.compression = 1;
    b.colorsUsed = 3;
    b.palette = bgr0({Grey, Red, Green});
    // Bottom row: two red, then a delta of (1 right, 1 up), one green, end of
    // bitmap: everything else stays colour 0.
    b.pixels = QByteArray::fromHex("0201"
                                   "00020101"
                                   "0102"
                                   "0001");
    const Bitmap24 out = decodeBmp(b.build());
    ASSERT_EQ(out.width(), 4);
    ASSERT_EQ(out.height(), 3);
    EXPECT_EQ(pixel(out, 0, 2), Red);
    EXPECT_EQ(pixel(out, 1, 2), Red);
    EXPECT_EQ(pixel(out, 2, 2), Grey);
    EXPECT_EQ(pixel(out, 3, 1), Green);
    EXPECT_EQ(pixel(out, 2, 1), Grey);
    EXPECT_EQ(pixel(out, 0, 0), Grey);
}

TEST(BmpReader, Rle4LiteralsRunsAndClipping)
{
    BmpBuilder b;
    b.width = 3;
    b.height = 2;
    b.bitCount = 4;
    b.compression = 2;
    b.colorsUsed = 3;
    b.palette = bgr0({Grey, Red, Blue});
    // Bottom row: a literal of 3 pixels (1,2,1, padded to a word), end of
    // line; top row: a run of 9 alternating 2,1 clipped at the width. No
    // end-of-bitmap: the data just stops.
    b.pixels = QByteArray::fromHex("00031210"
                                   "0000"
                                   "0921");
    const Bitmap24 out = decodeBmp(b.build());
    EXPECT_EQ(pixel(out, 0, 1), Red);
    EXPECT_EQ(pixel(out, 1, 1), Blue);
    EXPECT_EQ(pixel(out, 2, 1), Red);
    EXPECT_EQ(pixel(out, 0, 0), Blue);
    EXPECT_EQ(pixel(out, 1, 0), Red);
    EXPECT_EQ(pixel(out, 2, 0), Blue);
}

TEST(BmpReader, IndicesPastAShortPaletteAreBlack)
{
    BmpBuilder b;
    b.width = 8;
    b.height = 1;
    b.bitCount = 1;
    b.colorsUsed = 1;
    b.palette = bgr0({Red});
    b.pixels = QByteArray::fromHex("0F000000");
    Bitmap24 out = decodeBmp(b.build());
    EXPECT_EQ(pixel(out, 3, 0), Red);
    EXPECT_EQ(pixel(out, 4, 0), Black);

    // No colour count: the palette is what fits before the pixels.
    b.bitCount = 8;
    b.width = 3;
    b.colorsUsed = 0;
    b.palette = bgr0({Red, Green});
    b.pixels = QByteArray::fromHex("01000200");
    out = decodeBmp(b.build());
    EXPECT_EQ(pixel(out, 0, 0), Green);
    EXPECT_EQ(pixel(out, 1, 0), Red);
    EXPECT_EQ(pixel(out, 2, 0), Black);
}

TEST(BmpReader, TwoBitPixels)
{
    BmpBuilder b;
    b.width = 4;
    b.height = 1;
    b.bitCount = 2;
    b.palette = bgr0({Grey, Red, Green, Blue});
    b.pixels = QByteArray::fromHex("1B000000"); // 0 1 2 3
    const Bitmap24 out = decodeBmp(b.build());
    EXPECT_EQ(pixel(out, 0, 0), Grey);
    EXPECT_EQ(pixel(out, 1, 0), Red);
    EXPECT_EQ(pixel(out, 2, 0), Green);
    EXPECT_EQ(pixel(out, 3, 0), Blue);
}

TEST(BmpReader, BitFieldsScaleEveryWidthToFullRange)
{
    BmpBuilder b;
    b.width = 2;
    b.height = 1;
    b.bitCount = 32;
    b.compression = 3;
    // 10 bits red, 11 green, 11 blue (the reverse of the usual order).
    b.extra = QByteArray::fromHex("0000C0FF"
                                  "E03F0000"
                                  "FF070000");
    b.pixels = QByteArray::fromHex("FFFFFFFF"
                                   "00000000");
    Bitmap24 out = decodeBmp(b.build());
    EXPECT_EQ(pixel(out, 0, 0), (std::array<std::uint8_t, 3>{255, 255, 255}));
    EXPECT_EQ(pixel(out, 1, 0), Black);

    // 5-6-5: a mid green and the full blue.
    b.bitCount = 16;
    b.extra = QByteArray::fromHex("00F80000"
                                  "E0070000"
                                  "1F000000");
    b.pixels = QByteArray::fromHex("E003"
                                   "1F00"
                                   "0000");
    out = decodeBmp(b.build());
    EXPECT_EQ(pixel(out, 0, 0), (std::array<std::uint8_t, 3>{0, 125, 0})); // 31 * 255 / 63 = 125.5
    EXPECT_EQ(pixel(out, 1, 0), Blue);
}

TEST(BmpReader, MalformedHeadersEndInAMessage)
{
    EXPECT_EQ(decodeError(QByteArray()), "Bitmap image is not valid");
    EXPECT_EQ(decodeError("Hello, this is not a bitmap at all."), "Bitmap image is not valid");
    EXPECT_EQ(decodeError("BM"), "Bitmap image is not valid");

    BmpBuilder b;
    b.pixels = QByteArray(8, '\1');
    b.colorsUsed = 2;
    b.palette = bgr0({Red, Green});
    ASSERT_NO_THROW(decodeBmp(b.build()));
    EXPECT_EQ(decodeError(b.build().left(30)), "Bitmap file is truncated");
    EXPECT_EQ(decodeError(b.build().chopped(3)), "Bitmap file is truncated");

    BmpBuilder huge = b;
    huge.width = 100000;
    huge.height = 100000;
    EXPECT_EQ(decodeError(huge.build()), "Picture too large (100000 x 100000 pixels)");
    huge.width = 0x7fffffff;
    huge.height = 0x7fffffff;
    EXPECT_EQ(decodeError(huge.build()), "Picture too large (2147483647 x 2147483647 pixels)");
    // Allowed in size but far beyond the file: refused before allocation.
    huge.width = 10000;
    huge.height = -10000;
    EXPECT_EQ(decodeError(huge.build()), "Bitmap file is truncated");
    huge.height = qint32(0x80000000); // top-down, and its size overflows an int
    EXPECT_EQ(decodeError(huge.build()), "Picture too large (10000 x 2147483648 pixels)");
    huge.height = 0;
    EXPECT_EQ(decodeError(huge.build()), "Bitmap image is not valid");

    BmpBuilder rle = b;
    rle.compression = 2; // RLE4 needs 4 bits per pixel
    EXPECT_EQ(decodeError(rle.build()), "Bitmap image is not valid");
    rle.compression = 9;
    EXPECT_EQ(decodeError(rle.build()), "Unsupported bitmap compression (9)");
}

// Truncations and random damage of real files: each decodes or ends in a
// message, and nothing crashes (run under a sanitizer to see more).
TEST(BmpReader, DamagedFilesNeverCrash)
{
    std::mt19937 rng(1234);
    for (const char* name : {"g/pal4rle.bmp", "g/pal8rle.bmp", "g/rgb16-565.bmp", "g/pal1.bmp",
                             "g/pal8os2.bmp", "q/rgba32abf.bmp"}) {
        SCOPED_TRACE(name);
        const QByteArray original = corpusBytes(QStringLiteral("bmpsuite/") + name);
        for (int len = 0; len < original.size(); len += 1 + len / 16) {
            try {
                decodeBmp(original.left(len));
            } catch (const AppError& e) {
                EXPECT_FALSE(e.text().isEmpty());
            }
        }
        for (int round = 0; round < 300; ++round) {
            QByteArray damaged = original;
            for (int i = 0; i < 4; ++i) {
                // Mostly the headers, sometimes the pixels. The size fields
                // stay: a huge run-length picture is legal and merely slow.
                const int limit = round % 3 == 0 ? int(damaged.size()) : 140;
                const int at = int(rng() % unsigned(limit));
                if (at < 18 || at >= 26)
                    damaged[at] = char(rng());
            }
            try {
                const Bitmap24 b = decodeBmp(damaged);
                EXPECT_LE(b.byteCount(), Bitmap24::MaxBytes);
            } catch (const AppError& e) {
                EXPECT_FALSE(e.text().isEmpty());
            }
        }
    }
}
