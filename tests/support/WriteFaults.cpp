#include "tests/support/WriteFaults.h"

#include <atomic>

namespace {
// Atomic: a test may plant a fault while a batch worker is writing.
std::atomic<AtomicWriteFault> g_fault = AtomicWriteFault::None;
std::atomic<AtomicWriteFault> g_kill = AtomicWriteFault::None;
std::atomic<int> g_error = 5;
std::atomic<bool> g_folderRefuses = false;
} // namespace

// Takes the place of the writer's own, which plants nothing.
PlantedWriteFaults plantedWriteFaults() noexcept
{
    return {g_fault, g_error, g_kill, g_folderRefuses};
}

void setAtomicWriteFault(AtomicWriteFault step, int error)
{
    g_fault = step;
    g_error = error;
}

void setFolderRefusesNewFiles(bool on)
{
    g_folderRefuses = on;
}

void setAtomicWriteKill(AtomicWriteFault step)
{
    g_kill = step;
}
