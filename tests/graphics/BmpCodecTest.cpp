#include "graphics/BmpCodec.h"
#include "core/Errors.h"

#include "Corpus.h"
#include "MadeFiles.h"
#include "tests/support/ErrorText.h"
#include "tests/support/TestPictures.h"

#include <QHash>
#include <QImage>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

// A corpus file and what it must give: the pixels of another file
// ("=file"), those of Qt's own reader ("qt") or of the reference picture
// ("png"; Qt scales 16-bit colours its own way), a picture of 127 x 64
// ("decodes"), or a refusal with this message.
struct CorpusCase {
    const char *file, *expect;
};
const char *const Pal8 = "=g/pal8", *const Rgb24 = "=g/rgb24", *const Pal1 = "=g/pal1",
                  *const NotValid = "The picture is damaged (its header is corrupt)",
                  *const Cut = "The picture is damaged (its data ends early)";
// clang-format off
const CorpusCase kCorpus[] = {
    // The base pictures, each encoding's plain form, and rows of every padding.
    {"g/pal1", "qt"}, {"g/pal1bg", "qt"}, {"g/pal1wb", "qt"}, {"g/pal4", "qt"}, {"g/pal8", "qt"},
    {"g/pal8nonsquare", "qt"}, {"g/pal8w124", "qt"}, {"g/pal8w125", "qt"}, {"g/pal8w126", "qt"},
    {"g/rgb24", "qt"}, {"g/rgb16", "png"}, {"g/rgb16-565", "png"},
    // One picture in many encodings.
    {"g/pal8-0", Pal8}, {"g/pal8os2", Pal8}, {"g/pal8topdown", Pal8}, {"g/pal8v4", Pal8},
    {"g/pal8rle", Pal8}, {"q/pal8offs", Pal8}, {"q/pal8os2sp", Pal8}, {"q/pal8os2v2", Pal8},
    {"q/pal8os2v2-16", Pal8}, {"q/pal8oversizepal", Pal8}, {"g/pal4rle", "=g/pal4"},
    {"g/rgb16-565pal", "=g/rgb16-565"}, {"g/rgb24pal", Rgb24}, {"g/rgb32", Rgb24}, {"g/rgb32bf", Rgb24},
    {"q/rgb24largepal", Rgb24}, {"q/rgb24prof", Rgb24}, {"q/rgb32fakealpha", Rgb24},
    {"q/rgb32h52", Rgb24}, {"q/rgb32bf-xbgr", Rgb24},
    // Wrong but harmless fields; a colour count bounded by the gap before the pixels.
    {"b/badbitssize", Pal1}, {"b/baddens1", Pal1}, {"b/badfilesize", Pal1},
    {"b/badpalettesize", Pal8},
    // Runs past the edges are clipped; indices past the palette are black.
    {"b/badrle", "decodes"}, {"b/pal8badindex", "decodes"},
    {"b/badbitcount", "The picture is damaged (its header says 30000 bits a pixel)"},
    {"b/badheadersize", "The picture uses a layout Pictavo can't read (a 66-byte header)"}, {"b/badplanes", NotValid},
    {"b/badwidth", NotValid}, {"b/reallybig", "The picture is too large (3000000 × 2000000 pixels; the limit is 268 megapixels)"},
    {"b/rletopdown", NotValid}, {"b/shortfile", Cut}, {"q/rgb24jpeg", "The picture uses a layout Pictavo can't read (JPEG compression)"},
    {"q/rgb24png", "The picture uses a layout Pictavo can't read (PNG compression)"},
    // Real-world 8-bit bitmaps.
    {"../jpeg/shira_bird8", "qt"}};
// clang-format on

class BmpCorpusFiles : public ::testing::TestWithParam<CorpusCase> {};
} // namespace

TEST_P(BmpCorpusFiles, DecodeLikeTheirTwinOrAreRefusedWithTheProblemNamed)
{
    const QByteArray data = corpusBytes("bmpsuite/" + QString::fromLatin1(GetParam().file) + ".bmp");
    const QString expect = QString::fromUtf8(GetParam().expect);
    if (expect == "qt") {
        QImage qt;
        ASSERT_TRUE(qt.loadFromData(data, "BMP"));
        EXPECT_TRUE(decodeBmp(data) == Bitmap24::fromImage(qt));
    } else if (expect == "png") {
        const QString png = corpusPath("bmpsuite/html/" + QString::fromLatin1(GetParam().file).mid(2) + ".png");
        EXPECT_TRUE(decodeBmp(data) == Bitmap24::fromImage(QImage(png)));
    } else if (expect == "decodes") {
        const Bitmap24 b = decodeBmp(data);
        EXPECT_EQ(QSize(b.width(), b.height()), QSize(127, 64));
    } else if (expect.startsWith('=')) {
        EXPECT_TRUE(decodeBmp(data) == decodeBmp(corpusBytes("bmpsuite/" + expect.mid(1) + ".bmp")));
    } else {
        EXPECT_EQ(errorText([&] { decodeBmp(data); }), expect);
    }
}

INSTANTIATE_TEST_SUITE_P(, BmpCorpusFiles, ::testing::ValuesIn(kCorpus), [](const auto& info) {
    return QString::fromLatin1(info.param.file).section('/', -1).replace('-', '_').toStdString();
});

