#include "EffectsTestSupport.h"
#include "effects/Random.h"
#include "effects/ToneEffects.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

using namespace fxtest;

namespace {
ToneSettings with(void (*set)(ToneSettings&))
{
    ToneSettings s;
    set(s);
    return s;
}
} // namespace

TEST(ToneNeutral, EveryPixelUnchanged)
{
    const Bitmap24 src = randomBitmap(31, 17, 1);
    Bitmap24 dst;
    RenderTone(src, nullptr, ToneSettings{}, dst);
    EXPECT_TRUE(dst == src);
}

TEST(ToneBrightness, ExtremesGiveWhiteAndBlack)
{
    const Bitmap24 src = randomBitmap(9, 5, 2);
    Bitmap24 dst;
    RenderTone(src, nullptr, with([](ToneSettings& s) { s.brightness = 255; }), dst);
    EXPECT_TRUE(dst == solidBitmap(9, 5, 255, 255, 255));
    RenderTone(src, nullptr, with([](ToneSettings& s) { s.brightness = -255; }), dst);
    EXPECT_TRUE(dst == solidBitmap(9, 5, 0, 0, 0));
}

TEST(ToneContrast, ReferenceGreyAndExamples)
{
    const ToneSettings low = with([](ToneSettings& s) { s.contrast = -255; });
    for (int v : {0, 1, 100, 127, 128, 200, 255})
        EXPECT_EQ(renderChannel(v, low), 127) << v;
    const ToneSettings high = with([](ToneSettings& s) { s.contrast = 255; });
    const int in[] = {0, 63, 64, 127, 128, 255};
    const int out[] = {0, 0, 1, 127, 129, 255};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(renderChannel(in[i], high), out[i]) << in[i];
}

TEST(TonePosterize, RoundsHalfToEvenAndClampsLater)
{
    const ToneSettings p2 = with([](ToneSettings& s) { s.posterize = 2; });
    EXPECT_EQ(renderChannel(1, p2), 0);
    EXPECT_EQ(renderChannel(3, p2), 4);
    EXPECT_EQ(renderChannel(5, p2), 4);
    EXPECT_EQ(renderChannel(255, p2), 255);
    const ToneSettings p255 = with([](ToneSettings& s) { s.posterize = 255; });
    for (int v = 0; v < 256; ++v)
        EXPECT_EQ(renderChannel(v, p255), v <= 127 ? 0 : 255) << v;
    const ToneSettings p1 = with([](ToneSettings& s) { s.posterize = 1; });
    for (int v = 0; v < 256; ++v)
        EXPECT_EQ(renderChannel(v, p1), v);
    const ToneSettings p510 = with([](ToneSettings& s) { s.posterize = 510; });
    EXPECT_EQ(renderChannel(255, p510), 0);
}

TEST(TonePosterize, UnclampedValueFeedsLightnessTerm)
{
    // 255 posterizes to 300; the lightness term is then -45, the sum 255.
    ToneSettings s;
    s.posterize = 100;
    s.lightness = 255;
    EXPECT_EQ(renderChannel(255, s), 255);
    // With darkness the 300 shows: 300 - 300 = 0, versus 250 - 250 for 249.
    s.lightness = 0;
    s.darkness = 255;
    s.brightness = 10;
    EXPECT_EQ(renderChannel(255, s), 10);
}

TEST(ToneSolarize, ThresholdOnChannelAverage)
{
    const ToneSettings s1 = with([](ToneSettings& s) { s.solorize = 1; });
    EXPECT_EQ(renderOne({255, 255, 255}, s1), (Rgb{0, 0, 0}));
    EXPECT_EQ(renderOne({254, 255, 255}, s1), (Rgb{254, 255, 255}));
    const ToneSettings s255 = with([](ToneSettings& s) { s.solorize = 255; });
    EXPECT_EQ(renderOne({1, 1, 0}, s255), (Rgb{1, 1, 0}));
    EXPECT_EQ(renderOne({1, 1, 1}, s255), (Rgb{254, 254, 254}));
    EXPECT_EQ(renderOne({0, 10, 200}, s255), (Rgb{255, 245, 55}));
}

