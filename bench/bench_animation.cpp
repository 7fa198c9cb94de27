// Frames on time: the corpus's animations played by the viewer's player
// (frames from their own loader, on the real clock and event loop) for two
// passes; the interval between frames handed to the main image against
// the file's delays (after the browsers' 100 ms minimum for 10 ms or less).
// "interval_over_delay" is the mean ratio, "worst_over_delay" the frame
// furthest off; 1.0 is on time. The first frame is left out: it shows
// when it arrives.
#include "graphics/AnimationLoader.h"
#include "graphics/Picture.h"
#include "viewer/AnimationPlayer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

const char* const Files[] = {"gif-anim-rotating-squares.gif", "webp-anim-rotating-squares.webp",
                             "apng-icos4d.png", "jxl-animated-spline.jxl", "avif-anim-8bpc.avif"};

void BM_FramesOnTime(benchmark::State& state)
{
    const QString path = QStringLiteral(PV_CORPUS_DIR "/more/") + QLatin1String(Files[state.range(0)]);
    state.SetLabel(Files[state.range(0)]);
    const Picture picture = Picture::loadFromFile(path);
    auto loader = std::make_shared<AnimationLoader>();
    // The file's delays, read once.
    std::vector<int> delays;
    for (;;) {
        const AnimationLoader::Frame f = loader->frame(picture, int(delays.size()), true);
        if (f.image.isNull())
            break;
        delays.push_back(AnimationPlayer::shownDelay(f.delayMs));
    }
    double sum = 0, worst = 1;
    int measured = 0;
    for (auto _ : state) {
        AnimationPlayer player;
        QElapsedTimer clock;
        qint64 last = -1;
        int shown = 0;
        const int wanted = int(delays.size()) * 2 + 1;
        QEventLoop loop;
        QObject::connect(&player, &AnimationPlayer::frameShown, [&](const QImage&) {
            const qint64 now = clock.nsecsElapsed();
            if (last >= 0) {
                const double ratio = double(now - last) / 1e6 / delays[std::size_t((shown - 1) % delays.size())];
                sum += ratio;
                worst = std::abs(ratio - 1) > std::abs(worst - 1) ? ratio : worst;
                ++measured;
            }
            last = now;
            if (++shown == wanted)
                loop.quit();
        });
        clock.start();
        player.play(loaderFrames(loader, picture, true));
        QTimer::singleShot(60'000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    state.counters["interval_over_delay"] = measured ? sum / measured : 0;
    state.counters["worst_over_delay"] = worst;
    state.counters["frames_timed"] = measured;
}
BENCHMARK(BM_FramesOnTime)->DenseRange(0, 4)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
