#include "tests/ui/AppFixture.h"

#include "core/Errors.h"

#include "ui/common/AboutBox.h"

#include <QAbstractButton>
#include <QMenu>
#include <QStatusTipEvent>

using MainWindowTest = AppFixture;

TEST_F(MainWindowTest, DesignSizeGivesThreeSlotsAndMinimumHeightTwo)
{
    EXPECT_EQ(mainWindow()->outerSize(), QSize(624, 581));
    EXPECT_EQ(mainWindow()->stripPanelHeight(), 451);
    EXPECT_EQ(mainWindow()->SlotCount(), 3);
    EXPECT_EQ(mainWindow()->slot(3)->geometry(), QRect(8, 8 + 2 * 153, 145, 145));
    EXPECT_EQ(mainWindow()->Panel1()->geometry(), QRect(2, 32, 161, 451));
    EXPECT_EQ(mainWindow()->BtnDown()->y(), 451 + 32);
    EXPECT_EQ(mainWindow()->BordShape()->geometry(), QRect(168, 32, 624 - 176, 451));

    mainWindow()->setOuterSize(600, 400);
    EXPECT_EQ(mainWindow()->stripPanelHeight(), 270);
    EXPECT_EQ(mainWindow()->SlotCount(), 2);
    EXPECT_EQ(mainWindow()->findChild<ThumbSlot*>(QStringLiteral("Img3")), nullptr);
}

TEST_F(MainWindowTest, GrowingAndShrinkingAddsAndRemovesTheLowestSlotKeepingEntries)
{
    openPath(collectionOf(6));
    ASSERT_EQ(session().entryCount(), 6);
    mainWindow()->setOuterSize(624, 130 + 520); // panel 520: 4 slots
    ASSERT_EQ(mainWindow()->SlotCount(), 4);
    EXPECT_TRUE(mainWindow()->slot(4)->isEnabled());
    EXPECT_EQ(mainWindow()->slot(4)->hint(), QStringLiteral("comment 4"));
    EXPECT_EQ(mainWindow()->slot(4)->y(), 8 + 3 * 153);

    mainWindow()->setOuterSize(624, 130 + 519); // one pixel less: back to 3
    EXPECT_EQ(mainWindow()->SlotCount(), 3);
    EXPECT_EQ(mainWindow()->slot(3)->hint(), QStringLiteral("comment 3"));
    EXPECT_FALSE(mainWindow()->slot(3)->picture().isEmpty());

    // The strip never holds more than ten slots, however tall the window.
    mainWindow()->setOuterSize(624, 130 + 1600);
    EXPECT_EQ(mainWindow()->SlotCount(), 10);
}

TEST_F(MainWindowTest, AnySizeChangeMovesTheHighlightToSlotOneAndShowsIt)
{
    openPath(collectionOf(6));
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    ASSERT_EQ(session().currentSlot(), 3);
    mainWindow()->setOuterSize(625, 581);
    EXPECT_EQ(session().currentSlot(), 1);
    EXPECT_EQ(shapeTop(), 6);
    EXPECT_EQ(mainWindow()->LabelComent()->text(), QStringLiteral("comment 1"));
    EXPECT_EQ(panel(1), QStringLiteral("Image: 1 / 6"));
}

TEST_F(MainWindowTest, StartStatesOfTheCommandTable)
{
    for (const char* off : {"mnuAdd", "btnAdd", "AddDeleteimage1", "mnuUndo", "mnuUndo1", "butUndo", "mnuZoomIn",
                            "mnuZoomOut", "mnuOriginalSize", "mnuRotateLeft", "mnuRotateRight", "btnLeft",
                            "btnRight", "mnuEffects", "btnEffect", "mnuEffects1", "mnuImgView", "btnImgView",
                            "mnuSlideShow", "btnSlideShow", "mnuComments"})
        EXPECT_FALSE(enabled(off)) << off;
    for (const char* on : {"mnuNew", "mnuOpen", "Exit1", "mnuFollows", "btnFollow", "mnuSettings", "mnuHelp1",
                           "mnuAbout", "ToolButton1", "ToolButton2", "btnSettings"})
        EXPECT_TRUE(enabled(on)) << on;
    EXPECT_FALSE(mainWindow()->findChild<QMenu*>(QStringLiteral("mnuImage"))->menuAction()->isEnabled());
    EXPECT_FALSE(mainWindow()->BtnUp()->isEnabled());
    EXPECT_FALSE(mainWindow()->BtnDown()->isEnabled());
    EXPECT_FALSE(mainWindow()->ShapeCur()->isVisible());
    EXPECT_EQ(mainWindow()->windowTitle(), QStringLiteral("Pictavo 2006"));
    EXPECT_EQ(mainWindow()->TimerSlide()->interval(), 5000);
    EXPECT_FALSE(mainWindow()->TimerSlide()->isActive());
}

