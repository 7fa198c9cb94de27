#include "core/JobRunner.h"

#include <algorithm>
#include <limits>
#include <utility>

JobRunner::JobRunner(int threads, QObject* parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(std::max(threads, 1));
}

JobRunner::~JobRunner()
{
    for (auto& [ticket, job] : m_jobs)
        job.state->stop = true;
    m_jobs.clear();
    m_pool.clear();
    m_pool.waitForDone();
}

JobRunner::Ticket JobRunner::submit(Work work, Failure failure)
{
    const Ticket ticket = ++m_next;
    auto state = std::make_shared<State>();
    m_jobs.emplace(ticket, Job{state, std::move(failure)});
    m_pool.start([this, state, work = std::move(work)]() mutable {
        Delivery delivery;
        std::exception_ptr error;
        if (!state->stop) {
            state->started = true;
            try {
                delivery = work(state->stop);
            } catch (...) {
                error = std::current_exception();
            }
        }
        work = nullptr; // its captures go here, on the worker
        if (state->stop)
            return;
        {
            std::lock_guard lock(m_finishedMutex);
            state->delivery = std::move(delivery);
            state->error = error;
            state->finished = true;
        }
        m_finishedChanged.notify_all();
        QMetaObject::invokeMethod(this, &JobRunner::deliverReady, Qt::QueuedConnection);
    });
    return ticket;
}

void JobRunner::cancel(Ticket ticket, Running running)
{
    const auto it = m_jobs.find(ticket);
    if (it == m_jobs.end())
        return;
    State& state = *it->second.state;
    if (running == Running::Stop || !state.started)
        state.stop = true;
    const bool wasFront = it == m_jobs.begin();
    m_jobs.erase(it);
    // Results held back behind this one may go now, but not from inside
    // the caller's own work.
    if (wasFront)
        QMetaObject::invokeMethod(this, &JobRunner::deliverReady, Qt::QueuedConnection);
}

void JobRunner::cancelAll(Running running)
{
    for (auto& [ticket, job] : m_jobs)
        if (running == Running::Stop || !job.state->started)
            job.state->stop = true;
    m_jobs.clear();
}

bool JobRunner::hasStarted(Ticket ticket) const
{
    const auto it = m_jobs.find(ticket);
    return it != m_jobs.end() && it->second.state->started;
}

void JobRunner::waitForIdle()
{
    m_pool.waitForDone();
}

bool JobRunner::finishedUpTo(Ticket ticket) const
{
    for (auto it = m_jobs.begin(); it != m_jobs.end() && it->first <= ticket; ++it)
        if (!it->second.state->finished)
            return false;
    return true;
}

void JobRunner::waitFor(Ticket ticket)
{
    {
        std::unique_lock lock(m_finishedMutex);
        m_finishedChanged.wait(lock, [this, ticket] { return finishedUpTo(ticket); });
    }
    deliverUpTo(ticket);
}

bool JobRunner::waitFor(Ticket ticket, std::chrono::milliseconds timeout)
{
    {
        std::unique_lock lock(m_finishedMutex);
        if (!m_finishedChanged.wait_for(lock, timeout, [this, ticket] { return finishedUpTo(ticket); }))
            return false;
    }
    deliverUpTo(ticket);
    return true;
}

void JobRunner::deliverReady()
{
    deliverUpTo(std::numeric_limits<Ticket>::max());
}

void JobRunner::deliverUpTo(Ticket last)
{
    // A delivery may run an event loop (a message box) in which further
    // results arrive: they wait for it, so the order holds.
    if (m_delivering)
        return;
    m_delivering = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{m_delivering};
    while (!m_jobs.empty() && m_jobs.begin()->first <= last && m_jobs.begin()->second.state->finished) {
        Job job = std::move(m_jobs.begin()->second);
        m_jobs.erase(m_jobs.begin());
        State& result = *job.state;
        try {
            if (!result.error) {
                if (result.delivery)
                    std::exchange(result.delivery, nullptr)();
            } else if (job.failure) {
                job.failure(result.error);
            } else {
                std::rethrow_exception(result.error);
            }
        } catch (...) {
            // The results behind this one still go, after the failure has
            // reached the event loop's handler (or waitFor's caller).
            QMetaObject::invokeMethod(this, &JobRunner::deliverReady, Qt::QueuedConnection);
            throw;
        }
    }
}
