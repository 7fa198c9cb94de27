#include "graphics/LoaderProcess.h"

#include "core/LoaderProtocol.h"

#include <QFile>
#include <QLibrary>

#include <algorithm>
#include <climits>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using ServeInProcess = void (*)(int socket);

// The loader's warnings reach a terminal or a pipe; a file the user sent
// standard error to is not handed to it.
bool standardErrorPassable()
{
    struct stat st {};
    return ::isatty(2) || (::fstat(2, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)));
}

QString exitReason(int status, bool killedForTime)
{
    if (killedForTime)
        return QStringLiteral("it ran out of time");
    if (WIFEXITED(status)) {
        switch (WEXITSTATUS(status)) {
        case loaderProtocol::ExitOutOfMemory:
            return QStringLiteral("it ran out of memory");
        case loaderProtocol::ExitUnconfined:
            return QStringLiteral("it could not confine itself");
        case 0:
            return QStringLiteral("it ended");
        }
        return QStringLiteral("it crashed");
    }
    switch (WTERMSIG(status)) {
    case SIGSYS:
        return QStringLiteral("it tried something it may not");
    case SIGXCPU:
        return QStringLiteral("it ran out of time");
    case SIGKILL:
        return QStringLiteral("it was killed");
    }
    return QStringLiteral("it crashed");
}

} // namespace

LoaderProcess::LoaderProcess(const Settings& settings)
    : m_settings(settings), m_channel(UniqueFd(), LoaderChannel::Memory::Own)
{
    auto [mine, theirs] = LoaderChannel::socketPair();
    if (!mine.isValid())
        throw Stopped(
            QStringLiteral("it could not be started: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    m_channel = LoaderChannel(std::move(mine), LoaderChannel::Memory::Own);
    try {
        if (settings.inProcess)
            startThread(std::move(theirs));
        else
            spawn(std::move(theirs));
        // Loading every codec takes a moment, longer in sanitized builds.
        const auto startLimit =
            std::max<std::chrono::milliseconds>(settings.timeLimit, std::chrono::seconds(10));
        const LoaderChannel::Message hello = receiveBefore(Clock::now() + startLimit);
        const std::optional<LoaderGreeting> greeting = LoaderGreeting::decoded(hello.body);
        if (!greeting || !hello.fds.empty())
            fail(Failure::Malformed, Clock::now());
        if (greeting->version != loaderProtocol::Version)
            throw Stopped(QStringLiteral("its program is of another version"));
        m_greeting = *greeting;
    } catch (...) {
        end();
        throw;
    }
}

LoaderProcess::~LoaderProcess()
{
    end();
}

void LoaderProcess::end()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        reap();
    }
    // A thread ends when its socket closes, unless it hangs in a decoder.
    m_channel = LoaderChannel(UniqueFd(), LoaderChannel::Memory::Own);
    if (m_thread.joinable()) {
        if (m_threadHangs)
            m_thread.detach();
        else
            m_thread.join();
    }
}

void LoaderProcess::spawn(UniqueFd theirs)
{
    // Moved off descriptor 3, so that putting it there clears close-on-exec.
    if (theirs.get() == loaderProtocol::SocketDescriptor)
        theirs = UniqueFd(::fcntl(theirs.get(), F_DUPFD_CLOEXEC, loaderProtocol::SocketDescriptor + 1));
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (!standardErrorPassable())
        ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, theirs.get(), loaderProtocol::SocketDescriptor);
    ::posix_spawn_file_actions_addclosefrom_np(&actions, loaderProtocol::SocketDescriptor + 1);
    // Signals as a new program has them, whatever this thread blocks or ignores.
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setsigdefault(&attributes, &all);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    const QByteArray program = QFile::encodeName(m_settings.program);
    QByteArrayList args{program};
    if (m_settings.lean)
        args << "--lean";
    if (m_settings.lean && m_settings.alsoRead != PictureFormat::Unknown)
        args << "--also-read=" + QByteArray::number(int(m_settings.alsoRead));
    if (m_settings.memoryLimit > 0)
        args << "--memory-limit=" + QByteArray::number(m_settings.memoryLimit);
    if (m_settings.cpuSeconds > 0)
        args << "--cpu-seconds=" + QByteArray::number(m_settings.cpuSeconds);
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    char* noEnvironment[] = {nullptr};
    const int rc =
        ::posix_spawn(&m_pid, program.constData(), &actions, &attributes, argv.data(), noEnvironment);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    if (rc != 0) {
        m_pid = 0;
        throw Stopped(
            QStringLiteral("it could not be started: %1").arg(QString::fromLocal8Bit(std::strerror(rc))));
    }
    // Readable once the process ended, so a wait for it can have a deadline.
    m_pidfd = UniqueFd(int(::syscall(SYS_pidfd_open, m_pid, 0)));
}

