#pragma once
// The numbered interface texts: their built-in English, the elements each one
// reaches, and the reading of a language file into them. Widget-free: the
// elements are reached through a UiTextSink (see UiTextWidgets.h).
#include <QString>
#include <optional>
#include <vector>

class IniFile;

enum class ProgramText {
    ImagePrefix,
    NewCollectionCaption,
    AddDeleteCaption,
    MinOneImageMessage,
    RestartMessage,
    UnusableEntriesMessage,
    UnusableMoreText,
    SkipEntriesCaption,
    NoRoomForUndoMessage,
    WithoutUndoCaption,
    RunSummaryText,
    NotRestoredMessage,
    DamagedNote,
    KindNotChangedMessage,
    AllPicturesFilter,
    ZoomText,
    SlotAccessibleName,
    MainImageAccessibleName,
    FontPreviewText,
    UnknownCodePageMessage,
    SoundFilesFilter,
    LanguageFilesFilter,
    MissingHelpPageMessage,
    UnsavedEditsMessage,
    DiscardEditsCaption,
    KeepEditingCaption,
    CollectionLongLinesMessage,
    CollectionTooLargeMessage,
    CollectionTooManyMessage,
    PageNote,
    TrashCaption,
    TrashQuestion,
    TrashSeveralNote,
    CancelCaption,
    DontAskAgainCaption,
    TrashRefusedMessage,
    TrashOccupiedMessage,
    TrashGoneMessage,
    FileManagerFailedMessage,
    OpenWithFailedMessage,
    PrintCaptionOption,
    PrintPreviewTitle,
    PrintFitPageCaption,
    PrintZoomInCaption,
    PrintZoomOutCaption,
    PrintPortraitCaption,
    PrintLandscapeCaption,
    PrintPageSetupCaption,
    FlashFiredText,
    FlashNotFiredText,
    MirroredText,
};

// The program-wide texts with the start values they have before (and
// without) a language file.
struct UiProgramTexts {
    QString ImagePrefix = QStringLiteral("Image: ");
    QString NewCollectionCaption = QStringLiteral("Create New Collection...");
    QString AddDeleteCaption = QStringLiteral("Add / Delete Image...");
    QString MinOneImageMessage = QStringLiteral("Collection must contains as minimum one image.");
    QString RestartMessage = QStringLiteral("You need to restart program to apply language change");
    // The all-pictures run: the check before it, the room for Undo, the
    // report after it, and Undo of it.
    QString UnusableEntriesMessage = QStringLiteral("These pictures can't be written:");
    QString UnusableMoreText = QStringLiteral("and %1 more");
    QString SkipEntriesCaption = QStringLiteral("Skip these");
    QString NoRoomForUndoMessage =
        QStringLiteral("There is not enough free space to keep copies of the pictures for Undo.");
    QString WithoutUndoCaption = QStringLiteral("Go on without Undo");
    QString RunSummaryText = QStringLiteral("%1 pictures written, %2 skipped");
    QString NotRestoredMessage =
        QStringLiteral("These pictures were changed after the effects and were not restored:");
    // After the file name in the status bar: what is wrong with the picture.
    QString DamagedNote = QStringLiteral("damaged (%1): shown as far as it goes, not changed");
    // %1: the picture's file.
    QString KindNotChangedMessage =
        QStringLiteral("Pictavo shows \"%1\" but does not change this kind of picture.");
    QString AllPicturesFilter = QStringLiteral("All pictures");
    // The status bar's last panel: the scale the picture is drawn at.
    QString ZoomText = QStringLiteral("%1%");
    // What a screen reader says for a slot (%1 of %2 entries: %3, the
    // comment) and for the main image (%1, the slot's words).
    QString SlotAccessibleName = QStringLiteral("%1 of %2: %3");
    QString MainImageAccessibleName = QStringLiteral("Main image, %1");
    // The settings dialog: the font sample without a comment, a code page
    // it refuses (%1), and the names of its two file choosers' filters.
    QString FontPreviewText = QStringLiteral("Font Preview");
    QString UnknownCodePageMessage = QStringLiteral("Unknown code page \"%1\"");
    QString SoundFilesFilter = QStringLiteral("WAV Files");
    QString LanguageFilesFilter = QStringLiteral("Pictavo Language files (*.PVL)");
    // A link of the help file to a page it lacks (%1).
    QString MissingHelpPageMessage = QStringLiteral("Page not found: the help file has no page %1.");
    // The collection editor closed with changes not saved: its question
    // and the answers.
    QString UnsavedEditsMessage =
        QStringLiteral("The changes to this list are not saved. Close it and lose them?");
    QString DiscardEditsCaption = QStringLiteral("Close without saving");
    QString KeepEditingCaption = QStringLiteral("Keep editing");
    // A collection past the reader's limits. %1: the collection's file;
    // %2: line numbers / its size in MB / the most entries; %3: the limit.
    QString CollectionLongLinesMessage =
        QStringLiteral("Lines longer than 64 KiB were left out of \"%1\": %2");
    QString CollectionTooLargeMessage =
        QStringLiteral("\"%1\" is too large for a collection (%2 MB; the limit is %3 MB).");
    QString CollectionTooManyMessage =
        QStringLiteral("\"%1\" lists more than %2 pictures, more than a collection may hold.");
    // After the file name in the status bar, for a file of several pages
    // of which the first shows: %1 the page shown, %2 the pages.
    QString PageNote = QStringLiteral("page %1 of %2");
    // Moving a picture's file to the trash: the question before the first
    // move (%1 the file; the note when several entries name it, %1 how
    // many), its answers, and the refusals of the move and of its undo.
    QString TrashCaption = QStringLiteral("Move to Trash");
    QString TrashQuestion =
        QStringLiteral("Move \"%1\" to the trash? It can be restored with Undo or from the trash.");
    QString TrashSeveralNote =
        QStringLiteral("The collection names it %1 times: all these entries leave it.");
    QString CancelCaption = QStringLiteral("Cancel");
    QString DontAskAgainCaption = QStringLiteral("Don't ask again");
    QString TrashRefusedMessage = QStringLiteral("\"%1\" was not moved to the trash: its file system has no "
                                                 "trash Pictavo can use. Nothing was deleted.");
    QString TrashOccupiedMessage = QStringLiteral("\"%1\" can't be put back: another file now has its name.");
    QString TrashGoneMessage = QStringLiteral("\"%1\" can't be put back: the trash no longer holds it.");
    // %1: the picture's file.
    QString FileManagerFailedMessage =
        QStringLiteral("Neither a file manager nor the desktop could show \"%1\".");
    QString OpenWithFailedMessage = QStringLiteral("No program could be asked to open \"%1\".");
    // The print preview: its option, title and tool bar; and the picture
    // information's words.
    QString PrintCaptionOption = QStringLiteral("Print the comment as a caption");
    QString PrintPreviewTitle = QStringLiteral("Print Preview");
    QString PrintFitPageCaption = QStringLiteral("Fit Page");
    QString PrintZoomInCaption = QStringLiteral("Zoom In");
    QString PrintZoomOutCaption = QStringLiteral("Zoom Out");
    QString PrintPortraitCaption = QStringLiteral("Portrait");
    QString PrintLandscapeCaption = QStringLiteral("Landscape");
    QString PrintPageSetupCaption = QStringLiteral("Page Setup...");
    QString FlashFiredText = QStringLiteral("Fired");
    QString FlashNotFiredText = QStringLiteral("Did not fire");
    QString MirroredText = QStringLiteral("mirrored");

