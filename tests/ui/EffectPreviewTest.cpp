#include "tests/effects/EffectsTestSupport.h"
#include "ui/effects/EffectPreview.h"

#include <gtest/gtest.h>

using namespace fxtest;

TEST(EffectPreview, PaintsRenderedPictureIntoDestRect)
{
    EffectPreview w;
    EXPECT_EQ(w.size(), QSize(105, 105));
    w.resize(40, 30);
    w.engine().setPictureOriginal(solidBitmap(10, 10, 0, 0, 200)); // red
    w.engine().setStretch(true);
    QImage shot = w.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(0, 0)), QColor(200, 0, 0));
    EXPECT_EQ(QColor(shot.pixel(39, 29)), QColor(200, 0, 0));

    // A rendering shows at the next paint without any other call.
    w.engine().setPicInvert(true);
    shot = w.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(20, 15)), QColor(55, 255, 255));

    // Unstretched, uncentred: only the picture's own 10 x 10 is covered.
    w.engine().setStretch(false);
    w.setAutoFillBackground(true);
    QPalette pal = w.palette();
    pal.setColor(QPalette::Window, Qt::blue);
    w.setPalette(pal);
    shot = w.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(5, 5)), QColor(55, 255, 255));
    EXPECT_EQ(QColor(shot.pixel(30, 20)), QColor(Qt::blue));

    w.engine().setCenter(true);
    shot = w.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(20, 15)), QColor(55, 255, 255));
    EXPECT_EQ(QColor(shot.pixel(2, 2)), QColor(Qt::blue));
}

TEST(EffectPreview, AutoSizeFollowsPicture)
{
    EffectPreview w;
    w.setAutoSize(true);
    w.engine().setPictureOriginal(randomBitmap(33, 21, 1));
    EXPECT_EQ(w.size(), QSize(33, 21));
}
