#include "loader/LandlockRuleset.h"

#include "core/KernelConfinement.h"
#include "core/UniqueFd.h"

#include <cstdint>
#include <linux/landlock.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The attribute as the newest kernels read it; older ones read a prefix.
struct RulesetAttributes {
    std::uint64_t handledAccessFs = 0;
    std::uint64_t handledAccessNet = 0; // ABI 4
    std::uint64_t scoped = 0;           // ABI 6
};

// Rights by the interface that brought them (the system headers may be
// older than the kernel).
constexpr std::uint64_t FsRightsAbi1 = (std::uint64_t(1) << 13) - 1; // EXECUTE .. MAKE_SYM
constexpr std::uint64_t FsRefer = std::uint64_t(1) << 13;            // ABI 2
constexpr std::uint64_t FsTruncate = std::uint64_t(1) << 14;         // ABI 3
constexpr std::uint64_t FsIoctlDev = std::uint64_t(1) << 15;         // ABI 5
constexpr std::uint64_t NetBindAndConnectTcp = 3;                    // ABI 4
constexpr std::uint64_t ScopeUnixSocketsAndSignals = 3;              // ABI 6

std::uint64_t fileSystemRights(int abi)
{
    std::uint64_t rights = FsRightsAbi1;
    if (abi >= 2)
        rights |= FsRefer;
    if (abi >= 3)
        rights |= FsTruncate;
    if (abi >= 5)
        rights |= FsIoctlDev;
    return rights;
}

} // namespace

LandlockOutcome restrictWithLandlock()
{
    LandlockOutcome outcome;
    outcome.abi = KernelConfinement::probe().landlockAbi;
    if (outcome.abi <= 0)
        return outcome;
    RulesetAttributes attributes;
    attributes.handledAccessFs = fileSystemRights(outcome.abi);
    std::size_t size = sizeof attributes.handledAccessFs;
    if (outcome.abi >= 4) {
        attributes.handledAccessNet = NetBindAndConnectTcp;
        size += sizeof attributes.handledAccessNet;
    }
    if (outcome.abi >= 6) {
        attributes.scoped = ScopeUnixSocketsAndSignals;
        size += sizeof attributes.scoped;
    }
    const UniqueFd ruleset(int(::syscall(SYS_landlock_create_ruleset, &attributes, size, 0)));
    if (!ruleset.isValid())
        return outcome;
    outcome.applied = ::syscall(SYS_landlock_restrict_self, ruleset.get(), 0) == 0;
    return outcome;
}
