// The table and vector paths of the tone chain against the plain reference,
// at every kernel level this processor offers; every 24-bit colour for the
// steps that round (labelled slow).
#include "EffectsTestSupport.h"
#include "effects/Random.h"
#include "effects/ToneEffects.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

using namespace fxtest;

namespace {

// Saturation amounts around every edge of the arithmetic: the plain average,
// no change, the first steps either side, the doubling, the point where the
// factor is capped (F = 255 * 256 at T = 65025), and far beyond.
const int kSaturations[] = {-255, -254, -128, -1,  0,     1,     2,     80,    254,
                            255,  256,  300,  509, 10000, 65024, 65025, 65026, INT_MAX};

// Each effect alone at several amounts, each saturation with and without the
// channel tables before it, and grayscale after them.
std::vector<ToneSettings> edgeSettings()
{
    std::vector<ToneSettings> cases;
    for (int v : {-255, -128, -1, 1, 77, 255})
        for (int ToneSettings::*amount : {&ToneSettings::brightness, &ToneSettings::contrast,
                                          &ToneSettings::lightness, &ToneSettings::darkness}) {
            ToneSettings s;
            s.*amount = v;
            cases.push_back(s);
        }
    for (int k = 1; k <= 10; ++k)
        cases.push_back({.splitlight = k});
    for (int p : {2, 3, 7, 100, 170, 509, 510})
        cases.push_back({.posterize = p});
    for (int s : {1, 100, 255})
        cases.push_back({.solorize = s});
    for (int t : kSaturations)
        for (bool invert : {false, true}) {
            cases.push_back({.saturation = t, .invert = invert});
            cases.push_back({.brightness = 40,
                             .contrast = 60,
                             .saturation = t,
                             .splitlight = invert ? 2 : 0,
                             .invert = invert,
                             .posterize = invert ? 30 : 0});
        }
    for (int b : {0, 37})
        for (bool invert : {false, true}) {
            cases.push_back({.brightness = b, .grayScale = true, .invert = invert});
            cases.push_back({.brightness = 40, .contrast = 60, .invert = invert});
        }
    return cases;
}

using ToneKernels = AtKernel<>;
using EveryColour = AtKernel<std::tuple<ToneKernel, ToneSettings>>;

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

} // namespace

// Widths on both sides of the 16- and 64-pixel blocks, so that the last
// block of a row stops in each of its three 64-byte parts; the first row
// runs through every byte value once the row is 86 pixels wide.
TEST_P(ToneKernels, EdgeAmountsAtEveryRowTailMatchReference)
{
    const std::vector<ToneSettings> cases = edgeSettings();
    for (int w : {1, 2, 15, 16, 17, 21, 22, 42, 43, 63, 64, 65, 85, 86, 127, 128, 129, 200, 256}) {
        Bitmap24 src = randomBitmap(w, 3, unsigned(w));
        for (int x = 0; x < w; ++x)
            setPixel(src, x, 0, {(3 * x) & 255, (3 * x + 1) & 255, (3 * x + 2) & 255});
        setPixel(src, w / 2, 2, {0, 5, 5}); // a grayscale tie
        for (std::size_t i = 0; i < cases.size(); ++i) {
            Bitmap24 dst;
            RenderTone(src, nullptr, cases[i], dst);
            ASSERT_TRUE(dst == referenceRender(src, nullptr, cases[i])) << "width " << w << " case " << i;
        }
    }
}

TEST_P(ToneKernels, RandomSettingsAndNoiseMatchReference)
{
    std::mt19937 rng(777 + unsigned(GetParam()));
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto maybe = [&](int oneIn, int lo, int hi) { return pick(1, oneIn) == 1 ? pick(lo, hi) : 0; };
    for (int round = 0; round < 400; ++round) {
        const int w = pick(1, 140), h = pick(1, 4), which = pick(0, 2);
        const Bitmap24 src = randomBitmap(w, h, 5000 + round);
        const ToneSettings s{.brightness = maybe(2, -255, 255),
                             .contrast = maybe(2, -255, pick(0, 5) ? 255 : 100000),
                             .grayScale = pick(0, 3) == 0,
                             .lightness = maybe(3, -400, 255),
                             .darkness = maybe(3, -400, 255),
                             .saturation = pick(0, 1) ? kSaturations[pick(0, std::size(kSaturations) - 1)]
                                                      : maybe(2, -255, 1000),
                             .splitlight = maybe(3, 1, 10),
                             .invert = pick(0, 2) == 0,
                             .posterize = which == 0 ? pick(1, pick(0, 3) ? 64 : 600) : 0,
                             .solorize = which == 1 ? pick(1, 255) : 0};
        Bitmap24 noise(w, h);
        if (const int level = maybe(2, 1, 600); level > 0)
            level % 2 ? FillColorNoise(noise, level) : FillMonoNoise(noise, std::min(level, 255));
        Bitmap24 dst;
        RenderTone(src, &noise, s, dst);
        ASSERT_TRUE(dst == referenceRender(src, &noise, s)) << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(, ToneKernels, kEveryKernel,
                         [](const auto& info) { return std::string(kernelName(info.param)); });

TEST_P(EveryColour, MatchesReference)
{
    const ToneSettings& s = std::get<1>(GetParam());
    const Bitmap24& all = everyColour();
    Bitmap24 dst;
    RenderTone(all, nullptr, s, dst);
    long bad = 0;
    for (int y = 0; y < all.height(); ++y)
        for (int x = 0; x < all.width(); ++x)
            bad += pixel(dst, x, y) != referencePixel(pixel(all, x, y), {0, 0, 0}, s);
    EXPECT_EQ(bad, 0);
}

// Grayscale ties fall on exact halves, which only extended precision rounds
// right; saturation at the edges of its fixed-point factor.
INSTANTIATE_TEST_SUITE_P(
    , EveryColour,
    ::testing::Combine(kEveryKernel,
                       ::testing::Values(ToneSettings{.grayScale = true},
                                         ToneSettings{.grayScale = true, .invert = true},
                                         ToneSettings{.saturation = -255}, ToneSettings{.saturation = 1},
                                         ToneSettings{.saturation = 255}, ToneSettings{.saturation = 256},
                                         ToneSettings{.saturation = 10000}, ToneSettings{.saturation = 65025},
                                         ToneSettings{.saturation = INT_MAX})),
    [](const auto& info) {
        const ToneSettings& s = std::get<1>(info.param);
        return std::string(kernelName(std::get<0>(info.param))) +
               (s.grayScale ? (s.invert ? "_GrayscaleInverted" : "_Grayscale")
                            : "_Saturation" + std::string(s.saturation < 0 ? "Minus" : "") +
                                  std::to_string(std::abs(s.saturation)));
    });

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
// if it didn't, the kernel tests would skip them without a word.
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
