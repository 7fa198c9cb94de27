#include "effects/ToneEffects.h"

#include "effects/Random.h"

#include <algorithm>
#include <array>
#include <atomic>
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

std::atomic<int> g_kernelLimit{int(ToneKernel::Avx512)};

ToneKernel offeredKernel() noexcept
{
    static const ToneKernel offered = [] {
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
            __builtin_cpu_supports("avx512vbmi"))
            return ToneKernel::Avx512;
        if (__builtin_cpu_supports("ssse3"))
            return ToneKernel::Ssse3;
        return ToneKernel::Portable;
    }();
    return offered;
}

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
    // ((T + 255) * d) div 255 for d = -255..255, narrowed
    std::array<std::int16_t, 511> saturation{};
    // The same as m |d| + (r |d|) div 255 with F = 255 m + r, F = T + 255
    // capped at 255 * 256: from there on every d other than 0 clamps anyway,
    // and both products stay below 2^16.
    bool saturationVector = false; // F >= 0, which every setter value gives
    int saturationWhole = 0, saturationPart = 0;

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

        const long long factor = static_cast<long long>(s.saturation) + 255;
        for (int d = -255; d <= 255; ++d)
            saturation[d + 255] = std::int16_t(narrow(factor * d / 255));
        saturationVector = factor >= 0;
        const long long capped = std::min(factor, 255LL * 256);
        saturationWhole = int(capped / 255);
        saturationPart = int(capped % 255);
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

// The saturation step on one pixel whose channels are in 0..255.
inline void saturatePixel(int& c0, int& c1, int& c2, const Tables& t) noexcept
{
    const std::int16_t* q = t.saturation.data() + 255;
    const int a = (c0 + c1 + c2) / 3;
    c0 = clampByte(q[c0 - a] + a);
    c1 = clampByte(q[c1 - a] + a);
    c2 = clampByte(q[c2 - a] + a);
}

// ---- channel tables over whole rows

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

void lookupRowPairs(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, std::size_t n,
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

// ---- 64 bytes at a time (AVX-512 with byte permutes)

#define PV_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// A 256-entry byte table is four registers: two-source permutes look up
// the low and high halves, the top bit of the index picks between them.
struct WideTable {
    __m512i part[4];
};

PV_AVX512 inline WideTable loadWideTable(const std::uint8_t* table) noexcept
{
    WideTable t;
    for (int k = 0; k < 4; ++k)
        t.part[k] = _mm512_loadu_si512(table + 64 * k);
    return t;
}

PV_AVX512 inline __m512i wideLookup(const WideTable& t, __m512i x) noexcept
{
    const __m512i low = _mm512_permutex2var_epi8(t.part[0], x, t.part[1]);
    const __m512i high = _mm512_permutex2var_epi8(t.part[2], x, t.part[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high);
}

// Which of the 64 bytes at `offset` lie within the first `size` bytes.
inline __mmask64 liveBytes(std::size_t size, std::size_t offset) noexcept
{
    if (size <= offset)
        return 0;
    return size - offset >= 64 ? ~__mmask64(0) : (__mmask64(1) << (size - offset)) - 1;
}

PV_AVX512 void lookupRowVbmi(const std::uint8_t* in, std::uint8_t* out, std::size_t n,
                             const std::uint8_t* table) noexcept
{
    const WideTable t = loadWideTable(table);
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64)
        _mm512_storeu_si512(out + i, wideLookup(t, _mm512_loadu_si512(in + i)));
    if (i < n) {
        const __mmask64 live = liveBytes(n, i);
        _mm512_mask_storeu_epi8(out + i, live, wideLookup(t, _mm512_maskz_loadu_epi8(live, in + i)));
    }
}

// Applies one 256-entry table to every byte of a row.
class ChannelLookup {
public:
    ChannelLookup(const std::array<std::uint8_t, 256>& table, ToneKernel kernel)
        : m_table(table), m_vbmi(kernel >= ToneKernel::Avx512)
    {
        if (!m_vbmi)
            m_pairs = pairTable(table);
    }
    void row(const std::uint8_t* in, std::uint8_t* out, std::size_t n) const noexcept
    {
        if (m_vbmi)
            lookupRowVbmi(in, out, n, m_table.data());
        else
            lookupRowPairs(in, out, n, m_pairs.data(), m_table.data());
    }

private:
    const std::array<std::uint8_t, 256>& m_table;
    bool m_vbmi;
    std::vector<std::uint16_t> m_pairs;
};

// ---- 16 pixels at a time (SSSE3): 48 bytes to three vectors of blue, green and red

// pshufb masks: split[k][c] gathers channel c of the 16 pixels from the k-th
// 16 bytes, join[k][c] puts them back, grey[k] spreads one value per pixel
// over its three bytes. -1 yields a zero byte.
struct PixelShuffles {
    alignas(16) std::int8_t split[3][3][16];
    alignas(16) std::int8_t join[3][3][16];
    alignas(16) std::int8_t grey[3][16];
};

constexpr PixelShuffles makePixelShuffles()
{
    PixelShuffles m{};
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 16; ++i) {
            for (int c = 0; c < 3; ++c) {
                const int from = 3 * i + c;
                m.split[k][c][i] = std::int8_t(from / 16 == k ? from % 16 : -1);
                const int at = 16 * k + i;
                m.join[k][c][i] = std::int8_t(at % 3 == c ? at / 3 : -1);
            }
            m.grey[k][i] = std::int8_t((16 * k + i) / 3);
        }
    return m;
}