    QString& operator[](ProgramText id);
};

enum class UiPart {
    Caption,     // visible text of a menu, menu item, button, label or group
    Hint,        // tool-tip and status-bar text
    WindowTitle, // the window's own title (no element)
    Item,        // list item `index`; a negative one counts from the end (-1 the last)
    Items,       // list items from `index` on, one for each name of a text
                 // that lists them separated by commas
    Tab,         // tab `index`
    Column,      // column title `index`
    Program,     // program-wide text `index` (a ProgramText)
    Spoken,      // the name a screen reader says, for a control that shows none
    Placeholder, // the grey text of an empty edit box
};

struct UiTarget {
    const char* window;  // window class, "TfrmMain"; its object is "frmMain"
    const char* element; // object name inside the window; nullptr for none
    UiPart part;
    int index = 0;
    // >= 0: takes the text that this earlier target of the entry now shows.
    int copyOf = -1;

    QString windowObjectName() const;
};

struct UiTextEntry {
    int number;
    const char* english;
    std::vector<UiTarget> targets;
};

// Entries 1..77 and the program's own from 100 on, in ascending order; 51
// and 69 have none.
const std::vector<UiTextEntry>& uiTextTable();
const UiTextEntry* uiTextEntry(int number);

// Entry 208 reaches no element: it is the name a language file gives its
// language, in that language, for the settings' language list.
inline constexpr int LanguageNameEntry = 208;
// The name of the language in the file at `path`: its entry 208, else the
// file's name without its extension.
QString languageFileName(const QString& path, const QByteArray& codePage = {});

// Where the texts go. setText returns false when the element is missing.
class UiTextSink {
public:
    virtual ~UiTextSink() = default;
    virtual bool setText(const UiTarget& target, const QString& text) = 0;
    virtual std::optional<QString> text(const UiTarget& target) const = 0;
    virtual void setProgramText(ProgramText id, const QString& text) = 0;
};

inline const QString LanguageSection = QStringLiteral("Russian");

// Every entry from the file's section "Russian", built-in text for keys that
// are absent; a file that is missing or unreadable gives the built-in table.
void applyLanguageFile(const IniFile& file, UiTextSink& sink);
// "English" (exactly) reads nothing and changes nothing: returns false.
// Anything else is the language file's path; returns true.
bool applyLanguage(const QString& languageSetting, UiTextSink& sink, const QByteArray& codePage = {});
