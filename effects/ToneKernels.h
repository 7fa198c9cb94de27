#pragma once
// What the tone chain's portable code and its vector kernels share. Only
// ToneEffects.cpp and the kernel files include this.
#include "effects/ToneEffects.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace tone {

// Everything of one rendering that depends on the settings alone.
struct Tables {
    bool perPixelColour = false; // grayscale or saturation follows the channel tables
    bool solarize = false;
    int solarizeAbove = 0;
    bool identity = false;       // the whole chain leaves pixels as they are
    bool channelIdentity = true; // the channel tables do
    // tone sum before noise and clamp, per input byte (plain and solarized)
    std::array<std::int16_t, 256> pre{}, preSol{};
    // input byte to output byte when there is no noise
    std::array<std::uint8_t, 256> direct{}, directSol{};
    // (noise + pre + 256) to output byte
    std::array<std::uint8_t, 768> withNoise{};
    // ((T + 255) * d) div 255 for d = -255..255, narrowed
    std::array<std::int16_t, 511> saturation{};
    // The same as m |d| + (r |d|) div 255 with F = 255 m + r, F = T + 255
    // capped at 255 * 256: from there on every d other than 0 clamps anyway,
    // and both products stay below 2^16.
    bool saturationVector = false; // F >= 0, which every setter value gives
    int saturationWhole = 0, saturationPart = 0;

    explicit Tables(const ToneSettings& s);
};

// The portable steps the kernels hand ties and row tails to. `flip` is
// 0xFF when invert follows, else 0.
void grayPixelExact(const std::uint8_t* in, std::uint8_t* out, std::uint8_t flip) noexcept;
void grayRowScalar(const std::uint8_t* in, std::uint8_t* out, int from, int w, std::uint8_t flip) noexcept;
void saturateRowScalar(const std::uint8_t* in, std::uint8_t* out, int from, int w, const Tables& t,
                       std::uint8_t flip) noexcept;

// The x86 kernels (ToneKernelsX86.cpp), in the build only when CMake sets
// PICTAVO_TONE_X86. Calls to them sit behind `if constexpr (kX86Kernels)`,
// so a build without them links, and go no higher than x86KernelOffered().
#ifdef PICTAVO_TONE_X86
inline constexpr bool kX86Kernels = true;
#else
inline constexpr bool kX86Kernels = false;
#endif
ToneKernel x86KernelOffered() noexcept;
// One 256-entry table over every byte of a row.
void lookupRowVbmi(const std::uint8_t* in, std::uint8_t* out, std::size_t n,
                   const std::uint8_t* table) noexcept;
void grayRowSsse3(const std::uint8_t* in, std::uint8_t* out, int w, std::uint8_t flip) noexcept;
void grayRowAvx512(const std::uint8_t* in, std::uint8_t* out, int w, std::uint8_t flip) noexcept;
// Saturation alone; t.saturationVector must hold.
void saturateRowSsse3(const std::uint8_t* in, std::uint8_t* out, int w, const Tables& t,
                      std::uint8_t flip) noexcept;
// The channel tables too when `lookup`; t.saturationVector must hold.
void saturateRowAvx512(const std::uint8_t* in, std::uint8_t* out, int w, const Tables& t, bool lookup,
                       std::uint8_t flip) noexcept;

} // namespace tone
