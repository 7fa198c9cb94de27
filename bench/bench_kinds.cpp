// The fitted main image of a 12-megapixel HEIC and of a 24-megapixel PNG,
// from a picture never decoded before being shown to painted, against the
// fastest peer decoding the same file: `vips avg FILE` and ImageMagick's
// `convert FILE null:`, whole processes, interleaved in the same run. The
// "x_peer" counter is ours over the fastest peer's median.
#include "GuiBenchMain.h"
#include "app/Application.h"
#include "collection/CollectionFile.h"
#include "core/AtomicFile.h"
#include "graphics/Picture.h"
#include "tests/support/KindPictures.h"
#include "ui/main/MainImage.h"
#include "ui/main/MainWindow.h"
#include "viewer/DecodeAhead.h"
#include "viewer/ViewerSession.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Broad colour gradients under a fine grain, as a photo compresses.
QImage photo(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    std::uint32_t state = 2463534242u;
    for (int y = 0; y < h; ++y) {
        auto* p = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            state ^= state << 13, state ^= state >> 17, state ^= state << 5;
            const int grain = int(state & 15) - 8;
            const auto c = [&](double v) { return std::clamp(int(128 + v) + grain, 0, 255); };
            p[x] = qRgb(c(90 * std::sin(x / 700.0) + 20 * std::cos(y / 300.0)), c(70 * std::cos(y / 520.0)),
                        c(60 * std::sin((x + y) / 910.0)));
        }
    }
    return image;
}

struct Fixture {
    QTemporaryDir dir;
    QString heic, png;
    QByteArray heicBytes, pngBytes;
    Fixture()
    {
        heic = dir.filePath(QStringLiteral("photo12mp.heic"));
        png = dir.filePath(QStringLiteral("shot24mp.png"));
        heicBytes = kinds::heif(photo(4000, 3000), false);
        pngBytes = kinds::encoded(photo(6000, 4000), "png");
        writeFileAtomically(heic, heicBytes);
        writeFileAtomically(png, pngBytes);
    }
};

Fixture& fixture()
{
    static Fixture files;
    return files;
}

// The middle run; 0 for none.
double middle(std::vector<double> runs)
{
    if (runs.empty())
        return 0;
    std::nth_element(runs.begin(), runs.begin() + runs.size() / 2, runs.end());
    return runs[runs.size() / 2];
}

// One whole process, in seconds; negative when the tool is missing or fails.
double peerSeconds(const QString& program, const QStringList& args)
{
    if (QStandardPaths::findExecutable(program).isEmpty())
        return -1;
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return -1;
    return t.nsecsElapsed() / 1e9;
}

// Shows a picture never decoded before (its own copy of the bytes) in the
// fitted main image and waits until its own pixels are painted.
double showNewPicture(const QByteArray& bytes, PictureFormat format)
{
    const Picture picture = Picture::fromData(QByteArray(bytes.constData(), bytes.size()), format);
    QElapsedTimer t;
    t.start();
    benchProgram().mainWindow().mainImage()->setPicture(picture);
    while (!benchProgram().mainWindow().mainImage()->showsDecodedPixels())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    benchProgram().mainWindow().mainImage()->repaint();
    return t.nsecsElapsed() / 1e9;
}

// The main image shows what it is given for the entry shown: a collection
// of the file, open, gives it one.
void openCollectionOf(const QString& file)
{
    const QString collection = fixture().dir.filePath(QStringLiteral("kinds.pvx"));
    writeCollection(collection, {{file, QStringLiteral("the picture")}});
    openInBench(collection);
}

void fittedAgainstPeers(benchmark::State& state, const QString& file, const QByteArray& bytes,
                        PictureFormat format)
{
    openCollectionOf(file);
    benchProgram().mainWindow().fitCentred();
    benchProgram().mainWindow().decoder()->waitForIdle();
    QCoreApplication::processEvents();
    std::vector<double> ours, vips, magick;
    for (auto _ : state) {
        ours.push_back(showNewPicture(bytes, format));
        state.SetIterationTime(ours.back());
        state.PauseTiming();
        benchProgram().mainWindow().decoder()->waitForIdle();
        QCoreApplication::processEvents();
        if (const double s = peerSeconds(QStringLiteral("vips"), {QStringLiteral("avg"), file}); s >= 0)
            vips.push_back(s);
        if (const double s = peerSeconds(QStringLiteral("convert"), {file, QStringLiteral("null:")}); s >= 0)
            magick.push_back(s);
        state.ResumeTiming();
    }
    state.counters["ours_ms"] = middle(ours) * 1e3;
    state.counters["vips_ms"] = middle(vips) * 1e3;
    state.counters["magick_ms"] = middle(magick) * 1e3;
    std::vector<double> peers;
    for (const auto* runs : {&vips, &magick}) {
        if (!runs->empty())
            peers.push_back(middle(*runs));
    }
    if (peers.empty()) {
        state.SkipWithError("neither vips nor ImageMagick found (scripts/install-deps.sh bench)");
        return;
    }
    state.counters["x_peer"] = middle(ours) / *std::min_element(peers.begin(), peers.end());
}

void BM_FittedHeic12MpNewPictureToPainted(benchmark::State& state)
{
    fittedAgainstPeers(state, fixture().heic, fixture().heicBytes, PictureFormat::Heif);
}

void BM_FittedPng24MpNewPictureToPainted(benchmark::State& state)
{
    fittedAgainstPeers(state, fixture().png, fixture().pngBytes, PictureFormat::Png);
}

BENCHMARK(BM_FittedHeic12MpNewPictureToPainted)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(7);
BENCHMARK(BM_FittedPng24MpNewPictureToPainted)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(7);
} // namespace

int main(int argc, char** argv)
{
    return runGuiBenchmarks(argc, argv, [] { fixture(); });
}
