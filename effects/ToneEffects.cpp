#include "effects/ToneEffects.h"

#include "effects/ToneKernels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

bool ToneSettings::isNeutral() const noexcept
{
    for (const EffectInfo& info : kEffectTable)
        if (info.step != EffectStep::Source && info.step != EffectStep::Noise && (*this)[info.effect] != 0)
            return false;
    return true;
}

int SplitlightOnce(int c) noexcept
{
    // Extended precision lands sin 30 degrees close enough to 1/2 that the
    // rounding to double makes 127.5 exact, and the tie goes to 128.
    const long double pi = 3.141592653589793238462643383279502884L;
    const long double v = 255.0L * std::sin(static_cast<long double>(c) * pi / 510.0L);
    return static_cast<int>(std::nearbyint(static_cast<double>(v)));
}

namespace tone {
namespace {

ToneKernel offeredKernel() noexcept
{
    if constexpr (kX86Kernels)
        return x86KernelOffered();
    return ToneKernel::Portable;
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

// The tone sum's terms and the channel steps that are set, in table order.
struct ChannelWork {
    std::vector<std::pair<SumTerm, int>> terms;
    std::vector<std::pair<ChannelStep, int>> steps;

    explicit ChannelWork(const ToneSettings& s)
    {
        for (const EffectInfo& info : kEffectTable) {
            const int v = s[info.effect];
            if (v != 0 && info.term)
                terms.emplace_back(info.term, v);
            if (v != 0 && info.channel)
                steps.emplace_back(info.channel, v);
        }
    }
    long long sum(long long c) const noexcept
    {
        long long v = c;
        for (const auto& [term, value] : terms)
            v += term(c, value);
        return v;
    }
};

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

} // namespace

Tables::Tables(const ToneSettings& s)
{
    const int posterize = s[Effect::Posterize];
    const bool invert = s[Effect::Invert] != 0;
    perPixelColour = s[Effect::GrayScale] != 0 || s[Effect::Saturation] != 0;
    solarize = posterize == 0 && s[Effect::Solarize] != 0;
    solarizeAbove = 255 - s[Effect::Solarize];

    const ChannelWork work(s);
    std::array<std::uint8_t, 256> after{}; // the channel steps, then invert unless it comes later
    for (int t = 0; t < 256; ++t) {
        int v = t;
        for (const auto& [step, value] : work.steps)
            v = step(v, value);
        if (invert && !perPixelColour)
            v = 255 - v;
        after[t] = std::uint8_t(v);
    }
    for (int c = 0; c < 256; ++c) {
        const int stage = posterize > 0 ? posterizeValue(c, posterize) : c;
        pre[c] = std::int16_t(narrow(work.sum(stage)));
        preSol[c] = std::int16_t(narrow(work.sum(255 - c)));
        direct[c] = after[clampByte(pre[c])];
        directSol[c] = after[clampByte(preSol[c])];
        if (direct[c] != c)
            channelIdentity = false;
    }
    identity = channelIdentity && !perPixelColour && !solarize;
    for (int k = 0; k < 768; ++k)
        withNoise[k] = after[clampByte(k - 256)];

    const long long factor = static_cast<long long>(s[Effect::Saturation]) + 255;
    for (int d = -255; d <= 255; ++d)
        saturation[d + 255] = std::int16_t(narrow(factor * d / 255));
    saturationVector = factor >= 0;
    const long long capped = std::min(factor, 255LL * 256);
    saturationWhole = int(capped / 255);
    saturationPart = int(capped % 255);
}

namespace {

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

} // namespace

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

namespace {

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

// Applies one 256-entry table to every byte of a row.
class ChannelLookup {
public:
    ChannelLookup(const std::array<std::uint8_t, 256>& table, ToneKernel kernel)
        : m_table(table), m_vbmi(kX86Kernels && kernel >= ToneKernel::Avx512)
    {
        if (!m_vbmi)
            m_pairs = pairTable(table);
    }
    void row(const std::uint8_t* in, std::uint8_t* out, std::size_t n) const noexcept
    {
        if constexpr (kX86Kernels) {
            if (m_vbmi)
                return lookupRowVbmi(in, out, n, m_table.data());
        }
        lookupRowPairs(in, out, n, m_pairs.data(), m_table.data());
    }

private:
    const std::array<std::uint8_t, 256>& m_table;
    bool m_vbmi;
    std::vector<std::uint16_t> m_pairs;
};

void grayRow(const std::uint8_t* in, std::uint8_t* out, int w, std::uint8_t flip, ToneKernel kernel) noexcept
{
    if constexpr (kX86Kernels) {
        if (kernel >= ToneKernel::Avx512)
            return grayRowAvx512(in, out, w, flip);
        if (kernel >= ToneKernel::Ssse3)
            return grayRowSsse3(in, out, w, flip);
    }
    grayRowScalar(in, out, 0, w, flip);
}

// `lookup`: the channel tables still have to be applied (only the widest
// kernel does that itself; the others are handed rows already looked up).
void saturateRow(const std::uint8_t* in, std::uint8_t* out, int w, const Tables& t, bool lookup,
                 std::uint8_t flip, ToneKernel kernel) noexcept
{
    if constexpr (kX86Kernels) {
        if (kernel >= ToneKernel::Avx512 && t.saturationVector)
            return saturateRowAvx512(in, out, w, t, lookup, flip);
        if (kernel >= ToneKernel::Ssse3 && t.saturationVector)
            return saturateRowSsse3(in, out, w, t, flip);
    }
    saturateRowScalar(in, out, 0, w, t, flip);
}

// ---- renderings over rows

// Rows of a picture or band, `stride` apart (negative for bottom-up rows).
template <typename Byte> struct Rows {
    Byte* base;
    std::ptrdiff_t stride;
    Byte* row(int y) const noexcept { return base + y * stride; }
};
using InRows = Rows<const std::uint8_t>;
using OutRows = Rows<std::uint8_t>;

// Solarize and noise: one pixel at a time through the tables.
template <bool Noise, bool Solar, bool PerPixel>
void renderRows(InRows source, InRows noise, const ToneSettings& s, const Tables& t, OutRows dest, int w,
                int h)
{
    const bool gray = s[Effect::GrayScale] != 0, invert = s[Effect::Invert] != 0;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* __restrict in = source.row(y);
        std::uint8_t* __restrict out = dest.row(y);
        const std::uint8_t* __restrict nz = Noise ? noise.row(y) : nullptr;
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
                if (gray)
                    c0 = c1 = c2 = grayFast(c2, c1, c0);
                else
                    saturatePixel(c0, c1, c2, t);
                if (invert) {
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
void dispatchSolar(InRows source, InRows noise, const ToneSettings& s, const Tables& t, OutRows dest, int w,
                   int h)
{
    if (t.solarize) {
        if (t.perPixelColour)
            renderRows<Noise, true, true>(source, noise, s, t, dest, w, h);
        else
            renderRows<Noise, true, false>(source, noise, s, t, dest, w, h);
    } else {
        if (t.perPixelColour)
            renderRows<Noise, false, true>(source, noise, s, t, dest, w, h);
        else
            renderRows<Noise, false, false>(source, noise, s, t, dest, w, h);
    }
}

// No noise and no solarize: the channel tables over whole rows, then the
// cross-channel step (if any) from a scratch row.
void renderByRows(InRows source, const ToneSettings& s, const Tables& t, const ChannelLookup& lookup,
                  ToneKernel kernel, OutRows dest, int w, int h)
{
    const std::size_t rowBytes = std::size_t(w) * 3;
    if (!t.perPixelColour) {
        for (int y = 0; y < h; ++y)
            lookup.row(source.row(y), dest.row(y), rowBytes);
        return;
    }
    std::vector<std::uint8_t> scratch(rowBytes);
    const bool gray = s[Effect::GrayScale] != 0;
    const std::uint8_t flip = s[Effect::Invert] != 0 ? 0xFF : 0x00;
    const bool fusedLookup = !gray && kernel >= ToneKernel::Avx512 && t.saturationVector;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = source.row(y);
        std::uint8_t* out = dest.row(y);
        if (fusedLookup) {
            saturateRow(in, out, w, t, !t.channelIdentity, flip, kernel);
            continue;
        }
        if (!t.channelIdentity) {
            lookup.row(in, scratch.data(), rowBytes);
            in = scratch.data();
        }
        if (gray)
            grayRow(in, out, w, flip, kernel);
        else
            saturateRow(in, out, w, t, false, flip, kernel);
    }
}

int noiseSample(int level, NoiseGenerator& random) noexcept
{
    return clampByte(static_cast<long long>(random.next(std::uint32_t(level))) - level / 2);
}

} // namespace
} // namespace tone

using namespace tone;

int GrayscaleValue(int r, int g, int b) noexcept
{
    return grayFast(r, g, b);
}

ToneKernel toneKernelUpTo(ToneKernel limit) noexcept
{
    return ToneKernel(std::min(int(limit), int(offeredKernel())));
}

long long BrightnessTerm(long long, int value)
{
    return value;
}

long long ContrastTerm(long long c, int value)
{
    const long long tc = (std::llabs(127 - c) * value) / 255;
    return c <= 127 ? -tc : tc;
}

long long LightnessTerm(long long c, int value)
{
    return ((255 - c) * value) / 255;
}

long long DarknessTerm(long long c, int value)
{
    return (-(c * value)) / 255;
}

int SplitlightPasses(int c, int passes)
{
    const auto& split = splitlightTable();
    for (int k = 0; k < passes; ++k)
        c = split[std::size_t(c)];
    return c;
}

struct ToneBands::State {
    ToneSettings settings;
    Tables tables;
    ToneKernel kernel;
    bool copy; // pixels pass unchanged unless there is noise
    std::optional<ChannelLookup> lookup;

