// The slide show driven tick by tick, with the sound and the messages faked.
#include "tests/ui/AppFixture.h"

#include "ui/common/CommentsWindow.h"
#include "platform/SoundPlayer.h"
#include "ui/settings/SettingsDialog.h"

#include <QCheckBox>
#include <QLineEdit>

namespace {

// Messages and sound calls land in one log, so their order can be checked.
struct ShowLog {
    QStringList events;
};

class LoggingDialogs : public FakeDialogs {
public:
    explicit LoggingDialogs(ShowLog& log) : m_log(log) {}
    void information(QWidget* parent, const QString& text) override
    {
        FakeDialogs::information(parent, text);
        m_log.events << QStringLiteral("info: ") + text;
    }
    void error(QWidget* parent, const QString& text) override
    {
        FakeDialogs::error(parent, text);
        m_log.events << QStringLiteral("error: ") + text;
        // A modal box runs its own event loop, in which the timer may tick.
        if (onError)
            onError();
    }
    std::function<void()> onError;

private:
    ShowLog& m_log;
};

class FakeSound : public SoundPlayer {
public:
    explicit FakeSound(ShowLog& log) : m_log(log) {}
    void play(const QString& path) override { m_log.events << QStringLiteral("play: ") + path; }
    void stop() override { m_log.events << QStringLiteral("stop"); }

private:
    ShowLog& m_log;
};

} // namespace

class SlideShow : public AppFixture {
protected:
    void SetUp() override
    {
        setSoundPlayer(&sound);
        AppFixture::SetUp();
        // The base fixture's fake stays installed underneath; ours answers.
        setDialogProvider(&dialogs);
        setAutoFullScreen(false);
    }
    void TearDown() override
    {
        AppFixture::TearDown();
        setDialogProvider(&fake);
        setSoundPlayer(nullptr);
    }

    // The show goes by applied settings: each change is applied as OK does.
    template <class W> W* control(const char* name) const { return settingsDialog()->findChild<W*>(name); }
    void setDelay(const QString& text)
    {
        control<QLineEdit>("edDelay")->setText(text);
        settingsDialog()->applySettings();
    }
    void setAutoFullScreen(bool on)
    {
        control<QCheckBox>("chkAuto")->setChecked(on);
        settingsDialog()->applySettings();
    }
    void setSound(bool on, const QString& path)
    {
        control<QCheckBox>("chkBckgr")->setChecked(on);
        control<QLineEdit>("wavName")->setText(path);
        settingsDialog()->applySettings();
    }
    bool running() const { return mainWindow()->TimerSlide()->isActive(); }
    int interval() const { return mainWindow()->TimerSlide()->interval(); }
    void tick() { mainWindow()->nextSlide(); }
    bool locked() const
    {
        for (const char* name : {"mnuEffects", "mnuEffects1", "btnEffect", "mnuFollows", "btnFollow"})
            if (enabled(name))
                return false;
        return true;
    }
    bool unlocked() const
    {
        for (const char* name : {"mnuEffects", "mnuEffects1", "btnEffect", "mnuFollows", "btnFollow"})
            if (!enabled(name))
                return false;
        return true;
    }
    void goToEntry(int e)
    {
        while (session().currentEntry() < e)
            key(Qt::Key_Down);
    }
    QStringList finishedMessages() const
    {
        return dialogs.infos.filter(QStringLiteral("Slide Show finished"));
    }

    ShowLog log;
    LoggingDialogs dialogs{log};
    FakeSound sound{log};
};

TEST_F(SlideShow, StartedAtTheLastEntryTheFirstTickEndsIt)
{
    openPath(collectionOf(3));
    goToEntry(3);
    ASSERT_FALSE(mainWindow()->BtnDown()->isEnabled());
    mainWindow()->toggleSlideShow();
    EXPECT_TRUE(running());
    EXPECT_EQ(interval(), 5000) << "the first show of a run waits the design interval";
    EXPECT_TRUE(locked());
    EXPECT_TRUE(session().followsCursor());

    tick();
    EXPECT_FALSE(running());
    EXPECT_EQ(session().currentEntry(), 3);
    EXPECT_EQ(dialogs.infos, QStringList{QStringLiteral("Slide Show finished")});
    EXPECT_TRUE(unlocked());
    EXPECT_TRUE(session().followsCursor());
    EXPECT_TRUE(mainWindow()->action("mnuFollows")->isChecked());
    // A tick that was already queued when the show ended changes nothing.
    tick();
    EXPECT_EQ(finishedMessages().size(), 1);
}

