// The vector paths of the tone chain against the plain reference, at every
// kernel level this processor offers.
#include "EffectsTestSupport.h"
#include "effects/Random.h"
#include "effects/ToneEffects.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace fxtest;

namespace {

const char* kernelName(ToneKernel k)
{
    switch (k) {
    case ToneKernel::Portable:
        return "Portable";
    case ToneKernel::Ssse3:
        return "Ssse3";
    case ToneKernel::Avx512:
        return "Avx512";
    }
    return "?";
}

// Saturation amounts around every edge of the arithmetic: the plain average,
// no change, the first steps either side, the doubling, the point where the
// factor is capped (F = 255 * 256 at T = 65025), and far beyond.
const int kSaturations[] = {-255, -254, -128, -1,  0,     1,     2,     80,    254,
                            255,  256,  300,  509, 10000, 65024, 65025, 65026, INT_MAX};

// Runs each test at one kernel level and restores the widest afterwards.
class ToneKernels : public ::testing::TestWithParam<ToneKernel> {
protected:
    void SetUp() override
    {
        SetToneKernelLimit(GetParam());
        if (ToneKernelInUse() != GetParam())
            GTEST_SKIP() << "this processor lacks " << kernelName(GetParam());
    }
    void TearDown() override { SetToneKernelLimit(ToneKernel::Avx512); }
};

// Every 24-bit colour once, in a 4096 x 4096 picture.
const Bitmap24& everyColour()
{
    static const Bitmap24 all = [] {
        Bitmap24 b(4096, 4096);
        long i = 0;
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x, ++i)
                setPixel(b, x, y, {int(i & 255), int((i >> 8) & 255), int((i >> 16) & 255)});
        return b;
    }();
    return all;
}

// Saturation alone on a picture whose channels are already in 0..255.
Rgb saturated(Rgb c, long long t)
{
    const long long a = (c.r + c.g + c.b) / 3;
    auto one = [&](long long v) { return int(refClamp(((t + 255) * (v - a)) / 255 + a)); };
    return {one(c.r), one(c.g), one(c.b)};
}

} // namespace

TEST_P(ToneKernels, SaturationOfEveryColourMatchesFormula)
{
    const Bitmap24& all = everyColour();
    for (int t : {-255, 1, 255, 256, 10000, 65025, INT_MAX}) {
        ToneSettings s;
        s.saturation = t;
        Bitmap24 dst;
        RenderTone(all, nullptr, s, dst);
        long bad = 0;
        for (int y = 0; y < all.height(); ++y)
            for (int x = 0; x < all.width(); ++x)
                bad += pixel(dst, x, y) != saturated(pixel(all, x, y), t);
        EXPECT_EQ(bad, 0) << "T " << t;
    }
}

TEST_P(ToneKernels, GrayscaleOfEveryColourMatchesExtendedPrecision)
{
    const Bitmap24& all = everyColour();
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
                const int g = int(nearbyintl((0.3L * c.r + 0.59L * c.g) + 0.11L * c.b));
                const int want = invert ? 255 - g : g;
                bad += pixel(dst, x, y) != Rgb{want, want, want};
            }
        EXPECT_EQ(bad, 0) << "invert " << invert;
    }
}

TEST_P(ToneKernels, GrayscaleRowTailsAfterChannelTables)
{
    for (int w : {1, 15, 16, 17, 42, 43, 63, 64, 65, 86, 127, 128, 129}) {
        // Grey levels near ties are common in flat colours; random ones add spread.
        Bitmap24 src = randomBitmap(w, 4, unsigned(w) + 300);
        for (int x = 0; x < w; ++x)
            setPixel(src, x, 0, {0, 5, 5});
        for (int b : {0, 37}) {
            ToneSettings s;
            s.grayScale = true;
            s.brightness = b;
            s.invert = b != 0;
            Bitmap24 dst;
            RenderTone(src, nullptr, s, dst);
            ASSERT_TRUE(dst == referenceRender(src, nullptr, s)) << "width " << w << " B" << b;
        }
    }
}

TEST_P(ToneKernels, SaturationAmountsAndRowTails)
{
    // Widths on both sides of the 16- and 64-pixel blocks, so that the last
    // block of a row stops in each of its three 64-byte parts.
    for (int w : {1, 2, 15, 16, 17, 21, 22, 42, 43, 63, 64, 65, 85, 86, 127, 128, 129, 200}) {
        const Bitmap24 src = randomBitmap(w, 3, unsigned(w));
        for (int t : kSaturations) {
            for (bool invert : {false, true}) {
                ToneSettings s;
                s.saturation = t;
                s.invert = invert;
                Bitmap24 dst;
                RenderTone(src, nullptr, s, dst);
                ASSERT_TRUE(dst == referenceRender(src, nullptr, s))
                    << "width " << w << " T " << t << " invert " << invert;
            }
        }
    }
}

