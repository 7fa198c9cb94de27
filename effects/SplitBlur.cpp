#include "effects/PixelRoutines.h"

#include <algorithm>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
// Pixels whose neighbours may fall outside, or whose sample rows include the
// row being written: one pixel at a time, in order, so in-place reads see
// what the routine has already written.
void blurPixels(const std::uint8_t* up, const std::uint8_t* down, std::uint8_t* row, int from, int to,
                int width, long long d)
{
    for (int x = from; x < to; ++x) {
        const int l = x - d < 0 ? x : int(x - d);
        const int r = x + d >= width ? x : int(x + d);
        for (int c = 0; c < 3; ++c)
            row[3 * x + c] =
                std::uint8_t((up[3 * l + c] + down[3 * l + c] + up[3 * r + c] + down[3 * r + c]) >> 2);
    }
}

// out[i] = (a[i] + b[i] + c[i] + d[i]) >> 2, sixteen bytes at a time where
// the processor has the vectors: the sums are taken in 16 bits, so exactly.
void quarterOfFour(const std::uint8_t* a, const std::uint8_t* b, const std::uint8_t* c, const std::uint8_t* d,
                   std::uint8_t* __restrict out, std::size_t n)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const auto load = [](const std::uint8_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    };
    for (; i + 16 <= n; i += 16) {
        const __m128i va = load(a + i), vb = load(b + i), vc = load(c + i), vd = load(d + i);
        __m128i lo = _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi8(va, zero), _mm_unpacklo_epi8(vb, zero)),
                                   _mm_add_epi16(_mm_unpacklo_epi8(vc, zero), _mm_unpacklo_epi8(vd, zero)));
        __m128i hi = _mm_add_epi16(_mm_add_epi16(_mm_unpackhi_epi8(va, zero), _mm_unpackhi_epi8(vb, zero)),
                                   _mm_add_epi16(_mm_unpackhi_epi8(vc, zero), _mm_unpackhi_epi8(vd, zero)));
        lo = _mm_srli_epi16(lo, 2);
        hi = _mm_srli_epi16(hi, 2);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
#endif
    for (; i < n; ++i)
        out[i] = std::uint8_t((a[i] + b[i] + c[i] + d[i]) >> 2);
}

// Rows whose sample rows are both other rows: the written row is never read,
// so the middle stretch runs over plain bytes.
void blurInteriorRow(const std::uint8_t* __restrict up, const std::uint8_t* __restrict down,
                     std::uint8_t* __restrict row, int width, int d)
{
    const int midBegin = std::min(d, width);
    const int midEnd = std::max(midBegin, width - d);
    blurPixels(up, down, row, 0, midBegin, width, d);
    const int left = 3 * (midBegin - d), right = 3 * (midBegin + d);
    if (midEnd > midBegin)
        quarterOfFour(up + left, down + left, up + right, down + right, row + 3 * midBegin,
                      std::size_t(3) * std::size_t(midEnd - midBegin));
    blurPixels(up, down, row, midEnd, width, width, d);
}
} // namespace

void SplitBlurBitmap(Bitmap24& bitmap, int distance)
{
    const int w = bitmap.width();
    const int h = bitmap.height();
    if (distance <= 0 || w <= 0 || h <= 0)
        return;
    const long long d = distance;
    for (int y = 0; y < h; ++y) {
        const int u = y - d < 0 ? y : int(y - d);
        const int v = y + d >= h ? y : int(y + d);
        std::uint8_t* row = bitmap.scanLine(y);
        if (u != y && v != y)
            blurInteriorRow(bitmap.scanLine(u), bitmap.scanLine(v), row, w, distance);
        else
            blurPixels(bitmap.scanLine(u), bitmap.scanLine(v), row, 0, w, w, d);
    }
}
