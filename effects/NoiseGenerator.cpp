#include "effects/NoiseGenerator.h"

namespace {
constexpr std::uint32_t kMultiplier = 134775813u;
constexpr std::uint32_t kIncrement = 1u;
} // namespace

std::uint32_t NoiseGenerator::next(std::uint32_t n) noexcept
{
    m_state = m_state * kMultiplier + kIncrement;
    return std::uint32_t((std::uint64_t(m_state) * n) >> 32);
}

void NoiseGenerator::skip(std::uint64_t n) noexcept
{
    // Squares the step x -> a x + c for every bit of n.
    std::uint32_t a = kMultiplier, c = kIncrement;
    for (; n; n >>= 1) {
        if (n & 1)
            m_state = m_state * a + c;
        c = c * a + c;
        a *= a;
    }
}
