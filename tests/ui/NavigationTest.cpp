#include "tests/ui/AppFixture.h"

#include "collection/CollectionListModel.h"
#include "core/AtomicFile.h"
#include "core/Errors.h"
#include "ui/editor/CollectionEditor.h"
#include "ui/effects/EffectsDialog.h"

#include <QCheckBox>
#include <QFile>
#include <QTimer>

using Navigation = AppFixture;

// A key script on a collection of `entries` pictures in a three-slot strip
// (where each step leaves the strip: StripModelTest's StripWalk; here the
// keys, buttons and commands that take it there):
// d/space Down/Space, u/b Up/Backspace, r Return, </> Left/Right, [/]
// Page Up/Down, h/e Home/End, D/U the strip's buttons, 1-3 a click on that
// slot, w/W a wheel notch over the strip down/up; R Ctrl+R, Z Ctrl+Z, E the
// effects cancelled, O applied to the picture, A to all pictures, F a slide
// show started (into full screen). The picture of entry `broken`, if any,
// is gone. Whatever a command put into the main image, the comment line,
// the comments window and the status texts tell of that picture.
struct Script {
    const char* name;
    int entries;
    bool follow;
    std::string keys;
    int shown, current, first, broken = 0;
    friend void PrintTo(const Script& p, std::ostream* os) { *os << p.name; }
};

class NavigationScript : public AppFixture, public ::testing::WithParamInterface<Script> {
protected:
    // Ctrl+E, with the modal dialog answered from inside its loop.
    void effects(bool ok, bool all)
    {
        QTimer::singleShot(0, [ok, all] {
            effectsDialog()->findChild<QCheckBox*>("CheckAll")->setChecked(all);
            ok ? effectsDialog()->applyEffects() : effectsDialog()->discardEffects();
        });
        key(Qt::Key_E, Qt::ControlModifier);
        QApplication::setActiveWindow(mainWindow()); // no window manager gives it back here
    }
};

