// The strip model: where Next, Previous and a click leave the strip, and
// what each step reads, without a window.
#include "viewer/StripModel.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A key script over `entries` entries in a strip of `slots` slots:
// n Next, p Previous, a digit a click on that slot, s the current entry
// shown in the main image, L and a digit a layout of that many slots, H and
// E a move to the first and the last entry, D the current entry taken out
// (its file moved to the trash).
struct Walk {
    const char* name;
    int entries, slotCount;
    std::string keys;
    int first, current;
    StripModel::Step last; // what the script's last key did
};

class StripWalk : public ::testing::TestWithParam<Walk> {};

TEST_P(StripWalk, EndsWhereTheRuleSays)
{
    const Walk& w = GetParam();
    StripModel strip;
    strip.setSlotCount(w.slotCount);
    int entries = w.entries;
    strip.setEntryCount(entries);
    StripModel::Step step;
    for (size_t i = 0; i < w.keys.size(); ++i) {
        const char c = w.keys[i];
        if (c == 'n')
            step = strip.next();
        else if (c == 'p')
            step = strip.previous();
        else if (c == 'H' || c == 'E')
            strip.goTo(c == 'H' ? 1 : entries);
        else if (c == 's')
            strip.setShownEntry(strip.currentEntry());
        else if (c == 'D')
            strip.entriesChanged(--entries, strip.currentEntry());
        else if (c == 'L')
            strip.setSlotCount(w.keys[++i] - '0');
        else
            step = {strip.select(c - '0') ? StripModel::Step::Highlight : StripModel::Step::None};
    }
    EXPECT_EQ(strip.firstIndex(), w.first);
    EXPECT_EQ(strip.currentEntry(), w.first + w.current);
    EXPECT_EQ(step.kind, w.last.kind);
    EXPECT_EQ(step.loadSlot, w.last.loadSlot);
    EXPECT_EQ(step.loadEntry, w.last.loadEntry);
    // The navigation rule holds after every script.
    EXPECT_EQ(strip.canGoBack(), strip.currentEntry() > 1);
    EXPECT_EQ(strip.canGoForward(), strip.currentEntry() < entries);
}

using S = StripModel::Step;
INSTANTIATE_TEST_SUITE_P(
    Scripts, StripWalk,
    ::testing::Values(
        Walk{"OneEntryGoesNowhere", 1, 3, "nnp", 0, 1, S{}},
        Walk{"TheHighlightMovesFirst", 12, 3, "nn", 0, 3, S{S::Highlight}},
        Walk{"TheLowestSlotScrollsAndReadsTheNewEntry", 12, 3, "nnn", 1, 3, S{S::Scroll, 3, 4}},
        Walk{"TheLastEntryStops", 5, 3, "nnnnnn", 2, 3, S{}},
        Walk{"BackFromTheTopSlotScrollsBack", 12, 3, "nnnnppp", 1, 1, S{S::Scroll, 1, 2}},
        Walk{"BackAtTheFirstEntryStops", 12, 3, "npp", 0, 1, S{}},
        Walk{"AClickMakesItsSlotCurrent", 12, 3, "nnn2", 1, 2, S{S::Highlight}},
        Walk{"AClickOnASlotWithoutAnEntryIsRefused", 2, 3, "3", 0, 1, S{}},
        Walk{"ALayoutKeepsTheCurrentEntryWhereItStands", 12, 3, "nnnnL3", 2, 3, S{S::Scroll, 3, 5}},
        Walk{"AShorterStripScrollsToHoldTheShownEntry", 12, 3, "nnsL2", 1, 2, S{S::Highlight}},
        Walk{"ALayoutBringsBackTheShownEntryTheStripLeft", 12, 3, "snnnnL3", 0, 1, S{S::Scroll, 3, 5}},
        Walk{"NoSlotsAtAllStillKeepTheShownEntry", 12, 3, "nnsL0L3", 2, 1, S{S::Highlight}},
        Walk{"TheLastEntryScrollsIntoTheLowestSlot", 12, 3, "E", 9, 3, S{}},
        Walk{"TheFirstEntryScrollsBackToTheTop", 12, 3, "nEpH", 0, 1, S{S::Highlight}},
        Walk{"AnEntryInTheStripOnlyMovesTheHighlight", 3, 3, "E", 0, 3, S{}},
        Walk{"ATakenEntryLeavesTheNextInItsSlot", 12, 3, "nnnD", 1, 3, S{S::Scroll, 3, 4}},
        Walk{"TheLastTakenTheStripClosesTheGap", 12, 3, "ED", 8, 3, S{}},
        Walk{"AShortStripKeepsItsTop", 3, 3, "nD", 0, 2, S{S::Highlight}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StripModel, AnswersWhichSlotShowsWhichEntryAndWhatLiesBesideTheShownOne)
{
    StripModel strip;
    strip.setSlotCount(3);
    strip.setEntryCount(5);
    strip.next();
    strip.next();
    strip.next(); // entries 2..4 in the strip
    EXPECT_EQ(strip.entryInSlot(1), 2);
    EXPECT_EQ(strip.slotOfEntry(4), 3);
    EXPECT_EQ(strip.slotOfEntry(1), 0) << "scrolled out";
    EXPECT_EQ(strip.slotOfEntry(6), 0) << "not listed";
    strip.setShownEntry(5);
    EXPECT_EQ(strip.entriesBesideShown(), QList<int>{4});
    strip.setShownEntry(3);
    EXPECT_EQ(strip.entriesBesideShown(), QList<int>({4, 2}));
    strip.reset();
    EXPECT_EQ(strip.currentEntry(), 1);
    EXPECT_FALSE(strip.holdsEntries() || strip.canGoForward());
    EXPECT_TRUE(strip.entriesBesideShown().isEmpty());
}

} // namespace
