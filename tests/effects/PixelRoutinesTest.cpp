#include "effects/PixelRoutines.h"
#include "EffectsTestSupport.h"
#include "effects/HalftonePalette.h"

#include <gtest/gtest.h>

#include <vector>

using namespace fxtest;

namespace {
// A picture from rows of (r, g, b) pixels, top row first.
Bitmap24 picture(const std::vector<std::vector<Rgb>>& rows)
{
    Bitmap24 b(int(rows[0].size()), int(rows.size()));
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            setPixel(b, x, y, rows[y][x]);
    return b;
}

// The split blur transcribed pixel by pixel, in place.
void naiveSplitBlur(Bitmap24& b, int d)
{
    const int w = b.width(), h = b.height();
    auto at = [&](int x, int y, int c) { return b.scanLine(y)[3 * x + c]; };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int u = y - d < 0 ? y : y - d, v = y + d >= h ? y : y + d;
            const int l = x - d < 0 ? x : x - d, r = x + d >= w ? x : x + d;
            for (int c = 0; c < 3; ++c)
                b.scanLine(y)[3 * x + c] =
                    std::uint8_t((at(l, u, c) + at(l, v, c) + at(r, u, c) + at(r, v, c)) >> 2);
        }
}

int countBlack(const Bitmap24& b)
{
    int n = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            n += pixel(b, x, y) == Rgb{0, 0, 0};
    return n;
}
} // namespace

// Worked by hand: out = (in + 255 - partner) / 2, partner three right and one
// down (straight down in the last three columns); the last row's partner is
// the row above, already embossed; a one-row picture partners with itself.
TEST(Emboss, WorkedExamples)
{
    Bitmap24 two = picture({{{10, 0, 245}, {20, 0, 235}, {30, 0, 225}, {40, 0, 215}, {50, 0, 205}},
                            {{60, 0, 195}, {70, 0, 185}, {80, 0, 175}, {90, 0, 165}, {100, 0, 155}}});
    EmbossBitmap(two);
    EXPECT_TRUE(two ==
                picture({{{87, 127, 167}, {87, 127, 167}, {102, 127, 152}, {102, 127, 152}, {102, 127, 152}},
                         {{106, 64, 149}, {111, 64, 144}, {116, 64, 139}, {121, 64, 134}, {126, 64, 129}}}));
    Bitmap24 one = picture({{{10, 10, 10}, {20, 20, 20}, {30, 30, 30}, {40, 40, 40}, {50, 50, 50}}});
    EmbossBitmap(one);
    EXPECT_TRUE(
        one ==
        picture({{{112, 112, 112}, {112, 112, 112}, {127, 127, 127}, {127, 127, 127}, {127, 127, 127}}}));
}

TEST(Mosaic, BlocksTakeTheirTopLeftPixel)
{
    const Bitmap24 src = randomBitmap(20, 9, 7);
    for (int size : {1, 7, 20}) {
        Bitmap24 b = src;
        MosaicBitmap(b, size);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 20; ++x)
                ASSERT_EQ(pixel(b, x, y), pixel(src, x / size * size, y / size * size))
                    << size << ": " << x << "," << y;
    }
}

TEST(SplitBlur, MatchesPlainTranscription)
{
    for (int d : {1, 2, 3, 5, 12})
        for (int w : {1, 2, 4, 7, 30, 61})
            for (int h : {1, 2, 5, 13}) {
                Bitmap24 a = randomBitmap(w, h, d * 1000 + w * 10 + h), b = a;
                SplitBlurBitmap(a, d);
                naiveSplitBlur(b, d);
                ASSERT_TRUE(a == b) << "d" << d << " " << w << "x" << h;
            }
    const Bitmap24 src = randomBitmap(6, 4, 8);
    for (int d : {0, 7}) { // nothing, or every neighbour outside
        Bitmap24 b = src;
        SplitBlurBitmap(b, d);
        EXPECT_TRUE(b == src) << d;
    }
}

