#include "effects/ToneEffects.h"

#include "effects/Random.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <immintrin.h>
#include <vector>

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
    bool identity = false;       // the whole chain leaves pixels as they are
    bool channelIdentity = true; // the channel tables do
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
        for (int c = 0; c < 256; ++c) {
            const int stage = s.posterize > 0 ? posterizeValue(c, s.posterize) : c;
            pre[c] = std::int16_t(narrow(toneSum(stage, s)));
            preSol[c] = std::int16_t(narrow(toneSum(255 - c, s)));
            direct[c] = after[clampByte(pre[c])];
            directSol[c] = after[clampByte(preSol[c])];
            if (direct[c] != c)
                channelIdentity = false;
        }
        identity = channelIdentity && !perPixelColour && !solarize;
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

// Two bytes per lookup: the same channel table applies to every byte of a
// row, so a 64K-entry table of byte pairs halves the loads.
std::vector<std::uint16_t> pairTable(const std::array<std::uint8_t, 256>& t)
{
    std::vector<std::uint16_t> pairs(65536);
    for (int hi = 0; hi < 256; ++hi)
        for (int lo = 0; lo < 256; ++lo)
            pairs[std::size_t(hi) << 8 | std::size_t(lo)] = std::uint16_t(t[lo] | t[hi] << 8);
    return pairs;
}

void lookupRow(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, std::size_t n,
               const std::uint16_t* __restrict pairs, const std::uint8_t* __restrict single) noexcept
{
    std::size_t i = 0;
    for (; i + 2 <= n; i += 2) {
        std::uint16_t v;
        std::memcpy(&v, in + i, 2);
        v = pairs[v];
        std::memcpy(out + i, &v, 2);
    }
    if (i < n)
        out[i] = single[in[i]];
}

// s = 100 (0.3 r + 0.59 g + 0.11 b) + 50 stays below 2^16 and rounds by
// s / 100, except at exact halves (s divisible by 100), which go the way
// the extended-precision sum says.
void grayPixelExact(const std::uint8_t* in, std::uint8_t* out, std::uint8_t flip) noexcept
{
    // The exact sum is k + 1/2; the extended one lies a hair either side of
    // it (or on it, then to even), so two comparisons replace a rounding call.
    const int r = in[2], g = in[1], b = in[0];
    const int k = (30 * r + 59 * g + 11 * b) / 100;
    const long double sum = (0.3L * r + 0.59L * g) + 0.11L * b;
    const long double mid = static_cast<long double>(k) + 0.5L;
    const int y = sum < mid ? k : (sum > mid ? k + 1 : k + (k & 1));
    out[0] = out[1] = out[2] = std::uint8_t(y ^ flip);
}

void grayRowScalar(const std::uint8_t* in, std::uint8_t* out, int from, int w, std::uint8_t flip) noexcept
{
    for (int x = from; x < w; ++x) {
        const unsigned s = 30u * in[3 * x + 2] + 59u * in[3 * x + 1] + 11u * in[3 * x] + 50u;
        const unsigned y = s / 100;
        if (s == y * 100)
            grayPixelExact(in + 3 * x, out + 3 * x, flip);
        else
            out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = std::uint8_t(y ^ flip);
    }
}

// (s * 41944) >> 22 equals s / 100 for every s below 2^16.