TEST(ToneSplitlight, OnePassValuesAndTenPasses)
{
    const std::pair<int, int> table[] = {{0, 0},     {1, 2},     {64, 98},  {85, 128},
                                         {128, 181}, {192, 236}, {255, 255}};
    for (auto [in, out] : table)
        EXPECT_EQ(SplitlightOnce(in), out) << in;
    const ToneSettings k1 = with([](ToneSettings& s) { s.splitlight = 1; });
    EXPECT_EQ(renderOne({128, 128, 128}, k1), (Rgb{181, 181, 181}));
    const ToneSettings k10 = with([](ToneSettings& s) { s.splitlight = 10; });
    for (int v = 0; v < 256; ++v) {
        if (v >= 8)
            EXPECT_EQ(renderChannel(v, k10), 255) << v;
        else
            EXPECT_LT(renderChannel(v, k10), 255) << v;
    }
}

TEST(ToneSplitlight, DoublePrecisionWouldMissTheTie)
{
    // The reason for extended precision: plain double lands just below 127.5.
    const double plain = 255.0 * std::sin(85.0 * 3.141592653589793 / 510.0);
    EXPECT_EQ(std::nearbyint(plain), 127.0);
    EXPECT_EQ(SplitlightOnce(85), 128);
}

TEST(ToneGrayscale, ExamplesAndTies)
{
    const ToneSettings g = with([](ToneSettings& s) { s.grayScale = true; });
    EXPECT_EQ(renderOne({255, 255, 255}, g), (Rgb{255, 255, 255}));
    EXPECT_EQ(renderOne({0, 5, 5}, g), (Rgb{3, 3, 3}));
    EXPECT_EQ(GrayscaleValue(0, 5, 5), 3);
    // Grayscale wins over saturation.
    ToneSettings gt = g;
    gt.saturation = 200;
    EXPECT_EQ(renderOne({30, 60, 90}, gt), renderOne({30, 60, 90}, g));
    // Inverted grey.
    ToneSettings gi = g;
    gi.invert = true;
    const Rgb grey = renderOne({30, 60, 90}, g);
    EXPECT_EQ(renderOne({30, 60, 90}, gi), (Rgb{255 - grey.r, 255 - grey.g, 255 - grey.b}));
}

TEST(ToneGrayscale, EveryColourMatchesExtendedPrecision)
{
    // Every exact half among the 2^24 colours, and a spread of the others,
    // against the plain extended-precision sum.
    long ties = 0, mismatches = 0, n = 0;
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                const bool tie = (30 * r + 59 * g + 11 * b) % 100 == 50;
                if (!tie && ++n % 13 != 0)
                    continue;
                ties += tie;
                const long double y = (0.3L * r + 0.59L * g) + 0.11L * b;
                if (GrayscaleValue(r, g, b) != int(nearbyintl(y)))
                    ++mismatches;
            }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(ties, 0); // the slow path was exercised
}

TEST(ToneGrayscale, WholeRenderingOfEveryColour)
{
    // Every colour through the row code (vector and scalar tails), with and
    // without invert, against the per-pixel grey.
    Bitmap24 all(4099, 4093); // widths that leave vector tails
    long i = 0;
    for (int y = 0; y < all.height(); ++y)
        for (int x = 0; x < all.width(); ++x, ++i)
            setPixel(all, x, y, {int(i & 255), int((i >> 8) & 255), int((i >> 16) & 255)});
    for (bool invert : {false, true}) {
        ToneSettings s;
        s.grayScale = true;
        s.invert = invert;
        Bitmap24 dst;
        RenderTone(all, nullptr, s, dst);
        long bad = 0;
        for (int y = 0; y < all.height(); ++y)
            for (int x = 0; x < all.width(); ++x) {
                const Rgb c = pixel(all, x, y);
                const int g = GrayscaleValue(c.r, c.g, c.b);
                const int want = invert ? 255 - g : g;
                bad += pixel(dst, x, y) != Rgb{want, want, want};
            }
        EXPECT_EQ(bad, 0) << "invert " << invert;
    }
}

TEST(ToneSaturation, ExtremesOfFactor)
{
    const ToneSettings lo = with([](ToneSettings& s) { s.saturation = -255; });
    EXPECT_EQ(renderOne({30, 60, 90}, lo), (Rgb{60, 60, 60}));
    const ToneSettings hi = with([](ToneSettings& s) { s.saturation = 255; });
    EXPECT_EQ(renderOne({30, 60, 90}, hi), (Rgb{0, 60, 120}));
}