// Worked by hand: each inner pixel becomes the mean of its four neighbours,
// left to right, so the second sees the first's new value. A rectangle past
// the picture is narrowed to it.
TEST(AntiAlias, WorkedExampleKeepsTheBorderAndStaysInThePicture)
{
    const Bitmap24 src = picture({{{10, 0, 245}, {20, 0, 235}, {30, 0, 225}, {40, 0, 215}},
                                  {{50, 0, 205}, {0, 0, 255}, {200, 0, 55}, {80, 0, 175}},
                                  {{90, 0, 165}, {100, 0, 155}, {110, 0, 145}, {120, 0, 135}}});
    Bitmap24 want = src;
    setPixel(want, 1, 1, {92, 0, 162});
    setPixel(want, 2, 1, {78, 0, 176});
    for (const int far : {0, 100}) { // corners at the picture's, or far outside
        Bitmap24 b = src;
        AntiAliasBitmap(b, -far, -far, 4 + far, 3 + far);
        EXPECT_TRUE(b == want) << far;
    }
}

TEST(HalftonePalette, EachEntryIsItsOwnNearest)
{
    const auto& pal = HalftonePalette();
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(NearestHalftoneIndex(pal[i].r, pal[i].g, pal[i].b), i);
}

// A flat picture has no outlines. Left half grey, right white: the first
// boundary met, (2,0)|(3,0), puts every mark on the left; a second pass adds
// the backward marks, later passes nothing.
TEST(Trace, MarksTheSideOfTheFirstBoundaryAndGrowsOnlyWithTheSecondPass)
{
    Bitmap24 flat = solidBitmap(9, 6, 40, 120, 200);
    TraceBitmap(flat, 2);
    EXPECT_TRUE(flat == solidBitmap(9, 6, 40, 120, 200));
    Bitmap24 b = solidBitmap(6, 3, 102, 102, 102);
    for (int y = 0; y < 3; ++y)
        for (int x = 3; x < 6; ++x)
            setPixel(b, x, y, {255, 255, 255});
    TraceBitmap(b, 2);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(pixel(b, x, y).r, x == 2 ? 0 : x < 2 ? 102 : 255) << x << "," << y;
    const Bitmap24 src = randomBitmap(16, 12, 4);
    Bitmap24 k1 = src, k2 = src, k10 = src;
    TraceBitmap(k1, 1);
    TraceBitmap(k2, 2);
    TraceBitmap(k10, 10);
    EXPECT_TRUE(k2 == k10);
    EXPECT_GT(countBlack(k2), countBlack(k1));
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            if (pixel(k1, x, y) == Rgb{0, 0, 0}) {
                EXPECT_EQ(pixel(k2, x, y), (Rgb{0, 0, 0}));
            }
}

TEST(Tiles, LayoutRule)
{
    struct Case {
        int requested, width, height, count, tileWidth, tileHeight;
    };
    for (const Case& c : {Case{4, 640, 480, 4, 160, 120}, Case{100, 640, 480, 64, 10, 10},
                          Case{50, 640, 480, 50, 12, 10}, Case{3, 9, 9, 0, 0, 0}}) {
        const TileLayout l = TileLayoutFor(c.requested, c.width, c.height);
        EXPECT_EQ(l.count, c.count) << c.requested;
        if (c.count > 0) {
            EXPECT_EQ(QSize(l.tileWidth, l.tileHeight), QSize(c.tileWidth, c.tileHeight)) << c.requested;
        }
    }
}

// Copies of the resampled picture; where the tile size does not divide the
// picture the last column and row of tiles are clipped.
TEST(Tiles, RepeatedCopiesOfTheResampledPicture)
{
    for (auto [w, h, n] : {std::tuple{64, 48, 4}, {25, 13, 2}}) {
        const Bitmap24 src = randomBitmap(w, h, 21);
        const TileLayout layout = TileLayoutFor(n, w, h);
        Bitmap24 target = src, tile(layout.tileWidth, layout.tileHeight);
        BuildTiles(src, layout, target);
        ResampleBilinear(src, tile);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(pixel(target, x, y), pixel(tile, x % tile.width(), y % tile.height()))
                    << x << "," << y;
    }
}
