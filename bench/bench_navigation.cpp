// Opening and walking a collection of big photos, against libjpeg alone.
//
// (a) opening a 10,000-entry collection with 3 slots vs 3 scaled decodes;
// (b) one Next step that scrolls a new picture into the strip;
// (c) showing a slot in the main image (painted) vs one full decode.
// Resident memory with 10 slots of such pictures and one shown is reported
// as a counter of the last benchmark.
#include "GuiBenchMain.h"
#include "app/Application.h"
#include "collection/CollectionFile.h"
#include "core/AtomicFile.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"
#include "ui/main/MainImage.h"
#include "ui/main/MainWindow.h"
#include "ui/main/ThumbSlot.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWindow>
#include <benchmark/benchmark.h>

#include <unistd.h>

namespace {
constexpr int kW = 6000, kH = 4000, kDistinct = 4, kEntries = 10000;

struct Fixture {
    QTemporaryDir dir;
    QStringList pictures;
    QString collection;
    QString shortCollection;

    Fixture()
    {
        for (int i = 0; i < kDistinct; ++i) {
            Bitmap24 b(kW, kH);
            for (int y = 0; y < kH; ++y) {
                std::uint8_t* p = b.scanLine(y);
                for (int x = 0; x < kW; ++x, p += 3) {
                    p[0] = std::uint8_t((x >> 3) + i * 40);
                    p[1] = std::uint8_t((y >> 3) ^ (x >> 5));
                    p[2] = std::uint8_t(((x * y) >> 12) + i * 90);
                }
            }
            const QString path = dir.filePath(QStringLiteral("big%1.jpg").arg(i));
            writeFileAtomically(path, encodeJpeg(b));
            pictures << path;
        }
        QList<CollectionEntry> entries;
        for (int k = 0; k < kEntries; ++k)
            entries.append({pictures[k % kDistinct], QStringLiteral("Photo number %1").arg(k + 1)});
        collection = dir.filePath(QStringLiteral("big.pvx"));
        writeCollection(collection, entries);
        shortCollection = dir.filePath(QStringLiteral("ten.pvx"));
        writeCollection(shortCollection, entries.mid(0, 12));
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void openCollection(const QString& path)
{
    openInBench(path);
}

// The main image decodes on a worker: let its pixels arrive.
void waitForMainImage()
{
    while (!benchProgram().mainWindow().mainImage()->showsDecodedPixels())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

void BM_ThreeScaledDecodes(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        for (int i = 0; i < 3; ++i) {
            const Picture p = Picture::loadFromFile(f.pictures[i]);
            benchmark::DoNotOptimize(p.thumbnail(QSize(ThumbSlot::Size, ThumbSlot::Size), true));
        }
    }
}

void BM_OpenCollection10k(benchmark::State& state)
{
    Fixture& f = fixture();
    benchProgram().mainWindow().setOuterSize(624, 581); // 3 slots
    for (auto _ : state)
        openCollection(f.collection);
    state.counters["entries"] = benchProgram().session().entryCount();
    state.counters["slots"] = benchProgram().mainWindow().slotCount();
}

void BM_NextStepScrolling(benchmark::State& state)
{
    Fixture& f = fixture();
    benchProgram().mainWindow().setOuterSize(624, 581);
    openCollection(f.collection);
    benchProgram().mainWindow().stepForward();
    benchProgram().mainWindow().stepForward(); // highlight on the lowest slot: every step scrolls
    for (auto _ : state) {
        if (!benchProgram().mainWindow().downButton()->isEnabled()) {
            state.PauseTiming();
            openCollection(f.collection);
            benchProgram().mainWindow().stepForward();
            benchProgram().mainWindow().stepForward();
            state.ResumeTiming();
        }
        benchProgram().mainWindow().stepForward();
    }
}

void BM_FullDecode(benchmark::State& state)
{
    const QByteArray bytes = readWholeFile(fixture().pictures[0]);
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeJpeg(bytes));
}

void BM_ShowSlotInMainImage(benchmark::State& state)
{
    Fixture& f = fixture();
    benchProgram().mainWindow().setOuterSize(624, 581);
    openCollection(f.collection);
    int n = 1;
    for (auto _ : state) {
        n = n % 3 + 1; // a different picture every time
        benchProgram().mainWindow().showSlot(n);
        waitForMainImage();
        benchProgram().mainWindow().mainImage()->repaint();
    }
}

void BM_ResidentWithTenSlots(benchmark::State& state)
{
    Fixture& f = fixture();
    benchProgram().mainWindow().setOuterSize(624, 130 + 1300); // 10 slots
    openCollection(f.collection);
    waitForMainImage();
    benchProgram().mainWindow().mainImage()->repaint();
    for (auto _ : state)
        benchmark::DoNotOptimize(benchProgram().mainWindow().slotCount());
    state.counters["slots"] = benchProgram().mainWindow().slotCount();
    state.counters["RSS_MB"] = residentKiB() / 1024.0;
    benchProgram().mainWindow().setOuterSize(624, 581);
}

BENCHMARK(BM_ThreeScaledDecodes)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OpenCollection10k)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_NextStepScrolling)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_FullDecode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ShowSlotInMainImage)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ResidentWithTenSlots)->Iterations(1);
} // namespace

int main(int argc, char** argv)
{
    return runGuiBenchmarks(argc, argv, [] { fixture(); });
}
