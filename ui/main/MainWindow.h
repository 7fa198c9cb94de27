#pragma once
// The main window: thumbnail strip, main image and commands. What is open
// and where it stands lives in the ViewerSession it is created with.
#include "collection/CollectionFile.h"
#include "graphics/Picture.h"
#include "settings/UiText.h"
#include "viewer/DecodeAhead.h"
#include "viewer/ViewerSession.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <exception>

class QAction;
class QMenu;
class QScrollArea;
class QToolButton;
class QFrame;
class MainImage;
class ThumbSlot;
class CollectionListModel;
class EffectsDialog;
class CollectionEditor;
class AboutBox;
class CommentsWindow;
class SettingsDialog;
class QWidget;



class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int MaxSlots = 10;
    // Windows' non-client sizes, so the layout rules see the outer window
    // size they were designed for whether or not a frame is drawn.
    static constexpr int FrameWidth = 8;
    static constexpr int NonClientHeight = 46;

    explicit MainWindow(ViewerSession& session, QWidget* parent = nullptr);
    ViewerSession& session() const { return *m_session; }
    ~MainWindow() override;

    // Commands.
    void openCollectionFile();
    void newCollection();
    void editCollection();
    void scrollDown();
    void scrollUp();
    void selectSlot(int slot);
    void toggleFollowMode();
    void toggleFollowModeFromButton();
    void showActualSize();
    void fitCentred();
    void fitTopLeft();
    void stretchToFit();
    void zoomIn();
    void zoomOut();
    void toggleFullScreen();
    void rotateLeft();
    void rotateRight();
    void showEffects();
    void undo();
    void toggleSlideShow();
    void nextSlide();
    void toggleComments();
    void showSettings();
    void showHelp();
    void showAbout();
    void quit();
    // Key preview: answers true when the key was one of the window's own.
    bool handleKey(int key, Qt::KeyboardModifiers modifiers);
    void relayout();

    // The other windows, which the main window's commands open.
    struct Peers {
        QPointer<EffectsDialog> effects;
        QPointer<CollectionEditor> editor;
        QPointer<AboutBox> about;
        QPointer<SettingsDialog> settings;
        QPointer<CommentsWindow> comments;
    };
    void setPeers(const Peers& peers) { m_peers = peers; }
    // A new collection got its file: the commands that edit it apply.
    void enableCollectionEditing();

    // Shows slot n: main image, comment line, comments window, status texts.
    void showSlot(int n);
    // Pictures decoded for the main image, the one shown and those beside it.
    DecodeAhead* decoder() const { return m_decoder; }
    // The file of `path` was written: nothing decoded from it before may show.
    void pictureFileChanged(const QString& path);

    // Its parts, for the application and for tests.
    int SlotCount() const { return int(m_slots.size()); }
    ThumbSlot* slot(int n) const { return m_slots.at(n - 1); }
    MainImage* Image1() const { return m_mainImage; }
    QScrollArea* BordShape() const { return m_imageScroller; }
    QWidget* Panel1() const { return m_stripPanel; }
    QFrame* ShapeCur() const { return m_highlight; }
    QToolButton* BtnUp() const { return m_btnUp; }
    QToolButton* BtnDown() const { return m_btnDown; }
    QLabel* LabelComent() const { return m_commentLabel; }
    QLabel* statusPanel(int i) const { return m_statusPanels[i]; }
    QTimer* TimerSlide() const { return m_slideTimer; }
    int ZoomStep() const { return m_zoomStep; }
    bool isFullScreenMode() const { return m_fullScreen; }
    QAction* action(const char* name) const;
    QToolButton* toolButton(const char* name) const;
    // The strip panel's height: the outer window height less 130.
    int stripPanelHeight() const;
    // Sizes the window so that its outer size, as the layout rules count
    // it, is W x H.
    void setOuterSize(int W, int H);
    QSize outerSize() const;

    void setUndoEnabled(bool on);

    // How long a long open reads before it lets the window repaint, first
    // and then again (milliseconds).
    void setOpenSyncTimes(int firstMs, int laterMs)
    {
        m_syncFirstMs = firstMs;
        m_syncLaterMs = laterMs;
    }

    // Colours from the settings.
    void setStripColor(const QColor& color);
    void setMainColor(const QColor& color);
    void setCommentFont(const QFont& font, const QColor& color);
    // How JPEGs are read from now on; the pictures on screen follow at once.
    void setExifOrientation(ExifOrientation exif);
    // Pictures drawn in the screen's colours, or as their values are stored.
    void setColorManaged(bool on);
    ExifOrientation exifOrientation() const { return m_exifOrientation; }


protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildContents();
    // The strip's scroll buttons, the strip and main picture, the status panels.
    void createNavButtons();
    void createPictureArea();
    void createStatusBar();
    void openCollection();
    // The steps of an open: the path, the state reset, each entry read, the end.
    QString chooseCollectionPath();
    CollectionListModel* startCollection(const QString& path);
    void takeEntry(int k, const CollectionEntry& e, CollectionListModel* list, std::exception_ptr& pictureFailure);
    void finishCollection();
    void syncOpeningWindow(CollectionListModel* list);
    void createActions();
    void createMenus();
    void createToolBar();
    void createSlots(int from, int to);
    QAction* makeAction(const char* name, const QString& caption, const QString& shortcut,
                        const QString& hint, void (MainWindow::*handler)());
    QToolButton* makeToolButton(const char* name, const QString& hint, const QIcon& icon,
                                void (MainWindow::*handler)(), int x);

    void connectSession();
    // Reads the strip's pictures again from their files.
    void reloadStrip();
    // Fills each slot that has an entry; returns the texts of the pictures that failed.
    QStringList loadSlotPictures();
    void showReplacedPicture(const Picture& now);
    // Reads entry `e`'s picture into slot `s`, from what was decoded ahead
    // when its file is unchanged since.
    void loadSlot(ThumbSlot* s, const CollectionEntry& e);
    // Asks for the main image's pixels and for the entries beside it.
    void updateDecodes();
    void connectDecoder();
    void placeShape(int slot);
    void updateNavButtons();
    void updatePositionTexts(int entry);
    void setCollectionCommandsEnabled(bool on);
    void refreshLabels();
    void applyWindowTitle();
    void scrollArea(bool fullScreen);
    void setLockedBySlideShow(bool locked);

    ViewerSession* m_session;
    Peers m_peers;
    QWidget* m_central = nullptr;
    QToolButton* m_btnUp = nullptr;
    QToolButton* m_btnDown = nullptr;
    QWidget* m_stripPanel = nullptr;
    QFrame* m_highlight = nullptr;
    QWidget* m_toolBar = nullptr;
    QScrollArea* m_imageScroller = nullptr;
    MainImage* m_mainImage = nullptr;
    QLabel* m_commentLabel = nullptr;
    QWidget* m_statusBar = nullptr;
    QLabel* m_statusPanels[3] = {};
    QTimer* m_slideTimer = nullptr;
    QMenu* m_imageMenu = nullptr;
    QMenu* m_viewModeMenu = nullptr;
    QList<ThumbSlot*> m_slots;
    DecodeAhead* m_decoder = nullptr;
    int m_shownEntry = 0;    // whose picture the main image shows
    Picture m_failedPicture; // told once, not decoded again
    bool m_decodesQueued = false;
    int m_zoomStep = 0;
    bool m_fullScreen = false;
    QRect m_normalGeometry;
    bool m_opening = false;
    bool m_resizePending = false;
    int m_syncFirstMs = 1000;
    int m_syncLaterMs = 250;
    QStringList m_layoutFailures; // told already, while they last
    ExifOrientation m_exifOrientation = ExifOrientation::Apply;
};
