#include "settings/UiText.h"

#include "settings/IniFile.h"

#include <QFileInfo>

#include <algorithm>

QString& UiProgramTexts::operator[](ProgramText id)
{
    switch (id) {
    case ProgramText::ImagePrefix:
        return ImagePrefix;
    case ProgramText::NewCollectionCaption:
        return NewCollectionCaption;
    case ProgramText::AddDeleteCaption:
        return AddDeleteCaption;
    case ProgramText::MinOneImageMessage:
        return MinOneImageMessage;
    case ProgramText::UnusableEntriesMessage:
        return UnusableEntriesMessage;
    case ProgramText::UnusableMoreText:
        return UnusableMoreText;
    case ProgramText::SkipEntriesCaption:
        return SkipEntriesCaption;
    case ProgramText::NoRoomForUndoMessage:
        return NoRoomForUndoMessage;
    case ProgramText::WithoutUndoCaption:
        return WithoutUndoCaption;
    case ProgramText::RunSummaryText:
        return RunSummaryText;
    case ProgramText::NotRestoredMessage:
        return NotRestoredMessage;
    case ProgramText::DamagedNote:
        return DamagedNote;
    case ProgramText::KindNotChangedMessage:
        return KindNotChangedMessage;
    case ProgramText::AllPicturesFilter:
        return AllPicturesFilter;
    case ProgramText::ZoomText:
        return ZoomText;
    case ProgramText::SlotAccessibleName:
        return SlotAccessibleName;
    case ProgramText::MainImageAccessibleName:
        return MainImageAccessibleName;
    case ProgramText::FontPreviewText:
        return FontPreviewText;
    case ProgramText::UnknownCodePageMessage:
        return UnknownCodePageMessage;
    case ProgramText::SoundFilesFilter:
        return SoundFilesFilter;
    case ProgramText::LanguageFilesFilter:
        return LanguageFilesFilter;
    case ProgramText::MissingHelpPageMessage:
        return MissingHelpPageMessage;
    case ProgramText::UnsavedEditsMessage:
        return UnsavedEditsMessage;
    case ProgramText::DiscardEditsCaption:
        return DiscardEditsCaption;
    case ProgramText::KeepEditingCaption:
        return KeepEditingCaption;
    case ProgramText::CollectionLongLinesMessage:
        return CollectionLongLinesMessage;
    case ProgramText::CollectionTooLargeMessage:
        return CollectionTooLargeMessage;
    case ProgramText::CollectionTooManyMessage:
        return CollectionTooManyMessage;
    case ProgramText::PageNote:
        return PageNote;
    case ProgramText::TrashCaption:
        return TrashCaption;
    case ProgramText::TrashQuestion:
        return TrashQuestion;
    case ProgramText::TrashSeveralNote:
        return TrashSeveralNote;
    case ProgramText::CancelCaption:
        return CancelCaption;
    case ProgramText::DontAskAgainCaption:
        return DontAskAgainCaption;
    case ProgramText::TrashRefusedMessage:
        return TrashRefusedMessage;
    case ProgramText::TrashOccupiedMessage:
        return TrashOccupiedMessage;
    case ProgramText::TrashGoneMessage:
        return TrashGoneMessage;
    case ProgramText::FileManagerFailedMessage:
        return FileManagerFailedMessage;
    case ProgramText::OpenWithFailedMessage:
        return OpenWithFailedMessage;
    case ProgramText::PrintCaptionOption:
        return PrintCaptionOption;
    case ProgramText::PrintPreviewTitle:
        return PrintPreviewTitle;
    case ProgramText::PrintFitPageCaption:
        return PrintFitPageCaption;
    case ProgramText::PrintZoomInCaption:
        return PrintZoomInCaption;
    case ProgramText::PrintZoomOutCaption:
        return PrintZoomOutCaption;
    case ProgramText::PrintPortraitCaption:
        return PrintPortraitCaption;
    case ProgramText::PrintLandscapeCaption:
        return PrintLandscapeCaption;
    case ProgramText::PrintPageSetupCaption:
        return PrintPageSetupCaption;
    case ProgramText::FlashFiredText:
        return FlashFiredText;
    case ProgramText::FlashNotFiredText:
        return FlashNotFiredText;
    case ProgramText::MirroredText:
        return MirroredText;
    case ProgramText::RestartMessage:
        break;
    }
    return RestartMessage;
}

