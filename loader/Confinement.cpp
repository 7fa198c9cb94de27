#include "loader/Confinement.h"

#include "core/KernelConfinement.h"
#include "loader/SanitizerBuild.h"
#include "loader/SystemCallFilter.h"

#include <QFile>

#include <algorithm>
#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Landlock binds the calling thread alone.
bool singleThreaded()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    return status.readAll().contains("\nThreads:\t1\n");
}

// Under AddressSanitizer the address space counts from what the sanitizer
// reserved at start, so the limit still bounds what decoders map.
qint64 addressSpaceInUse()
{
    if (!PV_SANITIZED_BUILD)
        return 0;
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(0).toLongLong() * ::sysconf(_SC_PAGESIZE);
}

bool setLimit(int resource, rlim_t soft, rlim_t hard)
{
    const rlimit limit{soft, hard};
    return ::setrlimit(resource, &limit) == 0;
}

QString setResourceLimits(const ConfinementLimits& limits)
{
    const qint64 memory =
        limits.memoryBytes > 0 ? std::min(limits.memoryBytes, defaultLoaderMemory()) : defaultLoaderMemory();
    const rlim_t space = rlim_t(addressSpaceInUse() + memory);
    // A file written past its limit then fails with EFBIG instead of
    // killing the loader; the limit of 0 allows none at all.
    std::signal(SIGXFSZ, SIG_IGN);
    bool ok = setLimit(RLIMIT_AS, space, space) && setLimit(RLIMIT_FSIZE, 0, 0) &&
              setLimit(RLIMIT_NOFILE, 32, 32) && setLimit(RLIMIT_CORE, 0, 0);
    // SIGXCPU at the soft limit, SIGKILL a second later.
    if (limits.cpuSeconds > 0)
        ok = ok && setLimit(RLIMIT_CPU, rlim_t(limits.cpuSeconds), rlim_t(limits.cpuSeconds) + 1);
    return ok ? QString() : QStringLiteral("resource limits");
}

} // namespace

qint64 defaultLoaderMemory()
{
    const qint64 half = qint64(::sysconf(_SC_PHYS_PAGES)) * ::sysconf(_SC_PAGESIZE) / 2;
    return std::min(qint64(4) << 30, half);
}

ConfinementState confineLoader(const ConfinementLimits& limits)
{
    ConfinementState state;
    const KernelConfinement kernel = KernelConfinement::probe();
    if (!singleThreaded()) {
        state.failure = QStringLiteral("threads left from loading");
        return state;
    }
    state.failure = setResourceLimits(limits);
    // No core file of picture data, and no other process of ours may
    // attach to it.
    if (::prctl(PR_SET_DUMPABLE, 0) != 0 || ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        state.failure = QStringLiteral("no new privileges");
    if (!state.failure.isEmpty())
        return state;
    state.landlock = restrictWithLandlock();
    if (state.landlock.abi > 0 && !state.landlock.applied)
        state.failure = QStringLiteral("Landlock");
    if (kernel.systemCallFilter) {
        const QString filter = installSystemCallFilter();
        state.systemCallFilter = filter.isEmpty();
        if (!filter.isEmpty())
            state.failure = filter;
    }
    return state;
}
