#include "effects/EffectRenderer.h"
#include "EffectsTestSupport.h"
#include "effects/PixelRoutines.h"
#include "effects/Random.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

using namespace fxtest;
using P = EffectProperty;

namespace {
constexpr P kNeighbourhood[] = {P::PicEmboss,    P::PicMosaic, P::PicSplitBlur, P::PicGaussianBlur,
                                P::PicAntiAlias, P::PicTrace,  P::PicTile};

Bitmap24 blurred(Bitmap24 b, int passes)
{
    for (int i = 0; i < passes; ++i)
        SplitBlurBitmap(b, 3);
    return b;
}
} // namespace

TEST(EffectRendererSetters, ExclusionGroupsKeepTheLastSet)
{
    EffectRenderer e;
    e.setPictureOriginal(randomBitmap(30, 20, 1));
    e.setPicPosterize(100);
    e.setPicSolorize(40);
    EXPECT_EQ(e.PicPosterize(), 0);
    e.setPicPosterize(7);
    EXPECT_EQ(e.PicSolorize(), 0);
    e.setPicColorNoise(30);
    e.setPicMonoNoise(20);
    EXPECT_EQ(e.PicColorNoise(), 0);
    e.setPicColorNoise(10);
    EXPECT_EQ(e.PicMonoNoise(), 0);
    e.setPicBrightness(12);
    for (P on : kNeighbourhood) {
        for (P other : kNeighbourhood)
            if (other != on)
                e.setProperty(other, 2);
        e.setProperty(on, 3);
        for (P other : kNeighbourhood)
            EXPECT_EQ(e.property(other) != 0, other == on)
                << effectPropertyName(on) << " vs " << effectPropertyName(other);
    }
    EXPECT_EQ(e.PicBrightness(), 12); // tone properties are in no group
}

// What each setter keeps of a value beyond its range.
TEST(EffectRendererSetters, ValuesBeyondTheRangeComeToItsNearerEnd)
{
    const std::tuple<P, int, int> kept[] = {{P::PicBrightness, 999, 255}, {P::PicBrightness, -999, -255},
                                            {P::PicContrast, -999, -255}, {P::PicContrast, 999, 999},
                                            {P::PicLightness, 999, 255},  {P::PicLightness, -999, -999},
                                            {P::PicDarkness, 256, 255},   {P::PicSaturation, -256, -255},
                                            {P::PicSplitlight, 11, 10},   {P::PicGrayScale, -5, 1},
                                            {P::PicColorNoise, -1, 0},    {P::PicPosterize, 600, 600},
                                            {P::PicSolorize, 256, 255},   {P::PicMosaic, -3, 0},
                                            {P::PicSplitBlur, 256, 255},  {P::PicGaussianBlur, 51, 50},
                                            {P::PicAntiAlias, 51, 50},    {P::PicTrace, 11, 10},
                                            {P::PicTile, INT_MIN, 0},     {P::PicEmboss, 7, 1}};
    for (const auto& [p, set, expected] : kept) {
        EffectRenderer e;
        e.setProperty(p, set);
        EXPECT_EQ(e.property(p), expected) << effectPropertyName(p) << " " << set;
    }
}

TEST(EffectRendererSetters, MosaicAndTileBoundedByThePicture)
{
    EffectRenderer e;
    e.setPictureOriginal(randomBitmap(30, 20, 2));
    e.setPicMosaic(50);
    EXPECT_EQ(e.PicMosaic(), 30);
    e.setPictureOriginal(randomBitmap(10, 6, 14));
    EXPECT_EQ(e.PicMosaic(), 10);

    e.setPictureOriginal(randomBitmap(640, 480, 3));
    e.setPicTile(100);                               // the layout rule's own cases are the pixel routines'
    e.setPictureOriginal(randomBitmap(200, 100, 4)); // the next rendering rewrites the count
    EXPECT_EQ(e.PicTile(), 20);
    e.setPictureOriginal(randomBitmap(9, 9, 5));
    e.setPicTile(3);
    EXPECT_EQ(e.PicTile(), 0);
    EXPECT_TRUE(e.rendered() == e.pictureOriginal());
}

