#pragma once
// The program's only random source: a 32-bit linear congruential generator
// whose state starts at 0 and is never seeded, so noise patterns repeat from
// run to run. Each engine and each all-pictures run holds its own, so no
// rendering, on whatever thread, disturbs another's sequence.
#include <cstdint>

class NoiseGenerator {
public:
    explicit NoiseGenerator(std::uint32_t state = 0) noexcept : m_state(state) {}

    // Advances the state, then returns a value in 0..n-1 (0 when n is 0).
    std::uint32_t next(std::uint32_t n) noexcept;
    std::uint32_t state() const noexcept { return m_state; }
    // Moves on as `n` draws would, without drawing them, so rows of a noise
    // pattern can be filled in any order.
    void skip(std::uint64_t n) noexcept;

    bool operator==(const NoiseGenerator&) const = default;

private:
    std::uint32_t m_state;
};
