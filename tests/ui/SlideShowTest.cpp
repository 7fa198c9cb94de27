// The slide show driven tick by tick, with the messages faked.
#include "tests/ui/AppFixture.h"

#include "core/AtomicFile.h"
#include "platform/SoundPlayer.h"
#include "ui/settings/SettingsDialog.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>

namespace {

class SlideShow : public AppFixture {
protected:
    bool running() const { return session().slideShow().isRunning(); }
    void tick() { session().slideShow().tick(); }
    // How many of the commands a running show locks are disabled.
    int lockedCommands() const
    {
        int n = 0;
        for (const char* name : {"mnuEffects", "mnuEffects1", "btnEffect", "mnuFollows", "btnFollow"})
            n += !enabled(name);
        return n;
    }
};

// A picture that fails on the way is told once, when the show has ended.
// The dialog has no Cancel: a show started while it is open goes by what it
// shows so far, delay, full screen and sound alike.
TEST_F(SlideShow, StepsAtTheDelayToTheLastEntryThenEndsOnce)
{
    openPath(collectionOf(4));
    ASSERT_TRUE(QFile::remove(session().entry(3).path));
    mainWindow()->showSettings();
    settingsDialog()->findChild<QLineEdit*>("edDelay")->setText(QStringLiteral("9"));
    settingsDialog()->findChild<QCheckBox*>("chkAuto")->setChecked(false);
    settingsDialog()->findChild<QCheckBox*>("chkBckgr")->setChecked(true);
    settingsDialog()->findChild<QLineEdit*>("wavName")->setText(QStringLiteral("/music/a.wav"));
    ASSERT_TRUE(settingsDialog()->isVisible());
    session().slideShow().toggle();
    EXPECT_FALSE(mainWindow()->isFullScreenMode());
    EXPECT_EQ(sound.played, QStringList{"/music/a.wav"});
    EXPECT_EQ(lockedCommands(), 5);
    EXPECT_TRUE(session().followsCursor());
    // The timer drives the show: cut short once, its tick steps.
    session().slideShow().timer().setInterval(1);
    ASSERT_TRUE(QTest::qWaitFor([] { return session().currentEntry() == 2; }));
    EXPECT_EQ(session().slideShow().timer().interval(), 9000) << "the delay in seconds";
    EXPECT_TRUE(shows(2));
    tick();
    ASSERT_TRUE(QTest::qWaitFor([] { return !mainWindow()->mainImage()->reason().isEmpty(); }));
    EXPECT_TRUE(fake.errors.isEmpty()) << "not over the show";
    tick();
    tick(); // the last entry: the show ends
    EXPECT_FALSE(running());
    EXPECT_TRUE(shows(4));
    EXPECT_EQ(lockedCommands(), 0);
    EXPECT_TRUE(session().followsCursor());
    EXPECT_EQ(fake.infos, QStringList{QStringLiteral("Slide Show finished")});
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors[0].contains(session().entry(3).path)) << fake.errors[0].toStdString();
    session().slideShow().toggle();
    session().slideShow().toggle();
    EXPECT_EQ(fake.errors.size(), 1) << "told once";

    // A show that outlives its collection hands back no Effects command and
    // stays in the full screen the option switched on.
    settingsDialog()->findChild<QCheckBox*>("chkAuto")->setChecked(true);
    session().slideShow().toggle();
    writeFileAtomically(dir.filePath(QStringLiteral("empty.pvx")), QByteArray());
    openPath(dir.filePath(QStringLiteral("empty.pvx")));
    tick();
    EXPECT_FALSE(running());
    EXPECT_EQ(lockedCommands(), 3) << "the three Effects commands";
    EXPECT_TRUE(mainWindow()->isFullScreenMode()) << "switched on by the option, never off";
}

} // namespace
