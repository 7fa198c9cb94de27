#pragma once
// The viewer's commands, and which of them can run now and why not. The
// main window shows every command as a menu item and its twins (context
// menu, drop-down, tool button); all of them follow the state given here.

// One per operation. The View submenu's and drop-down's items are commands
// of their own; the drop-down's Proportional places the picture at the top
// left rather than centred.
enum class ViewerCommand {
    NewCollection,
    OpenCollection,
    EditCollection,
    Exit,
    Undo,
    ZoomIn,
    ZoomOut,
    ActualSize,
    RotateLeft,
    RotateRight,
    Effects,
    ViewModes,
    AsIs,
    FitCentred,
    FitTopLeft,
    Stretch,
    FullScreen,
    FollowMode,
    SlideShow,
    Comments,
    Settings,
    Help,
    About,
    // The current picture's file: to the trash (Undo puts it back), shown
    // in the file manager, opened with a program the desktop offers.
    MoveToTrash,
    ShowInFileManager,
    OpenWith,
    // The picture shown: its information panel, printed, copied.
    PictureInfo,
    Print,
    CopyPicture,
    // Keys only: the entry before or after the current one, the first, the
    // last, each shown in the main image.
    PreviousEntry,
    NextEntry,
    FirstEntry,
    LastEntry,
    // The strip's buttons, their keys and the wheel over the strip: the
    // highlight one entry back or on, shown when follow mode says so; and
    // the highlighted entry shown (Enter).
    StripBack,
    StripForward,
    ShowHighlighted,
    ImageMenu,
};
constexpr int ViewerCommandCount = int(ViewerCommand::ImageMenu) + 1;

// Why a command cannot run now.
enum class CommandBlock {
    None,
    NoCollection,     // nothing is open, or the open collection shows no entry
    SlideShowRunning, // Effects and follow mode wait until the show ends
    NothingToUndo,
    NoEntryThatWay, // the first (back) or the last (on) entry is current
};

// The facts the states follow.
struct CommandFacts {
    bool collectionShown = false;   // an open collection with an entry to show
    bool collectionHasFile = false; // a new collection was saved, not yet opened
    bool undoAvailable = false;
    bool slideShowRunning = false;
    bool canGoBack = false;    // an entry before the current one
    bool canGoForward = false; // an entry after it
    bool fullScreen = false;   // which is always left again, whatever is open
};

struct CommandState {
    bool enabled = true;
    CommandBlock block = CommandBlock::None;
};

CommandState commandState(ViewerCommand command, const CommandFacts& facts);
