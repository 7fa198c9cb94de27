#pragma once
// The program's only random source: a 32-bit linear congruential generator
// whose state starts at 0 and is never seeded, so the noise patterns repeat
// from run to run. Each thread has its own state: a render worker's draws
// neither race with nor disturb the sequence of the thread that started it.
#include <cstdint>

// Advances the state, then returns a value in 0..n-1 (0 when n is 0).
std::uint32_t NextRandom(std::uint32_t n) noexcept;

// Current state and a way back to the start-up state, for tests and for
// tools that must behave like a fresh process.
std::uint32_t RandomState() noexcept;
void ResetRandom(std::uint32_t state = 0) noexcept;

// The state `n` draws after `state`, reached without drawing them, so rows
// of a noise pattern can be filled in any order.
std::uint32_t RandomStateAfter(std::uint32_t state, std::uint64_t n) noexcept;