QString UiTarget::windowObjectName() const
{
    // Classes carry a "T" before the window's own name.
    const QString cls = QString::fromLatin1(window);
    return cls.startsWith(u'T') ? cls.mid(1) : cls;
}

namespace {

// Where one element takes its text from another (the settings dialog's
// title from mnuSettings, the effects tab from the list item, the Find
// group from its button) the target copies what its source now shows.
const std::vector<UiTextEntry> UiTexts = {
    {1, "File", {{"TfrmMain", "mnuMain", UiPart::Caption}}},
    {2,
     "New Collection...",
     {{"TfrmMain", "mnuNew", UiPart::Caption},
      {"TfrmMain", "mnuNew", UiPart::Hint},
      {"TfrmMain", "ToolButton2", UiPart::Hint}}},
    {3,
     "Open Collection...",
     {{"TfrmMain", "mnuOpen", UiPart::Caption},
      {"TfrmMain", "mnuOpen", UiPart::Hint},
      {"TfrmMain", "ToolButton1", UiPart::Hint}}},
    {4,
     "Add / Delete Image...",
     {{"TfrmMain", "mnuAdd", UiPart::Caption},
      {"TfrmMain", "mnuAdd", UiPart::Hint},
      {"TfrmMain", "AddDeleteimage1", UiPart::Caption},
      {"TfrmMain", "AddDeleteimage1", UiPart::Hint},
      {"TfrmMain", "btnAdd", UiPart::Hint}}},
    {5, "Exit", {{"TfrmMain", "Exit1", UiPart::Caption}, {"TfrmMain", "Exit1", UiPart::Hint}}},
    {6, "Image", {{"TfrmMain", "mnuImage", UiPart::Caption}}},
    {7, "Undo", {{"TfrmMain", "mnuUndo", UiPart::Caption}, {"TfrmMain", "mnuUndo1", UiPart::Caption}}},
    {8,
     "Undo last effect",
     {{"TfrmMain", "mnuUndo", UiPart::Hint},
      {"TfrmMain", "butUndo", UiPart::Hint},
      {"TfrmMain", "mnuUndo1", UiPart::Hint}}},
    {9,
     "Rotate Left",
     {{"TfrmMain", "mnuRotateLeft", UiPart::Caption}, {"TfrmMain", "RotateLeft2", UiPart::Caption}}},
    {10,
     "Rotate Image Left",
     {{"TfrmMain", "mnuRotateLeft", UiPart::Hint},
      {"TfrmMain", "btnLeft", UiPart::Hint},
      {"TfrmMain", "RotateLeft2", UiPart::Hint}}},
    {11,
     "Rotate Right",
     {{"TfrmMain", "mnuRotateRight", UiPart::Caption}, {"TfrmMain", "RotateRight1", UiPart::Caption}}},
    {12,
     "Rotate Right",
     {{"TfrmMain", "mnuRotateRight", UiPart::Hint},
      {"TfrmMain", "btnRight", UiPart::Hint},
      {"TfrmMain", "RotateRight1", UiPart::Hint}}},
    {13,
     "Effects...",
     {{"TfrmMain", "mnuEffects", UiPart::Caption}, {"TfrmMain", "mnuEffects1", UiPart::Caption}}},
    {14,
     "Add effects to image(s)",
     {{"TfrmMain", "mnuEffects", UiPart::Hint},
      {"TfrmMain", "btnEffect", UiPart::Hint},
      {"TfrmMain", "mnuEffects1", UiPart::Hint}}},
    {15, "View", {{"TfrmMain", "mnuImgView", UiPart::Caption}, {"TfrmMain", "mnuImgView1", UiPart::Caption}}},
    {16,
     "Change view mode",
     {{"TfrmMain", "mnuImgView", UiPart::Hint},
      {"TfrmMain", "mnuImgView1", UiPart::Hint},
      {"TfrmMain", "btnImgView", UiPart::Hint}}},
    {17,
     "As Is",
     {{"TfrmMain", "AsIs1", UiPart::Caption},
      {"TfrmMain", "AsIs1", UiPart::Hint},
      {"TfrmMain", "mnuAsIs", UiPart::Caption},
      {"TfrmMain", "mnuAsIs", UiPart::Hint},
      {"TfrmMain", "AsIs2", UiPart::Caption},
      {"TfrmMain", "AsIs2", UiPart::Hint}}},
    {18,
     "Proportional",
     {{"TfrmMain", "Proportional1", UiPart::Caption},
      {"TfrmMain", "Proportional1", UiPart::Hint},
      {"TfrmMain", "Proportional2", UiPart::Caption},
      {"TfrmMain", "Proportional2", UiPart::Hint},
      {"TfrmMain", "Proportional3", UiPart::Caption},
      {"TfrmMain", "Proportional3", UiPart::Hint}}},
    {19,
     "Stretch",
     {{"TfrmMain", "Stretch1", UiPart::Caption},
      {"TfrmMain", "Stretch1", UiPart::Hint},
      {"TfrmMain", "Stretch2", UiPart::Caption},
      {"TfrmMain", "Stretch2", UiPart::Hint},
      {"TfrmMain", "Stretch3", UiPart::Caption},
      {"TfrmMain", "Stretch3", UiPart::Hint}}},
    {20,
     "Full Screen",
     {{"TfrmMain", "mnuFullScreen1", UiPart::Caption},
      {"TfrmMain", "mnuFullScreen1", UiPart::Hint},
      {"TfrmMain", "mnuFullScreen2", UiPart::Caption},
      {"TfrmMain", "mnuFullScreen2", UiPart::Hint},
      {"TfrmMain", "mnuFullScreen3", UiPart::Caption},
      {"TfrmMain", "mnuFullScreen3", UiPart::Hint}}},
    {21, "Options", {{"TfrmMain", "Options1", UiPart::Caption}}},
    {22, "Main image follows cursor", {{"TfrmMain", "mnuFollows", UiPart::Caption}}},
    {23,
     "Main Image will be follows the Up and Down events",
     {{"TfrmMain", "mnuFollows", UiPart::Hint}, {"TfrmMain", "btnFollow", UiPart::Hint}}},
    {24,
     "Start / Stop Slide Show",
     {{"TfrmMain", "mnuSlideShow", UiPart::Caption},
      {"TfrmMain", "mnuSlideShow", UiPart::Hint},
      {"TfrmMain", "btnSlideShow", UiPart::Hint}}},
    {25,
     "Show / Hide comments window",
     {{"TfrmMain", "mnuComments", UiPart::Caption}, {"TfrmMain", "mnuComments", UiPart::Hint}}},
    {26,
     "Settings",
     {{"TfrmMain", "mnuSettings", UiPart::Caption}, {"TfrmSettings", nullptr, UiPart::WindowTitle, 0, 0}}},
    {27,
     "Program settings",
     {{"TfrmMain", "mnuSettings", UiPart::Hint}, {"TfrmMain", "btnSettings", UiPart::Hint}}},
    {28, "Help", {{"TfrmMain", "mnuHelp", UiPart::Caption}}},
    {29,
     "Help",
     {{"TfrmMain", "mnuHelp1", UiPart::Caption},
      {"TfrmMain", "mnuHelp1", UiPart::Hint},
      {"TfrmMain", "btnAbout", UiPart::Hint}}},
    {30, "About", {{"TfrmMain", "mnuAbout", UiPart::Caption}, {"TfrmMain", "mnuAbout", UiPart::Hint}}},
    {31, "Image Effects...", {{"TfrmEffects", nullptr, UiPart::WindowTitle}}},
    {32, "Apply for all images in collection", {{"TfrmEffects", "CheckAll", UiPart::Caption}}},
    {33, "Brightness & Contrast", {{"TfrmEffects", "ListEffects", UiPart::Item, 0}}},
    {34, "Saturation", {{"TfrmEffects", "ListEffects", UiPart::Item, 1}}},
    {35,
     "Effects",
     {{"TfrmEffects", "ListEffects", UiPart::Item, 2}, {"TfrmEffects", "TabControl1", UiPart::Tab, 0, 0}}},
    {36, "Other", {{"TfrmEffects", "TabControl1", UiPart::Tab, 1}}},
    {37, "Emboss", {{"TfrmEffects", "chkEmboss", UiPart::Caption}}},
    {38, "Pixelate:", {{"TfrmEffects", "Label4", UiPart::Caption}}},
    {39, "Split Blur:", {{"TfrmEffects", "Label5", UiPart::Caption}}},
    {40, "Gaussian Blur:", {{"TfrmEffects", "Label6", UiPart::Caption}}},
    {41, "Anti Aliasing:", {{"TfrmEffects", "Label7", UiPart::Caption}}},
    {42, "Tracing:", {{"TfrmEffects", "Label8", UiPart::Caption}}},
    {43, "Posterize:", {{"TfrmEffects", "rPosterize", UiPart::Caption}}},
    {44, "Solorize:", {{"TfrmEffects", "rSolorize", UiPart::Caption}}},
    {45, "Noise:", {{"TfrmEffects", "Label9", UiPart::Caption}}},
    {46, "Saturation:", {{"TfrmEffects", "Label3", UiPart::Caption}}},
    {47, "Brightness:", {{"TfrmEffects", "Label2", UiPart::Caption}}},
    {48, "Contrast:", {{"TfrmEffects", "Label1", UiPart::Caption}}},
    {49, "Cancel", {{"TfrmEffects", "btnClose", UiPart::Caption}}},
    {50,
     "Create New Collection...",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::NewCollectionCaption)}}},
    {52, "Close", {{"TfrmNewCollection", "btnClose", UiPart::Caption}}},
    {53, "&Delete", {{"TfrmNewCollection", "btnDel", UiPart::Caption}}},
    {54, "&Add...", {{"TfrmNewCollection", "btnAdd", UiPart::Caption}}},
    {55, "File name", {{"TfrmNewCollection", "ValueListEditor1", UiPart::Column, 0}}},
    {56, "Comment", {{"TfrmNewCollection", "ValueListEditor1", UiPart::Column, 1}}},
    {57, "Main", {{"TfrmSettings", "TabControl1", UiPart::Tab, 0}}},
    {58, "Slide Show", {{"TfrmSettings", "TabControl1", UiPart::Tab, 1}}},
    {59, "Language", {{"TfrmSettings", "Label5", UiPart::Caption}}},
    {60, "   &Choose comment's label font", {{"TfrmSettings", "SpeedButton2", UiPart::Caption}}},
    {61, "Comment's window transparency:", {{"TfrmSettings", "Label4", UiPart::Caption}}},
    {62, "Comments", {{"TfrmSettings", "GroupBox1", UiPart::Caption}}},
    {63, "Colors", {{"TfrmSettings", "GroupBox2", UiPart::Caption}}},
    {64, "Previews panel background:", {{"TfrmSettings", "Label2", UiPart::Caption}}},
    {65, "Main image background:", {{"TfrmSettings", "Label3", UiPart::Caption}}},
    {66, "Slide show delay, seconds:", {{"TfrmSettings", "Label1", UiPart::Caption}}},
    {67,
     "Automatically switch to the Full Screen mode when slide show starts",
     {{"TfrmSettings", "chkAuto", UiPart::Caption}}},
    {68,
     "Play background sound (WAV):",
     {{"TfrmSettings", "chkBckgr", UiPart::Caption}, {"TfrmSettings", "wavName", UiPart::Spoken}}},
    {70, "Image:", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::ImagePrefix)}}},
    {71,
     "Collection must contains as minimum one image.",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::MinOneImageMessage)}}},
    {72,
     "Find",
     {{"TfrmNewCollection", "btnGo", UiPart::Caption},
      {"TfrmNewCollection", "GroupBox1", UiPart::Caption, 0, 0}}},
    {73,
     "You need to restart program to apply language change",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::RestartMessage)}}},
    {74, "Add / Delete Image", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::AddDeleteCaption)}}},
    {75,
     "Zoom In",
     {{"TfrmMain", "mnuZoomIn", UiPart::Caption},
      {"TfrmMain", "mnuZoomIn", UiPart::Hint},
      {"TfrmMain", "mnuZoomIn1", UiPart::Caption},
      {"TfrmMain", "mnuZoomIn1", UiPart::Hint}}},
    {76,
     "Zoom Out",
     {{"TfrmMain", "mnuZoomOut", UiPart::Caption},
      {"TfrmMain", "mnuZoomOut", UiPart::Hint},
      {"TfrmMain", "mnuZoomOut1", UiPart::Caption},
      {"TfrmMain", "mnuZoomOut1", UiPart::Hint}}},
    {77,
     "Original Size",
     {{"TfrmMain", "mnuOriginalSize", UiPart::Caption},
      {"TfrmMain", "mnuOriginalSize", UiPart::Hint},
      {"TfrmMain", "mnuOriginalSize1", UiPart::Caption},
      {"TfrmMain", "mnuOriginalSize1", UiPart::Hint}}},
    {100,
     "These pictures can't be written:",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::UnusableEntriesMessage)}}},
    {101, "and %1 more", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::UnusableMoreText)}}},
    {102, "Skip these", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::SkipEntriesCaption)}}},
    {103,
     "There is not enough free space to keep copies of the pictures for Undo.",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::NoRoomForUndoMessage)}}},
    {104,
     "Go on without Undo",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::WithoutUndoCaption)}}},
    {105,
     "%1 pictures written, %2 skipped",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::RunSummaryText)}}},
    {106,
     "These pictures were changed after the effects and were not restored:",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::NotRestoredMessage)}}},
    {107,
     "damaged (%1): shown as far as it goes, not changed",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::DamagedNote)}}},
    {140, "Show true colours", {{"TfrmSettings", "chkColorManaged", UiPart::Caption}}},
    {141,
     "Pictavo shows \"%1\" but does not change this kind of picture.",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::KindNotChangedMessage)}}},
    {143, "All pictures", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::AllPicturesFilter)}}},
    {180, "Show pictures fitted to the window", {{"TfrmSettings", "chkFitPictures", UiPart::Caption}}},
    {200, "%1%", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::ZoomText)}}},
    {201, "%1 of %2: %3", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::SlotAccessibleName)}}},
    {202,
     "Main image, %1",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::MainImageAccessibleName)}}},
    {203, "Move the selected picture up", {{"TfrmNewCollection", "BtnUp", UiPart::Hint}}},
    {204, "Move the selected picture down", {{"TfrmNewCollection", "btnDown", UiPart::Hint}}},
    {205, "Pictures of the collection", {{"TfrmNewCollection", "ValueListEditor1", UiPart::Spoken}}},
    {206, "Kinds of effect", {{"TfrmEffects", "ListEffects", UiPart::Spoken}}},
    {207, "Posterize or solorize level", {{"TfrmEffects", "RizeBar", UiPart::Spoken}}},
    {LanguageNameEntry, "English", {}},
    {209, "Select Other...", {{"TfrmSettings", "ComboLng", UiPart::Item, -1}}},
    {210,
     "Code page:",
     {{"TfrmSettings", "LabelCodePage", UiPart::Caption},
      {"TfrmSettings", "ComboCodePageText", UiPart::Spoken}}},
    {211, "Turn camera pictures upright", {{"TfrmSettings", "chkAutoOrient", UiPart::Caption}}},
    {212,
     "Custom...",
     {{"TfrmSettings", "ColorBoxPrev", UiPart::Item, -1},
      {"TfrmSettings", "ColorBoxMain", UiPart::Item, -1}}},
    // The colour lists: the plain colours first, then the desktop's.
    {213,
     "Black, Maroon, Green, Olive, Navy, Purple, Teal, Gray, Silver, Red, Lime, Yellow, Blue, Fuchsia, Aqua, "
     "White, Money Green, Sky Blue, Cream, Medium Gray",
     {{"TfrmSettings", "ColorBoxPrev", UiPart::Items, 0},
      {"TfrmSettings", "ColorBoxMain", UiPart::Items, 0}}},
    {214,
     "Scroll Bar, Background, Active Caption, Inactive Caption, Menu, Window, Window Frame, Menu Text, "
     "Window Text, Caption Text, Active Border, Inactive Border, Application Workspace, Highlight, "
     "Highlight Text, Button Face, Button Shadow, Gray Text, Button Text, Inactive Caption Text, "
     "Button Highlight, 3D Dark Shadow, 3D Light, Info Text, Info Background, Hot Light, "
     "Gradient Active Caption, Gradient Inactive Caption, Menu Highlight, Menu Bar",
     {{"TfrmSettings", "ColorBoxPrev", UiPart::Items, 20},
      {"TfrmSettings", "ColorBoxMain", UiPart::Items, 20}}},
    {215, "Font Preview", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::FontPreviewText)}}},
    {216,
     "Unknown code page \"%1\"",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::UnknownCodePageMessage)}}},
    {217, "WAV Files", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::SoundFilesFilter)}}},
    {218,
     "Pictavo Language files (*.PVL)",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::LanguageFilesFilter)}}},
    {219, "About...", {{"TfrmAbout", nullptr, UiPart::WindowTitle}}},
    {220, "Version 1.0", {{"TfrmAbout", "Label1", UiPart::Caption}}},
    {221, "Picture collections viewer", {{"TfrmAbout", "Label2", UiPart::Caption}}},
    {222, "Pictavo Help", {{"TfrmHelp", nullptr, UiPart::WindowTitle}}},
    {223, "Contents", {{"TfrmHelp", "HelpTabs", UiPart::Tab, 0}}},
    {224, "Index", {{"TfrmHelp", "HelpTabs", UiPart::Tab, 1}}},
    {225, "Back", {{"TfrmHelp", "btnBack", UiPart::Caption}}},
    {226, "Forward", {{"TfrmHelp", "btnForward", UiPart::Caption}}},
    {227, "Home", {{"TfrmHelp", "btnHome", UiPart::Caption}}},
    {228, "Type a keyword", {{"TfrmHelp", "edKeyword", UiPart::Placeholder}}},
    {229,
     "Page not found: the help file has no page %1.",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::MissingHelpPageMessage)}}},
    {230, "Key Up or Backspace", {{"TfrmMain", "BtnUp", UiPart::Hint}}},
    {231, "Key Down or Space", {{"TfrmMain", "BtnDown", UiPart::Hint}}},
    {260,
     "The changes to this list are not saved. Close it and lose them?",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::UnsavedEditsMessage)}}},
    {261,
     "Close without saving",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::DiscardEditsCaption)}}},
    {262, "Keep editing", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::KeepEditingCaption)}}},
    {280,
     "Lines longer than 64 KiB were left out of \"%1\": %2",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::CollectionLongLinesMessage)}}},
    {281,
     "\"%1\" is too large for a collection (%2 MB; the limit is %3 MB).",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::CollectionTooLargeMessage)}}},
    {282,
     "\"%1\" lists more than %2 pictures, more than a collection may hold.",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::CollectionTooManyMessage)}}},
    // The print preview's title and tool bar.
    {310, "Print Preview", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::PrintPreviewTitle)}}},
    {311, "Fit Page", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::PrintFitPageCaption)}}},
    {312, "Zoom In", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::PrintZoomInCaption)}}},
    {313, "Zoom Out", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::PrintZoomOutCaption)}}},
    {314, "Portrait", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::PrintPortraitCaption)}}},
    {315, "Landscape", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::PrintLandscapeCaption)}}},
    {316, "Page Setup...", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::PrintPageSetupCaption)}}},
    {320, "page %1 of %2", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::PageNote)}}},
    {321,
     "Pause Animation",
     {{"TfrmMain", "mnuPauseAnimation", UiPart::Caption}, {"TfrmMain", "mnuPauseAnimation", UiPart::Hint}}},
    // The sign of work while a picture is decoded.
    {340, "Loading \u2026", {{"TfrmMain", "loadingIndicator", UiPart::Spoken}}},
    // Picture information, print and copy.
    {350,
     "Picture Information",
     {{"TfrmMain", "mnuPictureInfo", UiPart::Caption},
      {"TfrmMain", "mnuPictureInfo", UiPart::Hint},
      {"TfrmMain", "mnuPictureInfo1", UiPart::Caption},
      {"TfrmMain", "mnuPictureInfo1", UiPart::Hint}}},
    {351, "Print...", {{"TfrmMain", "mnuPrint", UiPart::Caption}, {"TfrmMain", "mnuPrint", UiPart::Hint}}},
    {352,
     "Copy Picture",
     {{"TfrmMain", "mnuCopyPicture", UiPart::Caption},
      {"TfrmMain", "mnuCopyPicture", UiPart::Hint},
      {"TfrmMain", "mnuCopyPicture1", UiPart::Caption},
      {"TfrmMain", "mnuCopyPicture1", UiPart::Hint}}},
    {353,
     "Print the comment as a caption",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::PrintCaptionOption)}}},
    {354, "File name", {{"TfrmMain", "lblInfoFileName", UiPart::Caption}}},
    {355, "Folder", {{"TfrmMain", "lblInfoFolder", UiPart::Caption}}},
    {356, "Size on disk", {{"TfrmMain", "lblInfoFileSize", UiPart::Caption}}},
    {357, "Kind", {{"TfrmMain", "lblInfoKind", UiPart::Caption}}},
    {358, "Pixel size", {{"TfrmMain", "lblInfoPixelSize", UiPart::Caption}}},
    {359, "Colour profile", {{"TfrmMain", "lblInfoColorProfile", UiPart::Caption}}},
    {360, "Date taken", {{"TfrmMain", "lblInfoDateTaken", UiPart::Caption}}},
    {361, "Camera", {{"TfrmMain", "lblInfoCamera", UiPart::Caption}}},
    {362, "Lens", {{"TfrmMain", "lblInfoLens", UiPart::Caption}}},
    {363, "Exposure", {{"TfrmMain", "lblInfoExposure", UiPart::Caption}}},
    {364, "Aperture", {{"TfrmMain", "lblInfoAperture", UiPart::Caption}}},
    {365, "ISO", {{"TfrmMain", "lblInfoIso", UiPart::Caption}}},
    {366, "Focal length", {{"TfrmMain", "lblInfoFocalLength", UiPart::Caption}}},
    {367, "Flash", {{"TfrmMain", "lblInfoFlash", UiPart::Caption}}},
    {368, "Orientation", {{"TfrmMain", "lblInfoOrientation", UiPart::Caption}}},
    {369, "Position", {{"TfrmMain", "lblInfoPosition", UiPart::Caption}}},
    {370, "Comment", {{"TfrmMain", "lblInfoComment", UiPart::Caption}}},
    {371, "Show on map", {{"TfrmMain", "btnShowOnMap", UiPart::Caption}}},
    {372, "Fired", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::FlashFiredText)}}},
    {373, "Did not fire", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::FlashNotFiredText)}}},
    {374, "mirrored", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::MirroredText)}}},
    {375,
     "Move to Trash",
     {{"TfrmMain", "mnuTrash", UiPart::Caption},
      {"TfrmMain", "mnuTrash1", UiPart::Caption},
      {"TfrmMain", nullptr, UiPart::Program, int(ProgramText::TrashCaption)}}},
    {376,
     "Move the picture's file to the trash",
     {{"TfrmMain", "mnuTrash", UiPart::Hint}, {"TfrmMain", "mnuTrash1", UiPart::Hint}}},
    {377,
     "Show in File Manager",
     {{"TfrmMain", "mnuShowInFolder", UiPart::Caption}, {"TfrmMain", "mnuShowInFolder1", UiPart::Caption}}},
    {378,
     "Show the picture's file in the file manager",
     {{"TfrmMain", "mnuShowInFolder", UiPart::Hint}, {"TfrmMain", "mnuShowInFolder1", UiPart::Hint}}},
    {379,
     "Open With...",
     {{"TfrmMain", "mnuOpenWith", UiPart::Caption}, {"TfrmMain", "mnuOpenWith1", UiPart::Caption}}},
    {380,
     "Open the picture in another program",
     {{"TfrmMain", "mnuOpenWith", UiPart::Hint}, {"TfrmMain", "mnuOpenWith1", UiPart::Hint}}},
    {381,
     "Move \"%1\" to the trash? It can be restored with Undo or from the trash.",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::TrashQuestion)}}},
    {382,
     "The collection names it %1 times: all these entries leave it.",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::TrashSeveralNote)}}},
    {383, "Cancel", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::CancelCaption)}}},
    {384, "Don't ask again", {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::DontAskAgainCaption)}}},
    {385,
     "\"%1\" was not moved to the trash: its file system has no trash Pictavo can use. Nothing was deleted.",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::TrashRefusedMessage)}}},
    {386,
     "\"%1\" can't be put back: another file now has its name.",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::TrashOccupiedMessage)}}},
    {387,
     "\"%1\" can't be put back: the trash no longer holds it.",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::TrashGoneMessage)}}},
    {388,
     "Neither a file manager nor the desktop could show \"%1\".",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::FileManagerFailedMessage)}}},
    {389,
     "No program could be asked to open \"%1\".",
     {{"TfrmMain", nullptr, UiPart::Program, int(ProgramText::OpenWithFailedMessage)}}},
};

} // namespace

