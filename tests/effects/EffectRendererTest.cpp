#include "effects/EffectRenderer.h"
#include "EffectsTestSupport.h"
#include "effects/PixelRoutines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <tuple>
#include <vector>

using namespace fxtest;
using E = Effect;

namespace {
Bitmap24 blurred(Bitmap24 b, int passes)
{
    for (int i = 0; i < passes; ++i)
        SplitBlurBitmap(b, 3);
    return b;
}
} // namespace

// Setting an effect clears the others of its group (posterize and solarize,
// the two noises, the seven neighbourhood and geometric effects); the tone
// effects are in none.
TEST(EffectRendererSetters, ExclusionGroupsKeepTheLastSet)
{
    const std::vector<std::vector<E>> groups = {
        {E::Posterize, E::Solarize},
        {E::ColorNoise, E::MonoNoise},
        {E::Emboss, E::Mosaic, E::SplitBlur, E::GaussianBlur, E::AntiAlias, E::Trace, E::Tile}};
    const auto groupOf = [&](E e) {
        for (std::size_t g = 0; g < groups.size(); ++g)
            if (std::count(groups[g].begin(), groups[g].end(), e))
                return int(g);
        return -1;
    };
    const Bitmap24 picture = randomBitmap(30, 20, 1);
    for (int a = 0; a < EffectCount; ++a)
        for (int b = 0; b < EffectCount; ++b) {
            if (a == b)
                continue;
            EffectRenderer e;
            e.setPictureOriginal(picture);
            e.setValue(E(a), 2);
            e.setValue(E(b), 3);
            EXPECT_EQ(e.value(E(a)) == 0, groupOf(E(a)) >= 0 && groupOf(E(a)) == groupOf(E(b)))
                << effectInfo(E(a)).name << " then " << effectInfo(E(b)).name;
        }
}

// Every setter brings a value beyond its row's range to the nearer end, and
// takes any value but 0 for 1 where the effect is on or off. (The ranges
// themselves are pinned where pictavo-fx refuses values beyond them.)
TEST(EffectRendererSetters, ValuesBeyondTheRangeComeToItsNearerEnd)
{
    for (const EffectInfo& info : kEffectTable)
        for (const int set : {INT_MIN, -999, -1, 7, 999, INT_MAX}) {
            EffectRenderer e;
            e.setValue(info.effect, set);
            EXPECT_EQ(e.value(info.effect), info.onOff ? 1 : std::clamp(set, info.min, info.max))
                << info.name << " " << set;
        }
}

TEST(EffectRendererSetters, MosaicAndTileBoundedByThePicture)
{
    EffectRenderer e;
    e.setPictureOriginal(randomBitmap(30, 20, 2));
    e.setValue(E::Mosaic, 50);
    EXPECT_EQ(e.value(E::Mosaic), 30);
    e.setPictureOriginal(randomBitmap(10, 6, 14));
    EXPECT_EQ(e.value(E::Mosaic), 10);

    e.setPictureOriginal(randomBitmap(640, 480, 3));
    e.setValue(E::Tile, 100);                        // the layout rule's own cases are the pixel routines'
    e.setPictureOriginal(randomBitmap(200, 100, 4)); // the next rendering rewrites the count
    EXPECT_EQ(e.value(E::Tile), 20);
    e.setPictureOriginal(randomBitmap(9, 9, 5));
    e.setValue(E::Tile, 3);
    EXPECT_EQ(e.value(E::Tile), 0);
    EXPECT_TRUE(e.rendered() == e.pictureOriginal());
}

// Level n of the blur is n + 1 split-blur passes at distance 3; the tone
// chain and the noise go on top, the noise drawn anew for each picture.
TEST(EffectRendererRender, ToneAndNoiseOnTopOfTheBlurForEachNewPicture)
{
    EffectRenderer e;
    const Bitmap24 src = randomBitmap(33, 21, 7);
    e.setPictureOriginal(src);
    e.setValue(E::GaussianBlur, 1);
    EXPECT_TRUE(e.rendered() == blurred(src, 2));
    e.setValue(E::Brightness, -40);
    EXPECT_TRUE(e.rendered() == referenceRender(blurred(src, 2), nullptr, tone({{E::Brightness, -40}})));
    e.setValue(E::GaussianBlur, 0);
    EXPECT_TRUE(e.rendered() == referenceRender(src, nullptr, tone({{E::Brightness, -40}})));

    e.setValue(E::GaussianBlur, 5);
    e.setValue(E::ColorNoise, 40);
    const Bitmap24 firstNoise = *e.noiseBitmap();
    const Bitmap24 next = randomBitmap(33, 21, 9);
    e.setPictureOriginal(next);
    ASSERT_NE(e.noiseBitmap(), nullptr);
    EXPECT_FALSE(*e.noiseBitmap() == firstNoise);
    EXPECT_TRUE(e.rendered() ==
                referenceRender(blurred(next, 6), e.noiseBitmap(), tone({{E::Brightness, -40}})));

    // Only the noise's own setter draws it again.
    const Bitmap24 drawn = *e.noiseBitmap();
    e.setValue(E::Contrast, 50);
    EXPECT_TRUE(*e.noiseBitmap() == drawn);
    e.setValue(E::ColorNoise, 40);
    EXPECT_FALSE(*e.noiseBitmap() == drawn);
    e.setValue(E::ColorNoise, 0);
    EXPECT_EQ(e.noiseBitmap(), nullptr);
    for (const E other : {E::GaussianBlur, E::Brightness, E::Contrast})
        e.setValue(other, 0);
    for (int level : {1, 2}) { // zeros only: the picture is unchanged
        e.setValue(E::ColorNoise, level);
        EXPECT_TRUE(e.rendered() == e.pictureOriginal()) << level;
    }
}

