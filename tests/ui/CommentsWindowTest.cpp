// The comments window follows what the main window shows.
#include "tests/ui/AppFixture.h"

#include "ui/common/CommentsWindow.h"

using CommentsWindowTest = AppFixture;

TEST_F(CommentsWindowTest, TextFollowsEverySlotShownVisibleOrNot)
{
    openPath(collectionOf(6));
    QLabel* text = commentsWindow()->commentLabel();
    EXPECT_TRUE(text->text().isEmpty()) << "opening leaves it alone";
    mainWindow()->selectSlot(2);
    EXPECT_EQ(text->text(), QStringLiteral("comment 2"));
    mainWindow()->toggleFollowMode();
    key(Qt::Key_Down);
    key(Qt::Key_Down); // scrolls the strip
    EXPECT_EQ(text->text(), QStringLiteral("comment 4"));
}
