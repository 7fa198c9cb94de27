#include "effects/EffectSettings.h"
#include "core/Errors.h"

#include <gtest/gtest.h>

using P = EffectProperty;

TEST(EffectOptions, ParsesInOrderWithBooleans)
{
    const auto s = parseEffectOptions(
        {"--mosaic=30", "--grayscale", "--invert=0", "--brightness=-12", "--color-noise=+5", "--emboss=1"});
    ASSERT_EQ(s.size(), 6u);
    EXPECT_EQ(s[0].property, P::PicMosaic);
    EXPECT_EQ(s[0].value, 30);
    EXPECT_EQ(s[1].property, P::PicGrayScale);
    EXPECT_EQ(s[1].value, 1);
    EXPECT_EQ(s[2].property, P::PicInvert);
    EXPECT_EQ(s[2].value, 0);
    EXPECT_EQ(s[3].value, -12);
    EXPECT_EQ(s[4].property, P::PicColorNoise);
    EXPECT_EQ(s[4].value, 5);
    EXPECT_EQ(s[5].property, P::PicEmboss);
}

TEST(EffectOptions, EveryPropertyHasAnOption)
{
    for (int i = 0; i < EffectPropertyCount; ++i) {
        const auto p = EffectProperty(i);
        const std::string opt = std::string("--") + effectOptionName(p) + "=1";
        EXPECT_TRUE(isEffectOption(opt)) << opt;
        const auto s = parseEffectOptions({opt});
        ASSERT_EQ(s.size(), 1u);
        EXPECT_EQ(s[0].property, p);
    }
}

TEST(EffectOptions, RejectsBadInput)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--brightness"},     {"--brightness="},          {"--brightness=abc"}, {"--brightness=5x"},
        {"--brightness=1.5"}, {"--contrast=99999999999"}, {"--grayscale=2"},    {"--emboss=yes"},
        {"--blur=3"},         {"brightness=3"},           {"--tile=+-3"},       {"-x"},
    };
    for (const auto& args : bad)
        EXPECT_THROW(parseEffectOptions(args), AppError) << args[0];
    EXPECT_FALSE(isEffectOption("--show-properties"));
}

TEST(EffectOptions, AppliesThroughTheSetters)
{
    EffectRenderer e;
    applyEffectSettings(e, parseEffectOptions({"--posterize=9", "--solarize=40", "--brightness=999"}));
    EXPECT_EQ(e.PicPosterize(), 0);
    EXPECT_EQ(e.PicSolorize(), 40);
    EXPECT_EQ(e.PicBrightness(), 255);
}
