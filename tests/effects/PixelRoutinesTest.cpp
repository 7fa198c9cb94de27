#include "EffectsTestSupport.h"
#include "effects/HalftonePalette.h"
#include "effects/PixelRoutines.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace fxtest;

namespace {
int ch(const Bitmap24& b, int x, int y, int c)
{
    return b.scanLine(y)[3 * x + c];
}
void setCh(Bitmap24& b, int x, int y, int c, int v)
{
    b.scanLine(y)[3 * x + c] = std::uint8_t(v);
}

// Plain transcriptions of the routines, pixel by pixel, in place.
void naiveEmboss(Bitmap24& b)
{
    const int w = b.width(), h = b.height();
    auto row = [&](int y, int partnerY) {
        for (int x = 0; x < w; ++x) {
            const int px = x <= w - 4 ? x + 3 : x;
            for (int c = 0; c < 3; ++c)
                setCh(b, x, y, c, (ch(b, x, y, c) + 255 - ch(b, px, partnerY, c)) >> 1);
        }
    };
    for (int y = 0; y <= h - 2; ++y)
        row(y, y + 1);
    row(h - 1, h >= 2 ? h - 2 : h - 1);
}

void naiveSplitBlur(Bitmap24& b, int d)
{
    const int w = b.width(), h = b.height();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int u = y - d < 0 ? y : y - d, v = y + d >= h ? y : y + d;
            const int l = x - d < 0 ? x : x - d, r = x + d >= w ? x : x + d;
            for (int c = 0; c < 3; ++c)
                setCh(b, x, y, c, (ch(b, l, u, c) + ch(b, l, v, c) + ch(b, r, u, c) + ch(b, r, v, c)) >> 2);
        }
}

void naiveAntiAlias(Bitmap24& b)
{
    for (int y = 1; y <= b.height() - 2; ++y)
        for (int x = 1; x <= b.width() - 2; ++x)
            for (int c = 0; c < 3; ++c)
                setCh(b, x, y, c,
                      (ch(b, x, y - 1, c) + ch(b, x, y + 1, c) + ch(b, x - 1, y, c) + ch(b, x + 1, y, c)) >>
                          2);
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

TEST(Emboss, SingleColourPicture)
{
    for (int c : {0, 90, 255}) {
        Bitmap24 b = solidBitmap(8, 5, c, c, c);
        EmbossBitmap(b);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 8; ++x)
                EXPECT_EQ(pixel(b, x, y).g, y < 4 ? 127 : (c + 128) >> 1) << x << "," << y;
    }
}

TEST(Emboss, MatchesPlainTranscription)
{
    for (int w : {1, 2, 3, 4, 5, 17})
        for (int h : {1, 2, 3, 9}) {
            Bitmap24 a = randomBitmap(w, h, w * 100 + h), b = a;
            EmbossBitmap(a);
            naiveEmboss(b);
            EXPECT_TRUE(a == b) << w << "x" << h;
        }
}

TEST(Mosaic, BlockSizes)
{
    const Bitmap24 src = randomBitmap(20, 9, 7);
    Bitmap24 b = src;
    MosaicBitmap(b, 1);
    EXPECT_TRUE(b == src);

    b = src;
    MosaicBitmap(b, 20);
    EXPECT_TRUE(b == solidBitmap(20, 9, ch(src, 0, 0, 0), ch(src, 0, 0, 1), ch(src, 0, 0, 2)));

    b = src;
    MosaicBitmap(b, 7);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(pixel(b, x, y), pixel(src, x / 7 * 7, y / 7 * 7)) << x << "," << y;
}

TEST(SplitBlur, DistanceBeyondPictureLeavesItUnchanged)
{
    const Bitmap24 src = randomBitmap(6, 4, 8);
    Bitmap24 b = src;
    SplitBlurBitmap(b, 7);
    EXPECT_TRUE(b == src);
    SplitBlurBitmap(b, 0);
    EXPECT_TRUE(b == src);
}

TEST(SplitBlur, OneRowUsesBlurredLeftNeighbour)
{
    Bitmap24 b(5, 1);
    const int v[5] = {10, 200, 30, 90, 250};
    for (int x = 0; x < 5; ++x)
        setPixel(b, x, 0, {v[x], v[x], v[x]});
    SplitBlurBitmap(b, 1);
    int expect[5];
    for (int x = 0; x < 5; ++x) {
        const int l = x == 0 ? v[0] : expect[x - 1];
        const int r = x == 4 ? v[4] : v[x + 1];
        expect[x] = (l + r) >> 1;
    }
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(pixel(b, x, 0).r, expect[x]) << x;
}

