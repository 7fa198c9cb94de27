#pragma once
// The thumbnail strip as the viewer decides it: which entries the slots
// show (from firstIndex() + 1 on), which slot is current, which entry the
// main image shows, and what a step does: move the highlight or scroll the
// strip by one entry. Entries and slots count from 1. No widgets: the main
// window lays out slots and follows what this answers.
#include <QList>

class StripModel {
public:
    // What a step did. A scroll moves every slot's picture one slot on
    // (towards slot 1 going forward) and reads one new entry into `loadSlot`.
    struct Step {
        enum Kind { None, Highlight, Scroll } kind = None;
        int loadSlot = 0;
        int loadEntry = 0;
    };

    int entryCount() const { return m_entryCount; }
    int slotCount() const { return m_slotCount; }
    int firstIndex() const { return m_firstIndex; }
    int currentSlot() const { return m_currentSlot; }
    int currentEntry() const { return m_firstIndex + m_currentSlot; }
    bool holdsEntries() const { return m_entryCount > 0; }

    // The entry slot `slot` shows, or 0 when it shows none.
    int entryInSlot(int slot) const;
    // The slot that shows `entry`, or 0 when it is not in the strip.
    int slotOfEntry(int entry) const;

    // The navigation rule: back while the current entry is past the first,
    // forward while it is before the last.
    bool canGoBack() const { return holdsEntries() && currentEntry() > 1; }
    bool canGoForward() const { return holdsEntries() && currentEntry() < m_entryCount; }

    // Next and Previous: the highlight moves, or on the edge slot the strip
    // scrolls. A step the rule forbids does nothing.
    Step next();
    Step previous();
    // A click on a slot that shows an entry makes it current.
    bool select(int slot);
    // Makes `entry` current, the strip scrolled only as far as it must to
    // hold it; answers whether it scrolled (every slot then reads again).
    bool goTo(int entry);

    // The entry whose picture the main image shows (0: none of the strip's).
    int shownEntry() const { return m_shownEntry; }
    void setShownEntry(int entry) { m_shownEntry = entry; }
    // The entries to have decoded next: after the shown one, then before it.
    QList<int> entriesBesideShown() const;

    // An open: nothing listed yet, the first entry at the top and current.
    void reset();
    void setEntryCount(int count) { m_entryCount = count; }
    // Entries were taken out or put back: `count` now, `entry` current and
    // shown next. The strip keeps its place where it can and closes any gap
    // below the last entry.
    void entriesChanged(int count, int entry);
    // The layout: `count` slots. The entry the main image shows (or, before
    // one is shown, the current entry) becomes current, the strip scrolled
    // only as far as it must to hold it.
    void setSlotCount(int count);

private:
    void holdCurrent(int entry);

    int m_entryCount = 0;
    int m_slotCount = 0;
    int m_firstIndex = 0;
    int m_currentSlot = 1;
    int m_shownEntry = 0;
};
