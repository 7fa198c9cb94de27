// The effects dialog on a 12-megapixel photo: time from a slider change to
// the exact preview (the full-resolution result scaled to the box), against
// one full render of the same setting, and the longest the GUI thread went
// without answering meanwhile (a 10 ms timer's worst lateness).
#include "GuiBenchMain.h"
#include "app/Application.h"
#include "collection/CollectionFile.h"
#include "core/AtomicFile.h"
#include "effects/EffectSettings.h"
#include "effects/FullSizeRender.h"
#include "graphics/JpegCodec.h"
#include "ui/effects/EffectPreview.h"
#include "ui/effects/EffectsDialog.h"
#include "ui/main/MainImage.h"
#include "ui/main/MainWindow.h"
#include "ui/main/ThumbSlot.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {
constexpr int kW = 4000, kH = 3000;

struct Photo {
    QTemporaryDir dir;
    Bitmap24 pixels{kW, kH};
    QString path;
    Photo()
    {
        // Gradients with fine detail, so blocks and blurs have work to show.
        for (int y = 0; y < kH; ++y) {
            std::uint8_t* p = pixels.scanLine(y);
            for (int x = 0; x < kW; ++x, p += 3) {
                p[0] = std::uint8_t((x >> 4) + ((x ^ y) & 15));
                p[1] = std::uint8_t((y >> 4) ^ (x >> 6));
                p[2] = std::uint8_t(((x * y) >> 14) + (y & 7));
            }
        }
        path = dir.filePath(QStringLiteral("photo.jpg"));
        writeFileAtomically(path, encodeJpeg(pixels));
        const QString pvx = dir.filePath(QStringLiteral("photo.pvx"));
        writeCollection(pvx, {{path, QStringLiteral("12 MP")}});
        openInBench(pvx);
        benchProgram().mainWindow().mainImage()->setPicture(Picture::loadFromFile(path));
        // The engine's source, decoded once, for the baselines.
        pixels = benchProgram().mainWindow().mainImage()->picture().toBitmap24();
    }
};

Photo& photo()
{
    static Photo p;
    return p;
}

// The GUI thread's worst: the 10 ms timer's lateness, and the longest a
// slider's own handler (with its reduced rendering) held the thread.
struct Gaps {
    double timerMs = 0;
    double handlerMs = 0;
};

// Runs `change` from the event loop and spins until the exact preview
// arrives; answers the time that took and raises `gaps` meanwhile.
double changeAndWait(const std::function<void()>& change, Gaps& gaps)
{
    QEventLoop loop;
    QElapsedTimer clock, sinceTick;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        gaps.timerMs = std::max(gaps.timerMs, double(sinceTick.nsecsElapsed()) / 1e6 - 10.0);
        sinceTick.restart();
    });
    const auto done = QObject::connect(&benchProgram().effectsDialog().fullSize(), &FullSizeRender::ready,
                                       &loop, &QEventLoop::quit);
    QTimer::singleShot(0, [&] {
        clock.start();
        change();
        gaps.handlerMs = std::max(gaps.handlerMs, double(clock.nsecsElapsed()) / 1e6);
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    guard.start(120000);
    sinceTick.start();
    probe.start();
    loop.exec();
    QObject::disconnect(done);
    return double(clock.nsecsElapsed()) / 1e9;
}

// One full-size render of the setting by an engine that already holds the
// picture (its buffers warm, as the worker's are): the median of three.
double oneFullRender(Effect p, int value)
{
    EffectRenderer engine;
    engine.setPictureOriginal(photo().pixels);
    std::vector<double> runs;
    for (int i = 0; i < 3; ++i) {
        engine.setValue(p, 0);
        QElapsedTimer t;
        t.start();
        engine.setValue(p, value);
        runs.push_back(double(t.nsecsElapsed()) / 1e9);
    }
    std::sort(runs.begin(), runs.end());
    return runs[1];
}

void exactPreview(benchmark::State& state, const char* bar, Effect p, int value)
{
    photo();
    benchProgram().effectsDialog().show();
    auto* slider = benchProgram().effectsDialog().findChild<QSlider*>(QString::fromLatin1(bar));
    Gaps gaps, unused;
    double total = 0;
    if (benchProgram().effectsDialog().preview()->shownScaled().isNull())
        changeAndWait([] {}, unused); // the activation's first rendering
    for (auto _ : state) {
        if (slider->value() != 0) // a change that is none renders nothing
            changeAndWait([&] { slider->setValue(0); }, gaps);
        const double s = changeAndWait([&] { slider->setValue(value); }, gaps);
        state.SetIterationTime(s);
        total += s;
    }
    benchProgram().effectsDialog().discardEffects();
    const double full = oneFullRender(p, value);
    state.counters["full_render_ms"] = full * 1e3;
    state.counters["exact_over_full"] = total / double(state.iterations()) / full;
    state.counters["gui_gap_ms"] = gaps.timerMs;
    state.counters["handler_ms"] = gaps.handlerMs;
}

void BM_ExactPreviewTone(benchmark::State& state)
{
    exactPreview(state, "BrightBar", Effect::Brightness, 40);
}
void BM_ExactPreviewPixelate20(benchmark::State& state)
{
    exactPreview(state, "MosaicBar", Effect::Mosaic, 20);
}
void BM_ExactPreviewGaussianBlur10(benchmark::State& state)
{
    exactPreview(state, "BlurBar", Effect::GaussianBlur, 10);
}

BENCHMARK(BM_ExactPreviewTone)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExactPreviewPixelate20)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExactPreviewGaussianBlur10)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    return runGuiBenchmarks(argc, argv);
}
