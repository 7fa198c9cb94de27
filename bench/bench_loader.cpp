// The round trip's own cost: a 64x64 PNG read 1,000 times through a loader
// (opened here, passed over the socket, decoded there, its pixels back in
// a sealed memfd and wrapped without a copy) against the same reads in
// this process, interleaved in the same run. "extra_us" is the loader's
// median cost per picture over this process's; the default pool replaces
// its loader every 256 files, so loader starts are in the figure.
// The streamed batch's reading too: a 24-megapixel JPEG's rows, 32 at a
// time as the batch asks them, from one loader held for the file against a
// band reader here.
// And a loader's start, from the spawn to its greeting, lean, lean with the
// JPEG XL reader and full; BASE_LOADER=PROGRAM times another build's loader
// too, alternating with this one ("over_base").
#include "core/RegularFile.h"
#include "core/SealedBuffer.h"
#include "core/UniqueFd.h"
#include "graphics/Bitmap24.h"
#include "graphics/JpegCodec.h"
#include "graphics/JpegStream.h"
#include "graphics/LoaderProcess.h"
#include "graphics/Picture.h"
#include "graphics/PictureLoaders.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <sys/mman.h>
#include <vector>

namespace {

constexpr int Reads = 1000;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Microseconds per picture over `Reads` reads.
template <typename Read> double perPicture(Read read)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < Reads; ++i)
        benchmark::DoNotOptimize(read().constBits());
    return double(timer.nsecsElapsed()) / 1000.0 / Reads;
}

void BM_Png64ReadThroughLoader(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("small.png"));
    QImage image(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            image.setPixel(x, y, qRgb(x * 4, y * 4, (x ^ y) * 4));
    image.save(png);
    PictureLoaders::Options options;
    options.program = QStringLiteral(PV_BINARY_DIR "/pictavo-loader");
    options.filesPerLoader = int(state.range(0));
    PictureLoaders pool(options);
    LoaderRequest request;
    request.task = LoaderTask::Decode;
    std::vector<double> here, there, picture;
    for (auto _ : state) {
        here.push_back(perPicture([&] {
            const QByteArray bytes = RegularFile(png).readAll();
            return Picture::readHere(bytes, PictureFormat::Png).toImage();
        }));
        there.push_back(perPicture([&] { return pool.ask(png, request).image; }));
        // What the programs do: the facts, then the pixels, from the shared pool.
        picture.push_back(perPicture([&] { return Picture::loadFromFile(png).toImage(); }));
        state.SetIterationTime((here.back() + there.back() + picture.back()) * Reads / 1e6);
    }
    state.counters["in_process_us"] = median(here);
    state.counters["loader_us"] = median(there);
    state.counters["extra_us"] = median(there) - median(here);
    state.counters["picture_extra_us"] = median(picture) - median(here);
    state.counters["loaders_started"] = pool.loadersStarted();
}

void BM_JpegRowsThroughLoader(benchmark::State& state)
{
    Bitmap24 pattern(6000, 4000);
    for (int y = 0; y < pattern.height(); ++y)
        for (int x = 0; x < pattern.width() * 3; ++x)
            pattern.scanLine(y)[x] = std::uint8_t((x * 7 + y * 3 + (x ^ y)) & 0xFF);
    const QByteArray jpeg = encodeJpeg(pattern);
    const Picture picture = Picture::fromJpegData(jpeg);
    const int w = picture.width(), h = picture.height(), stride = Bitmap24::strideFor(w);
    std::vector<std::uint8_t> band(std::size_t(stride) * 32);
    std::vector<double> here, there;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        JpegBandReader reader(jpeg);
        for (int y = 0; y < h; y += 32)
            reader.read(band.data(), stride, std::min(32, h - y));
        reader.finish();
        here.push_back(double(timer.nsecsElapsed()) / 1e6);
        timer.restart();
        // As a streamed write reads them: into memory sent along once.
        PictureLoaders::Held loader(PictureLoaders::shared());
        const qint64 bytes = qint64(stride) * 32;
        const UniqueFd memory = SealedBuffer::toGive(bytes);
        void* mapped = ::mmap(nullptr, size_t(bytes), PROT_READ, MAP_SHARED, memory.get(), 0);
        if (mapped == MAP_FAILED) {
            state.SkipWithError("no memory for the rows");
            return;
        }
        const auto* rows = static_cast<const std::uint8_t*>(mapped);
        LoaderRequest request;
        request.task = LoaderTask::Rows;
        for (int y = 0; y < h; y += 32) {
            const int n = std::min(32, h - y);
            request.region = QRect(0, y, w, n);
            loader.ask(picture.loaderSource()->get(), jpeg.size(), request, memory.get());
            for (int i = 0; i < n; ++i)
                std::memcpy(band.data() + std::size_t(i) * stride, rows + std::size_t(i) * stride, std::size_t(w) * 3);
        }
        ::munmap(mapped, size_t(bytes));
        there.push_back(double(timer.nsecsElapsed()) / 1e6);
        state.SetIterationTime((here.back() + there.back()) / 1e3);
    }
    state.counters["in_process_ms"] = median(here);
    state.counters["loader_ms"] = median(there);
    state.counters["loader_over_in_process"] = median(there) / median(here);
}

void BM_LoaderStart(benchmark::State& state)
{
    LoaderProcess::Settings settings;
    settings.lean = state.range(0) < 2;
    settings.alsoRead = state.range(0) == 1 ? PictureFormat::JpegXl : PictureFormat::Unknown;
    const QString base = qEnvironmentVariable("BASE_LOADER");
    std::vector<double> ours, theirs;
    const auto started = [&](const QString& program) {
        settings.program = program;
        QElapsedTimer timer;
        timer.start();
        const LoaderProcess loader(settings);
        return double(timer.nsecsElapsed()) / 1e6;
    };
    for (auto _ : state) {
        // Which goes first swaps each round.
        const bool baseFirst = !base.isEmpty() && ours.size() % 2 == 1;
        if (baseFirst)
            theirs.push_back(started(base));
        ours.push_back(started(QStringLiteral(PV_BINARY_DIR "/pictavo-loader")));
        if (!base.isEmpty() && !baseFirst)
            theirs.push_back(started(base));
        state.SetIterationTime(ours.back() / 1e3);
    }
    state.counters["start_ms"] = median(ours);
    if (!theirs.empty()) {
        state.counters["base_start_ms"] = median(theirs);
        state.counters["over_base"] = median(ours) / median(theirs);
    }
}

} // namespace

// 0: lean, 1: lean with the JPEG XL reader, 2: full.
BENCHMARK(BM_LoaderStart)->DenseRange(0, 2)->Iterations(41)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK(BM_JpegRowsThroughLoader)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

// 256: the default pool; 1000000: one loader kept throughout.
BENCHMARK(BM_Png64ReadThroughLoader)
    ->Arg(256)
    ->Arg(1000000)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
