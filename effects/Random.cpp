#include "effects/Random.h"

namespace {
thread_local std::uint32_t g_state = 0;
}

std::uint32_t NextRandom(std::uint32_t n) noexcept
{
    g_state = g_state * 134775813u + 1u;
    return std::uint32_t((std::uint64_t(g_state) * n) >> 32);
}

std::uint32_t RandomState() noexcept
{
    return g_state;
}

void ResetRandom(std::uint32_t state) noexcept
{
    g_state = state;
}
