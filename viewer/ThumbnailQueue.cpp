#include "viewer/ThumbnailQueue.h"

ThumbnailQueue::ThumbnailQueue(int threads, QObject* parent) : QObject(parent), m_runner(threads) {}

void ThumbnailQueue::setOptions(const SlotThumbnailOptions& options)
{
    const bool same = options.box == m_options.box && options.exif == m_options.exif &&
                      options.writeSharedCache == m_options.writeSharedCache &&
                      options.displayColors == m_options.displayColors &&
                      options.cacheRoot == m_options.cacheRoot;
    m_options = options;
    if (!same)
        forgetAll();
}

void ThumbnailQueue::want(const QStringList& paths)
{
    m_wanted = paths;
    QStringList toSubmit = paths;
    QList<Submitted> kept;
    for (const Submitted& s : std::as_const(m_submitted)) {
        if (!m_runner.isPending(s.ticket))
            continue;
        if (m_runner.hasStarted(s.ticket) && toSubmit.removeOne(s.path))
            kept.append(s);
        else
            m_runner.cancel(s.ticket);
    }
    m_submitted = kept;
    toSubmit.removeDuplicates();
    for (const QString& path : std::as_const(toSubmit))
        submit(path);
    if (m_submitted.isEmpty())
        emit drained();
}

void ThumbnailQueue::forgetAll()
{
    // A cancelled job never reports, so nothing older can arrive.
    for (const Submitted& s : std::as_const(m_submitted))
        m_runner.cancel(s.ticket);
    m_submitted.clear();
    const QStringList wanted = std::exchange(m_wanted, {});
    want(wanted);
}

void ThumbnailQueue::waitForIdle()
{
    m_runner.waitForIdle();
}

void ThumbnailQueue::submit(const QString& path)
{
    const JobRunner::Ticket ticket = m_runner.submit(
        [path, options = m_options, this](const JobRunner::StopFlag& stop) -> JobRunner::Delivery {
            return [this, made = makeSlotThumbnail(path, options, &stop)] { deliver(made); };
        },
        nullptr);
    m_submitted.append({path, ticket});
}

void ThumbnailQueue::deliver(const SlotThumbnail& thumbnail)
{
    m_submitted.removeIf([this](const Submitted& s) { return !m_runner.isPending(s.ticket); });
    if (!thumbnail.stopped && m_wanted.contains(thumbnail.path)) {
        if (thumbnail.stamp == FileStamp::of(thumbnail.path))
            emit arrived(thumbnail);
        else
            submit(thumbnail.path);
    }
    if (m_submitted.isEmpty())
        emit drained();
}
