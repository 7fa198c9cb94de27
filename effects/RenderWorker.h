#pragma once
// One background thread that runs one job at a time for its owner. A newer
// job replaces the one still waiting and may ask the running one to stop;
// only the newest job's result reaches the owner. Jobs never touch widgets:
// what they hand back runs on the owner's thread.
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class RenderWorker : public QObject {
    Q_OBJECT
public:
    // Runs on the owner's thread with the job's result; may be empty.
    using Delivery = std::function<void()>;
    // Runs on the worker thread. It should return soon after `stop` reads
    // true; a job stopped that way delivers nothing.
    using Job = std::function<Delivery(const std::atomic<bool>& stop)>;
    // Whether a new job asks the running one to stop, or lets it finish
    // (useful when the running job builds something the new one reuses).
    enum class Running { Stop, Finish };

    explicit RenderWorker(QObject* parent = nullptr);
    // Stops the running job, drops the waiting one and joins the thread.
    ~RenderWorker() override;

    // Queues `job` in place of any job still waiting; answers its ticket.
    quint64 submit(Job job, Running running = Running::Stop);
    // Drops the waiting job and asks the running one to stop.
    void cancel();
    // Blocks until no job runs or waits. What finished jobs deliver is
    // still queued for the owner's event loop.
    void waitForIdle();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    Job m_waiting;
    quint64 m_waitingTicket = 0;
    std::shared_ptr<std::atomic<bool>> m_runningStop;
    bool m_quit = false;
    quint64 m_latest = 0;
    std::thread m_thread;
};