// Level n of the blur is n + 1 split-blur passes at distance 3; the tone
// chain and the noise go on top.
TEST(EffectRendererRender, ToneAndNoiseOnTopOfTheBlurForEachNewPicture)
{
    EffectRenderer e;
    const Bitmap24 src = randomBitmap(33, 21, 7);
    e.setPictureOriginal(src);
    e.setPicGaussianBlur(1);
    EXPECT_TRUE(e.rendered() == blurred(src, 2));
    e.setPicBrightness(-40);
    EXPECT_TRUE(e.rendered() == referenceRender(blurred(src, 2), nullptr, {.brightness = -40}));
    e.setPicGaussianBlur(0);
    EXPECT_TRUE(e.rendered() == referenceRender(src, nullptr, {.brightness = -40}));

    ResetRandom();
    e.setPicGaussianBlur(5);
    e.setPicColorNoise(40);
    const Bitmap24 firstNoise = *e.noiseBitmap();
    const Bitmap24 next = randomBitmap(33, 21, 9);
    e.setPictureOriginal(next);
    ASSERT_NE(e.noiseBitmap(), nullptr);
    EXPECT_FALSE(*e.noiseBitmap() == firstNoise);
    EXPECT_TRUE(e.rendered() == referenceRender(blurred(next, 6), e.noiseBitmap(), {.brightness = -40}));
}

TEST(EffectRendererRender, NoiseRedrawnOnlyByItsSetter)
{
    EffectRenderer e;
    e.setPictureOriginal(randomBitmap(20, 20, 10));
    e.setPicColorNoise(60);
    const Bitmap24 first = *e.noiseBitmap();
    e.setPicContrast(50);
    EXPECT_TRUE(*e.noiseBitmap() == first);
    e.setPicColorNoise(60);
    EXPECT_FALSE(*e.noiseBitmap() == first);
    e.setPicColorNoise(0);
    EXPECT_EQ(e.noiseBitmap(), nullptr);
    e.setPicContrast(0);
    for (int level : {1, 2}) { // zeros only: the picture is unchanged
        e.setPicColorNoise(level);
        EXPECT_TRUE(e.rendered() == e.pictureOriginal()) << level;
    }
}

TEST(EffectRendererRender, ValuesWaitForAPictureAndResetShowsTheOriginal)
{
    EffectRenderer e;
    int repaints = 0;
    e.setRepaintCallback([&] { ++repaints; });
    e.setPicBrightness(30);
    e.setPicMosaic(4);
    e.setPicMonoNoise(50);
    EXPECT_TRUE(e.rendered().isEmpty());
    const Bitmap24 src = randomBitmap(12, 8, 12);
    e.setPictureOriginal(src);
    EXPECT_EQ(repaints, 1);
    Bitmap24 mosaic = src;
    MosaicBitmap(mosaic, 4);
    EXPECT_TRUE(e.rendered() == referenceRender(mosaic, e.noiseBitmap(), {.brightness = 30}));

    for (int i = 0; i < EffectPropertyCount; ++i)
        e.setProperty(EffectProperty(i), 3);
    e.resetEffects();
    EXPECT_TRUE(e.rendered() == src);
    for (int i = 0; i < EffectPropertyCount; ++i)
        EXPECT_EQ(e.property(EffectProperty(i)), 0) << effectPropertyName(EffectProperty(i));
    e.clearPictureOriginal();
    EXPECT_TRUE(e.rendered().isEmpty());
}

// A one-off rendering gives the pixels and the limited values the engine
// shows for the same settings, noise drawn alike, and keeps to the picture's
// own memory.
TEST(EffectRendererRender, OneOffRenderingMatchesTheEngineInThePicturesOwnMemory)
{
    const std::pair<P, int> effects[] = {{P::PicEmboss, 1},    {P::PicMosaic, 6},       {P::PicMosaic, 500},
                                         {P::PicSplitBlur, 4}, {P::PicGaussianBlur, 2}, {P::PicAntiAlias, 3},
                                         {P::PicTrace, 2},     {P::PicTile, 3},         {P::PicTile, 100},
                                         {P::PicInvert, 0}};
    const Bitmap24 src = randomBitmap(37, 23, 21);
    for (const auto& [property, value] : effects)
        for (int tone : {0, 1, 2}) { // none, a tone change, noise
            SCOPED_TRACE(testing::Message()
                         << effectPropertyName(property) << "=" << value << " tone " << tone);
            const auto set = [&](EffectRenderer& e) {
                e.setProperty(property, value);
                if (tone == 1)
                    e.setPicContrast(-30);
                if (tone == 2)
                    e.setPicMonoNoise(40);
            };
            EffectRenderer shown;
            set(shown);
            ResetRandom();
            shown.setPictureOriginal(src);
            EffectRenderer once;
            set(once);
            ResetRandom();
            Bitmap24 picture = src;
            const std::uint8_t* memory = picture.bits();
            const Bitmap24 result = once.renderDetached(std::move(picture));
            ASSERT_TRUE(result == shown.rendered());
            EXPECT_EQ(result.bits(), memory);
            EXPECT_EQ(once.properties(), shown.properties());
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
        for (int i = 0; i < EffectPropertyCount; ++i)
            for (int v : {1, 2, 50, 255, INT_MAX}) {
                e.setProperty(EffectProperty(i), v);
                ASSERT_EQ(QSize(e.rendered().width(), e.rendered().height()), QSize(w, h));
            }
    }
}
