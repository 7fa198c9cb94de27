#include "EffectsTestSupport.h"
#include "effects/EffectRenderer.h"
#include "effects/PixelRoutines.h"
#include "effects/Random.h"

#include <gtest/gtest.h>

#include <climits>

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

TEST(EffectRendererSetters, ClampsAsStored)
{
    EffectRenderer e;
    e.setPicBrightness(300);
    EXPECT_EQ(e.PicBrightness(), 255);
    e.setPicBrightness(-300);
    EXPECT_EQ(e.PicBrightness(), -255);
    e.setPicContrast(300);
    EXPECT_EQ(e.PicContrast(), 300);
    e.setPicContrast(-300);
    EXPECT_EQ(e.PicContrast(), -255);
    e.setPicLightness(-50);
    EXPECT_EQ(e.PicLightness(), -50);
    e.setPicLightness(400);
    EXPECT_EQ(e.PicLightness(), 255);
    e.setPicDarkness(INT_MIN);
    EXPECT_EQ(e.PicDarkness(), INT_MIN);
    e.setPicSaturation(-1000);
    EXPECT_EQ(e.PicSaturation(), -255);
    e.setPicSaturation(1000);
    EXPECT_EQ(e.PicSaturation(), 1000);
    e.setPicSplitlight(11);
    EXPECT_EQ(e.PicSplitlight(), 10);
    e.setPicSplitlight(-1);
    EXPECT_EQ(e.PicSplitlight(), 0);
    e.setPicColorNoise(-5);
    EXPECT_EQ(e.PicColorNoise(), 0);
    e.setPicPosterize(1000);
    EXPECT_EQ(e.PicPosterize(), 1000);
    e.setPicPosterize(-2);
    EXPECT_EQ(e.PicPosterize(), 0);
    e.setPicSolorize(256);
    EXPECT_EQ(e.PicSolorize(), 255);
    e.setPicSplitBlur(300);
    EXPECT_EQ(e.PicSplitBlur(), 255);
    e.setPicGaussianBlur(51);
    EXPECT_EQ(e.PicGaussianBlur(), 50);
    e.setPicAntiAlias(99);
    EXPECT_EQ(e.PicAntiAlias(), 50);
    e.setPicTrace(11);
    EXPECT_EQ(e.PicTrace(), 10);
    e.setPicTile(-3);
    EXPECT_EQ(e.PicTile(), 0);
    // Without a picture the mosaic keeps its value: the bound needs a size.
    e.setPicMosaic(500);
    EXPECT_EQ(e.PicMosaic(), 500);
    e.setPicGrayScale(true);
    EXPECT_TRUE(e.PicGrayScale());
    e.setProperty(P::PicInvert, 7);
    EXPECT_EQ(e.property(P::PicInvert), 1);
}

TEST(EffectRendererSetters, ExclusionGroups)
{
    EffectRenderer e;
    e.setPictureOriginal(randomBitmap(30, 20, 1));
    e.setPicPosterize(100);
    e.setPicSolorize(40);
    EXPECT_EQ(e.PicPosterize(), 0);
    EXPECT_EQ(e.PicSolorize(), 40);
    e.setPicPosterize(7);
    EXPECT_EQ(e.PicSolorize(), 0);

    e.setPicColorNoise(30);
    e.setPicMonoNoise(20);
    EXPECT_EQ(e.PicColorNoise(), 0);
    EXPECT_EQ(e.PicMonoNoise(), 20);
    e.setPicColorNoise(10);
    EXPECT_EQ(e.PicMonoNoise(), 0);

    for (P on : kNeighbourhood) {
        for (P other : kNeighbourhood)
            if (other != on)
                e.setProperty(other, 2);
        e.setProperty(on, 3);
        for (P other : kNeighbourhood)
            EXPECT_EQ(e.property(other) != 0, other == on)
                << effectPropertyName(on) << " vs " << effectPropertyName(other);
    }
    // Tone properties survive all of this.
    e.setPicBrightness(12);
    e.setPicEmboss(true);
    EXPECT_EQ(e.PicBrightness(), 12);
}

TEST(EffectRendererSetters, MosaicBoundedByPicture)
{
    EffectRenderer e;
    e.setPictureOriginal(randomBitmap(30, 20, 2));
    e.setPicMosaic(50);
    EXPECT_EQ(e.PicMosaic(), 30);
    const Bitmap24& src = e.PictureOriginal();
    EXPECT_TRUE(e.Picture() ==
                solidBitmap(30, 20, src.scanLine(0)[0], src.scanLine(0)[1], src.scanLine(0)[2]));
}

