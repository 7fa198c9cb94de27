// The slide show driven tick by tick, with the sound and the messages faked.
#include "tests/ui/AppFixture.h"

#include "core/AtomicFile.h"
#include "platform/SoundPlayer.h"
#include "ui/settings/SettingsDialog.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {

// Messages and sound calls land in one log, so their order can be checked.
struct ShowLog : FakeDialogs, SoundPlayer {
    ShowLog() { setSoundPlayer(this); }
    ~ShowLog() override { setSoundPlayer(nullptr); }
    void information(QWidget*, const QString& text) override { infos << text, events << "info: " + text; }
    void error(QWidget* w, const QString& text) override
    {
        FakeDialogs::error(w, text);
        if (onError)
            onError(); // a modal box runs an event loop, where the timer may tick
    }
    void play(const QString& path) override { events << "play: " + path; }
    void stop() override { events << QStringLiteral("stop"); }
    QStringList events;
    std::function<void()> onError;
};

class SlideShow : public AppFixture {
protected:
    // The show goes by applied settings: each change is applied as OK does.
    void setOption(const char* box, bool on, const char* edit = "edDelay", const QString& text = "5")
    {
        settingsDialog()->findChild<QCheckBox*>(box)->setChecked(on);
        settingsDialog()->findChild<QLineEdit*>(edit)->setText(text);
        settingsDialog()->applySettings();
    }
    void setDelay(const QString& text) { setOption("chkAuto", false, "edDelay", text); }
    bool running() const { return mainWindow()->TimerSlide()->isActive(); }
    void tick() { mainWindow()->nextSlide(); }
    // How many of the commands a running show locks are disabled.
    int lockedCommands() const
    {
        int n = 0;
        for (const char* name : {"mnuEffects", "mnuEffects1", "btnEffect", "mnuFollows", "btnFollow"})
            n += !enabled(name);
        return n;
    }
    ShowLog log; // answers the messages in place of the base fixture's fake
};

TEST_F(SlideShow, StepsAtTheDelayToTheLastEntryThenEndsOnce)
{
    openPath(collectionOf(4));
    setDelay(QStringLiteral("9"));
    mainWindow()->toggleSlideShow();
    EXPECT_EQ(lockedCommands(), 5);
    EXPECT_TRUE(session().followsCursor());
    // The timer drives the show: cut short once, its tick steps.
    mainWindow()->TimerSlide()->setInterval(1);
    ASSERT_TRUE(QTest::qWaitFor([] { return session().currentEntry() == 2; }));
    EXPECT_EQ(mainWindow()->TimerSlide()->interval(), 9000) << "the delay in seconds";
    EXPECT_TRUE(shows(2));
    setDelay(QStringLiteral("7"));
    tick();
    EXPECT_EQ(mainWindow()->TimerSlide()->interval(), 7000) << "read at every tick";
    tick();
    EXPECT_TRUE(log.infos.isEmpty());
    tick(); // the last entry: the show ends
    EXPECT_FALSE(running());
    EXPECT_TRUE(shows(4));
    EXPECT_EQ(lockedCommands(), 0);
    EXPECT_TRUE(session().followsCursor());
    tick(); // one queued before the end changes nothing
    EXPECT_EQ(log.infos, QStringList{QStringLiteral("Slide Show finished")});
}

TEST_F(SlideShow, SoundPlaysOnlyWhenOnWithAFileAndStopsAroundTheEndMessage)
{
    openPath(collectionOf(2));
    setOption("chkAuto", false);
    for (const bool on : {true, false}) {
        setOption("chkBckgr", on, "wavName", on ? QString() : QStringLiteral("/music/a.wav"));
        mainWindow()->toggleSlideShow();
        mainWindow()->toggleSlideShow();
    }
    EXPECT_TRUE(log.events.filter("play").isEmpty()) << log.events.join('\n').toStdString();
    setOption("chkBckgr", true, "wavName", QStringLiteral("/music/a.wav"));
    log.events.clear();
    mainWindow()->toggleSlideShow();
    mainWindow()->toggleSlideShow(); // by hand: the sound plays on under the message
    mainWindow()->toggleSlideShow();
    tick();
    tick(); // at the end: silence before the message
    EXPECT_EQ(log.events, QStringList({"play: /music/a.wav", "info: Slide Show finished", "stop",
                                       "play: /music/a.wav", "stop", "info: Slide Show finished"}));
    EXPECT_FALSE(mainWindow()->isFullScreenMode()) << "the option is off";
}

TEST_F(SlideShow, AnInvalidDelayIsToldOnceAtATimeAndNeverSteps)
{
    openPath(collectionOf(4));
    setDelay(QStringLiteral("x1"));
    int nested = 0;
    log.onError = [&] { ++nested, tick(); }; // a tick while the message is open
    mainWindow()->toggleSlideShow();
    tick();
    tick();
    EXPECT_EQ(nested, 2);
    EXPECT_EQ(log.errors, QStringList(2, QStringLiteral("'x1' is not a valid integer value")));
    EXPECT_TRUE(running());
    EXPECT_EQ(session().currentEntry(), 1);
}

TEST_F(SlideShow, AShowThatOutlivesItsCollectionHandsBackNoEffectsAndStaysFullScreen)
{
    openPath(collectionOf(3));
    mainWindow()->toggleSlideShow();
    writeFileAtomically(dir.filePath(QStringLiteral("empty.pvx")), QByteArray());
    openPath(dir.filePath(QStringLiteral("empty.pvx")));
    tick();
    EXPECT_FALSE(running());
    EXPECT_EQ(lockedCommands(), 3) << "the three Effects commands";
    EXPECT_TRUE(mainWindow()->isFullScreenMode()) << "switched on by the option, never off";
}

} // namespace
