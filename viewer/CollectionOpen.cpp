#include "viewer/CollectionOpen.h"

#include "core/Errors.h"
#include "viewer/ViewerSession.h"

namespace {

// A collection past the reader's limits, told in the session's language.
std::exception_ptr inSessionWords(const std::exception_ptr& failure, const ProgramTexts& texts)
{
    if (!failure)
        return failure;
    try {
        std::rethrow_exception(failure);
    } catch (const CollectionLimitError& e) {
        const QString& path = e.path();
        return std::make_exception_ptr(
            AppError(e.limit() == CollectionLimitError::Limit::Bytes
                         ? texts.CollectionTooLargeMessage.arg(path)
                               .arg((e.size() + (1 << 20) - 1) >> 20)
                               .arg(MaxCollectionBytes >> 20)
                         : texts.CollectionTooManyMessage.arg(path).arg(MaxCollectionEntries)));
    } catch (...) {
        return failure;
    }
}

} // namespace

CollectionOpen::CollectionOpen(ViewerSession& session, CollectionContents read, int slotCount,
                               LoadSlot loadSlot)
    : m_session(session), m_slotCount(slotCount), m_loadSlot(std::move(loadSlot))
{
    // A file that can't be taken changes nothing at all: the open collection
    // stays as it was, strip, list and undo record included.
    if (!read.opened)
        std::rethrow_exception(inSessionWords(read.failure, session.texts()));
    session.beginOpen(read.path);
    m_entries = std::move(read.entries);
    m_readFailure = read.failure;
    if (!read.longLines.isEmpty())
        m_longLines = session.texts().CollectionLongLinesMessage.arg(
            read.path, lineNumbersText(read.longLines, session.texts().UnusableMoreText));
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
            if (m_session.takeFailureToTell(e.path))
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
    QStringList told;
    if (m_readFailure)
        told << failureText(m_readFailure);
    if (!m_longLines.isEmpty())
        told << m_longLines;
    if (!m_readFailure)
        told << m_pictureFailures;
    if (told.isEmpty())
        return nullptr;
    if (m_readFailure && m_longLines.isEmpty())
        return m_readFailure;
    return std::make_exception_ptr(AppError(told.join(QLatin1Char('\n'))));
}
