// The comments window: showing and hiding, and its text.
#include "tests/ui/AppFixture.h"

#include "ui/common/CommentsWindow.h"

using CommentsWindowTest = AppFixture;

TEST_F(CommentsWindowTest, CtrlCTogglesItEscapeAndTheCloseBoxOnlyHide)
{
    openPath(collectionOf(2));
    CommentsWindow* w = commentsWindow();
    ASSERT_FALSE(w->isVisible());
    key(Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(w->isVisible());
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    QTest::keyClick(w, Qt::Key_C, Qt::ControlModifier); // with the focus its own
    EXPECT_FALSE(w->isVisible());
    mainWindow()->toggleComments();
    QTest::keyClick(w, Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    mainWindow()->toggleComments();
    EXPECT_FALSE(w->close()) << "the close box only hides";
    EXPECT_FALSE(w->isVisible());
}

TEST_F(CommentsWindowTest, TextFollowsEverySlotShownVisibleOrNot)
{
    openPath(collectionOf(6));
    QLabel* text = commentsWindow()->LabelComments();
    EXPECT_TRUE(text->text().isEmpty()) << "opening leaves it alone";
    mainWindow()->selectSlot(2);
    EXPECT_EQ(text->text(), QStringLiteral("comment 2"));
    mainWindow()->toggleFollowMode();
    key(Qt::Key_Down);
    key(Qt::Key_Down); // scrolls the strip
    EXPECT_EQ(text->text(), QStringLiteral("comment 4"));
}