    explicit State(const ToneSettings& s)
        : settings(s), tables(s), kernel(toneKernelUpTo(s.kernelLimit)),
          copy(s.isNeutral() || tables.identity)
    {
        if (!tables.solarize && !copy)
            lookup.emplace(tables.direct, kernel);
    }
};

ToneBands::ToneBands(const ToneSettings& settings) : m_state(std::make_unique<State>(settings)) {}

ToneBands::~ToneBands() = default;

bool ToneBands::passesUnchanged() const noexcept
{
    return m_state->copy;
}

void ToneBands::render(const std::uint8_t* in, std::ptrdiff_t inStride, const std::uint8_t* noise,
                       std::ptrdiff_t noiseStride, std::uint8_t* out, std::ptrdiff_t outStride, int width,
                       int rows) const
{
    const State& st = *m_state;
    const InRows source{in, inStride};
    const OutRows dest{out, outStride};
    if (noise) {
        dispatchSolar<true>(source, InRows{noise, noiseStride}, st.settings, st.tables, dest, width, rows);
    } else if (st.copy) {
        for (int y = 0; y < rows; ++y)
            std::memcpy(dest.row(y), source.row(y), std::size_t(width) * 3);
    } else if (!st.tables.solarize) {
        renderByRows(source, st.settings, st.tables, *st.lookup, st.kernel, dest, width, rows);
    } else {
        dispatchSolar<false>(source, InRows{nullptr, 0}, st.settings, st.tables, dest, width, rows);
    }
}

void RenderTone(const Bitmap24& source, const Bitmap24* noise, const ToneSettings& settings, Bitmap24& dest)
{
    if (source.isEmpty())
        return;
    if (dest.width() != source.width() || dest.height() != source.height())
        dest.resizeForOverwrite(source.width(), source.height());
    if (noise && (noise->width() != source.width() || noise->height() != source.height()))
        noise = nullptr; // a stale pattern must never be read past its edges

    ToneBands(settings).render(source.bits(), source.stride(), noise ? noise->bits() : nullptr,
                               noise ? noise->stride() : 0, dest.bits(), dest.stride(), source.width(),
                               source.height());
}

void RenderToneInPlace(Bitmap24& picture, const Bitmap24* noise, const ToneSettings& settings)
{
    if (noise && (noise->width() != picture.width() || noise->height() != picture.height()))
        noise = nullptr;
    const ToneBands tone(settings);
    if (picture.isEmpty() || (!noise && tone.passesUnchanged()))
        return;
    // Row by row through a copy: the kernels take their input and output apart.
    std::vector<std::uint8_t> row(std::size_t(picture.width()) * 3);
    for (int y = 0; y < picture.height(); ++y) {
        std::memcpy(row.data(), picture.scanLine(y), row.size());
        tone.render(row.data(), 0, noise ? noise->scanLine(y) : nullptr, 0, picture.scanLine(y), 0,
                    picture.width(), 1);
    }
}

void FillColorNoise(Bitmap24& noise, int level, NoiseGenerator& random)
{
    for (int y = 0; y < noise.height(); ++y) {
        std::uint8_t* p = noise.scanLine(y);
        for (int x = 0; x < noise.width(); ++x, p += 3) {
            p[2] = std::uint8_t(noiseSample(level, random));
            p[1] = std::uint8_t(noiseSample(level, random));
            p[0] = std::uint8_t(noiseSample(level, random));
        }
    }
}

void FillMonoNoise(Bitmap24& noise, int level, NoiseGenerator& random)
{
    for (int y = 0; y < noise.height(); ++y) {
        std::uint8_t* p = noise.scanLine(y);
        for (int x = 0; x < noise.width(); ++x, p += 3)
            p[0] = p[1] = p[2] = std::uint8_t(noiseSample(level, random));
    }
}