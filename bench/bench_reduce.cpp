// A frame decoded whole (8.5 megapixels, a phone's HEIC) brought down to
// the size it is drawn fitted: by whole blocks, against Qt's smooth scaling
// of the same frame and a plain copy of its bytes as baselines, each in
// milliseconds, in the same run.
#include "graphics/BlockReducer.h"

#include <QImage>
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

namespace {

const QImage& frame()
{
    static const QImage picture = [] {
        QImage image(2566, 3313, QImage::Format_RGB888);
        std::mt19937 rng(1);
        for (int y = 0; y < image.height(); ++y) {
            uchar* p = image.scanLine(y);
            for (int x = 0; x < image.width(); ++x, p += 3) {
                const int grain = int(rng() % 16);
                p[0] = uchar((x / 11 + grain) & 255);
                p[1] = uchar((y / 13 + grain) & 255);
                p[2] = uchar(((x + y) / 23 + grain) & 255);
            }
        }
        return image;
    }();
    return picture;
}

// Fitted in a 1600 x 1000 window, and in a small one.
QSize drawn(int which)
{
    return which == 0 ? QSize(772, 1000) : QSize(347, 449);
}

void BM_PlainCopy(benchmark::State& state)
{
    QImage copy(frame().size(), frame().format());
    for (auto _ : state) {
        std::memcpy(copy.bits(), frame().constBits(), std::size_t(frame().sizeInBytes()));
        benchmark::DoNotOptimize(copy.bits());
    }
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond);

void BM_ReducedByBlocks(benchmark::State& state)
{
    for (auto _ : state) {
        const QImage out = reducedByBlocks(frame(), drawn(int(state.range(0))));
        benchmark::DoNotOptimize(out.constBits());
    }
}
BENCHMARK(BM_ReducedByBlocks)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

void BM_QtSmoothScaled(benchmark::State& state)
{
    for (auto _ : state) {
        const QImage out = frame().scaled(drawn(int(state.range(0))), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        benchmark::DoNotOptimize(out.constBits());
    }
}
BENCHMARK(BM_QtSmoothScaled)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