TEST(ToneInvert, AloneFlipsEveryChannel)
{
    const ToneSettings inv = with([](ToneSettings& s) { s.invert = true; });
    const Bitmap24 src = randomBitmap(5, 3, 4);
    Bitmap24 dst;
    RenderTone(src, nullptr, inv, dst);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 15; ++x)
            EXPECT_EQ(dst.scanLine(y)[x], 255 - src.scanLine(y)[x]);
}

TEST(ToneLightnessDarkness, FullAndNegativeAmounts)
{
    EXPECT_EQ(renderChannel(0, with([](ToneSettings& s) { s.lightness = 255; })), 255);
    EXPECT_EQ(renderChannel(200, with([](ToneSettings& s) { s.darkness = 255; })), 0);
    // Negative lightness darkens, negative darkness brightens.
    EXPECT_LT(renderChannel(100, with([](ToneSettings& s) { s.lightness = -100; })), 100);
    EXPECT_GT(renderChannel(100, with([](ToneSettings& s) { s.darkness = -100; })), 100);
}

TEST(ToneOverflow, HugeAmountsSaturateInsteadOfWrapping)
{
    // 32-bit products would wrap for these; the result must stay on the
    // side the sign of the amount says.
    EXPECT_EQ(renderChannel(255, with([](ToneSettings& s) { s.contrast = INT_MAX; })), 255);
    EXPECT_EQ(renderChannel(0, with([](ToneSettings& s) { s.contrast = INT_MAX; })), 0);
    EXPECT_EQ(renderChannel(10, with([](ToneSettings& s) { s.lightness = INT_MIN; })), 0);
    EXPECT_EQ(renderChannel(10, with([](ToneSettings& s) { s.darkness = INT_MIN; })), 255);
    EXPECT_EQ(renderOne({30, 60, 90}, with([](ToneSettings& s) { s.saturation = INT_MAX; })),
              (Rgb{0, 60, 255}));
    EXPECT_EQ(renderChannel(200, with([](ToneSettings& s) { s.posterize = INT_MAX; })), 0);
}

TEST(ToneProperty, OptimisedPipelineMatchesReference)
{
    std::mt19937 rng(12345);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 400; ++round) {
        const int w = pick(1, 23), h = pick(1, 9);
        const Bitmap24 src = randomBitmap(w, h, 1000 + round);
        ToneSettings s;
        // Each effect is on about half the time, so combinations vary.
        if (pick(0, 1))
            s.brightness = pick(-255, 255);
        if (pick(0, 1))
            s.contrast = pick(0, 5) ? pick(-255, 255) : pick(-255, 100000);
        if (pick(0, 2) == 0)
            s.lightness = pick(-400, 255);
        if (pick(0, 2) == 0)
            s.darkness = pick(-400, 255);
        if (pick(0, 2) == 0)
            s.splitlight = pick(0, 10);
        if (pick(0, 2) == 0)
            s.grayScale = true;
        if (pick(0, 1))
            s.saturation = pick(-255, pick(0, 3) ? 255 : 5000);
        if (pick(0, 2) == 0)
            s.invert = true;
        switch (pick(0, 2)) {
        case 0:
            s.posterize = pick(1, pick(0, 3) ? 64 : 600);
            break;
        case 1:
            s.solorize = pick(1, 255);
            break;
        default:
            break;
        }
        Bitmap24 noise;
        const bool useNoise = pick(0, 1);
        if (useNoise) {
            noise.resize(w, h);
            if (pick(0, 1))
                FillColorNoise(noise, pick(1, 600));
            else
                FillMonoNoise(noise, pick(1, 255));
        }
        Bitmap24 dst;
        RenderTone(src, useNoise ? &noise : nullptr, s, dst);
        const Bitmap24 expect = referenceRender(src, useNoise ? &noise : nullptr, s);
        ASSERT_TRUE(dst == expect) << "round " << round << " B" << s.brightness << " C" << s.contrast << " L"
                                   << s.lightness << " D" << s.darkness << " K" << s.splitlight << " G"
                                   << s.grayScale << " T" << s.saturation << " I" << s.invert << " P"
                                   << s.posterize << " S" << s.solorize << " noise " << useNoise;
    }
}

