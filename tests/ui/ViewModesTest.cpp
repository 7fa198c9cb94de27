#include "tests/ui/AppFixture.h"

#include <QScrollBar>

// ---- the placement rule, on its own

TEST(PlacePicture, KeepsItsSizeWithoutStretchOrWhenSmallerThanTheControl)
{
    EXPECT_EQ(placePicture({100, 50}, {300, 200}, false, false, false), QRect(0, 0, 100, 50));
    EXPECT_EQ(placePicture({100, 50}, {300, 200}, false, true, false), QRect(0, 0, 100, 50));
    EXPECT_EQ(placePicture({100, 50}, {300, 200}, false, false, true), QRect(100, 75, 100, 50));
}

TEST(PlacePicture, ProportionalFitsLandscapeAndPortrait)
{
    // 400 x 300 into 200 x 200: a = 4/3, width 200, height 150, centred.
    EXPECT_EQ(placePicture({400, 300}, {200, 200}, false, true, true), QRect(0, 25, 200, 150));
    // Too tall after fitting the width: height becomes ch, width ch * a.
    EXPECT_EQ(placePicture({400, 300}, {400, 100}, false, true, false), QRect(0, 0, 133, 100));
    // Portrait 300 x 400 into 200 x 200: height 200, width 150 (truncated).
    EXPECT_EQ(placePicture({300, 400}, {200, 200}, false, true, true), QRect(25, 0, 150, 200));
    // Portrait too wide after fitting the height.
    EXPECT_EQ(placePicture({300, 400}, {100, 400}, false, true, false), QRect(0, 0, 100, 133));
    // Square pictures take the w <= h branch.
    EXPECT_EQ(placePicture({500, 500}, {300, 200}, false, true, false), QRect(0, 0, 200, 200));
}

TEST(PlacePicture, StretchFillsOrScalesUp)
{
    EXPECT_EQ(placePicture({10, 10}, {300, 200}, true, false, true), QRect(0, 0, 300, 200));
    // Stretch with proportional scales a small picture up.
    EXPECT_EQ(placePicture({30, 10}, {300, 200}, true, true, false), QRect(0, 0, 300, 100));
}

TEST(PlacePicture, CentringRoundsTowardZeroAndMayGoNegative)
{
    EXPECT_EQ(placePicture({101, 51}, {200, 100}, false, false, true), QRect(49, 24, 101, 51));
    EXPECT_EQ(placePicture({301, 201}, {200, 100}, false, false, true), QRect(-50, -50, 301, 201));
}

// ---- the view commands in the window

using ViewModes = AppFixture;

TEST_F(ViewModes, TwentyOneZoomInsGrowTheStepToTwoHundred)
{
    openPath(testpics::makeCollection(dir.path(), "z.pvx", 1, 300, 200));
    MainImage* img = mainWindow()->Image1();
    int expectedStep = 0;
    for (int i = 1; i <= 21; ++i) {
        const QSize before = img->size();
        mainWindow()->zoomIn();
        expectedStep = std::min(expectedStep + 10, 200);
        EXPECT_EQ(mainWindow()->ZoomStep(), expectedStep) << i;
        EXPECT_EQ(img->size(), before + QSize(expectedStep, expectedStep)) << i;
    }
    EXPECT_FALSE(img->center());
    EXPECT_TRUE(img->stretch());
    EXPECT_TRUE(img->proportional());
    EXPECT_FALSE(img->autoSize());
}

TEST_F(ViewModes, ZoomOutOnATinyImageDoesNothing)
{
    openPath(testpics::makeCollection(dir.path(), "z.pvx", 1, 40, 15));
    ASSERT_EQ(mainWindow()->Image1()->height(), 15);
    mainWindow()->zoomOut();
    EXPECT_EQ(mainWindow()->ZoomStep(), 0);
    EXPECT_EQ(mainWindow()->Image1()->size(), QSize(40, 15));

    // From 20 pixels on it shrinks, by more than the size if need be.
    mainWindow()->zoomIn(); // step 10: 50 x 25
    mainWindow()->zoomOut(); // step 20: 30 x 5
    EXPECT_EQ(mainWindow()->ZoomStep(), 20);
    EXPECT_EQ(mainWindow()->Image1()->size(), QSize(30, 5));
    mainWindow()->zoomOut();
    EXPECT_EQ(mainWindow()->ZoomStep(), 20);
}