TEST(EffectRendererSetters, TileRewrite)
{
    EffectRenderer e;
    e.setPictureOriginal(randomBitmap(640, 480, 3));
    e.setPicTile(100);
    EXPECT_EQ(e.PicTile(), 64);
    ASSERT_NE(e.EffectSource(), nullptr);
    e.setPicTile(50);
    EXPECT_EQ(e.PicTile(), 50);
    e.setPicTile(4);
    EXPECT_EQ(e.PicTile(), 4);
    // A later, smaller picture rewrites the stored count at the next rendering.
    e.setPicTile(40);
    e.setPictureOriginal(randomBitmap(200, 100, 4));
    EXPECT_EQ(e.PicTile(), 20);

    EffectRenderer tiny;
    tiny.setPictureOriginal(randomBitmap(9, 9, 5));
    tiny.setPicTile(3);
    EXPECT_EQ(tiny.PicTile(), 0);
    EXPECT_EQ(tiny.EffectSource(), nullptr);
    EXPECT_TRUE(tiny.Picture() == tiny.PictureOriginal());
}

TEST(EffectRendererRender, NeutralEqualsOriginalAndTileOfOneIsResampled)
{
    EffectRenderer e;
    const Bitmap24 src = randomBitmap(40, 30, 6);
    e.setPictureOriginal(src);
    EXPECT_TRUE(e.Picture() == src);
    e.setPicTile(1);
    EXPECT_EQ(e.PicTile(), 1);
    Bitmap24 same(40, 30);
    ResampleBilinear(src, same);
    EXPECT_TRUE(e.Picture() == same);
    EXPECT_FALSE(e.Picture() == src);
    e.setPicTile(0);
    EXPECT_TRUE(e.Picture() == src);
    EXPECT_EQ(e.EffectSource(), nullptr);
}

TEST(EffectRendererRender, ToneOnTopOfNeighbourhoodUsesCachedSource)
{
    EffectRenderer e;
    const Bitmap24 src = randomBitmap(33, 21, 7);
    e.setPictureOriginal(src);
    e.setPicGaussianBlur(1);
    const Bitmap24 twoPasses = blurred(src, 2);
    ASSERT_NE(e.EffectSource(), nullptr);
    EXPECT_TRUE(*e.EffectSource() == twoPasses);
    EXPECT_TRUE(e.Picture() == twoPasses);
    const Bitmap24* cache = e.EffectSource();
    e.setPicBrightness(-40);
    EXPECT_EQ(e.EffectSource(), cache); // not rebuilt for a tone change
    ToneSettings s;
    s.brightness = -40;
    EXPECT_TRUE(e.Picture() == referenceRender(twoPasses, nullptr, s));
    e.setPicGaussianBlur(0);
    EXPECT_EQ(e.EffectSource(), nullptr);
    EXPECT_TRUE(e.Picture() == referenceRender(src, nullptr, s));
}

TEST(EffectRendererRender, NewOriginalReRendersWithBlurAndNewNoise)
{
    ResetRandom();
    EffectRenderer e;
    e.setPictureOriginal(randomBitmap(50, 40, 8));
    e.setPicGaussianBlur(5);
    e.setPicColorNoise(40);
    const Bitmap24 firstNoise = *e.NoiseBitmap();

    const Bitmap24 next = randomBitmap(50, 40, 9);
    e.setPictureOriginal(next);
    ASSERT_NE(e.NoiseBitmap(), nullptr);
    ASSERT_NE(e.EffectSource(), nullptr);
    EXPECT_FALSE(*e.NoiseBitmap() == firstNoise);
    const Bitmap24 blurredNext = blurred(next, 6);
    EXPECT_TRUE(*e.EffectSource() == blurredNext);
    EXPECT_TRUE(e.Picture() == referenceRender(blurredNext, e.NoiseBitmap(), ToneSettings{}));
    EXPECT_EQ(e.PicGaussianBlur(), 5);
    EXPECT_EQ(e.PicColorNoise(), 40);
}

TEST(EffectRendererRender, NoiseRedrawnOnlyBySetter)
{
    EffectRenderer e;
    e.setPictureOriginal(randomBitmap(20, 20, 10));
    e.setPicColorNoise(60);
    const Bitmap24 first = *e.NoiseBitmap();
    e.setPicContrast(50);
    EXPECT_TRUE(*e.NoiseBitmap() == first);
    e.setPicColorNoise(60);
    EXPECT_FALSE(*e.NoiseBitmap() == first);
    e.setPicColorNoise(0);
    EXPECT_EQ(e.NoiseBitmap(), nullptr);

    // Levels 1 and 2 draw only zeros: the cache exists, the picture is unchanged.
    for (int level : {1, 2}) {
        e.setPicContrast(0);
        e.setPicColorNoise(level);
        ASSERT_NE(e.NoiseBitmap(), nullptr);
        EXPECT_TRUE(e.Picture() == e.PictureOriginal());
    }
}

TEST(EffectRendererRender, FirstNoisePatternRepeatsAfterReset)
{
    const Bitmap24 src = randomBitmap(25, 15, 11);
    Bitmap24 firstRun;
    for (int run = 0; run < 2; ++run) {
        ResetRandom();
        EffectRenderer e;
        e.setPictureOriginal(src);
        e.setPicColorNoise(128);
        if (run == 0)
            firstRun = e.Picture();
        else
            EXPECT_TRUE(e.Picture() == firstRun);
    }
    EXPECT_FALSE(firstRun == src);
}