constexpr PixelShuffles kShuffles = makePixelShuffles();

inline __m128i shuffleMask(const std::int8_t* m) noexcept
{
    return _mm_load_si128(reinterpret_cast<const __m128i*>(m));
}

__attribute__((target("ssse3"))) inline void splitPixels16(const std::uint8_t* p,
                                                           __m128i (&channel)[3]) noexcept
{
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
#pragma GCC unroll 3
    for (int c = 0; c < 3; ++c)
        channel[c] = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v0, shuffleMask(kShuffles.split[0][c])),
                                               _mm_shuffle_epi8(v1, shuffleMask(kShuffles.split[1][c]))),
                                  _mm_shuffle_epi8(v2, shuffleMask(kShuffles.split[2][c])));
}

__attribute__((target("ssse3"))) inline void joinPixels16(const __m128i (&channel)[3],
                                                          std::uint8_t* q) noexcept
{
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        const __m128i v =
            _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(channel[0], shuffleMask(kShuffles.join[k][0])),
                                      _mm_shuffle_epi8(channel[1], shuffleMask(kShuffles.join[k][1]))),
                         _mm_shuffle_epi8(channel[2], shuffleMask(kShuffles.join[k][2])));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 16 * k), v);
    }
}

// ---- 64 pixels at a time: 192 bytes to three vectors of blue, green and red

// Byte permutes between the 192 bytes of 64 pixels and three channel
// vectors. split[c] takes channel c from the first two vectors, then
// fromThird[c] marks the pixels that come from the third instead (the same
// index, of which that permute reads the low six bits). join[k] builds the
// k-th 64 bytes from blue and green, fromRed[k] marks the red bytes.
struct WidePixelShuffles {
    alignas(64) std::uint8_t split[3][64];
    alignas(64) std::uint8_t join[3][64];
    alignas(64) std::uint8_t grey[3][64]; // one value per pixel over its three bytes
    std::uint64_t fromThird[3];
    std::uint64_t fromRed[3];
};

constexpr WidePixelShuffles makeWidePixelShuffles()
{
    WidePixelShuffles m{};
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 64; ++i) {
            const int from = 3 * i + k; // channel k of pixel i
            m.split[k][i] = std::uint8_t(from & 127);
            if (from >= 128)
                m.fromThird[k] |= std::uint64_t(1) << i;
            const int at = 64 * k + i; // byte i of the k-th vector
            const int pixel = at / 3, channel = at % 3;
            m.join[k][i] = std::uint8_t(channel == 1 ? pixel + 64 : pixel);
            if (channel == 2)
                m.fromRed[k] |= std::uint64_t(1) << i;
            m.grey[k][i] = std::uint8_t(pixel);
        }
    return m;
}

constexpr WidePixelShuffles kWideShuffles = makeWidePixelShuffles();

PV_AVX512 inline void splitPixels64(const __m512i (&v)[3], __m512i (&channel)[3]) noexcept
{
#pragma GCC unroll 3
    for (int c = 0; c < 3; ++c) {
        const __m512i idx = _mm512_load_si512(kWideShuffles.split[c]);
        channel[c] = _mm512_mask_permutexvar_epi8(_mm512_permutex2var_epi8(v[0], idx, v[1]),
                                                  kWideShuffles.fromThird[c], idx, v[2]);
    }
}

