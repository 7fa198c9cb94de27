#include "core/KernelConfinement.h"

#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <sys/syscall.h>
#include <unistd.h>

KernelConfinement KernelConfinement::probe()
{
    KernelConfinement k;
    // Asking whether an action is known proves the filter mode is built in.
    unsigned int action = SECCOMP_RET_KILL_PROCESS;
    k.systemCallFilter = ::syscall(SYS_seccomp, SECCOMP_GET_ACTION_AVAIL, 0, &action) == 0;
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    k.landlockAbi = abi > 0 ? int(abi) : 0;
    return k;
}
