#include "effects/ToneEffects.h"

#include "effects/Random.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

bool ToneSettings::isNeutral() const noexcept
{
    return brightness == 0 && contrast == 0 && !grayScale && lightness == 0 && darkness == 0 &&
           saturation == 0 && splitlight == 0 && !invert && posterize == 0 && solorize == 0;
}

int SplitlightOnce(int c) noexcept
{
    // Extended precision lands sin 30 degrees close enough to 1/2 that the
    // rounding to double makes 127.5 exact, and the tie goes to 128.
    const long double pi = 3.141592653589793238462643383279502884L;
    const long double v = 255.0L * std::sin(static_cast<long double>(c) * pi / 510.0L);
    return static_cast<int>(std::nearbyint(static_cast<double>(v)));
}

namespace {

int grayscaleExtended(int r, int g, int b) noexcept
{
    const long double s = (0.3L * r + 0.59L * g) + 0.11L * b;
    return static_cast<int>(std::nearbyint(s));
}

inline int clampByte(long long v) noexcept
{
    return v > 255 ? 255 : (v < 0 ? 0 : int(v));
}

// Values that only ever meet a byte-sized addend before the clamp can be
// narrowed to this range without changing any result.
inline int narrow(long long v) noexcept
{
    return v > 256 ? 256 : (v < -256 ? -256 : int(v));
}

int posterizeValue(int c, int p) noexcept
{
    int q = c / p;
    const long long twice = 2LL * (c % p);
    if (twice > p || (twice == p && (q & 1)))
        ++q;
    return q * p;
}

long long toneSum(long long c, const ToneSettings& s) noexcept
{
    long long v = c + s.brightness;
    if (s.contrast != 0) {
        long long tc = (std::llabs(127 - c) * s.contrast) / 255;
        v += c <= 127 ? -tc : tc;
    }
    if (s.lightness != 0)
        v += ((255 - c) * s.lightness) / 255;
    if (s.darkness != 0)
        v += (-(c * s.darkness)) / 255;
    return v;
}

const std::array<std::uint8_t, 256>& splitlightTable()
{
    static const std::array<std::uint8_t, 256> table = [] {
        std::array<std::uint8_t, 256> t{};
        for (int c = 0; c < 256; ++c)
            t[c] = std::uint8_t(SplitlightOnce(c));
        return t;
    }();
    return table;
}

struct Tables {
    bool perPixelColour = false; // grayscale or saturation follows the channel tables
    bool solarize = false;
    int solarizeAbove = 0;
    bool identity = false;
    // tone sum before noise and clamp, per input byte (plain and solarized)
    std::array<std::int16_t, 256> pre{}, preSol{};
    // input byte to output byte when there is no noise
    std::array<std::uint8_t, 256> direct{}, directSol{};
    // (noise + pre + 256) to output byte
    std::array<std::uint8_t, 768> withNoise{};
    std::array<std::int16_t, 511> saturation{};

    explicit Tables(const ToneSettings& s)
    {
        perPixelColour = s.grayScale || s.saturation != 0;
        solarize = s.posterize == 0 && s.solorize != 0;
        solarizeAbove = 255 - s.solorize;

        std::array<std::uint8_t, 256> after{}; // splitlight passes, then invert unless it comes later
        const auto& split = splitlightTable();
        for (int t = 0; t < 256; ++t) {
            int v = t;
            for (int k = 0; k < s.splitlight; ++k)
                v = split[v];
            if (s.invert && !perPixelColour)
                v = 255 - v;
            after[t] = std::uint8_t(v);
        }
        identity = !perPixelColour && !solarize;
        for (int c = 0; c < 256; ++c) {
            const int stage = s.posterize > 0 ? posterizeValue(c, s.posterize) : c;
            pre[c] = std::int16_t(narrow(toneSum(stage, s)));
            preSol[c] = std::int16_t(narrow(toneSum(255 - c, s)));
            direct[c] = after[clampByte(pre[c])];
            directSol[c] = after[clampByte(preSol[c])];
            if (direct[c] != c)
                identity = false;
        }
        for (int k = 0; k < 768; ++k)
            withNoise[k] = after[clampByte(k - 256)];
        for (int d = -255; d <= 255; ++d)
            saturation[d + 255] =
                std::int16_t(narrow((static_cast<long long>(s.saturation) + 255) * d / 255));
    }
};

// Grey by the integer sum 100 * (0.3 r + 0.59 g + 0.11 b); only exact
// halves depend on how the extended-precision sum rounds.
inline int grayFast(int r, int g, int b) noexcept
{
    const int s = 30 * r + 59 * g + 11 * b;
    const int q = s / 100;
    const int rem = s - q * 100;
    if (rem == 50)
        return grayscaleExtended(r, g, b);
    return q + (rem > 50);
}

void lookupRow(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, std::size_t n,
               const std::uint8_t* __restrict table) noexcept
{
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, in + i, 8);
        std::uint64_t res = 0;
        for (int k = 0; k < 8; ++k)
            res |= std::uint64_t(table[(word >> (8 * k)) & 0xFF]) << (8 * k);
        std::memcpy(out + i, &res, 8);
    }
    for (; i < n; ++i)
        out[i] = table[in[i]];
}

