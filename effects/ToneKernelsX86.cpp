// The tone chain's x86 kernels: SSSE3 (16 pixels a step) and AVX-512 with
// byte permutes (64). Built only for x86 with PICTAVO_SIMD on; each function
// carries its own target, so the file needs no special compiler flags, and
// ToneEffects.cpp calls a level only when the processor offers it.
#include "effects/ToneKernels.h"

#include <algorithm>
#include <immintrin.h>

#define PV_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace tone {

ToneKernel x86KernelOffered() noexcept
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

namespace {

// ---- 64 bytes at a time (AVX-512 with byte permutes)

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

} // namespace

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

namespace {

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

} // namespace

// ---- grayscale

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

// ---- saturation

namespace {

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

} // namespace

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

namespace {

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

} // namespace

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

} // namespace tone
