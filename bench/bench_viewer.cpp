// The main image of 24-megapixel photos, against one full decode of such a
// photo measured in the same run (the "x_full" counters are ratios to it):
//
// (a) Proportional: a picture never decoded before, from being shown to
//     painted; and a step to an entry not decoded ahead, from the key to
//     painted, which includes the strip reading it as before;
// (b) As Is: from being shown to the first paint of its visible band;
// (c) one slide-show tick with the next picture decoded ahead, to painted;
// (d) the longest stall of the GUI thread's event loop while a whole
//     picture decodes (As Is), in milliseconds;
// (e) resident memory with 10 slots of such photos, the main image and the
//     pictures decoded ahead, in As Is and Proportional.
#include "GuiBenchMain.h"
#include "app/Application.h"
#include "collection/CollectionFile.h"
#include "core/AtomicFile.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"
#include "settings/SettingsStore.h"
#include "ui/main/MainImage.h"
#include "ui/main/MainWindow.h"
#include "ui/main/ThumbSlot.h"
#include "viewer/DecodeAhead.h"
#include "viewer/PictureFiles.h"
#include "viewer/ThumbnailQueue.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>

#include <unistd.h>

namespace {
constexpr int kW = 6000, kH = 4000, kDistinct = 4, kEntries = 400;

// A photo-like 6000 x 4000 picture: broad colour gradients under a fine,
// deterministic grain, about the bytes a camera's photo takes at quality 90.
QByteArray photoJpeg(int seed)
{
    std::vector<int> colR(kW), colG(kW), colB(kW), rowR(kH), rowG(kH), rowB(kH);
    for (int x = 0; x < kW; ++x) {
        colR[x] = int(60 * std::sin(x / 700.0 + seed));
        colG[x] = int(50 * std::sin(x / 430.0 - seed));
        colB[x] = int(40 * std::cos(x / 910.0 + 2 * seed));
    }
    for (int y = 0; y < kH; ++y) {
        rowR[y] = int(50 * std::cos(y / 520.0));
        rowG[y] = int(45 * std::sin(y / 800.0 + seed));
        rowB[y] = int(60 * std::sin(y / 350.0));
    }
    Bitmap24 b(kW, kH);
    std::uint32_t state = 2463534242u + std::uint32_t(seed);
    for (int y = 0; y < kH; ++y) {
        std::uint8_t* p = b.scanLine(y);
        for (int x = 0; x < kW; ++x, p += 3) {
            state ^= state << 13, state ^= state >> 17, state ^= state << 5;
            const int grain = int(state & 31) - 16;
            p[0] = std::uint8_t(std::clamp(128 + colB[x] + rowB[y] + grain, 0, 255));
            p[1] = std::uint8_t(std::clamp(128 + colG[x] + rowG[y] + grain, 0, 255));
            p[2] = std::uint8_t(std::clamp(128 + colR[x] + rowR[y] + grain, 0, 255));
        }
    }
    return encodeJpeg(b, 90);
}

struct Fixture {
    QTemporaryDir dir;
    QStringList pictures;
    QList<QByteArray> bytes;
    QString collection;