template <bool Noise, bool Solar, bool PerPixel>
void renderRows(const Bitmap24& source, const Bitmap24* noise, const ToneSettings& s, const Tables& t,
                Bitmap24& dest)
{
    const int w = source.width();
    for (int y = 0; y < source.height(); ++y) {
        const std::uint8_t* __restrict in = source.scanLine(y);
        std::uint8_t* __restrict out = dest.scanLine(y);
        const std::uint8_t* __restrict nz = Noise ? noise->scanLine(y) : nullptr;
        for (int x = 0; x < w; ++x, in += 3, out += 3) {
            int c0, c1, c2;
            bool sol = false;
            if constexpr (Solar)
                sol = (in[0] + in[1] + in[2]) / 3 > t.solarizeAbove;
            if constexpr (Noise) {
                const std::int16_t* pre = sol ? t.preSol.data() : t.pre.data();
                c0 = t.withNoise[256 + nz[3 * x] + pre[in[0]]];
                c1 = t.withNoise[256 + nz[3 * x + 1] + pre[in[1]]];
                c2 = t.withNoise[256 + nz[3 * x + 2] + pre[in[2]]];
            } else {
                const std::uint8_t* d = sol ? t.directSol.data() : t.direct.data();
                c0 = d[in[0]];
                c1 = d[in[1]];
                c2 = d[in[2]];
            }
            if constexpr (PerPixel) {
                if (s.grayScale) {
                    c0 = c1 = c2 = grayFast(c2, c1, c0);
                } else {
                    const int a = (c0 + c1 + c2) / 3;
                    c0 = clampByte(t.saturation[c0 - a + 255] + a);
                    c1 = clampByte(t.saturation[c1 - a + 255] + a);
                    c2 = clampByte(t.saturation[c2 - a + 255] + a);
                }
                if (s.invert) {
                    c0 = 255 - c0;
                    c1 = 255 - c1;
                    c2 = 255 - c2;
                }
            }
            out[0] = std::uint8_t(c0);
            out[1] = std::uint8_t(c1);
            out[2] = std::uint8_t(c2);
        }
    }
}

template <bool Noise>
void dispatchSolar(const Bitmap24& source, const Bitmap24* noise, const ToneSettings& s, const Tables& t,
                   Bitmap24& dest)
{
    if (t.solarize) {
        if (t.perPixelColour)
            renderRows<Noise, true, true>(source, noise, s, t, dest);
        else
            renderRows<Noise, true, false>(source, noise, s, t, dest);
    } else {
        if (t.perPixelColour)
            renderRows<Noise, false, true>(source, noise, s, t, dest);
        else
            renderRows<Noise, false, false>(source, noise, s, t, dest);
    }
}

int noiseSample(int level) noexcept
{
    return clampByte(static_cast<long long>(NextRandom(std::uint32_t(level))) - level / 2);
}

} // namespace

int GrayscaleValue(int r, int g, int b) noexcept
{
    return grayFast(r, g, b);
}

void RenderTone(const Bitmap24& source, const Bitmap24* noise, const ToneSettings& settings, Bitmap24& dest)
{
    if (source.isEmpty())
        return;
    if (dest.width() != source.width() || dest.height() != source.height())
        dest.resize(source.width(), source.height());
    if (noise && (noise->width() != source.width() || noise->height() != source.height()))
        noise = nullptr; // a stale pattern must never be read past its edges

    const std::size_t rowBytes = std::size_t(source.width()) * 3;
    if (!noise && settings.isNeutral()) {
        for (int y = 0; y < source.height(); ++y)
            std::memcpy(dest.scanLine(y), source.scanLine(y), rowBytes);
        return;
    }
    const Tables tables(settings);
    if (!noise) {
        if (tables.identity) {
            for (int y = 0; y < source.height(); ++y)
                std::memcpy(dest.scanLine(y), source.scanLine(y), rowBytes);
            return;
        }
        if (!tables.solarize && !tables.perPixelColour) {
            for (int y = 0; y < source.height(); ++y)
                lookupRow(source.scanLine(y), dest.scanLine(y), rowBytes, tables.direct.data());
            return;
        }
        dispatchSolar<false>(source, nullptr, settings, tables, dest);
    } else {
        dispatchSolar<true>(source, noise, settings, tables, dest);
    }
}

void FillColorNoise(Bitmap24& noise, int level)
{
    for (int y = 0; y < noise.height(); ++y) {
        std::uint8_t* p = noise.scanLine(y);
        for (int x = 0; x < noise.width(); ++x, p += 3) {
            p[2] = std::uint8_t(noiseSample(level));
            p[1] = std::uint8_t(noiseSample(level));
            p[0] = std::uint8_t(noiseSample(level));
        }
    }
}

void FillMonoNoise(Bitmap24& noise, int level)
{
    for (int y = 0; y < noise.height(); ++y) {
        std::uint8_t* p = noise.scanLine(y);
        for (int x = 0; x < noise.width(); ++x, p += 3)
            p[0] = p[1] = p[2] = std::uint8_t(noiseSample(level));
    }
}
