#include "effects/RenderWorker.h"

#include <QPointer>

RenderWorker::RenderWorker(QObject* parent) : QObject(parent), m_thread([this] { run(); }) {}

RenderWorker::~RenderWorker()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_waiting = nullptr;
        if (m_runningStop)
            *m_runningStop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

quint64 RenderWorker::submit(Job job, Running running)
{
    {
        std::lock_guard lock(m_mutex);
        m_waiting = std::move(job);
        m_waitingTicket = ++m_latest;
        if (running == Running::Stop && m_runningStop)
            *m_runningStop = true;
    }
    m_wake.notify_all();
    return m_latest;
}

void RenderWorker::cancel()
{
    std::lock_guard lock(m_mutex);
    m_waiting = nullptr;
    ++m_latest; // whatever is still queued for delivery is now stale
    if (m_runningStop)
        *m_runningStop = true;
}

void RenderWorker::waitForIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_waiting && !m_runningStop; });
}

void RenderWorker::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_quit || m_waiting; });
        if (m_quit)
            return;
        Job job = std::move(m_waiting);
        m_waiting = nullptr;
        const quint64 ticket = m_waitingTicket;
        auto stop = std::make_shared<std::atomic<bool>>(false);
        m_runningStop = stop;
        lock.unlock();

        Delivery delivery;
        try {
            delivery = job(*stop);
        } catch (...) {
            // A job reports its own failures; anything else ends it quietly
            // rather than the thread.
        }
        job = nullptr; // its captures go on this thread, before idle is seen

        lock.lock();
        m_runningStop.reset();
        if (delivery && !*stop) {
            // Queued on the owner's thread; dropped with the worker.
            QMetaObject::invokeMethod(
                this,
                [this, ticket, delivery = std::move(delivery)] {
                    if (ticket != m_latest)
                        return;
                    delivery();
                },
                Qt::QueuedConnection);
        }
        if (!m_waiting)
            m_idle.notify_all();
    }
}
