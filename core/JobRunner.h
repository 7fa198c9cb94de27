#pragma once
// The one way work leaves the GUI thread: jobs run on a thread pool of the
// runner's own, and what they hand back runs on the owner's thread in the
// order the jobs were submitted. A job that throws has its exception carried
// back, in that same order, to the failure handler given with it. A
// cancelled job delivers nothing: waiting, it never starts; running, its
// stop flag is raised (or, with Running::Finish, it completes unheard).
// An owner that waits rather than returning to its event loop (a worker,
// a command-line tool) takes the results with waitFor. Jobs never touch
// widgets.
#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

class JobRunner : public QObject {
    Q_OBJECT
public:
    using StopFlag = std::atomic<bool>;
    // Runs on the owner's thread with the job's result; may be empty.
    using Delivery = std::function<void()>;
    // Runs on a worker. It should return soon after `stop` reads true.
    using Work = std::function<Delivery(const StopFlag& stop)>;
    // Runs on the owner's thread with what the work threw.
    using Failure = std::function<void(std::exception_ptr)>;
    using Ticket = quint64;
    enum class Running { Stop, Finish };

    // `threads` jobs at most run at once; with one, they run one after the
    // other in the order submitted.
    explicit JobRunner(int threads = 1, QObject* parent = nullptr);
    // Stops every job and waits for the running ones; nothing is delivered.
    ~JobRunner() override;

    Ticket submit(Work work, Failure failure);
    // Drops the job's delivery; see the class comment for the work itself.
    void cancel(Ticket ticket, Running running = Running::Stop);
    void cancelAll(Running running = Running::Stop);
    // Submitted and neither delivered nor cancelled.
    bool isPending(Ticket ticket) const { return m_jobs.count(ticket) != 0; }
    // Pending and its work has begun on a worker.
    bool hasStarted(Ticket ticket) const;
    // Blocks until no work runs or waits. What finished jobs deliver is
    // still queued for the owner's event loop.
    void waitForIdle();
    // Blocks until the job and every one submitted before it have run, and
    // delivers them here, in order, unless the event loop already has; none
    // behind it. A failure without a handler is rethrown from here. Not
    // from inside a delivery.
    void waitFor(Ticket ticket);
    // The same, giving up after `timeout`: false, with nothing delivered,
    // when the job had not finished by then.
    bool waitFor(Ticket ticket, std::chrono::milliseconds timeout);

private:
    struct State {
        StopFlag stop{false};
        std::atomic<bool> started{false};
        // Written by the worker before `finished`, read by the owner after.
        std::atomic<bool> finished{false};
        Delivery delivery;
        std::exception_ptr error;
    };
    struct Job {
        std::shared_ptr<State> state;
        Failure failure;
    };
    // Hands over every result at the front of the order that is ready (up
    // to `last`).
    void deliverReady();
    void deliverUpTo(Ticket last);
    // Whether the job and every one before it have finished; under m_finishedMutex.
    bool finishedUpTo(Ticket ticket) const;

    QThreadPool m_pool;
    std::map<Ticket, Job> m_jobs; // owner's thread; ordered by ticket
    Ticket m_next = 0;
    bool m_delivering = false;
    std::mutex m_finishedMutex; // with m_finishedChanged, for waitFor
    std::condition_variable m_finishedChanged;
};
