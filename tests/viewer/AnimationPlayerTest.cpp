// The animation player on a clock the test moves: each frame shows for its
// delay (a browser's minimum for 10 ms or less) and not a moment before,
// the plays end on the last frame, a damaged frame ends the frames before
// it, and a pause holds the frame's remaining time.
#include "viewer/AnimationPlayer.h"

#include "core/Errors.h"

#include <QList>
#include <gtest/gtest.h>

namespace {

// Frame i is a 1x1 picture of value i; `damagedAt` throws.
struct ScriptedFrames : FrameSource {
    QList<int> delays;
    int plays = 0;
    int damagedAt = -1;
    std::optional<PlayerFrame> frame(int index) override
    {
        if (index == damagedAt)
            throw AppError(QStringLiteral("damaged"));
        if (index >= delays.size())
            return std::nullopt;
        QImage image(1, 1, QImage::Format_RGB32);
        image.fill(QColor::fromRgb(QRgb(index)));
        return PlayerFrame{image, delays[index], plays};
    }
};

struct PlayCase {
    const char* name;
    QList<int> delays;
    int plays;
    int damagedAt;
    QList<int> shown; // in order, over the first frame and nine steps
};

const PlayCase PlayCases[] = {
    {"LoopsForever", {30, 40, 50}, 0, -1, {0, 1, 2, 0, 1, 2, 0, 1, 2, 0}},
    {"StopsOnTheLastFrameAfterItsPlays", {30, 40, 50}, 2, -1, {0, 1, 2, 0, 1, 2}},
    {"PlaysOnce", {20, 20}, 1, -1, {0, 1}},
    {"ShortDelaysShowForTheMinimum", {0, 10, 11}, 0, -1, {0, 1, 2, 0, 1, 2, 0, 1, 2, 0}},
    {"DamagedFrameEndsTheFramesBeforeIt", {30, 40, 50, 60}, 0, 2, {0, 1, 0, 1, 0, 1, 0, 1, 0, 1}},
    {"DamagedFirstFrameShowsNothing", {30, 40}, 0, 0, {}},
};

class PlaysFrames : public ::testing::TestWithParam<PlayCase> {};

TEST_P(PlaysFrames, OnTimeInOrder)
{
    const PlayCase& c = GetParam();
    auto source = std::make_shared<ScriptedFrames>();
    source->delays = c.delays;
    source->plays = c.plays;
    source->damagedAt = c.damagedAt;
    qint64 now = 1000;
    AnimationPlayer player;
    player.setClock([&now] { return now; });
    QList<int> shown;
    QObject::connect(&player, &AnimationPlayer::frameShown,
                     [&](const QImage& frame) { shown << int(frame.pixel(0, 0) & 0xffffff); });
    player.play(source);
    player.waitForFrame();
    for (int step = 0; step < 9 && !shown.isEmpty(); ++step) {
        player.waitForFrame();
        const qsizetype before = shown.size();
        // As browsers show them: 10 ms or less as 100 ms.
        const int delay = c.delays[shown.back()];
        const int wait = delay <= 10 ? 100 : delay;
        now += wait - 1;
        player.poll();
        ASSERT_EQ(shown.size(), before) << "frame " << shown.back() << " ended early";
        now += 1;
        player.poll();
    }
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(player.ended(), c.plays > 0 || c.shown.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Cases, PlaysFrames, ::testing::ValuesIn(PlayCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AnimationPlayer, PauseAndHoldKeepTheFramesRemainingTime)
{
    auto source = std::make_shared<ScriptedFrames>();
    source->delays = {200, 200, 200};
    qint64 now = 0;
    AnimationPlayer player;
    player.setClock([&now] { return now; });
    int last = -1;
    QObject::connect(&player, &AnimationPlayer::frameShown,
                     [&](const QImage& frame) { last = int(frame.pixel(0, 0) & 0xffffff); });
    player.play(source);
    player.waitForFrame();
    player.waitForFrame();
    now += 50;
    player.setPaused(true);
    now += 5000;
    player.poll();
    player.setHeld(true); // minimised while paused
    player.setPaused(false);
    now += 5000;
    player.poll();
    EXPECT_EQ(last, 0);
    player.setHeld(false);
    now += 149;
    player.poll();
    EXPECT_EQ(last, 0);
    now += 1;
    player.poll();
    EXPECT_EQ(last, 1);
    EXPECT_TRUE(player.playing());
}

} // namespace