// ---- grayscale

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
    const __m128i zero = _mm_setzero_si128();
    const __m128i w30 = _mm_set1_epi16(30), w59 = _mm_set1_epi16(59), w11 = _mm_set1_epi16(11);
    const __m128i half = _mm_set1_epi16(50), magic = _mm_set1_epi16(short(41944)),
                  hundred = _mm_set1_epi16(100);
    const __m128i flipv = _mm_set1_epi8(char(flip));
    int x = 0;
    for (; x + 16 <= w; x += 16) {
        const std::uint8_t* p = in + 3 * x;
        __m128i bgr[3];
        splitPixels16(p, bgr);
        __m128i y[2], tie[2];
#pragma GCC unroll 2
        for (int half16 = 0; half16 < 2; ++half16) {
            const __m128i bw = half16 ? _mm_unpackhi_epi8(bgr[0], zero) : _mm_unpacklo_epi8(bgr[0], zero);
            const __m128i gw = half16 ? _mm_unpackhi_epi8(bgr[1], zero) : _mm_unpacklo_epi8(bgr[1], zero);
            const __m128i rw = half16 ? _mm_unpackhi_epi8(bgr[2], zero) : _mm_unpacklo_epi8(bgr[2], zero);
            const __m128i s = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(rw, w30), _mm_mullo_epi16(gw, w59)),
                                            _mm_add_epi16(_mm_mullo_epi16(bw, w11), half));
            y[half16] = _mm_srli_epi16(_mm_mulhi_epu16(s, magic), 6);
            tie[half16] = _mm_cmpeq_epi16(s, _mm_mullo_epi16(y[half16], hundred));
        }
        const __m128i grey = _mm_xor_si128(_mm_packus_epi16(y[0], y[1]), flipv);
        std::uint8_t* q = out + 3 * x;
#pragma GCC unroll 3
        for (int k = 0; k < 3; ++k)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 16 * k),
                             _mm_shuffle_epi8(grey, shuffleMask(kShuffles.grey[k])));
        for (unsigned m = unsigned(_mm_movemask_epi8(_mm_packs_epi16(tie[0], tie[1]))); m != 0; m &= m - 1) {
            const int k = __builtin_ctz(m);
            grayPixelExact(p + 3 * k, q + 3 * k, flip);
        }
    }
    grayRowScalar(in, out, x, w, flip);
}

