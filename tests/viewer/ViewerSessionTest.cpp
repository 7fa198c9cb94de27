// The session: which commands can run after each thing the user does, and
// why not.
#include "viewer/ViewerSession.h"

#include "settings/SettingsStore.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>

namespace {

class SessionTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    SettingsStore store{dir.filePath("pictavo.ini")};
    ViewerSession session{store};
};

// What the user did, in order: o open a collection, O open one that shows
// nothing, u an effect to undo, U the record forgotten, s start or stop the
// slide show, n a new collection saved, > a step on, f full screen on.
struct Scene {
    const char* name;
    const char* steps;
    // The commands that cannot run afterwards, and why; every other can.
    std::map<ViewerCommand, CommandBlock> blocked;
};

using C = ViewerCommand;
using B = CommandBlock;
// With nothing open every command waits for a collection, Undo for a
// record, but these.
const std::map<ViewerCommand, CommandBlock> Closed = [] {
    std::map<ViewerCommand, CommandBlock> blocked;
    for (int i = 0; i < ViewerCommandCount; ++i)
        blocked[ViewerCommand(i)] = B::NoCollection;
    for (C open : {C::NewCollection, C::OpenCollection, C::Exit, C::FollowMode, C::Settings, C::Help, C::About})
        blocked.erase(open);
    blocked[C::Undo] = B::NothingToUndo;
    return blocked;
}();

std::map<ViewerCommand, CommandBlock> closedBut(std::initializer_list<ViewerCommand> open,
                                                std::map<ViewerCommand, CommandBlock> more = {})
{
    auto blocked = Closed;
    for (const ViewerCommand c : open)
        blocked.erase(c);
    blocked.insert(more.begin(), more.end());
    return blocked;
}
const std::map<ViewerCommand, CommandBlock> Open = {{C::Undo, B::NothingToUndo},
                                                    {C::StripBack, B::NoEntryThatWay}};

class CommandStates : public SessionTest, public ::testing::WithParamInterface<Scene> {
protected:
    struct View : SlideShowView {
        bool atLastEntry() const override { return false; }
        void showNextSlide() override {}
        void showCurrentEntry() override {}
        bool isFullScreen() const override { return true; }
        void enterFullScreen() override {}
        void followCursor() override {}
        void tellFinished() override {}
        void tellError(const QString&) override {}
        void playSound(const QString&) override {}
        void stopSound() override {}
    } view;
    void open(int entries)
    {
        session.beginOpen("c.pvx");
        QList<CollectionEntry> listed;
        for (int k = 1; k <= entries; ++k) {
            listed.append({QStringLiteral("%1.bmp").arg(k), QString()});
            session.appendEntry(listed.last());
        }
        session.endOpen(listed);
    }
};

TEST_P(CommandStates, FollowWhatTheUserDid)
{
    session.slideShow().setView(&view);
    QSignalSpy changed(&session, &ViewerSession::commandStatesChanged);
    for (const char* s = GetParam().steps; *s; ++s) {
        switch (*s) {
        case 'o': open(3); break;
        case 'O': open(0); break;
        case 'u': session.recordUndo(Picture::fromBitmap(Bitmap24(1, 1))); break;
        case 'U': session.undoHistory().clear(); break;
        case 's': session.slideShow().toggle(); break;
        case 'n': session.newCollectionSaved("new.pvx"); break;
        case '>': session.strip().next(); break;
        case 'f': session.setFullScreen(true); break;
        }
    }
    std::map<ViewerCommand, CommandBlock> blocked;
    for (int i = 0; i < ViewerCommandCount; ++i) {
        const CommandState state = session.commandState(ViewerCommand(i));
        EXPECT_EQ(state.enabled, state.block == B::None) << i;
        if (!state.enabled)
            blocked[ViewerCommand(i)] = state.block;
    }
    EXPECT_EQ(blocked, GetParam().blocked);
    if (*GetParam().steps) {
        EXPECT_GE(changed.count(), 1) << "the window hears of every change";
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Scenes, CommandStates, ::testing::Values(
    Scene{"NothingOpen", "", Closed},
    Scene{"ACollectionOpen", "o", Open},
    Scene{"AnEffectToUndo", "ou", {{C::StripBack, B::NoEntryThatWay}}},
    Scene{"Undone", "ouU", Open},
    // Undo belongs to the collection it was made in: an open forgets it.
    Scene{"AnOpenForgetsTheUndoRecord", "ouo", Open},
    Scene{"TheLastEntryHasNoneAfterIt", "o>>", {{C::Undo, B::NothingToUndo}, {C::StripForward, B::NoEntryThatWay}}},
    Scene{"ARunningShowLocksEffectsAndFollowMode", "os",
          {{C::Undo, B::NothingToUndo}, {C::StripBack, B::NoEntryThatWay}, {C::Effects, B::SlideShowRunning},
           {C::FollowMode, B::SlideShowRunning}, {C::MoveToTrash, B::SlideShowRunning}}},
    Scene{"AStoppedShowHandsThemBack", "oss", Open},
    Scene{"AShowOutlivingItsCollectionKeepsEffectsLocked", "osO", closedBut({}, {{C::FollowMode, B::SlideShowRunning}})},
    Scene{"ANewCollectionSavedCanBeEditedBeforeItIsOpen", "n", closedBut({C::EditCollection})},
    Scene{"AnOpenThatShowsNothingTakesThatBack", "nO", Closed},
    Scene{"FullScreenIsLeftWhateverIsOpen", "ofO", closedBut({C::FullScreen})}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

} // namespace
