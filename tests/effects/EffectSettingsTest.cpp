#include "effects/EffectSettings.h"
#include "core/Errors.h"

#include <gtest/gtest.h>

using P = EffectProperty;

TEST(EffectOptions, EveryPropertyParsesInOrderAndAppliesThroughItsSetter)
{
    for (int i = 0; i < EffectPropertyCount; ++i) {
        const std::string opt = std::string("--") + effectOptionName(EffectProperty(i)) + "=1";
        EXPECT_TRUE(isEffectOption(opt)) << opt;
        const auto s = parseEffectOptions({opt});
        ASSERT_EQ(s.size(), 1u);
        EXPECT_EQ(s[0].property, EffectProperty(i));
    }
    const auto s = parseEffectOptions(
        {"--mosaic=30", "--grayscale", "--invert=0", "--brightness=-12", "--color-noise=+5"});
    ASSERT_EQ(s.size(), 5u);
    const std::pair<P, int> expected[] = {{P::PicMosaic, 30},
                                          {P::PicGrayScale, 1},
                                          {P::PicInvert, 0},
                                          {P::PicBrightness, -12},
                                          {P::PicColorNoise, 5}};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(std::pair(s[i].property, s[i].value), expected[i]) << i;
    EXPECT_FALSE(isEffectOption("--show-properties"));

    EffectRenderer e;
    applyEffectSettings(e, parseEffectOptions({"--posterize=9", "--solarize=40"}));
    EXPECT_EQ(e.PicSolorize(), 40);
    EXPECT_EQ(e.PicPosterize(), 0);
}

TEST(EffectOptions, RejectsBadInput)
{
    for (const char* bad : {"--brightness", "--brightness=", "--brightness=abc", "--brightness=5x",
                            "--brightness=1.5", "--contrast=99999999999", "--grayscale=2", "--emboss=yes",
                            "--blur=3", "brightness=3", "--tile=+-3", "-x"})
        EXPECT_THROW(parseEffectOptions({bad}), AppError) << bad;
    // Values the engine would quietly bring into range are refused, with it.
    for (auto [bad, range] : {std::pair{"--brightness=9999", "-255 to 255"},
                              {"--brightness=-2147483648", "-255 to 255"},
                              {"--contrast=-256", "-255 or more"},
                              {"--darkness=256", "255 or less"},
                              {"--trace=11", "0 to 10"},
                              {"--mono-noise=-1", "0 or more"}}) {
        try {
            parseEffectOptions({bad});
            ADD_FAILURE() << bad;
        } catch (const AppError& e) {
            EXPECT_EQ(e.text(), QString::fromLatin1(bad) + " is outside its range, " + range);
        }
    }
}