// 64 pixels a time, the same arithmetic as grayRowSsse3.
PV_AVX512 void grayRowAvx512(const std::uint8_t* in, std::uint8_t* out, int w, std::uint8_t flip) noexcept
{
    const __m512i zero = _mm512_setzero_si512();
    const __m512i w30 = _mm512_set1_epi16(30), w59 = _mm512_set1_epi16(59), w11 = _mm512_set1_epi16(11);
    const __m512i half = _mm512_set1_epi16(50), magic = _mm512_set1_epi16(short(41944)),
                  hundred = _mm512_set1_epi16(100);
    const __m512i flipv = _mm512_set1_epi8(char(flip));
    const std::size_t rowBytes = 3 * std::size_t(w);
    for (std::size_t at = 0; at < rowBytes; at += 192) {
        const bool last = rowBytes - at < 192;
        __mmask64 live[3];
        __m512i v[3];
#pragma GCC unroll 3
        for (int k = 0; k < 3; ++k) {
            live[k] = liveBytes(rowBytes - at, 64 * k);
            if (!last)
                v[k] = _mm512_loadu_si512(in + at + 64 * k);
            else
                v[k] = live[k] ? _mm512_maskz_loadu_epi8(live[k], in + at + 64 * k) : zero;
        }
        __m512i bgr[3];
        splitPixels64(v, bgr);
        __m512i y[2], tie[2];
#pragma GCC unroll 2
        for (int h = 0; h < 2; ++h) {
            const __m512i bw = h ? _mm512_unpackhi_epi8(bgr[0], zero) : _mm512_unpacklo_epi8(bgr[0], zero);
            const __m512i gw = h ? _mm512_unpackhi_epi8(bgr[1], zero) : _mm512_unpacklo_epi8(bgr[1], zero);
            const __m512i rw = h ? _mm512_unpackhi_epi8(bgr[2], zero) : _mm512_unpacklo_epi8(bgr[2], zero);
            const __m512i s =
                _mm512_add_epi16(_mm512_add_epi16(_mm512_mullo_epi16(rw, w30), _mm512_mullo_epi16(gw, w59)),
                                 _mm512_add_epi16(_mm512_mullo_epi16(bw, w11), half));
            y[h] = _mm512_srli_epi16(_mm512_mulhi_epu16(s, magic), 6);
            tie[h] = _mm512_movm_epi16(_mm512_cmpeq_epi16_mask(s, _mm512_mullo_epi16(y[h], hundred)));
        }
        // Packing puts the lanes back in pixel order, for the values and the ties alike.
        const __m512i grey = _mm512_xor_si512(_mm512_packus_epi16(y[0], y[1]), flipv);
        std::uint8_t* q = out + at;
#pragma GCC unroll 3
        for (int k = 0; k < 3; ++k) {
            const __m512i bytes =
                _mm512_permutex2var_epi8(grey, _mm512_load_si512(kWideShuffles.grey[k]), grey);
            if (!last)
                _mm512_storeu_si512(q + 64 * k, bytes);
            else if (live[k])
                _mm512_mask_storeu_epi8(q + 64 * k, live[k], bytes);
        }
        const std::size_t pixels = std::min<std::size_t>(64, (rowBytes - at) / 3);
        std::uint64_t ties = _mm512_movepi8_mask(_mm512_packs_epi16(tie[0], tie[1]));
        if (pixels < 64)
            ties &= (std::uint64_t(1) << pixels) - 1;
        for (; ties != 0; ties &= ties - 1) {
            const int k = __builtin_ctzll(ties);
            grayPixelExact(in + at + 3 * k, q + 3 * k, flip);
        }
    }
}

void grayRow(const std::uint8_t* in, std::uint8_t* out, int w, std::uint8_t flip, ToneKernel kernel) noexcept
{
    if (kernel >= ToneKernel::Avx512)
        grayRowAvx512(in, out, w, flip);
    else if (kernel >= ToneKernel::Ssse3)
        grayRowSsse3(in, out, w, flip);
    else
        grayRowScalar(in, out, 0, w, flip);
}

// ---- saturation

void saturateRowScalar(const std::uint8_t* in, std::uint8_t* out, int from, int w, const Tables& t,
                       std::uint8_t flip) noexcept
{
    for (int x = from; x < w; ++x) {
        int c0 = in[3 * x], c1 = in[3 * x + 1], c2 = in[3 * x + 2];
        saturatePixel(c0, c1, c2, t);
        out[3 * x] = std::uint8_t(c0 ^ flip);
        out[3 * x + 1] = std::uint8_t(c1 ^ flip);
        out[3 * x + 2] = std::uint8_t(c2 ^ flip);
    }
}

// One channel of 8 pixels in 16-bit lanes: a + sign(d) min(256, m |d| + (r |d|) div 255)
// with d = c - a. 256 is as good as any larger distance, the final pack clamps.
__attribute__((target("ssse3"))) inline __m128i saturateLanes(__m128i c, __m128i a, __m128i whole,
                                                              __m128i part) noexcept
{
    const __m128i d = _mm_sub_epi16(c, a);
    const __m128i size = _mm_abs_epi16(d);
    // x div 255 = (x * 0x8081) >> 23 for every x below 2^16
    const __m128i fraction =
        _mm_srli_epi16(_mm_mulhi_epu16(_mm_mullo_epi16(size, part), _mm_set1_epi16(short(0x8081))), 7);
    const __m128i q = _mm_add_epi16(_mm_mullo_epi16(size, whole), fraction);
    const __m128i limited = _mm_sub_epi16(q, _mm_subs_epu16(q, _mm_set1_epi16(256)));
    return _mm_add_epi16(a, _mm_sign_epi16(limited, d));
}