TEST_F(SlideShow, TwelveEntriesWithDelayTwoStepThroughToTheEnd)
{
    openPath(collectionOf(12));
    setDelay(QStringLiteral("2"));
    mainWindow()->toggleSlideShow();
    EXPECT_EQ(interval(), 5000);
    for (int step = 2; step <= 12; ++step) {
        tick();
        ASSERT_TRUE(running()) << "step " << step;
        EXPECT_EQ(interval(), 2000);
        EXPECT_EQ(session().currentEntry(), step);
        EXPECT_EQ(mainWindow()->LabelComent()->text(), QStringLiteral("comment %1").arg(step));
        EXPECT_EQ(commentsWindow()->LabelComments()->text(), QStringLiteral("comment %1").arg(step));
        EXPECT_EQ(panel(1), QStringLiteral("Image: %1 / 12").arg(step));
        EXPECT_TRUE(
            mainWindow()->Image1()->picture().sharesDataWith(mainWindow()->slot(session().currentSlot())->picture()));
    }
    EXPECT_TRUE(dialogs.infos.isEmpty());
    tick();
    EXPECT_FALSE(running());
    EXPECT_EQ(session().currentEntry(), 12);
    EXPECT_EQ(finishedMessages().size(), 1);
    EXPECT_TRUE(unlocked());

    // The next show starts with the interval the last tick set.
    key(Qt::Key_Up);
    mainWindow()->toggleSlideShow();
    EXPECT_EQ(interval(), 2000);
}

TEST_F(SlideShow, DelayIsReadAtEveryTick)
{
    openPath(collectionOf(5));
    mainWindow()->toggleSlideShow();
    setDelay(QStringLiteral("3"));
    tick();
    EXPECT_EQ(interval(), 3000);
    setDelay(QStringLiteral("7"));
    tick();
    EXPECT_EQ(interval(), 7000);
    EXPECT_EQ(session().currentEntry(), 3);
}

TEST_F(SlideShow, SoundPlaysOnlyWithAPathAndStopsWhenTheShowEnds)
{
    openPath(collectionOf(2));
    setSound(true, QString());
    mainWindow()->toggleSlideShow();
    EXPECT_TRUE(log.events.filter(QStringLiteral("play")).isEmpty()) << "checked but no file: silence";
    mainWindow()->toggleSlideShow();

    log.events.clear();
    key(Qt::Key_Up);
    setSound(false, QStringLiteral("/music/a.wav"));
    mainWindow()->toggleSlideShow();
    EXPECT_TRUE(log.events.filter(QStringLiteral("play")).isEmpty()) << "a file but the box unchecked";
    mainWindow()->toggleSlideShow();

    log.events.clear();
    key(Qt::Key_Up);
    setSound(true, QStringLiteral("/music/a.wav"));
    mainWindow()->toggleSlideShow();
    EXPECT_EQ(log.events, QStringList{QStringLiteral("play: /music/a.wav")});
    tick(); // entry 2, the last
    tick(); // the end: the sound stops before the message shows
    EXPECT_EQ(log.events, (QStringList{QStringLiteral("play: /music/a.wav"), QStringLiteral("stop"),
                                       QStringLiteral("info: Slide Show finished")}));
}

TEST_F(SlideShow, StoppedByHandShowsTheMessageThenStopsTheSound)
{
    openPath(collectionOf(6));
    setSound(true, QStringLiteral("/music/a.wav"));
    mainWindow()->toggleSlideShow();
    tick();
    tick();
    EXPECT_EQ(session().currentEntry(), 3);
    log.events.clear();
    mainWindow()->toggleSlideShow();
    EXPECT_FALSE(running());
    EXPECT_EQ(log.events, (QStringList{QStringLiteral("info: Slide Show finished"), QStringLiteral("stop")}));
    EXPECT_TRUE(unlocked());
    EXPECT_EQ(session().currentEntry(), 3) << "the show stops where it was";

    // F5 runs the same command, and the next show goes on from here.
    key(Qt::Key_F5);
    EXPECT_TRUE(running());
    tick();
    EXPECT_EQ(session().currentEntry(), 4);
    key(Qt::Key_F5);
    EXPECT_FALSE(running());
    EXPECT_EQ(finishedMessages().size(), 2);
}