TEST(SplitBlur, MatchesPlainTranscription)
{
    for (int d : {1, 2, 3, 5, 12})
        for (int w : {1, 2, 4, 7, 30})
            for (int h : {1, 2, 5, 13}) {
                Bitmap24 a = randomBitmap(w, h, d * 1000 + w * 10 + h), b = a;
                SplitBlurBitmap(a, d);
                naiveSplitBlur(b, d);
                ASSERT_TRUE(a == b) << "d" << d << " " << w << "x" << h;
            }
}

TEST(AntiAlias, BorderKeptAndMatchesTranscription)
{
    for (int w : {1, 2, 3, 4, 19})
        for (int h : {1, 2, 3, 11}) {
            const Bitmap24 src = randomBitmap(w, h, w * 31 + h);
            Bitmap24 a = src, b = src;
            for (int n = 0; n < 4; ++n) {
                AntiAliasBitmap(a, 0, 0, w, h);
                naiveAntiAlias(b);
            }
            ASSERT_TRUE(a == b) << w << "x" << h;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    if (x == 0 || y == 0 || x == w - 1 || y == h - 1) {
                        EXPECT_EQ(pixel(a, x, y), pixel(src, x, y));
                    }
            if (w <= 2 || h <= 2) {
                EXPECT_TRUE(a == src);
            }
        }
}

TEST(AntiAlias, CornersInAnyOrderAndClippedToInterior)
{
    const Bitmap24 src = randomBitmap(12, 10, 3);
    Bitmap24 a = src, b = src;
    AntiAliasBitmap(a, 8, 7, 2, 3);
    AntiAliasBitmap(b, 2, 3, 8, 7);
    EXPECT_TRUE(a == b);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x)
            if (x < 2 || x > 8 || y < 3 || y > 7) {
                EXPECT_EQ(pixel(a, x, y), pixel(src, x, y));
            }
    Bitmap24 c = src;
    AntiAliasBitmap(c, -100, -100, 1000, 1000); // far outside: narrowed, no stray access
    Bitmap24 d = src;
    AntiAliasBitmap(d, 0, 0, 12, 10);
    EXPECT_TRUE(c == d);
}

TEST(HalftonePalette, NearestMatchesExhaustiveSearch)
{
    const auto& pal = HalftonePalette();
    auto brute = [&](int r, int g, int b) {
        int best = 0, bestD = INT_MAX;
        for (int i = 0; i < 256; ++i) {
            const int d = (r - pal[i].r) * (r - pal[i].r) + (g - pal[i].g) * (g - pal[i].g) +
                          (b - pal[i].b) * (b - pal[i].b);
            if (d < bestD) {
                best = i;
                bestD = d;
            }
        }
        return best;
    };
    for (int v = 0; v < 256; ++v)
        ASSERT_EQ(NearestHalftoneIndex(v, v, v), brute(v, v, v)) << v;
    std::mt19937 rng(5);
    for (int i = 0; i < 200000; ++i) {
        const int r = rng() & 255, g = rng() & 255, b = rng() & 255;
        ASSERT_EQ(NearestHalftoneIndex(r, g, b), brute(r, g, b)) << r << "," << g << "," << b;
    }
    // Every palette colour maps to itself, and the 256 entries are distinct.
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(NearestHalftoneIndex(pal[i].r, pal[i].g, pal[i].b), i);
}

TEST(Trace, SingleColourUnchangedAndPassCounts)
{
    Bitmap24 flat = solidBitmap(9, 6, 40, 120, 200);
    const Bitmap24 flatCopy = flat;
    TraceBitmap(flat, 2);
    EXPECT_TRUE(flat == flatCopy);

    // A square on white, and a last column the forward sweep never compares:
    // outlines appear, k = 2 adds the backward marks, further passes nothing.
    Bitmap24 src = solidBitmap(16, 12, 255, 255, 255);
    for (int y = 3; y < 9; ++y)
        for (int x = 4; x < 11; ++x)
            setPixel(src, x, y, {0, 0, 255});
    for (int y = 0; y < 12; ++y)
        setPixel(src, 15, y, {0, 255, 0});
    Bitmap24 k1 = src, k2 = src, k10 = src;
    TraceBitmap(k1, 1);
    TraceBitmap(k2, 2);
    TraceBitmap(k10, 10);
    EXPECT_TRUE(k2 == k10);
    EXPECT_GT(countBlack(k1), 0);
    EXPECT_GT(countBlack(k2), countBlack(k1));
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            if (pixel(k1, x, y) == Rgb{0, 0, 0}) {
                EXPECT_EQ(pixel(k2, x, y), (Rgb{0, 0, 0}));
            }
}