void LoaderProcess::startThread(UniqueFd theirs)
{
    QLibrary module(m_settings.program);
    const auto serve = reinterpret_cast<ServeInProcess>(module.resolve("pictavoServeInProcess"));
    if (!serve)
        throw Stopped(QStringLiteral("it could not be started: %1").arg(module.errorString()));
    m_thread = std::thread(serve, theirs.release());
}

LoaderChannel::Message LoaderProcess::exchange(QByteArrayView body, const std::vector<int>& fds)
{
    ++m_exchanges;
    const Clock::time_point deadline = Clock::now() + m_settings.timeLimit;
    if (!m_channel.send(body, fds))
        fail(Failure::Ended, deadline);
    return receiveBefore(deadline);
}

LoaderChannel::Message LoaderProcess::receiveBefore(Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            fail(Failure::TimedOut, deadline);
        pollfd watched[2] = {{m_channel.socket(), POLLIN, 0}, {m_pidfd.get(), POLLIN, 0}};
        const int n =
            ::poll(watched, m_pidfd.isValid() ? 2 : 1, int(std::min<qint64>(left.count(), INT_MAX)));
        if (n < 0 && errno != EINTR)
            fail(Failure::Ended, deadline);
        if (n <= 0)
            continue;
        // An answer sent just before the loader ended still counts.
        if (watched[0].revents) {
            LoaderChannel::Message message;
            switch (m_channel.receive(message)) {
            case LoaderChannel::Received::Message:
                return message;
            case LoaderChannel::Received::MemoryGiven:
                continue;
            case LoaderChannel::Received::Malformed:
                fail(Failure::Malformed, deadline);
            case LoaderChannel::Received::Closed:
                fail(Failure::Ended, deadline);
            }
        }
        if (watched[1].revents)
            fail(Failure::Ended, deadline);
    }
}

void LoaderProcess::fail(Failure failure, Clock::time_point deadline)
{
    if (m_pid <= 0) {
        m_threadHangs = failure == Failure::TimedOut;
        throw Stopped(failure == Failure::TimedOut    ? QStringLiteral("it ran out of time")
                      : failure == Failure::Malformed ? QStringLiteral("its answer was not valid")
                                                      : QStringLiteral("it ended"));
    }
    // A loader that closed its socket but lingers gets until the deadline.
    const bool killedForTime =
        failure == Failure::TimedOut || (failure == Failure::Ended && !waitForExit(deadline));
    if (failure != Failure::Ended || killedForTime)
        ::kill(m_pid, SIGKILL);
    const int status = reap();
    throw Stopped(failure == Failure::Malformed ? QStringLiteral("its answer was not valid")
                                                : exitReason(status, killedForTime));
}

bool LoaderProcess::waitForExit(Clock::time_point deadline)
{
    if (!m_pidfd.isValid())
        return true; // reap() waits
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd watched{m_pidfd.get(), POLLIN, 0};
        const int n = ::poll(&watched, 1, int(std::clamp<qint64>(left.count(), 0, INT_MAX)));
        if (n > 0)
            return true;
        if (n == 0)
            return false;
        if (errno != EINTR)
            return true;
    }
}

int LoaderProcess::reap()
{
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = 0;
    m_pidfd.reset();
    return status;
}