TEST_F(SlideShow, FullScreenIsSwitchedOnButNeverOff)
{
    openPath(collectionOf(4));
    setAutoFullScreen(true);
    mainWindow()->toggleSlideShow();
    EXPECT_TRUE(mainWindow()->isFullScreenMode());
    mainWindow()->toggleSlideShow();
    EXPECT_TRUE(mainWindow()->isFullScreenMode()) << "the end of a show leaves full screen as it is";

    // Already in full screen: starting keeps it.
    mainWindow()->toggleSlideShow();
    EXPECT_TRUE(mainWindow()->isFullScreenMode());
    mainWindow()->toggleSlideShow();

    // The option off: the window keeps its frame.
    key(Qt::Key_Escape);
    ASSERT_FALSE(mainWindow()->isFullScreenMode());
    setAutoFullScreen(false);
    mainWindow()->toggleSlideShow();
    EXPECT_FALSE(mainWindow()->isFullScreenMode());
}

TEST_F(SlideShow, CommandsAreLockedOnlyWhileTheShowRunsAndFollowModeStaysOn)
{
    openPath(collectionOf(3));
    ASSERT_FALSE(session().followsCursor());
    ASSERT_TRUE(unlocked());
    mainWindow()->toggleSlideShow();
    EXPECT_TRUE(locked());
    EXPECT_TRUE(session().followsCursor());
    EXPECT_TRUE(mainWindow()->toolButton("btnFollow")->isChecked());
    // Navigation, rotation and the view modes stay available.
    for (const char* name :
         {"mnuRotateLeft", "btnRight", "mnuZoomIn", "AsIs1", "mnuSlideShow", "btnSlideShow"})
        EXPECT_TRUE(enabled(name)) << name;
    key(Qt::Key_Down); // by hand during the show
    EXPECT_EQ(session().currentEntry(), 2);
    tick();
    tick();
    EXPECT_FALSE(running());
    EXPECT_TRUE(unlocked());
    EXPECT_TRUE(session().followsCursor());
    // Follow mode can be switched off again once the show is over.
    key(Qt::Key_M, Qt::ControlModifier);
    EXPECT_FALSE(session().followsCursor());
}

TEST_F(SlideShow, ZeroDelayStillStepsOncePerSecond)
{
    openPath(collectionOf(3));
    setDelay(QStringLiteral("0"));
    mainWindow()->toggleSlideShow();
    tick();
    EXPECT_EQ(interval(), 1000);
    EXPECT_TRUE(running());
    EXPECT_EQ(session().currentEntry(), 2);
    // The real timer keeps delivering ticks: the show reaches its end.
    QTRY_VERIFY_WITH_TIMEOUT(!running(), 5000);
    EXPECT_EQ(session().currentEntry(), 3);
    EXPECT_EQ(finishedMessages().size(), 1);
}

TEST_F(SlideShow, InvalidDelayReportsOneMessageAtATimeAndTheShowCanBeStopped)
{
    openPath(collectionOf(4));
    setDelay(QStringLiteral("x1"));
    int nested = 0;
    dialogs.onError = [&] {
        ++nested;
        tick(); // a tick while the message is open
    };
    mainWindow()->toggleSlideShow();
    tick();
    EXPECT_EQ(dialogs.errors, QStringList{QStringLiteral("'x1' is not a valid integer value")});
    EXPECT_EQ(nested, 1) << "the tick inside the open message showed nothing";
    EXPECT_TRUE(running());
    EXPECT_EQ(interval(), 5000);
    EXPECT_EQ(session().currentEntry(), 1) << "no step without a delay";

    tick();
    EXPECT_EQ(dialogs.errors.size(), 2) << "once closed, the next tick reports again";
    setDelay(QString());
    tick();
    EXPECT_EQ(dialogs.errors.last(), QStringLiteral("'' is not a valid integer value"));

    mainWindow()->toggleSlideShow();
    EXPECT_FALSE(running());
    EXPECT_EQ(finishedMessages().size(), 1);
    EXPECT_TRUE(unlocked());
}

TEST_F(SlideShow, AShowThatOutlivesItsCollectionHandsBackNoEffects)
{
    openPath(collectionOf(3));
    mainWindow()->toggleSlideShow();
    {
        QFile empty(dir.filePath(QStringLiteral("empty.pvx")));
        ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    }
    openPath(dir.filePath(QStringLiteral("empty.pvx")));
    ASSERT_EQ(session().entryCount(), 0);
    tick();
    EXPECT_FALSE(running());
    EXPECT_FALSE(enabled("mnuEffects"));
    EXPECT_FALSE(enabled("btnEffect"));
    EXPECT_TRUE(enabled("mnuFollows"));
}
