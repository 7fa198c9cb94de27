#include "loader/SystemCallFilter.h"

#include "loader/SanitizerBuild.h"

#include <cerrno>
#include <fcntl.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

enum class Verdict {
    Allow,
    Refuse,  // fails with EPERM, which the caller sees
    Unknown, // fails with ENOSYS, so that the C library takes its older way
    Kill,    // ends the whole loader with SIGSYS: only an attack does this
};

// What a rule looks at besides the call itself.
enum class When {
    Always,
    NewThread,     // clone's flags hold CLONE_THREAD
    NewProcess,    // clone's flags lack CLONE_THREAD
    ToOthers,      // the first argument is any other process (or group)
    NotExecutable, // the protection (third argument) lacks PROT_EXEC
    AsksSeals,     // fcntl's command (second argument) is F_GET_SEALS
};

struct SystemCallRule {
    const char* name;
    Verdict verdict;
    When when;
    const char* why;
};

// Every system call the loader makes once it is confined, as
// loader/trace-system-calls.py found them over real decodes of every kind
// (and of the whole picture corpus). Calls this architecture lacks are
// passed by; anything not named here fails with EPERM.
constexpr SystemCallRule Rules[] = {
    // Its side of the protocol.
    {"recvmsg", Verdict::Allow, When::Always, "requests, their descriptors and the memory given"},
    {"sendmsg", Verdict::Allow, When::Always, "replies, and asks for memory for their pixels"},
    {"pread64", Verdict::Allow, When::Always, "the picture's bytes from the descriptor passed in"},
    {"newfstatat", Verdict::Allow, When::Always, "fstat of the descriptor passed in: its size and type"},
    {"fcntl", Verdict::Allow, When::AsksSeals, "whether the descriptor passed in is sealed, before it is mapped"},
    {"close", Verdict::Allow, When::Always, "drops each file's descriptors after its request"},
    {"write", Verdict::Allow, When::Always, "decoders' warnings on standard error (never a file)"},
    {"exit_group", Verdict::Allow, When::Always, "ends the loader when memory ran out or the viewer hung up"},
    {"exit", Verdict::Allow, When::Always, "ends a decoder's thread"},
    // Memory.
    {"brk", Verdict::Allow, When::Always, "malloc's heap"},
    {"mmap", Verdict::Allow, When::NotExecutable, "large allocations and the memory given, never executable"},
    {"mprotect", Verdict::Allow, When::NotExecutable, "thread stacks' guard pages, never executable"},
    {"munmap", Verdict::Allow, When::Always, "frees large allocations and mappings"},
    {"madvise", Verdict::Allow, When::Always, "malloc returns freed memory"},
    // Threads: the HEIF and AVIF decoders', and Qt's for large conversions.
    {"clone", Verdict::Allow, When::NewThread, "a decoder's worker thread"},
    {"clone3", Verdict::Unknown, When::Always, "hides its flags: the C library falls back to clone"},
    {"futex", Verdict::Allow, When::Always, "locks and waits between threads"},
    {"set_robust_list", Verdict::Allow, When::Always, "set up by the C library in each new thread"},
    {"rseq", Verdict::Allow, When::Always, "set up by the C library in each new thread"},
    {"rt_sigprocmask", Verdict::Allow, When::Always, "signal masks around thread creation"},
    {"sched_getaffinity", Verdict::Allow, When::Always, "how many threads a decoder starts"},
    {"eventfd2", Verdict::Allow, When::Always, "the event loop of a Qt worker thread"},
#if PV_SANITIZED_BUILD
    // The sanitizers' own, in sanitized builds only.
    {"sigaltstack", Verdict::Allow, When::Always, "AddressSanitizer asks it at every throw"},
    {"pipe2", Verdict::Allow, When::Always, "whether memory can be read, for a vptr check"},
    {"getpid", Verdict::Allow, When::Always, "a report names its process"},
    {"gettid", Verdict::Allow, When::Always, "a report names its thread"},
#endif
    // Never: each of these means a decoder was taken over.
    {"execve", Verdict::Kill, When::Always, "runs a program"},
    {"execveat", Verdict::Kill, When::Always, "runs a program"},
    {"fork", Verdict::Kill, When::Always, "a new process"},
    {"vfork", Verdict::Kill, When::Always, "a new process"},
    {"clone", Verdict::Kill, When::NewProcess, "a new process"},
    {"ptrace", Verdict::Kill, When::Always, "reaches into another process"},
    {"process_vm_readv", Verdict::Kill, When::Always, "reads another process"},
    {"process_vm_writev", Verdict::Kill, When::Always, "writes another process"},
    {"kill", Verdict::Kill, When::ToOthers, "signals another process (its own: refused)"},
    {"tgkill", Verdict::Kill, When::ToOthers, "signals another process (its own: refused)"},
    {"tkill", Verdict::Kill, When::Always, "signals a thread by number alone"},
    {"pidfd_open", Verdict::Kill, When::Always, "reaches another process"},
    {"pidfd_send_signal", Verdict::Kill, When::Always, "signals another process"},
    {"socket", Verdict::Kill, When::Always, "network or a new local socket"},
    {"socketpair", Verdict::Kill, When::Always, "a new local socket"},
    {"connect", Verdict::Kill, When::Always, "network"},
    {"bind", Verdict::Kill, When::Always, "network"},
    {"listen", Verdict::Kill, When::Always, "network"},
    {"accept", Verdict::Kill, When::Always, "network"},
    {"accept4", Verdict::Kill, When::Always, "network"},
    {"sendto", Verdict::Kill, When::Always, "network"},
    {"creat", Verdict::Kill, When::Always, "creates a file"},
    {"unlink", Verdict::Kill, When::Always, "removes a file"},
    {"unlinkat", Verdict::Kill, When::Always, "removes a file"},
    {"rmdir", Verdict::Kill, When::Always, "removes a folder"},
    {"rename", Verdict::Kill, When::Always, "moves a file"},
    {"renameat", Verdict::Kill, When::Always, "moves a file"},
    {"renameat2", Verdict::Kill, When::Always, "moves a file"},
    {"mkdir", Verdict::Kill, When::Always, "creates a folder"},
    {"mkdirat", Verdict::Kill, When::Always, "creates a folder"},
    {"mknod", Verdict::Kill, When::Always, "creates a file"},
    {"mknodat", Verdict::Kill, When::Always, "creates a file"},
    {"link", Verdict::Kill, When::Always, "links a file"},
    {"linkat", Verdict::Kill, When::Always, "links a file"},
    {"symlink", Verdict::Kill, When::Always, "links a file"},
    {"symlinkat", Verdict::Kill, When::Always, "links a file"},
    {"truncate", Verdict::Kill, When::Always, "cuts a file"},
    {"chmod", Verdict::Kill, When::Always, "changes a file's permissions"},
    {"fchmod", Verdict::Kill, When::Always, "changes the permissions of the file passed in"},
    {"fchmodat", Verdict::Kill, When::Always, "changes a file's permissions"},
    {"chown", Verdict::Kill, When::Always, "changes a file's owner"},
    {"fchown", Verdict::Kill, When::Always, "changes the owner of the file passed in"},
    {"fchownat", Verdict::Kill, When::Always, "changes a file's owner"},
    {"lchown", Verdict::Kill, When::Always, "changes a file's owner"},
    {"utimensat", Verdict::Kill, When::Always, "changes a file's times"},
    {"utimes", Verdict::Kill, When::Always, "changes a file's times"},
    {"futimesat", Verdict::Kill, When::Always, "changes a file's times"},
    {"setxattr", Verdict::Kill, When::Always, "changes a file's attributes"},
    {"lsetxattr", Verdict::Kill, When::Always, "changes a file's attributes"},
    {"fsetxattr", Verdict::Kill, When::Always, "changes the attributes of the file passed in"},
    {"removexattr", Verdict::Kill, When::Always, "changes a file's attributes"},
    {"lremovexattr", Verdict::Kill, When::Always, "changes a file's attributes"},
    {"fremovexattr", Verdict::Kill, When::Always, "changes the attributes of the file passed in"},
    // Opening anything fails visibly: libraries may look for a file and
    // carry on without it.
    {"open", Verdict::Refuse, When::Always, "opens a file"},
    {"openat", Verdict::Refuse, When::Always, "opens a file"},
    {"openat2", Verdict::Refuse, When::Always, "opens a file"},
};

