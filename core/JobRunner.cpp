#include "core/JobRunner.h"

#include <algorithm>
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
    m_jobs.emplace(ticket, Job{state, false, {}, {}, std::move(failure)});
    m_pool.start([this, ticket, state, work = std::move(work)]() mutable {
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
        QMetaObject::invokeMethod(
            this,
            [this, ticket, delivery = std::move(delivery), error] { finished(ticket, delivery, error); },
            Qt::QueuedConnection);
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

void JobRunner::finished(Ticket ticket, Delivery delivery, std::exception_ptr error)
{
    const auto it = m_jobs.find(ticket);
    if (it == m_jobs.end())
        return; // cancelled meanwhile
    it->second.finished = true;
    it->second.delivery = std::move(delivery);
    it->second.error = error;
    deliverReady();
}

void JobRunner::deliverReady()
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
    while (!m_jobs.empty() && m_jobs.begin()->second.finished) {
        Job job = std::move(m_jobs.begin()->second);
        m_jobs.erase(m_jobs.begin());
        try {
            if (!job.error) {
                if (job.delivery)
                    job.delivery();
            } else if (job.failure) {
                job.failure(job.error);
            } else {
                std::rethrow_exception(job.error);
            }
        } catch (...) {
            // The results behind this one still go, after the failure has
            // reached the event loop's handler.
            QMetaObject::invokeMethod(this, &JobRunner::deliverReady, Qt::QueuedConnection);
            throw;
        }
    }
}
