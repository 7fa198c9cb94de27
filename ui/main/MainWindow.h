#pragma once
// The main window: thumbnail strip, main image, comment line, status bar
// and the commands. What is open, where the strip stands, which commands
// can run and when the slide show steps is the ViewerSession's to decide;
// the window shows it and hands it the user's input.
#include "collection/CollectionFile.h"
#include "graphics/Picture.h"
#include "settings/WindowSettings.h"
#include "ui/common/OnFirstUse.h"
#include "viewer/DecodeAhead.h"
#include "viewer/SlideShow.h"
#include "viewer/ViewerSession.h"

#include <QLabel>
#include <QMainWindow>
#include <QPointer>

#include <exception>

class QFrame;
class QTimer;
class QScrollArea;
class QToolButton;
class AboutBox;
class AnimationView;
class CollectionOpen;
class CollectionRead;
class FolderListing;
struct FolderPictures;
class CollectionEditor;
class CommentsWindow;
class DialogProvider;
class EffectsDialog;
class HelpBinding;
class ImageMouse;
class LoadingSign;
class MainCommands;
class MainImage;
class PictureFiles;
class PictureInfoPanel;
class PictureInfoReader;
class ThumbnailQueue;
class SoundPlayer;
class SettingsDialog;
class SettingsStore;
class ThumbSlot;
class DesktopFiles;

class MainWindow : public QMainWindow, private SlideShowView {
    Q_OBJECT
public:
    static constexpr int MaxSlots = 10;
    // Windows' non-client sizes, so the layout rules see the outer window
    // size they were designed for whether or not a frame is drawn.
    static constexpr int FrameWidth = 8;
    static constexpr int NonClientHeight = 46;
    // A first run's window, below the menu bar.
    static constexpr QSize FirstClientSize{616, 535};

    // The slide show's sound plays through `sound`.
    MainWindow(ViewerSession& session, SoundPlayer& sound, DialogProvider& dialogs,
               QWidget* parent = nullptr);
    ~MainWindow() override;
    ViewerSession& session() const { return *m_session; }

    // The other windows, which the main window's commands open, each built
    // when it is first needed.
    struct Peers {
        OnFirstUse<EffectsDialog> effects;
        OnFirstUse<CollectionEditor> editor;
        OnFirstUse<AboutBox> about;
        OnFirstUse<SettingsDialog> settings;
        OnFirstUse<CommentsWindow> comments;
        HelpBinding* help = nullptr;
        // Where "Don't ask again" before a move to the trash is remembered.
        SettingsStore* store = nullptr;
    };
    void setPeers(Peers peers) { m_peers = std::move(peers); }
    Peers& peers() { return m_peers; }
    // What the comments window shows: the comment of the slot shown last,
    // kept while that window isn't built.
    const QString& commentsText() const { return m_commentsText; }

    // Commands.
    void run(ViewerCommand command);
    void openCollectionFile();
    // The collection file of the last open (or the folder of a picture
    // opened) is still being read, off this thread: the window answers meanwhile.
    bool isReadingCollection() const;
    // A picture opened by itself: the pictures of its folder, as a
    // collection not yet saved, at that picture.
    void openPicture(const QString& path);
    void newCollection();
    void editCollection();
    // Next and Previous: the Down and Up keys and the strip's buttons.
    void stepForward();
    void stepBack();
    void selectSlot(int slot);
    // Makes `entry` (kept within the collection) current and shows it.
    void goToEntry(int entry);
    void toggleFollowMode();
    void showActualSize();
    void fitCentred();
    void fitTopLeft();
    void stretchToFit();
    // How an open and a slot click show their picture: 1:1, or fitted
    // when the settings say so.
    void showChosenPicture();
    void zoomIn();
    void zoomOut();
    void toggleFullScreen();
    void rotateLeft();
    void rotateRight();
    void showEffects();
    void undo();
    // The current picture's file (FileCommands.cpp): to the trash, after one
    // question per run unless told not to ask; in the file manager; opened
    // with a program the desktop offers.
    void moveToTrash();
    void showInFileManager();
    void openWith();
    // The desktop's services those go through (tests give fakes).
    void setDesktopFiles(DesktopFiles* desktop) { m_desktop = desktop; }
    void toggleComments();
    void showSettings();
    void showHelp();
    void showAbout();
    void quit();
    // The picture shown (InfoCommands.cpp): its information panel shown or
    // hidden, printed through the print preview, copied to the clipboard.
    void togglePictureInfo();
    void printPicture();
    void copyPicture();
    PictureInfoPanel* infoPanel() const { return m_infoPanel; }
    PictureInfoReader* infoReader() const { return m_infoReader; }
    // Key preview: answers true when the key was one of the window's own.
    bool handleKey(int key, Qt::KeyboardModifiers modifiers);
    void relayout();

