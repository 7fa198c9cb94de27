// A picture named by itself in a big folder: how soon it is on screen.
//
// BM_NamedPictureOnScreen: `pictavo photo.jpg` in a folder of 50,000 hard
// links to one JPEG plus the photo, against the same photo in a folder of
// three, alternately in the same run; "big_over_small" is the ratio of the
// mean times to the photo's own pixels on screen.
// BM_FolderListing: the worker's part, listing and ordering the 50,000 names.
// The folders are made under /tmp by the benchmark and removed after.
#include "GuiBenchMain.h"
#include "core/AtomicFile.h"
#include "graphics/JpegCodec.h"
#include "ui/main/MainImage.h"
#include "ui/main/MainWindow.h"
#include "viewer/FolderPictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <unistd.h>

namespace {
constexpr int kLinks = 50000;

Bitmap24 photo(int w, int h, int seed)
{
    Bitmap24 b(w, h);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* p = b.scanLine(y);
        for (int x = 0; x < w; ++x, p += 3) {
            p[0] = std::uint8_t((x >> 2) + seed);
            p[1] = std::uint8_t((y >> 2) ^ (x >> 4));
            p[2] = std::uint8_t(((x * y) >> 10) + seed * 7);
        }
    }
    return b;
}

struct Folders {
    QTemporaryDir dir{QStringLiteral("/tmp/pictavo-bench-XXXXXX")};
    QString big, small; // the named photo in each

    Folders()
    {
        QDir root(dir.path());
        root.mkdir(QStringLiteral("big"));
        root.mkdir(QStringLiteral("small"));
        const QByteArray named = encodeJpeg(photo(4000, 3000, 1));
        const QString linked = dir.filePath(QStringLiteral("big/img1.jpg"));
        writeFileAtomically(linked, encodeJpeg(photo(640, 480, 2)));
        const QByteArray target = QFile::encodeName(linked);
        for (int i = 2; i <= kLinks; ++i) {
            const QByteArray name = QFile::encodeName(dir.filePath(QStringLiteral("big/img%1.jpg").arg(i)));
            if (::link(target.constData(), name.constData()) != 0)
                qFatal("cannot make the hard links");
        }
        big = dir.filePath(QStringLiteral("big/photo.jpg"));
        writeFileAtomically(big, named);
        for (const char* name : {"a.jpg", "b.jpg"})
            writeFileAtomically(dir.filePath(QStringLiteral("small/") + QLatin1String(name)),
                                encodeJpeg(photo(640, 480, 3)));
        small = dir.filePath(QStringLiteral("small/photo.jpg"));
        writeFileAtomically(small, named);
    }
};

Folders& folders()
{
    static Folders f;
    return f;
}

// From the open to the photo's own pixels on screen; then the rest of the
// open (the listing, the strip) settles, untimed.
double openUntilShown(const QString& named)
{
    MainWindow& main = benchProgram().mainWindow();
    QElapsedTimer timer;
    timer.start();
    main.openPicture(named);
    while (!main.mainImage()->showsDecodedPixels())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 2);
    main.mainImage()->repaint();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    while (main.isReadingCollection())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return ms;
}

void BM_NamedPictureOnScreen(benchmark::State& state)
{
    const Folders& f = folders();
    double big = 0, small = 0;
    for (auto _ : state) {
        small += openUntilShown(f.small);
        big += openUntilShown(f.big);
    }
    const double n = double(state.iterations());
    state.counters["small_ms"] = small / n;
    state.counters["big_ms"] = big / n;
    state.counters["big_over_small"] = big / small;
}
BENCHMARK(BM_NamedPictureOnScreen)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_FolderListing(benchmark::State& state)
{
    const QString named = folders().big;
    for (auto _ : state) {
        const FolderPictures found = folderPictures(named);
        if (found.entries.size() != kLinks + 1 || found.current == 0)
            state.SkipWithError("the folder was not listed whole");
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_FolderListing)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runGuiBenchmarks(argc, argv, [] { folders(); });
}