const std::vector<UiTextEntry>& uiTextTable()
{
    return UiTexts;
}

const UiTextEntry* uiTextEntry(int number)
{
    const auto& table = uiTextTable();
    const auto it =
        std::find_if(table.begin(), table.end(), [&](const UiTextEntry& e) { return e.number == number; });
    return it == table.end() ? nullptr : &*it;
}

void applyLanguageFile(const IniFile& file, UiTextSink& sink)
{
    for (const UiTextEntry& entry : uiTextTable()) {
        const QString text =
            file.readString(LanguageSection, QString::number(entry.number), QString::fromUtf8(entry.english));
        for (const UiTarget& target : entry.targets) {
            if (target.part == UiPart::Program) {
                sink.setProgramText(ProgramText(target.index), text);
                continue;
            }
            QString shown = text;
            if (target.copyOf >= 0)
                shown = sink.text(entry.targets[target.copyOf]).value_or(text);
            sink.setText(target, shown);
        }
    }
}

QString languageFileName(const QString& path, const QByteArray& codePage)
{
    const QString name =
        IniFile(path, codePage).readString(LanguageSection, QString::number(LanguageNameEntry), QString());
    return name.isEmpty() ? QFileInfo(path).completeBaseName() : name;
}

bool applyLanguage(const QString& languageSetting, UiTextSink& sink, const QByteArray& codePage)
{
    if (languageSetting == QStringLiteral("English"))
        return false;
    applyLanguageFile(IniFile(languageSetting, codePage), sink);
    return true;
}
