#include "viewer/CollectionRead.h"

#include "core/RegularFile.h"

#include <memory>
#include <utility>

CollectionContents readCollectionContents(const QString& path, const std::atomic<bool>* stop,
                                          const QByteArray& codePage)
{
    CollectionContents read;
    read.path = path;
    try {
        // Only a regular file, or the read would wait on a FIFO for good.
        const RegularFile file(path, [&path](int err) { return ioErrorText(err, path); });
    } catch (...) {
        read.failure = std::current_exception();
        return read;
    }
    read.opened = true;
    CollectionReadHooks hooks;
    hooks.longLine = [&read](int line) { read.longLines << line; };
    hooks.stop = stop;
    hooks.codePage = codePage;
    try {
        readCollection(
            path, [&read](int, const CollectionEntry& e) { read.entries.append(e); }, hooks);
    } catch (const CollectionLimitError&) {
        // Refused as a whole: nothing of it is shown.
        read = CollectionContents{path, {}, {}, std::current_exception(), false};
    } catch (...) {
        // The entries read before a failure of the file still open.
        read.failure = std::current_exception();
    }
    return read;
}

CollectionRead::CollectionRead(QObject* parent, std::chrono::milliseconds quickRead)
    : QObject(parent), m_quickRead(quickRead)
{
}

void CollectionRead::start(const QString& path, const QByteArray& codePage, Done done,
                           std::function<bool()> canTake)
{
    cancel();
    m_held.setTaker(std::move(done), std::move(canTake));
    auto read = std::make_shared<CollectionContents>();
    m_ticket = m_runner.submit(
        [this, path, codePage, read](const JobRunner::StopFlag& stop) -> JobRunner::Delivery {
            *read = readCollectionContents(path, &stop, codePage);
            return [this, read] { m_held.hold(read); };
        },
        {});
    if (m_quickRead.count() > 0)
        m_runner.waitFor(m_ticket, m_quickRead);
}

void CollectionRead::cancel()
{
    if (m_ticket)
        m_runner.cancel(m_ticket);
    m_held.drop();
}

bool CollectionRead::isReading() const
{
    return m_held.holds() || (m_ticket && m_runner.isPending(m_ticket));
}