    // Shows slot n: main image, comment line, comments window, status texts.
    void showSlot(int n);
    // The comment line, the comments window and the status texts tell of
    // the entry the main image shows, whichever command put it there.
    void showShownTexts();
    // The picture files shown, each with what was made of it.
    PictureFiles& pictureFiles() const { return *m_files; }
    // Pictures decoded for the main image, the one shown and those beside it.
    DecodeAhead* decoder() const;
    // The strip's thumbnails, made off the GUI thread.
    ThumbnailQueue* thumbnails() const;

    // Its parts, for the application and for tests.
    MainCommands& commands() const { return *m_commands; }
    int slotCount() const { return int(m_slots.size()); }
    ThumbSlot* slot(int n) const { return m_slots.at(n - 1); }
    MainImage* mainImage() const { return m_mainImage; }
    AnimationView* animation() const { return m_animation; }
    QScrollArea* imageArea() const { return m_imageScroller; }
    QWidget* stripPanel() const { return m_stripPanel; }
    QFrame* highlightFrame() const { return m_highlight; }
    QToolButton* upButton() const { return m_upButton; }
    QToolButton* downButton() const { return m_downButton; }
    QLabel* commentLine() const { return m_commentLabel; }
    QLabel* statusPanel(int i) const { return m_statusPanels[i]; }
    ImageMouse* imageMouse() const { return m_mouse; }
    bool isFullScreenMode() const { return m_session->isFullScreen(); }
    // The strip panel's height: the outer window height less 130.
    int stripPanelHeight() const;
    // Sizes the window so that its outer size, as the layout rules count
    // it, is W x H.
    void setOuterSize(int W, int H);
    QSize outerSize() const;

    // How long a long open takes entries before it shows how far it got,
    // first and then again (milliseconds).
    void setOpenProgressIntervals(int firstMs, int laterMs)
    {
        m_progressFirstMs = firstMs;
        m_progressLaterMs = laterMs;
    }

    // Takes back what the window remembered from the last run (WindowMemory.cpp),
    // kept within the screen; and what to remember at the end.
    void restore(const WindowSettings& remembered);
    WindowSettings remembered() const;
    // Where a shown window whose frame, as the window manager drew it, is
    // `frame` around `client` goes: within `available`, and at its top when
    // it holds the window only just.
    static QRect placeFramed(const QRect& client, const QMargins& frame, const QRect& available,
                             const QSize& minimum);

    // Colours and the comment font from the settings.
    void setStripColor(const QColor& color);
    void setMainColor(const QColor& color);
    void setCommentFont(const QFont& font, const QColor& color);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Drops (MainDrops.cpp): a collection opens; pictures open as the
    // first of them would, or join the collection editor's list when it is open.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // SlideShowView: what the slide show does on screen.
    bool atLastEntry() const override;
    void showNextSlide() override;
    void showCurrentEntry() override;
    bool isFullScreen() const override { return m_session->isFullScreen(); }
    void enterFullScreen() override;
    void followCursor() override;
    void tellFinished() override;
    void tellError(const QString& text) override;
    void playSound(const QString& path) override;
    void stopSound() override;

    void buildContents();
    void createNavButtons();
    void createPictureArea();
    void createStatusBar();
    void createSlots(int from, int to);
    void connectSession();
    void connectPictureFiles();
    void showCommandStates();

    // The open, driven step by step (OpenCollection.cpp).
    QString chooseCollectionPath();
    void loadOpeningSlot(int slot, const CollectionEntry& e);
    // Runs an open to its end; answers the failure to tell, if any.
    std::exception_ptr runOpen(CollectionOpen& open);
    // Stops a collection file or a folder still being read.
    void stopReading();
    // The folder of a picture shown by itself has been listed: its pictures
    // become the collection, at that one.
    void takeFolderListing(const FolderPictures& found, bool pictureShown);
    void showFirstEntry();
    void showOpenProgress();
    void finishShowingCollection();
    // Slots below the last entry show nothing and take no clicks.
    void clearSlotsPastTheEntries();

