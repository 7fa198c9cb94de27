#include "effects/EffectSettings.h"
#include "core/Errors.h"
#include "tests/support/ErrorText.h"

#include <gtest/gtest.h>

using P = Effect;

TEST(EffectOptions, ParseInOrderAndApplyThroughTheSetters)
{
    const auto s = parseEffectOptions(
        {"--mosaic=30", "--grayscale", "--invert=0", "--brightness=-12", "--color-noise=+5"});
    ASSERT_EQ(s.size(), 5u);
    const std::pair<P, int> expected[] = {
        {P::Mosaic, 30}, {P::GrayScale, 1}, {P::Invert, 0}, {P::Brightness, -12}, {P::ColorNoise, 5}};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(std::pair(s[i].effect, s[i].value), expected[i]) << i;

    const EffectValues v = effectValuesOf(parseEffectOptions({"--posterize=9", "--solarize=40"}));
    EXPECT_EQ(v[std::size_t(P::Solarize)], 40);
    EXPECT_EQ(v[std::size_t(P::Posterize)], 0);
}

TEST(EffectOptions, RejectsBadInput)
{
    for (const char* bad : {"--brightness", "--brightness=", "--brightness=abc", "--brightness=5x",
                            "--brightness=1.5", "--contrast=99999999999", "--grayscale=2", "--emboss=yes",
                            "--blur=3", "brightness=3", "--tile=+-3", "-x"})
        EXPECT_THROW(parseEffectOptions({bad}), AppError) << bad;
    // Values the engine would quietly bring into range are refused, with it.
    for (auto [bad, range] : {std::pair{"--brightness=9999", "-255 to 255"}, {"--brightness=-2147483648", "-255 to 255"},
                              {"--contrast=-256", "-255 or more"}, {"--darkness=256", "255 or less"},
                              {"--trace=11", "0 to 10"}, {"--mono-noise=-1", "0 or more"}})
        EXPECT_EQ(errorText([&] { parseEffectOptions({bad}); }),
                  QString::fromLatin1(bad) + " is outside its range, " + range);
}
