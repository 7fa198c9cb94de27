#include "viewer/ViewerCommands.h"

namespace {
CommandState blockedUnless(bool ok, CommandBlock block)
{
    return ok ? CommandState{} : CommandState{false, block};
}
} // namespace

CommandState commandState(ViewerCommand command, const CommandFacts& facts)
{
    using C = ViewerCommand;
    switch (command) {
    case C::NewCollection:
    case C::OpenCollection:
    case C::Exit:
    case C::Settings:
    case C::Help:
    case C::About:
        return {};
    case C::EditCollection:
        return blockedUnless(facts.collectionShown || facts.collectionHasFile, CommandBlock::NoCollection);
    case C::Undo:
        return blockedUnless(facts.undoAvailable, CommandBlock::NothingToUndo);
    case C::Effects:
    case C::MoveToTrash:
        if (!facts.collectionShown)
            return {false, CommandBlock::NoCollection};
        return blockedUnless(!facts.slideShowRunning, CommandBlock::SlideShowRunning);
    case C::FollowMode:
        return blockedUnless(!facts.slideShowRunning, CommandBlock::SlideShowRunning);
    case C::FullScreen:
        return blockedUnless(facts.collectionShown || facts.fullScreen, CommandBlock::NoCollection);
    case C::StripBack:
    case C::StripForward:
        if (!facts.collectionShown)
            return {false, CommandBlock::NoCollection};
        return blockedUnless(command == C::StripBack ? facts.canGoBack : facts.canGoForward,
                             CommandBlock::NoEntryThatWay);
    case C::ZoomIn:
    case C::ZoomOut:
    case C::ActualSize:
    case C::RotateLeft:
    case C::RotateRight:
    case C::ViewModes:
    case C::AsIs:
    case C::FitCentred:
    case C::FitTopLeft:
    case C::Stretch:
    case C::SlideShow:
    case C::Comments:
    case C::PreviousEntry:
    case C::NextEntry:
    case C::FirstEntry:
    case C::LastEntry:
    case C::ShowHighlighted:
    case C::ShowInFileManager:
    case C::OpenWith:
    case C::PictureInfo:
    case C::Print:
    case C::CopyPicture:
    case C::ImageMenu:
        break;
    }
    return blockedUnless(facts.collectionShown, CommandBlock::NoCollection);
}