TEST(ToneProperty, EveryInputByteOfEverySingleEffect)
{
    // Each channel value against the reference, one effect at a time.
    Bitmap24 src(256, 3);
    for (int x = 0; x < 256; ++x) {
        setPixel(src, x, 0, {x, x, x});
        setPixel(src, x, 1, {x, 255 - x, (x * 7) & 255});
        setPixel(src, x, 2, {(x * 13) & 255, x, 128});
    }
    std::vector<ToneSettings> cases;
    for (int v : {-255, -128, -1, 1, 77, 255}) {
        cases.push_back(with([](ToneSettings&) {}));
        cases.back().brightness = v;
        cases.push_back({});
        cases.back().contrast = v;
        cases.push_back({});
        cases.back().lightness = v;
        cases.push_back({});
        cases.back().darkness = v;
        cases.push_back({});
        cases.back().saturation = v;
    }
    for (int k = 1; k <= 10; ++k) {
        cases.push_back({});
        cases.back().splitlight = k;
    }
    for (int p : {2, 3, 7, 100, 170, 509, 510}) {
        cases.push_back({});
        cases.back().posterize = p;
    }
    for (int s : {1, 100, 255}) {
        cases.push_back({});
        cases.back().solorize = s;
    }
    for (const ToneSettings& s : cases) {
        Bitmap24 dst;
        RenderTone(src, nullptr, s, dst);
        EXPECT_TRUE(dst == referenceRender(src, nullptr, s))
            << "B" << s.brightness << " C" << s.contrast << " L" << s.lightness << " D" << s.darkness << " T"
            << s.saturation << " K" << s.splitlight << " P" << s.posterize << " S" << s.solorize;
    }
}

TEST(NoiseSamples, RangesAndZeroShare)
{
    ResetRandom();
    Bitmap24 noise(200, 100);
    FillColorNoise(noise, 255);
    long zeros = 0, total = 0;
    int maxSeen = 0;
    for (int y = 0; y < noise.height(); ++y)
        for (int i = 0; i < 3 * noise.width(); ++i, ++total) {
            const int v = noise.scanLine(y)[i];
            maxSeen = std::max(maxSeen, v);
            zeros += v == 0;
        }
    EXPECT_LE(maxSeen, 127);
    EXPECT_GE(maxSeen, 120);
    // 128 of 255 draws end at 0.
    EXPECT_NEAR(double(zeros) / total, 128.0 / 255.0, 0.01);

    for (int level : {1, 2}) {
        FillColorNoise(noise, level);
        EXPECT_TRUE(noise == solidBitmap(200, 100, 0, 0, 0)) << level;
    }
    FillMonoNoise(noise, 100);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) {
            const Rgb c = pixel(noise, x, y);
            EXPECT_TRUE(c.r == c.g && c.g == c.b);
        }
}

TEST(NoiseSamples, ChannelDrawOrderIsRedGreenBlue)
{
    // With n = 2^32 - 1 a draw returns the new state minus one, so the
    // draws can be replayed and matched to the channel bytes.
    ResetRandom();
    std::vector<std::uint32_t> draws;
    for (int i = 0; i < 6; ++i)
        draws.push_back(NextRandom(0xFFFFFFFFu));
    ResetRandom();
    Bitmap24 noise(2, 1);
    FillColorNoise(noise, 256); // sample = clamp(draw(256) - 128)
    ResetRandom();
    std::vector<int> expect;
    for (int i = 0; i < 6; ++i)
        expect.push_back(
            int(std::max<long long>(0, std::min<long long>(255, (long long)NextRandom(256) - 128))));
    EXPECT_EQ(pixel(noise, 0, 0), (Rgb{expect[0], expect[1], expect[2]}));
    EXPECT_EQ(pixel(noise, 1, 0), (Rgb{expect[3], expect[4], expect[5]}));
    // The generator itself: state 1 first, then s * 0x08088405 + 1.
    EXPECT_EQ(draws[0], 0u);
    EXPECT_EQ(draws[1], 134775813u);
    std::uint32_t s = 134775814u;
    for (int i = 2; i < 6; ++i) {
        s = s * 0x08088405u + 1u;
        EXPECT_EQ(draws[i], s - 1) << i;
    }
}

TEST(NoiseSamples, SamePatternAfterEachReset)
{
    Bitmap24 a(40, 30), b(40, 30), c(40, 30);
    ResetRandom();
    FillColorNoise(a, 90);
    FillColorNoise(c, 90);
    ResetRandom();
    FillColorNoise(b, 90);
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a == c); // the sequence continues between fillings
}
