// The tone chain on worked examples at every kernel level, and the noise samples.
#include "effects/ToneEffects.h"
#include "EffectsTestSupport.h"
#include "effects/Random.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using namespace fxtest;

namespace {

// One pixel's colour before and after, worked out by hand from the formulas.
struct ToneExample {
    const char* name;
    ToneSettings settings;
    Rgb in, out;
};

const ToneExample kExamples[] = {
    {"BrightnessFull", {.brightness = 255}, {10, 200, 30}, {255, 255, 255}},
    {"ContrastFlattensToMidGrey", {.contrast = -255}, {0, 128, 255}, {127, 127, 127}},
    {"ContrastFullBelowMid", {.contrast = 255}, {0, 63, 64}, {0, 0, 1}},
    {"ContrastFullAboveMid", {.contrast = 255}, {127, 128, 255}, {127, 129, 255}},
    {"PosterizeHalvesToEven", {.posterize = 2}, {1, 3, 5}, {0, 4, 4}},
    {"PosterizeClampsLater", {.posterize = 2}, {255, 128, 0}, {255, 128, 0}},
    {"PosterizeWiderThanTheRange", {.posterize = 510}, {255, 100, 0}, {0, 0, 0}},
    // 255 posterizes to 300, which darkness then scales unclamped.
    {"PosterizeFeedsDarknessUnclamped", {.darkness = 100, .posterize = 100}, {255, 149, 50}, {183, 61, 0}},
    {"SolarizeAtTheTop", {.solorize = 1}, {255, 255, 255}, {0, 0, 0}},
    {"SolarizeAverageJustBelow", {.solorize = 1}, {254, 255, 255}, {254, 255, 255}},
    {"SolarizeAllButBlack", {.solorize = 255}, {0, 10, 200}, {255, 245, 55}},
    {"SplitlightOnce", {.splitlight = 1}, {1, 64, 85}, {2, 98, 128}},
    {"SplitlightTenTimes", {.splitlight = 10}, {8, 200, 0}, {255, 255, 0}},
    {"GrayscaleTie", {.grayScale = true}, {0, 5, 5}, {3, 3, 3}},
    {"GrayscaleWinsOverSaturation", {.grayScale = true, .saturation = 200}, {30, 60, 90}, {54, 54, 54}},
    {"GrayscaleInverted", {.grayScale = true, .invert = true}, {30, 60, 90}, {201, 201, 201}},
    {"SaturationDouble", {.saturation = 255}, {30, 60, 90}, {0, 60, 120}},
    {"Invert", {.invert = true}, {30, 60, 90}, {225, 195, 165}},
    {"LightnessNegative", {.lightness = -100}, {100, 0, 255}, {40, 0, 255}},
    {"DarknessNegative", {.darkness = -100}, {100, 0, 255}, {139, 0, 255}},
    // 32-bit products would wrap for these: the sign of the amount must win.
    {"HugeContrast", {.contrast = INT_MAX}, {255, 0, 127}, {255, 0, 127}},
    {"HugeNegativeLightness", {.lightness = INT_MIN}, {10, 255, 0}, {0, 255, 0}},
    {"HugeNegativeDarkness", {.darkness = INT_MIN}, {10, 0, 255}, {255, 0, 255}},
    {"HugeSaturation", {.saturation = INT_MAX}, {30, 60, 90}, {0, 60, 255}},
    {"HugePosterize", {.posterize = INT_MAX}, {200, 0, 255}, {0, 0, 0}},
};

using ToneExamples = AtKernel<std::tuple<ToneKernel, ToneExample>>;

} // namespace

// A picture of the one colour, wide enough for every vector block and tail.
TEST_P(ToneExamples, EveryPixelComesOutAsWorkedOut)
{
    const ToneExample& e = std::get<1>(GetParam());
    Bitmap24 dst;
    RenderTone(solidBitmap(131, 2, e.in.b, e.in.g, e.in.r), nullptr, e.settings, dst);
    for (int x = 0; x < 131; ++x)
        for (int y = 0; y < 2; ++y)
            ASSERT_EQ(pixel(dst, x, y), e.out) << "at " << x << "," << y << ": " << pixel(dst, x, y).r << " "
                                               << pixel(dst, x, y).g << " " << pixel(dst, x, y).b;
}

INSTANTIATE_TEST_SUITE_P(, ToneExamples, ::testing::Combine(kEveryKernel, ::testing::ValuesIn(kExamples)),
                         [](const auto& info) {
                             return std::string(kernelName(std::get<0>(info.param))) + "_" +
                                    std::get<1>(info.param).name;
                         });

// The generator: state 1 first, then s * 0x08088405 + 1 (with n = 2^32 - 1
// a draw is the new state minus one). Colour samples, clamp(draw(n) - n / 2),
// are drawn red, green, blue; mono ones are grey.
TEST(NoiseSamples, GeneratorDrawOrderAndRanges)
{
    ResetRandom();
    std::uint32_t state = 1;
    for (int i = 0; i < 6; ++i, state = state * 0x08088405u + 1u)
        EXPECT_EQ(NextRandom(0xFFFFFFFFu), state - 1) << i;
    ResetRandom();
    int expect[6];
    for (int& e : expect)
        e = std::clamp(int(NextRandom(256)) - 128, 0, 255);
    ResetRandom();
    Bitmap24 noise(200, 100);
    FillColorNoise(noise, 256);
    EXPECT_EQ(pixel(noise, 0, 0), (Rgb{expect[0], expect[1], expect[2]}));
    EXPECT_EQ(pixel(noise, 1, 0), (Rgb{expect[3], expect[4], expect[5]}));
    FillColorNoise(noise, 2);
    EXPECT_TRUE(noise == solidBitmap(200, 100, 0, 0, 0));
    FillMonoNoise(noise, 100);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            ASSERT_TRUE(pixel(noise, x, y).r == pixel(noise, x, y).g &&
                        pixel(noise, x, y).g == pixel(noise, x, y).b);
}
