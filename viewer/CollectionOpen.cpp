#include "viewer/CollectionOpen.h"

#include "core/Errors.h"
#include "core/RegularFile.h"
#include "viewer/ViewerSession.h"

namespace {

// A file that can't be read changes nothing at all: the open collection
// stays as it was, strip and list included.
void checkReadable(const QString& path)
{
    // Only a regular file, or the open would wait on a FIFO for good.
    const RegularFile file(path, [&path](int err) { return ioErrorText(err, path); });
}

} // namespace

CollectionOpen::CollectionOpen(ViewerSession& session, const QString& path, int slotCount, LoadSlot loadSlot)
    : m_session(session), m_slotCount(slotCount), m_loadSlot(std::move(loadSlot))
{
    session.undoHistory().clear();
    checkReadable(path);
    session.beginOpen(path);
    // The entries read before a failure of the file still open.
    try {
        readCollection(path, [this](int, const CollectionEntry& e) { m_entries.append(e); });
    } catch (...) {
        m_readFailure = std::current_exception();
    }
    m_sinceProgress.start();
}

CollectionOpen::CollectionOpen(ViewerSession& session, const QList<CollectionEntry>& entries, int slotCount,
                               LoadSlot loadSlot)
    : m_session(session), m_slotCount(slotCount), m_loadSlot(std::move(loadSlot)), m_entries(entries)
{
    session.beginOpen(QString());
    m_sinceProgress.start();
}

bool CollectionOpen::step()
{
    if (m_next >= m_entries.size())
        return false;
    const CollectionEntry& e = m_entries.at(m_next);
    const int k = int(++m_next);
    if (k <= m_slotCount) {
        try {
            m_loadSlot(k, e);
        } catch (...) {
            if (m_session.takeFailureToTell(e.FileName))
                m_pictureFailures << failureText(std::current_exception());
        }
    }
    m_session.appendEntry(e);
    m_taken = k;
    return true;
}

bool CollectionOpen::progressDue()
{
    if (m_taken <= m_slotCount)
        return true;
    if (m_sinceProgress.elapsed() <= (m_progressShown ? m_laterMs : m_firstMs))
        return false;
    m_sinceProgress.restart();
    m_progressShown = true;
    return true;
}

void CollectionOpen::setProgressIntervals(int firstMs, int laterMs)
{
    m_firstMs = firstMs;
    m_laterMs = laterMs;
}

std::exception_ptr CollectionOpen::finish()
{
    m_session.endOpen(m_entries);
    if (m_readFailure || m_pictureFailures.isEmpty())
        return m_readFailure;
    return std::make_exception_ptr(AppError(m_pictureFailures.join(QLatin1Char('\n'))));
}