TEST(EffectRendererRender, NoPictureStoresValuesAndRendersLater)
{
    EffectRenderer e;
    int repaints = 0;
    e.setRepaintCallback([&] { ++repaints; });
    e.setPicBrightness(30);
    e.setPicMosaic(4);
    e.setPicMonoNoise(50);
    EXPECT_EQ(e.NoiseBitmap(), nullptr);
    EXPECT_EQ(e.EffectSource(), nullptr);
    EXPECT_EQ(e.renderCount(), 0);
    EXPECT_EQ(repaints, 0);
    EXPECT_TRUE(e.Picture().isEmpty());

    e.setPictureOriginal(randomBitmap(12, 8, 12));
    EXPECT_EQ(e.renderCount(), 1);
    EXPECT_EQ(repaints, 1);
    ASSERT_NE(e.NoiseBitmap(), nullptr);
    ASSERT_NE(e.EffectSource(), nullptr);
    Bitmap24 mosaic = e.PictureOriginal();
    MosaicBitmap(mosaic, 4);
    EXPECT_TRUE(*e.EffectSource() == mosaic);

    e.clearPictureOriginal();
    EXPECT_TRUE(e.Picture().isEmpty());
    EXPECT_EQ(e.NoiseBitmap(), nullptr);
    EXPECT_EQ(e.EffectSource(), nullptr);
}

TEST(EffectRendererRender, SmallerPictureRebindsMosaic)
{
    EffectRenderer e;
    e.setPictureOriginal(randomBitmap(60, 40, 13));
    e.setPicMosaic(50);
    EXPECT_EQ(e.PicMosaic(), 50);
    e.setPictureOriginal(randomBitmap(10, 6, 14));
    EXPECT_EQ(e.PicMosaic(), 10);
}

TEST(EffectRendererReset, ShowsOriginalWithoutRendering)
{
    EffectRenderer e;
    const Bitmap24 src = randomBitmap(16, 9, 15);
    e.setPictureOriginal(src);
    for (int i = 0; i < EffectPropertyCount; ++i)
        e.setProperty(EffectProperty(i), 3);
    e.setPicColorNoise(50);
    EXPECT_FALSE(e.Picture() == src);
    const long renders = e.renderCount();
    e.ResetEffects();
    EXPECT_EQ(e.renderCount(), renders);
    EXPECT_TRUE(e.Picture() == src);
    EXPECT_EQ(e.NoiseBitmap(), nullptr);
    EXPECT_EQ(e.EffectSource(), nullptr);
    for (int i = 0; i < EffectPropertyCount; ++i)
        EXPECT_EQ(e.property(EffectProperty(i)), 0) << effectPropertyName(EffectProperty(i));
}

TEST(EffectRendererRender, RenderedCopyIsIndependentOfOriginal)
{
    EffectRenderer e;
    const Bitmap24 src = randomBitmap(8, 8, 16);
    e.setPictureOriginal(src);
    e.setPicInvert(true);
    EXPECT_TRUE(e.PictureOriginal() == src);
    e.setPicInvert(false);
    EXPECT_TRUE(e.Picture() == src);
}

TEST(EffectRendererRender, EveryEffectOnTinyPictures)
{
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 5}, {5, 1}, {2, 2}, {3, 2}};
    for (auto [w, h] : sizes) {
        EffectRenderer e;
        e.setPictureOriginal(randomBitmap(w, h, w * 10 + h));
        for (int i = 0; i < EffectPropertyCount; ++i) {
            for (int v : {1, 2, 50, 255, INT_MAX}) {
                e.setProperty(EffectProperty(i), v);
                EXPECT_EQ(e.Picture().width(), w);
                EXPECT_EQ(e.Picture().height(), h);
            }
        }
        e.setPicColorNoise(INT_MAX);
        e.setPicMonoNoise(INT_MAX);
    }
}

TEST(EffectRendererPaint, DestRect)
{
    EffectRenderer e;
    e.setPictureOriginal(randomBitmap(300, 200, 17));
    const QSize control(283, 145);
    EXPECT_EQ(e.DestRect(control), QRect(0, 0, 300, 200));
    e.setCenter(true);
    // Larger than the control: negative offsets, cut equally within a pixel.
    EXPECT_EQ(e.DestRect(control), QRect((283 - 300) / 2, (145 - 200) / 2, 300, 200));
    EXPECT_EQ(e.DestRect(control).left(), -8);
    EXPECT_EQ(e.DestRect(control).top(), -27);
    e.setStretch(true);
    EXPECT_EQ(e.DestRect(control), QRect(0, 0, 283, 145));

    int repaints = 0;
    e.setRepaintCallback([&] { ++repaints; });
    e.setStretch(true); // unchanged: no repaint
    e.setCenter(false);
    EXPECT_EQ(repaints, 1);
}
