#include "viewer/ViewerSession.h"

#include <QSignalSpy>
#include <gtest/gtest.h>


namespace {

// Undo belongs to the collection it was made in: a new open must forget
// it, or undo would write an old picture over another collection's file.
TEST(ViewerSession, OpeningForgetsTheUndoRecordAndGoesToTheTop)
{
    ViewerSession s;
    s.appendEntry({"x.jpg", "x"});
    s.setFirstIndex(2);
    s.setCurrentSlot(3);
    s.recordUndo(Picture::fromBitmap(Bitmap24(2, 2)));
    EXPECT_EQ(s.undoRecord().entry(), 5);
    QSignalSpy undo(&s, &ViewerSession::undoAvailableChanged);
    QSignalSpy moved(&s, &ViewerSession::positionChanged);

    s.startCollection("b.pvx");

    EXPECT_TRUE(s.undoRecord().picture.isEmpty() && s.undoRecord().entry() == 0 && !s.undoAvailable());
    ASSERT_EQ(undo.count(), 1);
    EXPECT_FALSE(undo.at(0).at(0).toBool());
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(s.currentEntry(), 1);
    EXPECT_EQ(s.entryCount(), 0);
}

} // namespace