TEST(BmpWriter, BottomUpRowsRoundTripForEveryRowPadding)
{
    for (int width = 1; width <= 5; ++width) {
        SCOPED_TRACE(width);
        const Bitmap24 original = testpics::pattern(width, 3, width);
        const QByteArray file = encodeBmp24(original);
        ASSERT_EQ(file.size(), 54 + ((width * 3 + 3) & ~3) * 3);
        EXPECT_EQ(qFromLittleEndian<quint32>(file.constData() + 2), quint32(file.size()));
        EXPECT_EQ(qFromLittleEndian<quint32>(file.constData() + 14), 40u);
        EXPECT_EQ(qFromLittleEndian<qint32>(file.constData() + 22), 3); // bottom-up
        EXPECT_EQ(qFromLittleEndian<quint16>(file.constData() + 28), 24);
        EXPECT_EQ(QByteArray(file.constData() + 54, width * 3),
                  QByteArray(reinterpret_cast<const char*>(original.scanLine(2)), width * 3));
        EXPECT_TRUE(decodeBmp(file) == original);
        QImage qt;
        ASSERT_TRUE(qt.loadFromData(file, "BMP"));
        EXPECT_TRUE(Bitmap24::fromImage(qt) == original);
    }
    EXPECT_THROW(encodeBmp24(Bitmap24()), AppError);
}

namespace {
// A bitmap file with a 40-byte header, field by field, and what it must
// decode to: rows top first, a letter a colour (K black, R red, G green,
// B blue, W white, . grey, m mid green), or the refusal's message.
struct Built {
    const char* name;
    qint32 width, height;
    quint16 bits;
    quint32 compression, colorsUsed;
    const char* palette; // a letter a colour, four bytes each
    const char* masks;   // hex, between header and palette
    const char *pixels, *expect;
    int cut = 0; // > 0: the first bytes only; < 0: without the last
};

QByteArray bgr(char letter)
{
    static const QHash<char, QByteArray> c = {
        {'K', QByteArray::fromHex("000000")}, {'R', QByteArray::fromHex("0000ff")},
        {'G', QByteArray::fromHex("00ff00")}, {'B', QByteArray::fromHex("ff0000")},
        {'W', QByteArray::fromHex("ffffff")}, {'.', QByteArray::fromHex("090909")},
        {'m', QByteArray::fromHex("007d00")}};
    return c.value(letter);
}

QByteArray build(const Built& b)
{
    QByteArray palette;
    for (const char* p = b.palette; *p; ++p)
        palette += bgr(*p) + '\0';
    const QByteArray masks = QByteArray::fromHex(b.masks), pixels = QByteArray::fromHex(b.pixels);
    const QByteArray out = bmpHeader(b.width, b.height, b.bits, b.compression, b.colorsUsed,
                                     masks.size() + palette.size(), pixels.size()) + masks + palette + pixels;
    return b.cut > 0 ? out.left(b.cut) : out.chopped(-b.cut);
}

class BmpReader : public ::testing::TestWithParam<Built> {};
} // namespace

TEST_P(BmpReader, HandBuiltFiles)
{
    const Built& b = GetParam();
    const QString expect = QString::fromUtf8(b.expect);
    if (expect.contains(' ')) {
        EXPECT_EQ(errorText([&] { decodeBmp(build(b)); }), expect);
        return;
    }
    const Bitmap24 out = decodeBmp(build(b));
    const QStringList rows = expect.split('|');
    ASSERT_EQ(QSize(out.width(), out.height()), QSize(rows[0].size(), rows.size()));
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(out.scanLine(y)) + 3 * x, 3).toHex(),
                      bgr(rows[y][x].toLatin1()).toHex())
                << x << "," << y;
}

// clang-format off
const char* const Px = "0101010101010101"; // 4 x 2 at 8 bits: colour 1 throughout
const Built kBuilt[] = {
    // Bottom row: two red, a delta of (1 right, 1 up), one green, end of bitmap.
    {"Rle8DeltaAndEarlyEndLeaveColourZero", 4, 3, 8, 1, 3, ".RG", "", "02010002010101020001", "....|...G|RR.."},
    // A literal of three (padded to a word), end of line, a run of nine clipped at the width, no end.
    {"Rle4LiteralsRunsAndClipping", 3, 2, 4, 2, 3, ".RB", "", "0003121000000921", "BRB|RBR"},
    {"IndicesPastAShortPaletteAreBlack", 8, 1, 1, 0, 1, "R", "", "0F000000", "RRRRKKKK"},
    {"NoColourCountTakesWhatFitsBeforeThePixels", 3, 1, 8, 0, 0, "RG", "", "01000200", "GRK"},
    {"TwoBitPixels", 4, 1, 2, 0, 0, ".RGB", "", "1B000000", ".RGB"},
    {"BitFields10_11_11ScaleToFullRange", 2, 1, 32, 3, 0, "", "0000C0FFE03F0000FF070000", "FFFFFFFF00000000", "WK"},
    {"BitFields565", 2, 1, 16, 3, 0, "", "00F80000E00700001F000000", "E0031F000000", "mB"}, // 31 * 255 / 63 = 125.5
    {"HeaderCutShort", 4, 2, 8, 0, 2, "RG", "", Px, Cut, 30},
    {"PixelsCutShort", 4, 2, 8, 0, 2, "RG", "", Px, Cut, -3},
    {"TopDownSizeOverflowsAnInt", 10000, qint32(0x80000000), 8, 0, 2, "RG", "", Px,
     "The picture is too large (10000 × 2147483648 pixels; the limit is 268 megapixels)"},
    {"NoRows", 4, 0, 8, 0, 2, "RG", "", Px, NotValid},
    {"Rle4At8Bits", 4, 2, 8, 2, 2, "RG", "", Px, NotValid},
    {"UnknownCompression", 4, 2, 8, 9, 2, "RG", "", Px, "The picture uses a layout Pictavo can't read (type 9 compression)"}};
// clang-format on

INSTANTIATE_TEST_SUITE_P(, BmpReader, ::testing::ValuesIn(kBuilt),
                         [](const auto& info) { return std::string(info.param.name); });
