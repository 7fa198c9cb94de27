#pragma once
// Shared helpers of the effect tests: random pictures, a plain reference
// rendering of the per-pixel formulas written straight from their
// definitions with no tables and no shortcuts, and a per-kernel fixture.
#include "effects/ToneEffects.h"
#include "graphics/Bitmap24.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <random>
#include <tuple>
#include <utility>

namespace fxtest {

inline Bitmap24 randomBitmap(int w, int h, unsigned seed)
{
    Bitmap24 b(w, h);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < 3 * w; ++x)
            b.scanLine(y)[x] = std::uint8_t(rng() & 0xFF);
    return b;
}

inline Bitmap24 solidBitmap(int w, int h, int b, int g, int r)
{
    Bitmap24 bm(w, h);
    bm.fill(std::uint8_t(b), std::uint8_t(g), std::uint8_t(r));
    return bm;
}

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

inline Rgb pixel(const Bitmap24& bm, int x, int y)
{
    const std::uint8_t* p = bm.scanLine(y) + 3 * x;
    return {p[2], p[1], p[0]};
}

inline void setPixel(Bitmap24& bm, int x, int y, Rgb c)
{
    std::uint8_t* p = bm.scanLine(y) + 3 * x;
    p[0] = std::uint8_t(c.b);
    p[1] = std::uint8_t(c.g);
    p[2] = std::uint8_t(c.r);
}

// Tone settings with these effects set and every other at 0.
inline ToneSettings tone(std::initializer_list<std::pair<Effect, int>> set)
{
    ToneSettings s;
    for (const auto& [effect, value] : set)
        s.values[std::size_t(effect)] = value;
    return s;
}

inline long long refClamp(long long v)
{
    return v > 255 ? 255 : (v < 0 ? 0 : v);
}

// One pixel through every step, in order. n is the noise sample per channel.
inline Rgb referencePixel(Rgb in, Rgb n, const ToneSettings& s)
{
    using E = Effect;
    long long c[3] = {in.r, in.g, in.b};
    const long long noise[3] = {n.r, n.g, n.b};
    const long long posterize = s[E::Posterize], solarize = s[E::Solarize], contrast = s[E::Contrast];
    if (posterize != 0) {
        for (long long& v : c)
            v = (long long)nearbyintl((long double)v / (long double)posterize) * posterize;
    } else if (solarize != 0 && (c[0] + c[1] + c[2]) / 3 > 255 - solarize) {
        for (long long& v : c)
            v = 255 - v;
    }
    for (int i = 0; i < 3; ++i) {
        const long long v = c[i];
        const long long tc = (v <= 127 ? -1 : 1) * ((std::llabs(127 - v) * contrast) / 255);
        const long long tl = ((255 - v) * s[E::Lightness]) / 255;
        const long long td = (-(v * s[E::Darkness])) / 255;
        c[i] = refClamp(noise[i] + v + tc + tl + td + s[E::Brightness]);
    }
    const long double pi = 3.141592653589793238462643383279502884L;
    for (int k = 0; k < s[E::Splitlight]; ++k)
        for (long long& v : c)
            v = (long long)std::nearbyint((double)(255.0L * sinl((long double)v * pi / 510.0L)));
    if (s[E::GrayScale]) {
        c[0] = c[1] = c[2] = (long long)nearbyintl((0.3L * c[0] + 0.59L * c[1]) + 0.11L * c[2]);
    } else if (s[E::Saturation] != 0) {
        const long long a = (c[0] + c[1] + c[2]) / 3;
        for (long long& v : c)
            v = refClamp(((s[E::Saturation] + 255LL) * (v - a)) / 255 + a);
    }
    if (s[E::Invert])
        for (long long& v : c)
            v = 255 - v;
    return {int(c[0]), int(c[1]), int(c[2])};
}

inline Bitmap24 referenceRender(const Bitmap24& src, const Bitmap24* noise, const ToneSettings& s)
{
    Bitmap24 out(src.width(), src.height());
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x)
            setPixel(out, x, y,
                     referencePixel(pixel(src, x, y), noise ? pixel(*noise, x, y) : Rgb{0, 0, 0}, s));
    return out;
}

inline const char* kernelName(ToneKernel k)
{
    return k == ToneKernel::Portable ? "Portable" : k == ToneKernel::Ssse3 ? "Ssse3" : "Avx512";
}
inline const auto kEveryKernel =
    ::testing::Values(ToneKernel::Portable, ToneKernel::Ssse3, ToneKernel::Avx512);

// Runs each test at one tone kernel level (P is the level, or a tuple that
// starts with it) and skips levels this processor lacks.
template <class P = ToneKernel> class AtKernel : public ::testing::TestWithParam<P> {
protected:
    ToneKernel kernel() const
    {
        if constexpr (std::is_same_v<P, ToneKernel>)
            return this->GetParam();
        else
            return std::get<0>(this->GetParam());
    }
    // `s` rendered at this level.
    ToneSettings at(ToneSettings s) const
    {
        s.kernelLimit = kernel();
        return s;
    }
    void SetUp() override
    {
        if (toneKernelUpTo(kernel()) != kernel())
            GTEST_SKIP() << "this processor lacks " << kernelName(kernel());
    }
};

} // namespace fxtest