TEST(EffectRendererRender, ValuesWaitForAPictureAndResetShowsTheOriginal)
{
    EffectRenderer e;
    int repaints = 0;
    e.setRepaintCallback([&] { ++repaints; });
    e.setValue(E::Brightness, 30);
    e.setValue(E::Mosaic, 4);
    e.setValue(E::MonoNoise, 50);
    EXPECT_TRUE(e.rendered().isEmpty());
    const Bitmap24 src = randomBitmap(12, 8, 12);
    e.setPictureOriginal(src);
    EXPECT_EQ(repaints, 1);
    Bitmap24 mosaic = src;
    MosaicBitmap(mosaic, 4);
    EXPECT_TRUE(e.rendered() == referenceRender(mosaic, e.noiseBitmap(), tone({{E::Brightness, 30}})));

    for (int i = 0; i < EffectCount; ++i)
        e.setValue(E(i), 3);
    e.resetEffects();
    EXPECT_TRUE(e.rendered() == src);
    EXPECT_EQ(e.values(), EffectValues{});
    e.clearPictureOriginal();
    EXPECT_TRUE(e.rendered().isEmpty());
}

// A one-off rendering gives the pixels and the limited values the engine
// shows for the same settings, noise drawn alike, and keeps to the picture's
// own memory.
TEST(EffectRendererRender, OneOffRenderingMatchesTheEngineInThePicturesOwnMemory)
{
    const std::pair<E, int> effects[] = {
        {E::Emboss, 1},    {E::Mosaic, 6}, {E::Mosaic, 500}, {E::SplitBlur, 4}, {E::GaussianBlur, 2},
        {E::AntiAlias, 3}, {E::Trace, 2},  {E::Tile, 3},     {E::Tile, 100},    {E::Invert, 0}};
    const Bitmap24 src = randomBitmap(37, 23, 21);
    for (const auto& [effect, value] : effects)
        for (int tone : {0, 1, 2}) { // none, a tone change, noise
            SCOPED_TRACE(testing::Message() << effectInfo(effect).name << "=" << value << " tone " << tone);
            const auto set = [&](EffectRenderer& e) {
                e.setValue(effect, value);
                if (tone == 1)
                    e.setValue(E::Contrast, -30);
                if (tone == 2)
                    e.setValue(E::MonoNoise, 40);
            };
            EffectRenderer shown;
            set(shown);
            shown.setPictureOriginal(src);
            EffectRenderer once;
            set(once);
            Bitmap24 picture = src;
            const std::uint8_t* memory = picture.bits();
            const Bitmap24 result = once.renderDetached(std::move(picture));
            ASSERT_TRUE(result == shown.rendered());
            EXPECT_EQ(result.bits(), memory);
            EXPECT_EQ(once.values(), shown.values());
            EXPECT_TRUE(once.pictureOriginal().isEmpty());
        }
}

// Every effect at every strength on pictures smaller than its reach: the
// size holds, and the sanitizer build sees any read or write outside.
TEST(EffectRendererRender, EveryEffectOnTinyPictures)
{
    for (auto [w, h] : {std::pair{1, 1}, {1, 5}, {5, 1}, {2, 2}, {3, 2}}) {
        EffectRenderer e;
        e.setPictureOriginal(randomBitmap(w, h, w * 10 + h));
        for (int i = 0; i < EffectCount; ++i)
            for (int v : {1, 2, 50, 255, INT_MAX}) {
                e.setValue(E(i), v);
                ASSERT_EQ(QSize(e.rendered().width(), e.rendered().height()), QSize(w, h));
            }
    }
}
