#include "ui/effects/EffectPreview.h"

#include <gtest/gtest.h>

TEST(EffectPreview, PaintsTheRenderedPictureStretchedAndEachNewRenderingAtTheNextPaint)
{
    EffectPreview w;
    w.resize(40, 30);
    Bitmap24 red(10, 10);
    red.fill(0, 0, 200);
    w.engine().setPictureOriginal(red);
    const QImage shot = w.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(0, 0)), QColor(200, 0, 0));
    EXPECT_EQ(QColor(shot.pixel(39, 29)), QColor(200, 0, 0));
    w.engine().setPicInvert(true);
    EXPECT_EQ(QColor(w.grab().toImage().pixel(20, 15)), QColor(55, 255, 255));
}
