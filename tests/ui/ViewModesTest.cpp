#include "tests/ui/AppFixture.h"

#include <QScrollBar>

// Where a picture lands in the control, worked out by hand.
struct Placement {
    const char* name;
    QSize picture, control;
    bool stretch, proportional, center;
    QRect expected;
    friend void PrintTo(const Placement& p, std::ostream* os) { *os << p.name; }
};

class PlacePicture : public ::testing::TestWithParam<Placement> {};

TEST_P(PlacePicture, LandsWhereTheFlagsSay)
{
    const Placement& p = GetParam();
    EXPECT_EQ(placePicture(p.picture, p.control, p.stretch, p.proportional, p.center), p.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlacePicture,
    ::testing::Values(
        Placement{"AsIsTopLeft", {100, 50}, {300, 200}, false, false, false, {0, 0, 100, 50}},
        Placement{"ProportionalNeverEnlarges", {100, 50}, {300, 200}, false, true, false, {0, 0, 100, 50}},
        Placement{"AsIsCentred", {100, 50}, {300, 200}, false, false, true, {100, 75, 100, 50}},
        Placement{"LandscapeFitsWidth", {400, 300}, {200, 200}, false, true, true, {0, 25, 200, 150}},
        Placement{"LandscapeTooTall", {400, 300}, {400, 100}, false, true, false, {0, 0, 133, 100}},
        Placement{"PortraitFitsHeight", {300, 400}, {200, 200}, false, true, true, {25, 0, 150, 200}},
        Placement{"PortraitTooWide", {300, 400}, {100, 400}, false, true, false, {0, 0, 100, 133}},
        Placement{"SquareLikePortrait", {500, 500}, {300, 200}, false, true, false, {0, 0, 200, 200}},
        Placement{"StretchFills", {10, 10}, {300, 200}, true, false, true, {0, 0, 300, 200}},
        Placement{"StretchProportionalEnlarges", {30, 10}, {300, 200}, true, true, false, {0, 0, 300, 100}},
        Placement{"CentringTruncates", {101, 51}, {200, 100}, false, false, true, {49, 24, 101, 51}},
        Placement{"CentringMayGoNegative", {301, 201}, {200, 100}, false, false, true, {-50, -50, 301, 201}}),
    [](const auto& info) { return std::string(info.param.name); });

using ViewModes = AppFixture;

TEST_F(ViewModes, ZoomGrowsByTenMoreEachStepUpToTwoHundredAndShrinksOnlyFromTwentyHigh)
{
    openPath(testpics::makeCollection(dir.path(), "z.pvx", 1, 40, 15));
    MainImage* img = mainWindow()->mainImage();
    mainWindow()->zoomOut();
    EXPECT_EQ(img->size(), QSize(40, 15));
    for (int i = 1; i <= 21; ++i) {
        const QSize before = img->size();
        mainWindow()->zoomIn();
        EXPECT_EQ(img->size() - before, QSize(1, 1) * std::min(10 * i, 200)) << i;
    }
    EXPECT_TRUE(!img->center() && img->stretch() && img->proportional());
    const QSize before = img->size();
    mainWindow()->zoomOut();
    EXPECT_EQ(before - img->size(), QSize(210, 210));
}

class OriginalSize : public AppFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(OriginalSize, ShowsThePictureOneToOne)
{
    openPath(testpics::makeCollection(dir.path(), "v.pvx", 1, 900, 700));
    mainWindow()->stretchToFit();
    mainWindow()->zoomIn();
    if (GetParam())
        QTest::mouseClick(mainWindow()->slot(1), Qt::LeftButton);
    else
        action("mnuOriginalSize")->trigger();
    EXPECT_EQ(mainWindow()->mainImage()->drawRect(), QRect(0, 0, 900, 700));
    EXPECT_TRUE(mainWindow()->imageArea()->verticalScrollBar()->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Ways, OriginalSize, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "SlotClick" : "Menu"; });
