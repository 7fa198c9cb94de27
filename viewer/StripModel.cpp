#include "viewer/StripModel.h"

#include <algorithm>

int StripModel::entryInSlot(int slot) const
{
    if (slot < 1 || slot > m_slotCount)
        return 0;
    const int entry = m_firstIndex + slot;
    return entry <= m_entryCount ? entry : 0;
}

int StripModel::slotOfEntry(int entry) const
{
    const int slot = entry - m_firstIndex;
    return entry >= 1 && entry <= m_entryCount && slot >= 1 && slot <= m_slotCount ? slot : 0;
}

StripModel::Step StripModel::next()
{
    if (!canGoForward())
        return {};
    if (m_currentSlot >= m_slotCount) {
        ++m_firstIndex;
        return {Step::Scroll, m_slotCount, m_firstIndex + m_slotCount};
    }
    ++m_currentSlot;
    return {Step::Highlight};
}

StripModel::Step StripModel::previous()
{
    if (!canGoBack())
        return {};
    if (m_currentSlot <= 1) {
        --m_firstIndex;
        return {Step::Scroll, m_slotCount > 0 ? 1 : 0, m_firstIndex + 1};
    }
    --m_currentSlot;
    return {Step::Highlight};
}

bool StripModel::select(int slot)
{
    if (entryInSlot(slot) == 0)
        return false;
    m_currentSlot = slot;
    return true;
}

QList<int> StripModel::entriesBesideShown() const
{
    QList<int> beside;
    if (m_shownEntry < 1)
        return beside;
    for (const int e : {m_shownEntry + 1, m_shownEntry - 1})
        if (e >= 1 && e <= m_entryCount)
            beside.append(e);
    return beside;
}

void StripModel::reset()
{
    m_entryCount = 0;
    m_firstIndex = 0;
    m_currentSlot = 1;
    m_shownEntry = 0;
}

bool StripModel::goTo(int entry)
{
    if (entry < 1 || entry > m_entryCount)
        return false;
    const int first = m_firstIndex;
    holdCurrent(entry);
    return m_firstIndex != first;
}

void StripModel::entriesChanged(int count, int entry)
{
    m_entryCount = count;
    m_firstIndex = std::clamp(m_firstIndex, 0, std::max(0, count - std::max(m_slotCount, 1)));
    m_shownEntry = 0;
    holdCurrent(std::clamp(entry, 1, std::max(count, 1)));
}

void StripModel::holdCurrent(int entry)
{
    // Even a strip without slots keeps its place for when it gets some.
    const int room = std::max(m_slotCount, 1);
    if (entry <= m_firstIndex)
        m_firstIndex = entry - 1;
    else if (entry > m_firstIndex + room)
        m_firstIndex = entry - room;
    m_currentSlot = entry - m_firstIndex;
}

void StripModel::setSlotCount(int count)
{
    m_slotCount = count;
    holdCurrent(m_shownEntry >= 1 && m_shownEntry <= m_entryCount ? m_shownEntry : currentEntry());
}