    // The strip and the main image's pictures.
    void showStep(const StripModel::Step& step);
    void reloadStrip();
    // Entries left or came back: the strip from the current entry on.
    void showChangedEntries();
    DesktopFiles& desktopFiles();
    // Hands the current entry's file to the desktop, and says so when
    // nothing could take it.
    void handToDesktop(bool openWith);
    // Points each slot at its entry's file; renditions follow.
    void loadSlotPictures();
    // Asks for the renditions the slots lack, in view order; at an open,
    // once the main image has its pixels.
    void fillStrip();
    void showRendition(ThumbSlot* s);
    // The current entry's picture for a command: the one shown while its
    // file is unchanged, else as PictureFiles has it or reads it now
    // (throws AppError when it can't be).
    Picture currentPicture();
    // Puts the current entry's picture into the main image for a command.
    Picture showCurrentPicture();
    // The file of the entry the main image stands for, or nothing.
    QString shownPath() const;
    // Puts what was decoded for `path` into the main image.
    void takeDecoded(const QString& path);
    // A command wrote `now` into `path`, the current entry's file.
    void showWrittenPicture(const QString& path, const Picture& now);
    void showReplacedPicture(const Picture& now);
    void rotateCurrent(int angle);
    void followExifOrientation(ExifOrientation exif);
    // Pictures drawn in the screen's colours, or as their values are stored.
    void followColorManaged();
    // Asks for the main image's pixels and for the entries beside it.
    void updateDecodes();
    // The sign of work follows whether the main image waits for its picture.
    void followLoading();
    void placeHighlight();
    void updateNavButtons();
    // "Image: 3 / 12", and the entry's file name beside it.
    QString positionText(int entry) const;
    // The status panels side by side, the position wide enough for its text.
    void placeStatusPanels();
    // What a screen reader says for entry `entry`: "3 of 14: <comment>".
    QString spokenName(int entry) const;
    void showFocus();
    void stepStripByWheel(int delta);
    // Once the window is first shown: kept on the screen with its real frame.
    void watchFirstFrame();
    void updatePositionTexts(int entry);
    void createInfoPanel();
    // The panel, while shown, asks for the information of the picture shown.
    void followPictureInfo();
    // The picture on view as it is drawn: upright, in display colours.
    QImage shownImage();
    void applyWindowTitle();
    void scrollArea(bool fullScreen);
    void showZoomText();

    ViewerSession* m_session;
    SoundPlayer& m_sound;
    DialogProvider& m_dialogs;
    Peers m_peers;
    QString m_commentsText;
    MainCommands* m_commands = nullptr;
    QWidget* m_central = nullptr;
    QToolButton* m_upButton = nullptr;
    QToolButton* m_downButton = nullptr;
    QWidget* m_stripPanel = nullptr;
    QFrame* m_highlight = nullptr;
    QWidget* m_toolBar = nullptr;
    QScrollArea* m_imageScroller = nullptr;
    MainImage* m_mainImage = nullptr;
    AnimationView* m_animation = nullptr;
    ImageMouse* m_mouse = nullptr;
    QLabel* m_commentLabel = nullptr;
    QWidget* m_statusBar = nullptr;
    QLabel* m_statusPanels[4] = {}; // the last: the zoom
    QList<ThumbSlot*> m_slots;
    PictureFiles* m_files = nullptr;
    LoadingSign* m_loadingSign = nullptr;
    bool m_decodesQueued = false;
    int m_zoomStep = 0;
    int m_stripWheelRest = 0; // a part notch over the strip
    bool m_shownOnce = false;
    QRect m_normalGeometry;
    int m_progressFirstMs = 1000;
    int m_progressLaterMs = 250;
    CollectionRead* m_collectionRead = nullptr;
    FolderListing* m_folderListing = nullptr;
    PictureInfoPanel* m_infoPanel = nullptr;
    PictureInfoReader* m_infoReader = nullptr;
    QString m_infoPath;           // the picture the panel tells of, or asked for
    bool m_readingCursor = false; // the busy cursor of a read under way
    DesktopFiles* m_desktop = nullptr;
    bool m_trashAsked = false; // the question before a move to the trash, once a run
};
