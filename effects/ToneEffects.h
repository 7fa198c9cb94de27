#pragma once
// The per-pixel tone and colour chain: posterize or solarize, the tone sum
// (noise and the sum terms), the channel steps, grayscale or saturation,
// invert. Everything that depends on one channel alone is folded into
// 256-entry tables once per rendering; only grayscale ties reach for
// extended precision.
#include "effects/EffectTable.h"
#include "graphics/Bitmap24.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// The vector code the chain may use, widest last. Every level gives the same
// pixels; a lower limit lets tests and benchmarks reach the narrower paths
// on any machine. A build without the vector kernels (PICTAVO_SIMD off, or
// not x86) offers Portable only.
enum class ToneKernel { Portable, Ssse3, Avx512 };
// The level used under `limit`: the lower of it and what the processor offers.
ToneKernel toneKernelUpTo(ToneKernel limit) noexcept;

// The values the chain reads (the tone steps' of the effect table) and the
// widest vector code it may use.
struct ToneSettings {
    EffectValues values{};
    ToneKernel kernelLimit = ToneKernel::Avx512;

    int operator[](Effect e) const noexcept { return values[std::size_t(e)]; }
    // No tone step changes a pixel.
    bool isNeutral() const noexcept;
};

// One splitlight pass on a channel value, and the grayscale of a pixel, as
// the 64-bit-mantissa evaluation gives them.
int SplitlightOnce(int c) noexcept;
int GrayscaleValue(int r, int g, int b) noexcept;

// Runs the chain over every pixel of `source` into `dest` (same size).
// `noise` may be null; otherwise it is the noise sample bitmap of the same size.
void RenderTone(const Bitmap24& source, const Bitmap24* noise, const ToneSettings& settings, Bitmap24& dest);

// RenderTone with `picture` as both source and destination.
void RenderToneInPlace(Bitmap24& picture, const Bitmap24* noise, const ToneSettings& settings);

// The same chain made ready once for a picture that comes a band of rows at
// a time: each band gives the rows RenderTone gives. Row i of a band starts
// at `in + i * inStride` (likewise noise, which may be null, and out);
// strides may be negative, for bottom-up rows.
class ToneBands {
public:
    explicit ToneBands(const ToneSettings& settings);
    ~ToneBands();
    void render(const std::uint8_t* in, std::ptrdiff_t inStride, const std::uint8_t* noise,
                std::ptrdiff_t noiseStride, std::uint8_t* out, std::ptrdiff_t outStride, int width,
                int rows) const;
    // Whether pixels come out as they went in when there is no noise.
    bool passesUnchanged() const noexcept;

private:
    struct State;
    std::unique_ptr<State> m_state;
};
