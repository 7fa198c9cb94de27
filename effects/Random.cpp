#include "effects/Random.h"

namespace {
thread_local std::uint32_t g_state = 0;
constexpr std::uint32_t kMultiplier = 134775813u;
constexpr std::uint32_t kIncrement = 1u;
} // namespace

std::uint32_t NextRandom(std::uint32_t n) noexcept
{
    g_state = g_state * kMultiplier + kIncrement;
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

std::uint32_t RandomStateAfter(std::uint32_t state, std::uint64_t n) noexcept
{
    // Squares the step x -> a x + c for every bit of n.
    std::uint32_t a = kMultiplier, c = kIncrement;
    for (; n; n >>= 1) {
        if (n & 1)
            state = state * a + c;
        c = c * a + c;
        a *= a;
    }
    return state;
}
