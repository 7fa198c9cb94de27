// Throughput of the effect engine on a 6000 x 4000 picture, in megapixels
// per second, against a plain copy of the same buffer.
#include "effects/PixelRoutines.h"
#include "effects/ToneEffects.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

namespace {
constexpr int kW = 6000;
constexpr int kH = 4000;
constexpr double kMegapixels = kW * double(kH) / 1e6;

const Bitmap24& photo()
{
    // Smooth gradients with some grain: closer to a photo than pure noise,
    // so table lookups and branches see realistic data.
    static const Bitmap24 picture = [] {
        Bitmap24 b(kW, kH);
        std::mt19937 rng(1);
        for (int y = 0; y < kH; ++y) {
            std::uint8_t* p = b.scanLine(y);
            for (int x = 0; x < kW; ++x, p += 3) {
                const int grain = int(rng() % 16);
                p[0] = std::uint8_t((x * 255 / kW + grain) & 255);
                p[1] = std::uint8_t((y * 255 / kH + grain) & 255);
                p[2] = std::uint8_t(((x + y) * 255 / (kW + kH) + grain) & 255);
            }
        }
        return b;
    }();
    return picture;
}

void setRate(benchmark::State& state)
{
    state.counters["MP/s"] =
        benchmark::Counter(kMegapixels * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_PlainCopy(benchmark::State& state)
{
    const Bitmap24& src = photo();
    Bitmap24 dst(kW, kH);
    for (auto _ : state) {
        std::memcpy(dst.bits(), src.bits(), src.byteCount());
        benchmark::DoNotOptimize(dst.bits());
        benchmark::ClobberMemory();
    }
    setRate(state);
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond);

// The argument is the widest ToneKernel allowed; the renderer still keeps
// to what the processor offers, and the label says which one ran.
void runTone(benchmark::State& state, ToneSettings s, const Bitmap24* noise = nullptr)
{
    s.kernelLimit = ToneKernel(state.range(0));
    static const char* const names[] = {"portable", "ssse3", "avx512"};
    state.SetLabel(names[int(toneKernelUpTo(s.kernelLimit))]);
    const Bitmap24& src = photo();
    Bitmap24 dst(kW, kH);
    for (auto _ : state) {
        RenderTone(src, noise, s, dst);
        benchmark::DoNotOptimize(dst.bits());
        benchmark::ClobberMemory();
    }
    setRate(state);
}

void BM_ToneNeutral(benchmark::State& state)
{
    runTone(state, ToneSettings{});
}
BENCHMARK(BM_ToneNeutral)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_ToneBrightContrastSaturation(benchmark::State& state)
{
    ToneSettings s;
    s.values[std::size_t(Effect::Brightness)] = 40;
    s.values[std::size_t(Effect::Contrast)] = 60;
    s.values[std::size_t(Effect::Saturation)] = 80;
    runTone(state, s);
}
BENCHMARK(BM_ToneBrightContrastSaturation)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_ToneBrightContrast(benchmark::State& state)
{
    ToneSettings s;
    s.values[std::size_t(Effect::Brightness)] = 40;
    s.values[std::size_t(Effect::Contrast)] = 60;
    runTone(state, s);
}
BENCHMARK(BM_ToneBrightContrast)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_ToneGrayscale(benchmark::State& state)
{
    ToneSettings s;
    s.values[std::size_t(Effect::GrayScale)] = 1;
    runTone(state, s);
}
BENCHMARK(BM_ToneGrayscale)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_ToneSplitlight10(benchmark::State& state)
{
    ToneSettings s;
    s.values[std::size_t(Effect::Splitlight)] = 10;
    runTone(state, s);
}
BENCHMARK(BM_ToneSplitlight10)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_ToneSolarize(benchmark::State& state)
{
    ToneSettings s;
    s.values[std::size_t(Effect::Solarize)] = 128;
    runTone(state, s);
}
BENCHMARK(BM_ToneSolarize)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_ToneColorNoise(benchmark::State& state)
{
    static const Bitmap24 noise = [] {
        Bitmap24 n(kW, kH);
        NoiseGenerator random;
        FillColorNoise(n, 100, random);
        return n;
    }();
    runTone(state, ToneSettings{}, &noise);
}
BENCHMARK(BM_ToneColorNoise)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_FillColorNoise(benchmark::State& state)
{
    Bitmap24 n(kW, kH);
    NoiseGenerator random;
    for (auto _ : state) {
        FillColorNoise(n, 100, random);
        benchmark::DoNotOptimize(n.bits());
    }
    setRate(state);
}
BENCHMARK(BM_FillColorNoise)->Unit(benchmark::kMillisecond);

// A routine on a fresh copy of the picture each time; the copy is not timed.
template <typename F> void runRoutine(benchmark::State& state, F routine)
{
    Bitmap24 work;
    for (auto _ : state) {
        state.PauseTiming();
        work = photo();
        state.ResumeTiming();
        routine(work);
        benchmark::DoNotOptimize(work.bits());
        benchmark::ClobberMemory();
    }
    setRate(state);
}

void BM_Emboss(benchmark::State& state)
{
    runRoutine(state, [](Bitmap24& b) { EmbossBitmap(b); });
}
BENCHMARK(BM_Emboss)->Unit(benchmark::kMillisecond);

void BM_Mosaic(benchmark::State& state)
{
    const int s = int(state.range(0));
    runRoutine(state, [s](Bitmap24& b) { MosaicBitmap(b, s); });
}
BENCHMARK(BM_Mosaic)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);

void BM_SplitBlur(benchmark::State& state)
{
    const int d = int(state.range(0));
    runRoutine(state, [d](Bitmap24& b) { SplitBlurBitmap(b, d); });
}
BENCHMARK(BM_SplitBlur)->Arg(10)->Arg(255)->Unit(benchmark::kMillisecond);

void BM_GaussianBlur(benchmark::State& state)
{
    const int n = int(state.range(0));
    runRoutine(state, [n](Bitmap24& b) {
        for (int pass = 0; pass <= n; ++pass)
            SplitBlurBitmap(b, 3);
    });
}
BENCHMARK(BM_GaussianBlur)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);

void BM_AntiAlias(benchmark::State& state)
{
    const int n = int(state.range(0));
    runRoutine(state, [n](Bitmap24& b) {
        for (int pass = 0; pass < n; ++pass)
            AntiAliasBitmap(b, 0, 0, b.width(), b.height());
    });
}
BENCHMARK(BM_AntiAlias)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);

void BM_Trace(benchmark::State& state)
{
    const int k = int(state.range(0));
    runRoutine(state, [k](Bitmap24& b) { TraceBitmap(b, k); });
}
BENCHMARK(BM_Trace)->Arg(1)->Arg(2)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_Tile(benchmark::State& state)
{
    const int v = int(state.range(0));
    const TileLayout layout = TileLayoutFor(v, kW, kH);
    runRoutine(state, [&layout](Bitmap24& b) { BuildTiles(photo(), layout, b); });
}
BENCHMARK(BM_Tile)->Arg(4)->Arg(1)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