__attribute__((target("ssse3"))) void saturateRowSsse3(const std::uint8_t* in, std::uint8_t* out, int w,
                                                       const Tables& t, std::uint8_t flip) noexcept
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i whole = _mm_set1_epi16(short(t.saturationWhole));
    const __m128i part = _mm_set1_epi16(short(t.saturationPart));
    // sum div 3 = (sum * 21846) >> 16 for every sum up to 765
    const __m128i third = _mm_set1_epi16(21846);
    const __m128i flipv = _mm_set1_epi8(char(flip));
    int x = 0;
    for (; x + 16 <= w; x += 16) {
        __m128i bgr[3];
        splitPixels16(in + 3 * x, bgr);
        __m128i lo[3], hi[3];
#pragma GCC unroll 3
        for (int c = 0; c < 3; ++c) {
            lo[c] = _mm_unpacklo_epi8(bgr[c], zero);
            hi[c] = _mm_unpackhi_epi8(bgr[c], zero);
        }
        const __m128i aLo = _mm_mulhi_epu16(_mm_add_epi16(_mm_add_epi16(lo[0], lo[1]), lo[2]), third);
        const __m128i aHi = _mm_mulhi_epu16(_mm_add_epi16(_mm_add_epi16(hi[0], hi[1]), hi[2]), third);
#pragma GCC unroll 3
        for (int c = 0; c < 3; ++c)
            bgr[c] = _mm_xor_si128(_mm_packus_epi16(saturateLanes(lo[c], aLo, whole, part),
                                                    saturateLanes(hi[c], aHi, whole, part)),
                                   flipv);
        joinPixels16(bgr, out + 3 * x);
    }
    saturateRowScalar(in, out, x, w, t, flip);
}

// One channel of 32 pixels in 16-bit lanes; as saturateLanes.
PV_AVX512 inline __m512i saturateLanesWide(__m512i c, __m512i a, __m512i whole, __m512i part) noexcept
{
    const __m512i d = _mm512_sub_epi16(c, a);
    const __m512i size = _mm512_abs_epi16(d);
    const __m512i fraction = _mm512_srli_epi16(
        _mm512_mulhi_epu16(_mm512_mullo_epi16(size, part), _mm512_set1_epi16(short(0x8081))), 7);
    const __m512i q =
        _mm512_min_epu16(_mm512_add_epi16(_mm512_mullo_epi16(size, whole), fraction), _mm512_set1_epi16(256));
    return _mm512_mask_sub_epi16(_mm512_add_epi16(a, q), _mm512_movepi16_mask(d), a, q);
}

struct WideSaturation {
    WideTable table;
    bool lookup;
    __m512i whole, part, flip;
};

// The channel tables (when `lookup`) and the saturation on 64 pixels; the
// last block of a row reads and writes only its `live` bytes, the others
// use plain loads and stores, which masked ones are slower than on some
// processors.
template <bool Last>
PV_AVX512 inline void saturateBlock64(const std::uint8_t* in, std::uint8_t* out, const WideSaturation& p,
                                      const __mmask64 (&live)[3]) noexcept
{
    const __m512i zero = _mm512_setzero_si512();
    __m512i v[3];
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        if constexpr (Last)
            v[k] = live[k] ? _mm512_maskz_loadu_epi8(live[k], in + 64 * k) : zero;
        else
            v[k] = _mm512_loadu_si512(in + 64 * k);
        if (p.lookup)
            v[k] = wideLookup(p.table, v[k]);
    }
    __m512i bgr[3], lo[3], hi[3];
    splitPixels64(v, bgr);
#pragma GCC unroll 3
    for (int c = 0; c < 3; ++c) {
        lo[c] = _mm512_unpacklo_epi8(bgr[c], zero);
        hi[c] = _mm512_unpackhi_epi8(bgr[c], zero);
    }
    // sum div 3 = (sum * 21846) >> 16 for every sum up to 765
    const __m512i third = _mm512_set1_epi16(21846);
    const __m512i aLo = _mm512_mulhi_epu16(_mm512_add_epi16(_mm512_add_epi16(lo[0], lo[1]), lo[2]), third);
    const __m512i aHi = _mm512_mulhi_epu16(_mm512_add_epi16(_mm512_add_epi16(hi[0], hi[1]), hi[2]), third);
    __m512i ch[3];