    Fixture()
    {
        for (int i = 0; i < kDistinct; ++i) {
            bytes << photoJpeg(i);
            pictures << dir.filePath(QStringLiteral("photo%1.jpg").arg(i));
            writeFileAtomically(pictures.last(), bytes.last());
        }
        QList<CollectionEntry> entries;
        for (int k = 0; k < kEntries; ++k)
            entries.append({pictures[k % kDistinct], QStringLiteral("Photo number %1").arg(k + 1)});
        collection = dir.filePath(QStringLiteral("photos.pvx"));
        writeCollection(collection, entries);
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

MainWindow& window()
{
    return benchProgram().mainWindow();
}

void openCollection()
{
    openInBench(fixture().collection);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// One full decode of the photo, in seconds: the baseline of every ratio.
double fullDecodeSeconds()
{
    static const double seconds = [] {
        std::vector<double> runs;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer t;
            t.start();
            benchmark::DoNotOptimize(decodeJpeg(fixture().bytes[0]));
            runs.push_back(t.nsecsElapsed() / 1e9);
        }
        return median(runs);
    }();
    return seconds;
}

// Lets asks still queued reach the decoder, then waits for its work and
// takes in what it made.
void settle()
{
    QCoreApplication::processEvents();
    window().decoder()->waitForIdle();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

template <class Done> void spinUntil(Done done)
{
    // Blocks until something arrives: a busy loop would take the core the
    // decoding thread needs.
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// One full decode between two measured runs: the machine may be shared,
// so each ratio compares medians of interleaved runs.
std::vector<double> fullDecodes;

void interleaveFullDecode()
{
    QElapsedTimer t;
    t.start();
    benchmark::DoNotOptimize(decodeJpeg(fixture().bytes[0]));
    fullDecodes.push_back(t.nsecsElapsed() / 1e9);
}

void report(benchmark::State& state, const std::vector<double>& runs)
{
    const double full = fullDecodes.empty() ? fullDecodeSeconds() : median(fullDecodes);
    fullDecodes.clear();
    state.counters["median_ms"] = median(runs) * 1e3;
    state.counters["full_decode_ms"] = full * 1e3;
    state.counters["x_full"] = median(runs) / full;
}

void BM_FullDecode(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeJpeg(fixture().bytes[0]));
    state.counters["full_decode_ms"] = fullDecodeSeconds() * 1e3;
    state.counters["jpeg_MB"] = fixture().bytes[0].size() / 1048576.0;
}

// The decodes alone that (a) and (b) wait for, as floors for them.
void BM_ScaledDecodeForTheArea(benchmark::State& state)
{
    const Picture picture = Picture::fromJpegData(fixture().bytes[0]);
    std::vector<double> runs;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        benchmark::DoNotOptimize(picture.decodedCovering(QSize(436, 291), true));
        runs.push_back(t.nsecsElapsed() / 1e9);
        interleaveFullDecode();
    }
    report(state, runs);
}

void BM_VisibleBandDecode(benchmark::State& state)
{
    const Picture picture = Picture::fromJpegData(fixture().bytes[0]);
    std::vector<double> runs;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        QRect band(0, 0, 436, 420);
        benchmark::DoNotOptimize(picture.decodedBand(&band, true));
        runs.push_back(t.nsecsElapsed() / 1e9);
        interleaveFullDecode();
    }
    report(state, runs);
}

// Shows a picture never decoded before (its own copy of the bytes) with its
// strip rendition as the stand-in, and waits until `painted` holds.
template <class Painted> double showNewPicture(int i, Painted painted)
{
    const QByteArray& bytes = fixture().bytes[i % kDistinct];
    const Picture picture = Picture::fromJpegData(QByteArray(bytes.constData(), bytes.size()));
    const QImage standIn = window().slot(1)->rendition();
    QElapsedTimer t;
    t.start();
    window().mainImage()->setPicture(picture, standIn);
    spinUntil([&] { return painted(picture); });
    window().mainImage()->repaint();
    return t.nsecsElapsed() / 1e9;
}

void BM_ProportionalNewPictureToPainted(benchmark::State& state)
{
    openCollection();
    window().fitCentred();
    settle();
    std::vector<double> runs;
    int i = 0;
    for (auto _ : state) {
        runs.push_back(
            showNewPicture(++i, [](const Picture&) { return window().mainImage()->showsDecodedPixels(); }));
        state.SetIterationTime(runs.back());
        state.PauseTiming();
        settle();
        interleaveFullDecode();
        state.ResumeTiming();
    }
    report(state, runs);
}

// The step a user makes to a picture not decoded ahead: the strip reads it
// (its thumbnail's scaled decode on this thread, as before), then the main
// image shows it fitted.
void BM_ProportionalNewEntryToPainted(benchmark::State& state)
{
    window().setOuterSize(624, 581); // three slots
    openCollection();
    window().fitCentred();
    if (!window().session().followsCursor())
        window().toggleFollowMode();
    window().stepForward();
    window().stepForward(); // on the lowest slot: each step reads a new picture
    std::vector<double> runs;
    for (auto _ : state) {
        state.PauseTiming();
        settle();
        window().pictureFiles().changed({fixture().pictures[(window().session().currentEntry()) % kDistinct]});
        interleaveFullDecode();
        state.ResumeTiming();
        QElapsedTimer t;
        t.start();
        window().stepForward();
        spinUntil([] { return window().mainImage()->showsDecodedPixels(); });
        window().repaint();
        runs.push_back(t.nsecsElapsed() / 1e9);
        state.SetIterationTime(runs.back());
    }
    report(state, runs);
}

// The visible band of the picture shown has arrived.
bool bandShown(const Picture& picture)
{
    for (const QString& path : fixture().pictures) {
        const auto d = window().decoder()->find(path);
        if (d && d->picture.sharesDataWith(picture) && (!d->band.isNull() || !d->image.isNull()))
            return true;
    }
    return false;
}

void BM_AsIsFirstPaint(benchmark::State& state)
{
    openCollection();
    window().showActualSize();
    settle();
    std::vector<double> runs, whole;
    int i = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        runs.push_back(showNewPicture(++i, bandShown));
        state.SetIterationTime(runs.back());
        state.PauseTiming();
        spinUntil([] { return window().mainImage()->showsDecodedPixels(); });
        whole.push_back(t.nsecsElapsed() / 1e9);
        settle();
        interleaveFullDecode();
        state.ResumeTiming();
    }
    // From being shown to the whole picture painted.
    state.counters["whole_x_full"] = median(whole) / median(fullDecodes);
    report(state, runs);
}

void BM_SlideShowStepDecodedAhead(benchmark::State& state)
{
    openCollection();
    window().fitCentred();
    if (!window().session().followsCursor())
        window().toggleFollowMode();
    SlideShow& show = window().session().slideShow();
    show.timer().start(3600 * 1000); // ticks come from here only
    SettingsValues settings = benchProgram().settings().values();
    settings.delay = QStringLiteral("3600");
    benchProgram().settings().setValues(settings);
    std::vector<double> runs;
    int ready = 0;
    for (auto _ : state) {
        state.PauseTiming();
        settle();
        interleaveFullDecode();
        state.ResumeTiming();
        QElapsedTimer t;
        t.start();
        show.tick();
        window().repaint();
        runs.push_back(t.nsecsElapsed() / 1e9);
        state.SetIterationTime(runs.back());
        ready += window().mainImage()->showsDecodedPixels() ? 1 : 0;
    }
    show.timer().stop();
    report(state, runs);
    state.counters["painted_decoded"] = double(ready) / double(runs.size());
}

void BM_LongestStallWhileDecoding(benchmark::State& state)
{
    openCollection();
    window().showActualSize();
    settle();
    std::vector<double> stalls;
    int i = 0;
    for (auto _ : state) {
        QElapsedTimer gap;
        double longest = 0;
        QTimer tick;
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longest = std::max(longest, gap.nsecsElapsed() / 1e6);
            gap.restart();
        });
        gap.start();
        tick.start();
        QElapsedTimer t;
        t.start();
        showNewPicture(++i, [](const Picture&) { return window().mainImage()->showsDecodedPixels(); });
        // The first gap includes showing the picture itself.
        stalls.push_back(longest);
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        state.PauseTiming();
        tick.stop();
        settle();
        state.ResumeTiming();
    }
    state.counters["longest_stall_ms"] = *std::max_element(stalls.begin(), stalls.end());
    state.counters["full_decode_ms"] = fullDecodeSeconds() * 1e3;
}

