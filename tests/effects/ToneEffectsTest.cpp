// The tone chain on worked examples at every kernel level, and the noise samples.
#include "effects/ToneEffects.h"
#include "EffectsTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using namespace fxtest;
using E = Effect;

namespace {

// One pixel's colour before and after, worked out by hand from the formulas.
struct ToneExample {
    const char* name;
    ToneSettings settings;
    Rgb in, out;
};

// clang-format off
const ToneExample kExamples[] = {
    {"BrightnessFull", tone({{E::Brightness, 255}}), {10, 200, 30}, {255, 255, 255}},
    {"ContrastFlattensToMidGrey", tone({{E::Contrast, -255}}), {0, 128, 255}, {127, 127, 127}},
    {"ContrastFullBelowMid", tone({{E::Contrast, 255}}), {0, 63, 64}, {0, 0, 1}},
    {"ContrastFullAboveMid", tone({{E::Contrast, 255}}), {127, 128, 255}, {127, 129, 255}},
    {"PosterizeHalvesToEven", tone({{E::Posterize, 2}}), {1, 3, 5}, {0, 4, 4}},
    {"PosterizeClampsLater", tone({{E::Posterize, 2}}), {255, 128, 0}, {255, 128, 0}},
    {"PosterizeWiderThanTheRange", tone({{E::Posterize, 510}}), {255, 100, 0}, {0, 0, 0}},
    // 255 posterizes to 300, which darkness then scales unclamped.
    {"PosterizeFeedsDarknessUnclamped", tone({{E::Darkness, 100}, {E::Posterize, 100}}), {255, 149, 50}, {183, 61, 0}},
    {"SolarizeAtTheTop", tone({{E::Solarize, 1}}), {255, 255, 255}, {0, 0, 0}},
    {"SolarizeAverageJustBelow", tone({{E::Solarize, 1}}), {254, 255, 255}, {254, 255, 255}},
    {"SolarizeAllButBlack", tone({{E::Solarize, 255}}), {0, 10, 200}, {255, 245, 55}},
    {"SplitlightOnce", tone({{E::Splitlight, 1}}), {1, 64, 85}, {2, 98, 128}},
    {"SplitlightTenTimes", tone({{E::Splitlight, 10}}), {8, 200, 0}, {255, 255, 0}},
    {"GrayscaleTie", tone({{E::GrayScale, 1}}), {0, 5, 5}, {3, 3, 3}},
    {"GrayscaleWinsOverSaturation", tone({{E::GrayScale, 1}, {E::Saturation, 200}}), {30, 60, 90}, {54, 54, 54}},
    {"GrayscaleInverted", tone({{E::GrayScale, 1}, {E::Invert, 1}}), {30, 60, 90}, {201, 201, 201}},
    {"SaturationDouble", tone({{E::Saturation, 255}}), {30, 60, 90}, {0, 60, 120}},
    {"Invert", tone({{E::Invert, 1}}), {30, 60, 90}, {225, 195, 165}},
    {"LightnessNegative", tone({{E::Lightness, -100}}), {100, 0, 255}, {40, 0, 255}},
    {"DarknessNegative", tone({{E::Darkness, -100}}), {100, 0, 255}, {139, 0, 255}},
    // 32-bit products would wrap for these: the sign of the amount must win.
    {"HugeContrast", tone({{E::Contrast, INT_MAX}}), {255, 0, 127}, {255, 0, 127}},
    {"HugeNegativeLightness", tone({{E::Lightness, INT_MIN}}), {10, 255, 0}, {0, 255, 0}},
    {"HugeNegativeDarkness", tone({{E::Darkness, INT_MIN}}), {10, 0, 255}, {255, 0, 255}},
    {"HugeSaturation", tone({{E::Saturation, INT_MAX}}), {30, 60, 90}, {0, 60, 255}},
    {"HugePosterize", tone({{E::Posterize, INT_MAX}}), {200, 0, 255}, {0, 0, 0}},
};
// clang-format on

using ToneExamples = AtKernel<std::tuple<ToneKernel, ToneExample>>;

} // namespace

// A picture of the one colour, wide enough for every vector block and tail.
TEST_P(ToneExamples, EveryPixelComesOutAsWorkedOut)
{
    const ToneExample& e = std::get<1>(GetParam());
    Bitmap24 dst;
    RenderTone(solidBitmap(131, 2, e.in.b, e.in.g, e.in.r), nullptr, at(e.settings), dst);
    for (int x = 0; x < 131; ++x)
        for (int y = 0; y < 2; ++y)
            ASSERT_EQ(pixel(dst, x, y), e.out) << "at " << x << "," << y << ": " << pixel(dst, x, y).r << " "
                                               << pixel(dst, x, y).g << " " << pixel(dst, x, y).b;
}

INSTANTIATE_TEST_SUITE_P(, ToneExamples, ::testing::Combine(kEveryKernel, ::testing::ValuesIn(kExamples)),
                         [](const auto& info) {
                             return std::string(kernelName(std::get<0>(info.param))) + "_" + std::get<1>(info.param).name;
                         });

// The generator: state 1 first, then s * 0x08088405 + 1 (with n = 2^32 - 1
// a draw is the new state minus one); skipping n draws lands where drawing
// them does. Colour samples, clamp(draw(n) - n / 2), are drawn red, green,
// blue; mono ones are grey.
TEST(NoiseSamples, GeneratorDrawOrderAndRanges)
{
    NoiseGenerator random;
    std::uint32_t state = 1;
    for (int i = 0; i < 6; ++i, state = state * 0x08088405u + 1u)
        EXPECT_EQ(random.next(0xFFFFFFFFu), state - 1) << i;
    NoiseGenerator skipped;
    skipped.skip(6);
    EXPECT_EQ(skipped, random);
    random = NoiseGenerator();
    int expect[6];
    for (int& e : expect)
        e = std::clamp(int(random.next(256)) - 128, 0, 255);
    random = NoiseGenerator();
    Bitmap24 noise(200, 100);
    FillColorNoise(noise, 256, random);
    EXPECT_EQ(pixel(noise, 0, 0), (Rgb{expect[0], expect[1], expect[2]}));
    EXPECT_EQ(pixel(noise, 1, 0), (Rgb{expect[3], expect[4], expect[5]}));
    FillColorNoise(noise, 2, random);
    EXPECT_TRUE(noise == solidBitmap(200, 100, 0, 0, 0));
    FillMonoNoise(noise, 100, random);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            ASSERT_TRUE(pixel(noise, x, y).r == pixel(noise, x, y).g &&
                        pixel(noise, x, y).g == pixel(noise, x, y).b);
}