TEST_P(ToneKernels, SaturationAfterChannelTables)
{
    // The widest kernel looks the channel tables up itself; brightness,
    // contrast, splitlight and posterize all feed it.
    const Bitmap24 src = randomBitmap(131, 7, 99);
    for (int t : kSaturations) {
        ToneSettings s;
        s.saturation = t;
        s.brightness = 40;
        s.contrast = 60;
        Bitmap24 dst;
        RenderTone(src, nullptr, s, dst);
        EXPECT_TRUE(dst == referenceRender(src, nullptr, s)) << "T " << t;
        s.splitlight = 2;
        s.posterize = 30;
        s.invert = true;
        RenderTone(src, nullptr, s, dst);
        EXPECT_TRUE(dst == referenceRender(src, nullptr, s)) << "T " << t << " with splitlight and posterize";
    }
}

TEST_P(ToneKernels, ChannelTablesAloneOnEveryByte)
{
    // Rows of every length up to two vector blocks, every byte value.
    for (int w = 1; w <= 130; ++w) {
        Bitmap24 src(w, 2);
        for (int x = 0; x < w; ++x) {
            setPixel(src, x, 0, {(3 * x) & 255, (3 * x + 1) & 255, (3 * x + 2) & 255});
            setPixel(src, x, 1, {(255 - 3 * x) & 255, (128 + 3 * x) & 255, (7 * x) & 255});
        }
        ToneSettings s;
        s.brightness = 40;
        s.contrast = 60;
        s.invert = w % 2 == 0;
        Bitmap24 dst;
        RenderTone(src, nullptr, s, dst);
        ASSERT_TRUE(dst == referenceRender(src, nullptr, s)) << "width " << w;
    }
}

TEST_P(ToneKernels, RandomSettingsMatchReference)
{
    std::mt19937 rng(777 + unsigned(GetParam()));
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 300; ++round) {
        const int w = pick(1, 140), h = pick(1, 4);
        const Bitmap24 src = randomBitmap(w, h, 5000 + round);
        ToneSettings s;
        if (pick(0, 1))
            s.brightness = pick(-255, 255);
        if (pick(0, 1))
            s.contrast = pick(-255, 400);
        if (pick(0, 3) == 0)
            s.lightness = pick(-300, 255);
        if (pick(0, 3) == 0)
            s.darkness = pick(-300, 255);
        if (pick(0, 3) == 0)
            s.splitlight = pick(1, 10);
        if (pick(0, 4) == 0)
            s.grayScale = true;
        s.saturation = pick(0, 2) ? kSaturations[pick(0, std::size(kSaturations) - 1)] : pick(-255, 1000);
        if (pick(0, 2) == 0)
            s.invert = true;
        if (pick(0, 3) == 0)
            s.posterize = pick(1, 300);
        Bitmap24 dst;
        RenderTone(src, nullptr, s, dst);
        ASSERT_TRUE(dst == referenceRender(src, nullptr, s))
            << "round " << round << " w " << w << " B" << s.brightness << " C" << s.contrast << " L"
            << s.lightness << " D" << s.darkness << " K" << s.splitlight << " G" << s.grayScale << " T"
            << s.saturation << " I" << s.invert << " P" << s.posterize;
    }
}

INSTANTIATE_TEST_SUITE_P(, ToneKernels,
                         ::testing::Values(ToneKernel::Portable, ToneKernel::Ssse3, ToneKernel::Avx512),
                         [](const auto& info) { return std::string(kernelName(info.param)); });

TEST(ToneKernelLimit, NeverAboveWhatIsAsked)
{
    SetToneKernelLimit(ToneKernel::Portable);
    EXPECT_EQ(ToneKernelInUse(), ToneKernel::Portable);
    SetToneKernelLimit(ToneKernel::Ssse3);
    EXPECT_LE(int(ToneKernelInUse()), int(ToneKernel::Ssse3));
    SetToneKernelLimit(ToneKernel::Avx512);
}

#ifdef PICTAVO_SIMD_X86
// A build with the vector kernels must reach every one the processor has;
// if it didn't, the kernel tests above would skip them without a word.
TEST(ToneKernelLimit, VectorBuildUsesWhatTheProcessorHas)
{
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                        __builtin_cpu_supports("avx512vbmi");
    const ToneKernel has = avx512                            ? ToneKernel::Avx512
                           : __builtin_cpu_supports("ssse3") ? ToneKernel::Ssse3
                                                             : ToneKernel::Portable;
    SetToneKernelLimit(ToneKernel::Avx512);
    EXPECT_EQ(ToneKernelInUse(), has);
}
#endif