TEST(Trace, FirstBoundaryDecidesTheSide)
{
    // Left half index A, right half index B; the first boundary met is at
    // (2,0)|(3,0), t becomes B's index, so every mark lands on the A side.
    Bitmap24 b = solidBitmap(6, 3, 102, 102, 102);
    for (int y = 0; y < 3; ++y)
        for (int x = 3; x < 6; ++x)
            setPixel(b, x, y, {255, 255, 255});
    TraceBitmap(b, 2);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(pixel(b, 2, y), (Rgb{0, 0, 0})) << y;
        EXPECT_EQ(pixel(b, 1, y), (Rgb{102, 102, 102})) << y;
        for (int x = 3; x < 6; ++x)
            EXPECT_EQ(pixel(b, x, y), (Rgb{255, 255, 255})) << x << "," << y;
    }
}

TEST(Resample, SameSizeIsNotIdentityAndOneRowSourceWorks)
{
    const Bitmap24 src = randomBitmap(16, 10, 11);
    Bitmap24 dst(16, 10);
    ResampleBilinear(src, dst);
    EXPECT_FALSE(dst == src);
    EXPECT_EQ(pixel(dst, 0, 0), pixel(src, 0, 0)); // position 0 takes full weight

    // A gradient keeps its order under resampling.
    Bitmap24 grad(64, 1);
    for (int x = 0; x < 64; ++x)
        setPixel(grad, x, 0, {x * 4, x * 4, x * 4});
    Bitmap24 small(10, 3);
    ResampleBilinear(grad, small);
    for (int y = 0; y < 3; ++y)
        for (int x = 1; x < 10; ++x)
            EXPECT_GT(pixel(small, x, y).r, pixel(small, x - 1, y).r);
}

TEST(Tiles, LayoutRule)
{
    const TileLayout four = TileLayoutFor(4, 640, 480);
    EXPECT_EQ(four.count, 4);
    EXPECT_EQ(four.tileWidth, 160);
    EXPECT_EQ(four.tileHeight, 120);
    const TileLayout hundred = TileLayoutFor(100, 640, 480);
    EXPECT_EQ(hundred.count, 64);
    EXPECT_EQ(hundred.tileWidth, 10);
    EXPECT_EQ(hundred.tileHeight, 10);
    const TileLayout fifty = TileLayoutFor(50, 640, 480);
    EXPECT_EQ(fifty.count, 50);
    EXPECT_EQ(fifty.tileWidth, 12);
    EXPECT_EQ(fifty.tileHeight, 10);
    EXPECT_EQ(TileLayoutFor(3, 9, 9).count, 0);
}

TEST(Tiles, RepeatedCopiesOfTheResampledPicture)
{
    const Bitmap24 src = randomBitmap(64, 48, 21);
    const TileLayout layout = TileLayoutFor(4, 64, 48);
    Bitmap24 target = src;
    BuildTiles(src, layout, target);
    Bitmap24 tile(16, 12);
    ResampleBilinear(src, tile);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(pixel(target, x, y), pixel(tile, x % 16, y % 12)) << x << "," << y;

    // A tile size that does not divide the picture: the last column and row
    // of tiles are clipped.
    const Bitmap24 odd = randomBitmap(25, 13, 22);
    const TileLayout l2 = TileLayoutFor(2, 25, 13);
    Bitmap24 t2 = odd;
    BuildTiles(odd, l2, t2);
    Bitmap24 tile2(l2.tileWidth, l2.tileHeight);
    ResampleBilinear(odd, tile2);
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 25; ++x)
            ASSERT_EQ(pixel(t2, x, y), pixel(tile2, x % l2.tileWidth, y % l2.tileHeight));
}

TEST(SmallSizes, EveryRoutineStaysInside)
{
    // Run under the sanitizer build to catch stray reads and writes.
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 2}, {1, 7}, {7, 1}, {2, 1},
                                         {2, 2}, {3, 1}, {3, 2}, {4, 4}};
    for (auto [w, h] : sizes) {
        const Bitmap24 src = randomBitmap(w, h, w * 7 + h);
        Bitmap24 b = src;
        EmbossBitmap(b);
        b = src;
        MosaicBitmap(b, 2);
        b = src;
        MosaicBitmap(b, INT_MAX);
        EXPECT_EQ(pixel(b, w - 1, h - 1), pixel(src, 0, 0));
        b = src;
        for (int d : {1, 3, 255, INT_MAX})
            SplitBlurBitmap(b, d);
        b = src;
        AntiAliasBitmap(b, 0, 0, w, h);
        EXPECT_TRUE(w > 2 && h > 2 ? true : b == src);
        b = src;
        TraceBitmap(b, 10);
        Bitmap24 d1(1, 1), d3(3, 5);
        ResampleBilinear(src, d1);
        ResampleBilinear(src, d3);
        EXPECT_EQ(pixel(d1, 0, 0), pixel(src, 0, 0));
        b = src;
        BuildTiles(src, TileLayoutFor(1, w, h), b);
    }
}