__attribute__((target("ssse3"))) void grayRowSsse3(const std::uint8_t* in, std::uint8_t* out, int w,
                                                   std::uint8_t flip) noexcept
{
    // Byte k of each 16-byte third of 16 pixels: which channel it is.
    const __m128i b0 = _mm_setr_epi8(0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i b1 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1);
    const __m128i b2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13);
    const __m128i g0 = _mm_setr_epi8(1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i g1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1);
    const __m128i g2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14);
    const __m128i r0 = _mm_setr_epi8(2, 5, 8, 11, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i r1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1);
    const __m128i r2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15);
    const __m128i o0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
    const __m128i o1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
    const __m128i o2 = _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
    const __m128i zero = _mm_setzero_si128();
    const __m128i w30 = _mm_set1_epi16(30), w59 = _mm_set1_epi16(59), w11 = _mm_set1_epi16(11);
    const __m128i half = _mm_set1_epi16(50), magic = _mm_set1_epi16(short(41944)),
                  hundred = _mm_set1_epi16(100);
    const __m128i flipv = _mm_set1_epi8(char(flip));
    int x = 0;
    for (; x + 16 <= w; x += 16) {
        const std::uint8_t* p = in + 3 * x;
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
        const __m128i b = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v0, b0), _mm_shuffle_epi8(v1, b1)),
                                       _mm_shuffle_epi8(v2, b2));
        const __m128i g = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v0, g0), _mm_shuffle_epi8(v1, g1)),
                                       _mm_shuffle_epi8(v2, g2));
        const __m128i r = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v0, r0), _mm_shuffle_epi8(v1, r1)),
                                       _mm_shuffle_epi8(v2, r2));
        __m128i y[2], tie[2];
        for (int half16 = 0; half16 < 2; ++half16) {
            const __m128i bw = half16 ? _mm_unpackhi_epi8(b, zero) : _mm_unpacklo_epi8(b, zero);
            const __m128i gw = half16 ? _mm_unpackhi_epi8(g, zero) : _mm_unpacklo_epi8(g, zero);
            const __m128i rw = half16 ? _mm_unpackhi_epi8(r, zero) : _mm_unpacklo_epi8(r, zero);
            const __m128i s = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(rw, w30), _mm_mullo_epi16(gw, w59)),
                                            _mm_add_epi16(_mm_mullo_epi16(bw, w11), half));
            y[half16] = _mm_srli_epi16(_mm_mulhi_epu16(s, magic), 6);
            tie[half16] = _mm_cmpeq_epi16(s, _mm_mullo_epi16(y[half16], hundred));
        }
        const __m128i grey = _mm_xor_si128(_mm_packus_epi16(y[0], y[1]), flipv);
        std::uint8_t* q = out + 3 * x;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm_shuffle_epi8(grey, o0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 16), _mm_shuffle_epi8(grey, o1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 32), _mm_shuffle_epi8(grey, o2));
        for (unsigned m = unsigned(_mm_movemask_epi8(_mm_packs_epi16(tie[0], tie[1]))); m != 0; m &= m - 1) {
            const int k = __builtin_ctz(m);
            grayPixelExact(p + 3 * k, q + 3 * k, flip);
        }
    }
    grayRowScalar(in, out, x, w, flip);
}

void grayRow(const std::uint8_t* in, std::uint8_t* out, int w, std::uint8_t flip) noexcept
{
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3)
        grayRowSsse3(in, out, w, flip);
    else
        grayRowScalar(in, out, 0, w, flip);
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

// Channel tables into a scratch row, then grayscale from it.
void renderColourRows(const Bitmap24& source, const ToneSettings& s, const Tables& t,
                      const std::vector<std::uint16_t>& pairs, Bitmap24& dest)
{
    const int w = source.width();
    const std::size_t rowBytes = std::size_t(w) * 3;
    std::vector<std::uint8_t> scratch(rowBytes);
    const std::uint8_t flip = s.invert ? 0xFF : 0x00;
    for (int y = 0; y < source.height(); ++y) {
        const std::uint8_t* in = source.scanLine(y);
        if (!t.channelIdentity) {
            lookupRow(in, scratch.data(), rowBytes, pairs.data(), t.direct.data());
            in = scratch.data();
        }
        std::uint8_t* out = dest.scanLine(y);
        grayRow(in, out, w, flip);
    }
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
        if (!tables.solarize) {
            const std::vector<std::uint16_t> pairs = pairTable(tables.direct);
            if (!tables.perPixelColour) {
                for (int y = 0; y < source.height(); ++y)
                    lookupRow(source.scanLine(y), dest.scanLine(y), rowBytes, pairs.data(),
                              tables.direct.data());
                return;
            }
            if (settings.grayScale) {
                renderColourRows(source, settings, tables, pairs, dest);
                return;
            }
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