TEST_F(ViewModes, StretchAndProportionalFitTheAreaAndHideScrollBars)
{
    openPath(testpics::makeCollection(dir.path(), "v.pvx", 1, 2000, 1000));
    QScrollArea* area = mainWindow()->BordShape();
    MainImage* img = mainWindow()->Image1();
    EXPECT_EQ(img->size(), QSize(2000, 1000)); // As Is after opening
    EXPECT_EQ(area->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);

    mainWindow()->stretchToFit();
    EXPECT_EQ(img->size(), area->size() - QSize(2, 2));
    EXPECT_EQ(img->drawRect(), QRect(QPoint(0, 0), img->size()));
    EXPECT_EQ(area->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    mainWindow()->fitCentred();
    EXPECT_TRUE(img->center());
    const QRect r = img->drawRect();
    EXPECT_EQ(r.width(), img->width());
    EXPECT_EQ(r.height(), int(img->width() / 2.0));

    mainWindow()->showActualSize();
    EXPECT_EQ(img->size(), QSize(2000, 1000));
    EXPECT_EQ(area->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
}

TEST_F(ViewModes, DropDownProportionalKeepsTheCentringOfAZoom)
{
    openPath(testpics::makeCollection(dir.path(), "v.pvx", 1, 50, 40));
    mainWindow()->zoomIn();
    mainWindow()->fitTopLeft();
    EXPECT_FALSE(mainWindow()->Image1()->center());
    // Stretch is still on from the zoom: the small picture is scaled up.
    EXPECT_EQ(mainWindow()->Image1()->drawRect().topLeft(), QPoint(0, 0));
    EXPECT_GT(mainWindow()->Image1()->drawRect().width(), 50);
    mainWindow()->fitCentred();
    EXPECT_TRUE(mainWindow()->Image1()->center());
}

TEST_F(ViewModes, FullScreenOnAndOffRestoresTheArea)
{
    openPath(collectionOf(3));
    ASSERT_FALSE(session().followsCursor());
    const QRect normal = mainWindow()->BordShape()->geometry();
    ASSERT_EQ(normal.topLeft(), QPoint(168, 32));

    mainWindow()->action("mnuFullScreen1")->trigger();
    EXPECT_TRUE(mainWindow()->isFullScreenMode());
    EXPECT_EQ(mainWindow()->BordShape()->pos(), QPoint(0, 0));
    EXPECT_EQ(mainWindow()->BordShape()->width(), mainWindow()->centralWidget()->width());
    EXPECT_EQ(mainWindow()->BordShape()->geometry().bottom() + 1,
              mainWindow()->centralWidget()->height() - 19 - 17);
    EXPECT_TRUE(session().followsCursor());
    EXPECT_TRUE(mainWindow()->LabelComent()->isVisible());

    key(Qt::Key_Escape);
    EXPECT_FALSE(mainWindow()->isFullScreenMode());
    EXPECT_EQ(mainWindow()->BordShape()->geometry(), normal);
    EXPECT_TRUE(session().followsCursor()); // leaving does not switch it off

    key(Qt::Key_Escape); // nothing while full screen is off
    EXPECT_FALSE(mainWindow()->isFullScreenMode());
    mainWindow()->toggleFullScreen();
    mainWindow()->toggleFullScreen();
    EXPECT_EQ(mainWindow()->BordShape()->geometry(), normal);
}

TEST_F(ViewModes, ShowingAnotherPictureKeepsTheMode)
{
    openPath(collectionOf(3));
    mainWindow()->stretchToFit();
    QTest::keyClick(mainWindow(), Qt::Key_Down);
    QTest::keyClick(mainWindow(), Qt::Key_Return);
    EXPECT_TRUE(mainWindow()->Image1()->stretch());
    EXPECT_EQ(mainWindow()->LabelComent()->text(), QStringLiteral("comment 2"));
}
