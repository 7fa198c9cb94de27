#pragma once
// One loader and the socket to it: a confined process of its own or, with
// PICTAVO_LOADER=inprocess, a thread of this process running the same
// request code. Used by one thread at a time.
#include "core/LoaderChannel.h"
#include "core/LoaderGreeting.h"
#include "graphics/PictureFormat.h"

#include <QString>

#include <chrono>
#include <stdexcept>
#include <sys/types.h>
#include <thread>

class LoaderProcess {
public:
    struct Settings {
        QString program; // the loader program, or in process its module
        bool inProcess = false;
        std::chrono::milliseconds timeLimit{10000}; // per request
        qint64 memoryLimit = 0;                     // 0: the loader's default
        int cpuSeconds = 0;                         // over its whole life; 0: none
        bool lean = false; // with the common kinds' readers only (a process of its own)
        PictureFormat alsoRead = PictureFormat::Unknown; // and this kind's, when lean
    };
    // Why a loader can't go on, worded for "its reader stopped (%1)".
    class Stopped : public std::runtime_error {
    public:
        explicit Stopped(const QString& why) : std::runtime_error(why.toStdString()), reason(why) {}
        QString reason;
    };

    // Starts it and waits for its greeting. Throws Stopped.
    explicit LoaderProcess(const Settings& settings);
    // Ends it at once: a process is killed and reaped.
    ~LoaderProcess();
    LoaderProcess(const LoaderProcess&) = delete;
    LoaderProcess& operator=(const LoaderProcess&) = delete;

    // Sends one message and waits for the answer, at most the time limit.
    // Throws Stopped when the loader ended, ran out of time or sent
    // something malformed; it is of no further use then.
    LoaderChannel::Message exchange(QByteArrayView body, const std::vector<int>& fds);

    const LoaderGreeting& greeting() const noexcept { return m_greeting; }
    int exchanges() const noexcept { return m_exchanges; }
    bool lean() const noexcept { return m_settings.lean; }

private:
    using Clock = std::chrono::steady_clock;
    enum class Failure { TimedOut, Ended, Malformed };

    void spawn(UniqueFd theirs);
    void end();
    void startThread(UniqueFd theirs);
    LoaderChannel::Message receiveBefore(Clock::time_point deadline);
    [[noreturn]] void fail(Failure failure, Clock::time_point deadline);
    bool waitForExit(Clock::time_point deadline);
    int reap();

    Settings m_settings;
    LoaderChannel m_channel;
    pid_t m_pid = 0;
    UniqueFd m_pidfd;
    std::thread m_thread;
    bool m_threadHangs = false;
    LoaderGreeting m_greeting;
    int m_exchanges = 0;
};