void BM_ResidentTenSlots(benchmark::State& state)
{
    window().setOuterSize(624, 130 + 1310); // 10 slots
    openCollection();
    window().showActualSize();
    spinUntil([] { return window().mainImage()->showsDecodedPixels(); });
    settle();
    const long asIs = residentKiB();
    window().fitCentred();
    spinUntil([] { return window().mainImage()->showsDecodedPixels(); });
    settle();
    const long fitted = residentKiB();
    for (auto _ : state)
        benchmark::DoNotOptimize(window().slotCount());
    state.counters["slots"] = window().slotCount();
    state.counters["cached"] = window().decoder()->cachedCount();
    state.counters["RSS_asis_MB"] = asIs / 1024.0;
    state.counters["RSS_fitted_MB"] = fitted / 1024.0;
    window().setOuterSize(624, 581);
}

// A camera's card: `n` entries, each its own file (hard links to the
// distinct photos), so nothing is shared between entries by path.
QString cardCollection(int n)
{
    const QString path = fixture().dir.filePath(QStringLiteral("card%1.pvx").arg(n));
    if (QFile::exists(path))
        return path;
    QList<CollectionEntry> entries;
    for (int k = 0; k < n; ++k) {
        const QString file = fixture().dir.filePath(QStringLiteral("card%1_%2.jpg").arg(n).arg(k));
        ::link(QFile::encodeName(fixture().pictures[k % kDistinct]).constData(),
               QFile::encodeName(file).constData());
        entries.append({file, QStringLiteral("Photo %1").arg(k + 1)});
    }
    writeCollection(path, entries);
    return path;
}

