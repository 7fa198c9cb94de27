#include "viewer/ViewerSession.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <functional>

namespace {

// A change and the signal it must raise once; doing it a second time
// changes nothing and must stay silent, or windows redo work in a loop.
struct Change {
    const char* name;
    std::function<void(ViewerSession&)> apply;
    const char* signal;
};

void PrintTo(const Change& c, std::ostream* os) { *os << c.name; }

class SessionSignals : public ::testing::TestWithParam<Change> {};

TEST_P(SessionSignals, FireOnChangeOnlyAndNotOnTheSameValue)
{
    ViewerSession s;
    QSignalSpy spy(&s, GetParam().signal);
    GetParam().apply(s);
    EXPECT_EQ(spy.count(), 1);
    GetParam().apply(s);
    EXPECT_EQ(spy.count(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Each, SessionSignals,
    ::testing::Values(
        Change{"firstIndex", [](ViewerSession& s) { s.setFirstIndex(3); }, SIGNAL(positionChanged())},
        Change{"currentSlot", [](ViewerSession& s) { s.setCurrentSlot(4); }, SIGNAL(positionChanged())},
        Change{"follow", [](ViewerSession& s) { s.setFollowsCursor(true); }, SIGNAL(followModeChanged(bool))},
        Change{"fileName", [](ViewerSession& s) { s.setCollectionFileName("a.pvx"); },
               SIGNAL(collectionChanged())},
        Change{"undo", [](ViewerSession& s) { s.setUndoAvailable(true); }, SIGNAL(undoAvailableChanged(bool))}),
    [](const auto& info) { return std::string(info.param.name); });

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