TEST_P(NavigationScript, EndsOnTheEntryTheRuleGives)
{
    const Script& s = GetParam();
    openPath(collectionOf(s.entries));
    ASSERT_EQ(mainWindow()->slotCount(), 3);
    if (s.follow)
        mainWindow()->toggleFollowMode();
    if (s.broken)
        QFile::remove(session().entry(s.broken).path);
    SettingsValues options = settingsStore().values();
    options.fullScreen = true;
    settingsStore().setValues(options);
    const std::string_view keyChars = "d ubr<>[]he";
    const Qt::Key keys[] = {Qt::Key_Down,     Qt::Key_Space, Qt::Key_Up,    Qt::Key_Backspace,
                            Qt::Key_Return,   Qt::Key_Left,  Qt::Key_Right, Qt::Key_PageUp,
                            Qt::Key_PageDown, Qt::Key_Home,  Qt::Key_End};
    for (char c : s.keys) {
        if (const auto k = keyChars.find(c); k != keyChars.npos)
            key(keys[k]);
        else if (c == 'D' || c == 'U')
            QTest::mouseClick(c == 'D' ? mainWindow()->downButton() : mainWindow()->upButton(),
                              Qt::LeftButton);
        else if (c == 'w' || c == 'W')
            turnWheelOver(mainWindow()->slot(1), QPoint(20, 20), c == 'w' ? -1 : 1);
        else if (c == 'R' || c == 'Z')
            key(c == 'R' ? Qt::Key_R : Qt::Key_Z, Qt::ControlModifier);
        else if (c == 'E' || c == 'O' || c == 'A')
            effects(c != 'E', c == 'A');
        else if (c == 'F')
            key(Qt::Key_F5);
        else
            QTest::mouseClick(mainWindow()->slot(c - '0'), Qt::LeftButton);
    }
    settle();
    EXPECT_EQ(fake.errors.size(), s.broken ? 1 : 0) << "a picture that can't be read is told once";
    EXPECT_EQ(session().strip().firstIndex(), s.first);
    EXPECT_TRUE(shows(s.shown, s.current));
    const QString comments = mainWindow()->commentsText(); // an open leaves it alone
    EXPECT_TRUE(comments.isEmpty() || comments == session().entry(s.shown).comment) << comments.toStdString();
    const QLabel* position = mainWindow()->statusPanel(1);
    EXPECT_LE(position->fontMetrics().horizontalAdvance(position->text()) + position->indent(),
              position->contentsRect().width())
        << "the position is told whole: " << position->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, NavigationScript,
    ::testing::Values(
        Script{"FollowOffMovesOnlyTheStrip", 5, false, "ddd", 1, 4, 1},
        Script{"FollowOffReturnShows", 5, false, "dddr", 4, 4, 1},
        Script{"UpButtonScrollsBack", 5, true, "DDDDUUU", 2, 2, 1},
        Script{"TheWheelOverTheStripStepsAsTheButtons", 5, false, "wwwW", 1, 3, 1},
        Script{"SlotClickAfterScrolling", 5, false, "ddd1", 2, 2, 1},
        Script{"ABrokenPictureIsSteppedPast", 5, true, "dddd", 5, 5, 2, 4},
        Script{"RightAndLeftShowWithFollowOff", 5, false, ">>><", 3, 3, 1},
        Script{"PageKeysStepLikeRightAndLeft", 5, false, "]]][[", 2, 2, 1},
        Script{"HomeShowsTheFirstAndLeftStopsThere", 12, false, "eh<", 1, 1, 0},
        Script{"RotationShowsTheHighlightedPicture", 5, false, "ddR", 3, 3, 0},
        Script{"CancelledEffectsShowTheHighlightedPicture", 5, false, "dE", 2, 2, 0},
        Script{"EffectsOnAllPicturesShowTheHighlightedPicture", 5, false, "ddA", 3, 3, 0},
        Script{"UndoOfAnotherEntryShowsTheHighlightedPicture", 5, false, "dOruZ", 1, 1, 0},
        Script{"ASlideShowStartsFromTheHighlightedEntry", 5, false, "dddF", 4, 4, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Navigation, ACancelledOrFailedOpenKeepsTheOpenCollection)
{
    const QString path = collectionOf(5);
    openPath(path);
    key(Qt::Key_Down);
    fake.openAnswers = {QString(), dir.filePath("nothing.pvx")};
    action("mnuOpen")->trigger();
    EXPECT_TRUE(shows(1)) << "read again";
    EXPECT_EQ(fake.openFileFolders, QStringList{dir.path()}) << "the dialog starts beside the open collection";
    key(Qt::Key_Down);
    action("mnuOpen")->trigger();
    EXPECT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors.value(0).startsWith("File not found")) << fake.errors.value(0).toStdString();
    EXPECT_EQ(session().collectionFileName(), path);
    EXPECT_TRUE(shows(1, 2)) << "as it was";
}

TEST_F(Navigation, ASmallerCollectionLeavesLowerSlotsEmptyAndAnEmptyOneNothingOpen)
{
    writeFileAtomically(dir.filePath("empty.pvx"), QByteArray());
    openPath(collectionOf(3));
    openPath(collectionOf(1, QStringLiteral("one.pvx")));
    EXPECT_TRUE(shows(1));
    EXPECT_EQ(collectionEditor()->list()->rowCount(), 1);
    openPath(dir.filePath("empty.pvx"));
    EXPECT_EQ(session().entryCount(), 0);
    EXPECT_TRUE(mainWindow()->mainImage()->picture().isEmpty());
    EXPECT_FALSE(mainWindow()->slot(1)->isEnabled() || mainWindow()->highlightFrame()->isVisible());
    EXPECT_FALSE(enabled("mnuRotateLeft"));
    EXPECT_EQ(panel(1), QString()) << "no position to tell";
    // A picture of a kind never read is an entry like any other.
    writeFileAtomically(dir.filePath("a.xcf"), "gimp xcf v011");
    writeCollection(dir.filePath("xcf.pvx"), {{dir.filePath("a.xcf"), "x"}});
    openPath(dir.filePath("xcf.pvx"));
    EXPECT_EQ(fake.errors, QStringList{msg::pictureKindUnknown(dir.filePath("a.xcf"), "xcf")});
    EXPECT_EQ(mainWindow()->mainImage()->reason(), fake.errors.value(0));
    EXPECT_EQ(panel(1), QStringLiteral("Image: 1 / 1"));
}

// What can't be read says why in its slot and in the main image, in full
// screen over the picture; out of full screen it is told again. (Told once
// per open, never in full screen: the open job's and picture files' tests.)
TEST_F(Navigation, AnUnreadablePictureShowsWhyInItsSlotAndTheMainImage)
{
    QList<CollectionEntry> entries = readCollectionAll(collectionOf(5));
    entries[1].path = dir.filePath("missing.jpg");
    const QString path = dir.filePath("broken.pvx");
    writeCollection(path, entries);
    openPath(path);
    ASSERT_EQ(fake.errors.size(), 1);
    const QString why = fake.errors[0];
    EXPECT_TRUE(why.startsWith("Cannot open file \"" + entries[1].path)) << why.toStdString();
    EXPECT_EQ(mainWindow()->slot(2)->toolTip(), why) << "the slot says why";
    EXPECT_EQ(mainWindow()->windowTitle(), path + " - Pictavo 2006");
    EXPECT_EQ(collectionEditor()->list()->entries(), entries);
    action("mnuFullScreen1")->trigger();
    EXPECT_TRUE(session().followsCursor()) << "full screen turns follow mode on";
    openPath(path);
    key(Qt::Key_Right);
    settle();
    EXPECT_EQ(mainWindow()->mainImage()->reason(), why);
    EXPECT_TRUE(mainWindow()->mainImage()->picture().isEmpty());
    key(Qt::Key_Right);
    EXPECT_TRUE(shows(3));
    EXPECT_EQ(fake.errors.size(), 1);
    key(Qt::Key_Escape);
    settle();
    EXPECT_EQ(fake.errors.size(), 2) << "out of full screen, told once";
}

// A message box runs a loop of its own, where failures from the workers
// (a walk through broken pictures) still arrive: they wait, and follow in
// one box, each once, never over it.
TEST_F(Navigation, FailuresWhileABoxStandsFollowItInOneBox)
{
    int standing = 0, most = 0;
    fake.whileErrorStands = [&] {
        most = std::max(most, ++standing);
        QTest::qWait(200);
        --standing;
    };
    for (const auto& [ms, text] : {std::pair{0, "first"}, {50, "second"}, {60, "third"}, {70, "second"}})
        QTimer::singleShot(ms, mainWindow(),
                           [text] { reportError(g_program->dialogs(), QString::fromLatin1(text)); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return fake.errors.size() == 2 && !standing; }, 5000));
    fake.whileErrorStands = nullptr;
    EXPECT_EQ(most, 1);
    EXPECT_EQ(fake.errors, QStringList({"first", "second\nthird"}));
}

TEST_F(Navigation, SlideShowTicksWaitUntilAnOpenHasEnded)
{
    const QString path = collectionOf(8);
    openPath(path);
    action("mnuSlideShow")->trigger();
    session().slideShow().timer().setInterval(0);
    // Let the open take a breath after every entry beyond the strip.
    mainWindow()->setOpenProgressIntervals(0, 0);
    openPathNoWait(path);
    session().slideShow().timer().stop();
    EXPECT_TRUE(shows(1));
}