TEST_F(MainWindowTest, OpeningEnablesTheCollectionCommandsButNotUndo)
{
    openPath(collectionOf(2));
    for (const char* on : {"mnuAdd", "btnAdd", "AddDeleteimage1", "mnuZoomIn", "mnuRotateLeft", "btnRight",
                           "mnuEffects", "btnEffect", "mnuImgView", "btnImgView", "mnuSlideShow", "mnuComments"})
        EXPECT_TRUE(enabled(on)) << on;
    for (const char* off : {"mnuUndo", "mnuUndo1", "butUndo"})
        EXPECT_FALSE(enabled(off)) << off;
    EXPECT_TRUE(mainWindow()->findChild<QMenu*>(QStringLiteral("mnuImage"))->menuAction()->isEnabled());
}

TEST_F(MainWindowTest, ShortcutsAndCaptionsFollowTheCommandTable)
{
    struct Row {
        const char* name;
        const char* caption;
        const char* shortcut;
    };
    const Row rows[] = {{"mnuNew", "New Collection...", "Ctrl+N"},
                        {"mnuOpen", "&Open Collection...", "Ctrl+O"},
                        {"mnuAdd", "Add / Delete image...", "Ins"},
                        {"Exit1", "&Exit", "F10"},
                        {"mnuEffects", "&Effects...            ", "Ctrl+E"},
                        {"Proportional2", "&Proportional    ", "F3"},
                        {"mnuOriginalSize", "Original Size", "Ctrl+F11"},
                        {"mnuHelp1", "Help         ", "F1"}};
    for (const Row& r : rows) {
        QAction* a = mainWindow()->action(r.name);
        ASSERT_NE(a, nullptr) << r.name;
        EXPECT_EQ(a->text(), QString::fromUtf8(r.caption));
        EXPECT_EQ(a->shortcut(), QKeySequence(QString::fromLatin1(r.shortcut))) << r.name;
    }
    EXPECT_EQ(mainWindow()->action("Proportional1")->text(), QStringLiteral("&Proportional     "));
}

TEST_F(MainWindowTest, HoveringASlotShowsItsCommentInStatusPanelZero)
{
    openPath(collectionOf(3));
    QStatusTipEvent tip(mainWindow()->slot(2)->statusTip());
    QApplication::sendEvent(mainWindow()->slot(2), &tip);
    EXPECT_EQ(panel(0), QStringLiteral("comment 2"));
    EXPECT_EQ(mainWindow()->slot(2)->toolTip(), QStringLiteral("comment 2"));
}

TEST_F(MainWindowTest, AboutBoxShowsAndHidesRepeatedly)
{
    for (int i = 0; i < 3; ++i) {
        mainWindow()->showAbout();
        EXPECT_TRUE(aboutBox()->isVisible());
        EXPECT_FALSE(aboutBox()->isModal());
        auto* ok = aboutBox()->findChild<QAbstractButton*>(QStringLiteral("SpeedButton1"));
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), QStringLiteral("   OK"));
        ok->click();
        EXPECT_FALSE(aboutBox()->isVisible());
    }
    EXPECT_EQ(aboutBox()->size(), QSize(533, 330));
}

TEST_F(MainWindowTest, AnEscapedFailureIsShownAndTheProgramRunsOn)
{
    EXPECT_FALSE(runCommand([] { throw AppError(QStringLiteral("Unknown picture file extension (.gif)")); }));
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_EQ(fake.errors.first(), QStringLiteral("Unknown picture file extension (.gif)"));
    EXPECT_TRUE(runCommand([] {}));
}
