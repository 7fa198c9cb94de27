// Every 24-bit colour through the per-pixel colour steps at every kernel
// level, against the plain reference. Labelled slow.
#include "EffectsTestSupport.h"
#include "effects/ToneEffects.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

using namespace fxtest;

namespace {

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

using EveryColour = AtKernel<std::tuple<ToneKernel, ToneSettings>>;

} // namespace

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