#pragma GCC unroll 3
    for (int c = 0; c < 3; ++c)
        ch[c] = _mm512_xor_si512(_mm512_packus_epi16(saturateLanesWide(lo[c], aLo, p.whole, p.part),
                                                     saturateLanesWide(hi[c], aHi, p.whole, p.part)),
                                 p.flip);
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
        const __m512i idx = _mm512_load_si512(kWideShuffles.join[k]);
        const __m512i bytes = _mm512_mask_permutexvar_epi8(_mm512_permutex2var_epi8(ch[0], idx, ch[1]),
                                                           kWideShuffles.fromRed[k], idx, ch[2]);
        if constexpr (Last) {
            if (live[k])
                _mm512_mask_storeu_epi8(out + 64 * k, live[k], bytes);
        } else {
            _mm512_storeu_si512(out + 64 * k, bytes);
        }
    }
}

PV_AVX512 void saturateRowAvx512(const std::uint8_t* in, std::uint8_t* out, int w, const Tables& t,
                                 bool lookup, std::uint8_t flip) noexcept
{
    const WideSaturation p{loadWideTable(t.direct.data()), lookup,
                           _mm512_set1_epi16(short(t.saturationWhole)),
                           _mm512_set1_epi16(short(t.saturationPart)), _mm512_set1_epi8(char(flip))};
    const std::size_t rowBytes = 3 * std::size_t(w);
    const __mmask64 all[3] = {~__mmask64(0), ~__mmask64(0), ~__mmask64(0)};
    std::size_t at = 0;
    for (; at + 192 <= rowBytes; at += 192)
        saturateBlock64<false>(in + at, out + at, p, all);
    if (at < rowBytes) {
        const std::size_t left = rowBytes - at;
        const __mmask64 live[3] = {liveBytes(left, 0), liveBytes(left, 64), liveBytes(left, 128)};
        saturateBlock64<true>(in + at, out + at, p, live);
    }
}

// `lookup`: the channel tables still have to be applied (only the widest
// kernel does that itself; the others are handed rows already looked up).
void saturateRow(const std::uint8_t* in, std::uint8_t* out, int w, const Tables& t, bool lookup,
                 std::uint8_t flip, ToneKernel kernel) noexcept
{
    if (kernel >= ToneKernel::Avx512 && t.saturationVector)
        saturateRowAvx512(in, out, w, t, lookup, flip);
    else if (kernel >= ToneKernel::Ssse3 && t.saturationVector)
        saturateRowSsse3(in, out, w, t, flip);
    else
        saturateRowScalar(in, out, 0, w, t, flip);
}

// ---- whole renderings

// Solarize and noise: one pixel at a time through the tables.
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
                if (s.grayScale)
                    c0 = c1 = c2 = grayFast(c2, c1, c0);
                else
                    saturatePixel(c0, c1, c2, t);
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

// No noise and no solarize: the channel tables over whole rows, then the
// cross-channel step (if any) from a scratch row.
void renderByRows(const Bitmap24& source, const ToneSettings& s, const Tables& t, ToneKernel kernel,
                  Bitmap24& dest)
{
    const int w = source.width();
    const std::size_t rowBytes = std::size_t(w) * 3;
    const ChannelLookup lookup(t.direct, kernel);
    if (!t.perPixelColour) {
        for (int y = 0; y < source.height(); ++y)
            lookup.row(source.scanLine(y), dest.scanLine(y), rowBytes);
        return;
    }
    std::vector<std::uint8_t> scratch(rowBytes);
    const std::uint8_t flip = s.invert ? 0xFF : 0x00;
    const bool fusedLookup = !s.grayScale && kernel >= ToneKernel::Avx512 && t.saturationVector;
    for (int y = 0; y < source.height(); ++y) {
        const std::uint8_t* in = source.scanLine(y);
        std::uint8_t* out = dest.scanLine(y);
        if (fusedLookup) {
            saturateRow(in, out, w, t, !t.channelIdentity, flip, kernel);
            continue;
        }
        if (!t.channelIdentity) {
            lookup.row(in, scratch.data(), rowBytes);
            in = scratch.data();
        }
        if (s.grayScale)
            grayRow(in, out, w, flip, kernel);
        else
            saturateRow(in, out, w, t, false, flip, kernel);
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

void SetToneKernelLimit(ToneKernel limit) noexcept
{
    g_kernelLimit.store(int(limit), std::memory_order_relaxed);
}

ToneKernel ToneKernelInUse() noexcept
{
    return ToneKernel(std::min(g_kernelLimit.load(std::memory_order_relaxed), int(offeredKernel())));
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
            renderByRows(source, settings, tables, ToneKernelInUse(), dest);
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
