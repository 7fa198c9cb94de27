// The table and vector paths of the tone chain against the plain reference,
// at every kernel level this processor offers; every 24-bit colour for the
// steps that round (labelled slow).
#include "EffectsTestSupport.h"
#include "effects/ToneEffects.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

using namespace fxtest;
using E = Effect;

namespace {

// Saturation amounts around every edge of the arithmetic: the plain average,
// no change, the first steps either side, the doubling, the point where the
// factor is capped (F = 255 * 256 at T = 65025), and far beyond.
const int kSaturations[] = {-255, -254, -128, -1,  0,     1,     2,     80,    254,
                            255,  256,  300,  509, 10000, 65024, 65025, 65026, INT_MAX};

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

TEST_P(ToneKernels, RandomSettingsAndNoiseMatchReference)
{
    std::mt19937 rng(777 + unsigned(GetParam()));
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto maybe = [&](int oneIn, int lo, int hi) { return pick(1, oneIn) == 1 ? pick(lo, hi) : 0; };
    for (int round = 0; round < 400; ++round) {
        const int w = pick(1, 260), h = pick(1, 4), which = pick(0, 2);
        const Bitmap24 src = randomBitmap(w, h, 5000 + round);
        const ToneSettings s = at(tone({
            {E::Brightness, maybe(2, -255, 255)},
            {E::Contrast, maybe(2, -255, pick(0, 5) ? 255 : 100000)},
            {E::GrayScale, pick(0, 3) == 0},
            {E::Lightness, maybe(3, -400, 255)},
            {E::Darkness, maybe(3, -400, 255)},
            {E::Saturation,
             pick(0, 1) ? kSaturations[pick(0, std::size(kSaturations) - 1)] : maybe(2, -255, 1000)},
            {E::Splitlight, maybe(3, 1, 10)},
            {E::Invert, pick(0, 2) == 0},
            {E::Posterize, which == 0 ? pick(1, pick(0, 3) ? 64 : 600) : 0},
            {E::Solarize, which == 1 ? pick(1, 255) : 0},
        }));
        Bitmap24 noise(w, h);
        const int level = maybe(2, 1, 600);
        NoiseGenerator random{std::uint32_t(round)};
        if (level > 0)
            level % 2 ? FillColorNoise(noise, level, random)
                      : FillMonoNoise(noise, std::min(level, 255), random);
        const Bitmap24* n = level > 0 || round % 2 ? &noise : nullptr; // none at all: the plain tables
        Bitmap24 dst;
        RenderTone(src, n, s, dst);
        ASSERT_TRUE(dst == referenceRender(src, n, s)) << "round " << round;
        Bitmap24 inPlace = src;
        RenderToneInPlace(inPlace, n, s);
        ASSERT_TRUE(inPlace == dst) << "in place, round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(, ToneKernels, kEveryKernel,
                         [](const auto& info) { return std::string(kernelName(info.param)); });

TEST_P(EveryColour, MatchesReference)
{
    const ToneSettings s = at(std::get<1>(GetParam()));
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
// clang-format off
INSTANTIATE_TEST_SUITE_P(, EveryColour, ::testing::Combine(kEveryKernel, ::testing::Values(
    tone({{E::GrayScale, 1}}), tone({{E::GrayScale, 1}, {E::Invert, 1}}), tone({{E::Saturation, -255}}),
    tone({{E::Saturation, 1}}), tone({{E::Saturation, 255}}), tone({{E::Saturation, 256}}),
    tone({{E::Saturation, 10000}}), tone({{E::Saturation, 65025}}), tone({{E::Saturation, INT_MAX}}))),
    [](const auto& info) { return std::string(kernelName(std::get<0>(info.param))) + "_" + std::to_string(info.index); });
// clang-format on

#ifdef PICTAVO_SIMD_X86
// A build with the vector kernels must reach every one the processor has,
// and never one above the limit; else the kernel tests would skip levels
// without a word.
TEST(ToneKernelLimit, VectorBuildUsesWhatTheProcessorHasUpToTheLimit)
{
    EXPECT_EQ(toneKernelUpTo(ToneKernel::Portable), ToneKernel::Portable);
    EXPECT_LE(int(toneKernelUpTo(ToneKernel::Ssse3)), int(ToneKernel::Ssse3));
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                        __builtin_cpu_supports("avx512vbmi");
    const ToneKernel has = avx512                            ? ToneKernel::Avx512
                           : __builtin_cpu_supports("ssse3") ? ToneKernel::Ssse3
                                                             : ToneKernel::Portable;
    EXPECT_EQ(toneKernelUpTo(ToneKernel::Avx512), has);
}
#endif