bool stripFilled()
{
    MainWindow& w = window();
    for (int i = 1; i <= w.slotCount(); ++i)
        if (w.slot(i)->isEnabled() && w.slot(i)->rendition().isNull() && w.slot(i)->failure().isEmpty())
            return false;
    return !w.thumbnails()->isBusy();
}

// From the open's start to the main image's own pixels, fitted: a card of
// 1,000 photos should take no longer than one photo.
void BM_OpenToFirstPaint(benchmark::State& state)
{
    const QString path = cardCollection(int(state.range(0)));
    window().setOuterSize(624, 130 + 1310); // 10 slots
    window().fitCentred();
    std::vector<double> runs;
    for (auto _ : state) {
        // Nothing decoded before may serve: each open starts cold.
        window().decoder()->forgetAll();
        QElapsedTimer t;
        t.start();
        openInBench(path);
        spinUntil([] { return window().mainImage()->showsDecodedPixels(); });
        runs.push_back(t.nsecsElapsed() / 1e9);
        state.SetIterationTime(runs.back());
        state.PauseTiming();
        spinUntil(stripFilled);
        settle();
        state.ResumeTiming();
    }
    state.counters["median_ms"] = median(runs) * 1e3;
    state.counters["slots"] = window().slotCount();
    window().setOuterSize(624, 581);
}

// The GUI thread's longest gap (a 1 ms timer's) while an open's strip
// fills, and while Down is held (a step every 30 ms) through 40 entries.
void BM_LongestStallWhileTheStripFills(benchmark::State& state)
{
    const QString path = cardCollection(1000);
    window().setOuterSize(624, 130 + 1310); // 10 slots
    window().fitCentred();
    double filling = 0, scrolling = 0;
    for (auto _ : state) {
        window().decoder()->forgetAll();
        openInBench(path);
        QElapsedTimer gap;
        double* longest = &filling;
        QTimer tick;
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            *longest = std::max(*longest, gap.nsecsElapsed() / 1e6);
            gap.restart();
        });
        gap.start();
        tick.start();
        spinUntil([] { return stripFilled() && window().mainImage()->showsDecodedPixels(); });
        longest = &scrolling;
        for (int k = 0; k < 40; ++k) {
            window().handleKey(Qt::Key_Down, Qt::NoModifier);
            QElapsedTimer held;
            held.start();
            while (held.elapsed() < 30)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        spinUntil(stripFilled);
        tick.stop();
        settle();
    }
    state.counters["fill_stall_ms"] = filling;
    state.counters["scroll_stall_ms"] = scrolling;
    state.counters["slots"] = window().slotCount();
    window().setOuterSize(624, 581);
}

BENCHMARK(BM_FullDecode)->Unit(benchmark::kMillisecond)->Iterations(5);
// First, before the others leave freed memory in the heap.
BENCHMARK(BM_ResidentTenSlots)->Iterations(1);
BENCHMARK(BM_ScaledDecodeForTheArea)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_VisibleBandDecode)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_ProportionalNewPictureToPainted)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(9);
BENCHMARK(BM_ProportionalNewEntryToPainted)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(9);
BENCHMARK(BM_AsIsFirstPaint)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(9);
BENCHMARK(BM_SlideShowStepDecodedAhead)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(9);
BENCHMARK(BM_OpenToFirstPaint)
    ->Arg(1)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK(BM_LongestStallWhileTheStripFills)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LongestStallWhileDecoding)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
} // namespace

int main(int argc, char** argv)
{
    return runGuiBenchmarks(argc, argv, [] {
        fixture();
        fullDecodeSeconds();
    });
}