uint32_t action(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Allow:
        return SCMP_ACT_ALLOW;
    case Verdict::Refuse:
        return SCMP_ACT_ERRNO(EPERM);
    case Verdict::Unknown:
        return SCMP_ACT_ERRNO(ENOSYS);
    case Verdict::Kill:
        break;
    }
    return SCMP_ACT_KILL_PROCESS;
}

int addRule(scmp_filter_ctx filter, const SystemCallRule& rule, int number)
{
    const uint32_t act = action(rule.verdict);
    const scmp_datum_t self = scmp_datum_t(::getpid());
    switch (rule.when) {
    case When::Always:
        return seccomp_rule_add(filter, act, number, 0);
    case When::NewThread:
        return seccomp_rule_add(filter, act, number, 1,
                                SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD));
    case When::NewProcess:
        return seccomp_rule_add(filter, act, number, 1, SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0));
    case When::ToOthers:
        return seccomp_rule_add(filter, act, number, 1, SCMP_A0(SCMP_CMP_NE, self));
    case When::NotExecutable:
        return seccomp_rule_add(filter, act, number, 1, SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0));
    case When::AsksSeals:
        return seccomp_rule_add(filter, act, number, 1, SCMP_A1(SCMP_CMP_EQ, F_GET_SEALS));
    }
    return -EINVAL;
}

} // namespace

QString installSystemCallFilter()
{
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ERRNO(EPERM));
    if (!filter)
        return QStringLiteral("seccomp_init failed");
    // Calls of another architecture's numbering would bypass the names.
    seccomp_attr_set(filter, SCMP_FLTATR_ACT_BADARCH, SCMP_ACT_KILL_PROCESS);
    seccomp_attr_set(filter, SCMP_FLTATR_CTL_TSYNC, 1);
    QString failure;
    for (const SystemCallRule& rule : Rules) {
        // Refusal is the default already, which libseccomp won't restate.
        const int number = seccomp_syscall_resolve_name(rule.name);
        if (number == __NR_SCMP_ERROR || rule.verdict == Verdict::Refuse)
            continue;
        if (const int rc = addRule(filter, rule, number); rc != 0) {
            failure = QStringLiteral("rule for %1: %2").arg(QLatin1String(rule.name)).arg(-rc);
            break;
        }
    }
    if (failure.isEmpty()) {
        if (const int rc = seccomp_load(filter); rc != 0)
            failure = QStringLiteral("seccomp_load: %1").arg(-rc);
    }
    seccomp_release(filter);
    return failure;
}
