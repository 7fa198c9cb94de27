// The slide show's states without a window: what a start, a stop and each
// tick do, in order, with the options read from the store when needed.
#include "viewer/SlideShow.h"

#include "settings/SettingsStore.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Writes down what the show asks for.
struct Screen : SlideShowView {
    bool atLastEntry() const override { return entry == last; }
    void showNextSlide() override { calls << QStringLiteral("next %1").arg(++entry); }
    void showCurrentEntry() override { calls << "show current"; }
    bool isFullScreen() const override { return fullScreen; }
    void enterFullScreen() override { calls << "full screen", fullScreen = true; }
    void followCursor() override { calls << "follow"; }
    void tellFinished() override { calls << "finished"; }
    void tellError(const QString& text) override
    {
        calls << text;
        if (onError)
            onError();
    }
    void playSound(const QString& path) override { calls << "play " + path; }
    void stopSound() override { calls << "stop sound"; }
    int entry = 1, last = 3;
    bool fullScreen = false;
    QStringList calls;
    std::function<void()> onError;
};

class SlideShowMachine : public ::testing::Test {
protected:
    void SetUp() override { show.setView(&screen); }
    void set(const std::function<void(SettingsValues&)>& change)
    {
        SettingsValues v = store.values();
        change(v);
        store.setValues(v);
    }
    QTemporaryDir dir;
    SettingsStore store{dir.filePath("pictavo.ini")};
    SlideShow show{store};
    Screen screen;
};

TEST_F(SlideShowMachine, StartsWithItsOptionsStepsAndEndsAtTheLastEntry)
{
    set([](SettingsValues& v) {
        v.delay = "2";
        v.soundOn = true;
        v.sound = "/music/a.wav";
    });
    show.toggle();
    EXPECT_TRUE(show.isRunning());
    EXPECT_EQ(show.timer().interval(), SlideShow::FirstInterval) << "the first step waits the first interval";
    show.tick();
    EXPECT_EQ(show.timer().interval(), 2000);
    set([](SettingsValues& v) { v.delay = "4"; }); // read at every tick
    show.tick();
    EXPECT_EQ(show.timer().interval(), 4000);
    show.tick(); // on the last entry: the sound stops, then the message
    show.tick(); // a tick queued before the end does nothing
    EXPECT_FALSE(show.isRunning());
    EXPECT_EQ(screen.calls, QStringList({"play /music/a.wav", "show current", "full screen", "follow",
                                         "next 2", "next 3", "stop sound", "finished"}));
}

// Stopped by hand the message comes first: the sound plays on while it is
// open. A show started in full screen, or without a sound file, asks for
// neither.
TEST_F(SlideShowMachine, StoppedByHandTellsFirstAndStopsTheSoundAfter)
{
    screen.fullScreen = true;
    set([](SettingsValues& v) { v.soundOn = true; });
    show.toggle();
    show.toggle();
    EXPECT_FALSE(show.isRunning());
    EXPECT_EQ(screen.calls, QStringList({"show current", "follow", "finished", "stop sound", "follow"}));
}

TEST_F(SlideShowMachine, ADelayThatIsNoNumberIsToldAtEveryTickOneAtATimeAndNeverSteps)
{
    set([](SettingsValues& v) {
        v.delay = "x1";
        v.fullScreen = false;
    });
    show.toggle();
    int nested = 0;
    screen.onError = [&] { ++nested, show.tick(); }; // a tick while the message is open
    show.tick();
    show.tick();
    EXPECT_EQ(nested, 2);
    EXPECT_EQ(screen.calls, QStringList({"show current", "follow", "'x1' is not a valid integer value",
                                         "'x1' is not a valid integer value"}));
    EXPECT_TRUE(show.isRunning());
    EXPECT_EQ(show.timer().interval(), SlideShow::FirstInterval);
}

} // namespace
