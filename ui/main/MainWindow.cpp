#include "ui/main/MainWindow.h"

#include "ui/common/AboutBox.h"
#include "ui/common/RunCommand.h"
#include "ui/common/CommentsWindow.h"
#include "ui/common/Icons.h"
#include "ui/main/LongTextLabel.h"
#include "ui/main/MainImage.h"
#include "ui/main/ThumbSlot.h"
#include "collection/CollectionListModel.h"
#include "ui/editor/CollectionEditor.h"
#include "ui/effects/EffectsDialog.h"
#include "core/Errors.h"
#include "ui/help/HelpBinding.h"
#include "ui/common/Dialogs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusTipEvent>
#include <QToolButton>

#include <cerrno>
#include <exception>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

ProgramTexts Texts;
ViewerState Viewer;
MainWindow* frmMain = nullptr;
EffectsDialog* frmEffects = nullptr;
CollectionEditor* frmNewCollection = nullptr;
AboutBox* frmAbout = nullptr;
SettingsDialog* frmSettings = nullptr;
CommentsWindow* frmComments = nullptr;

namespace {
const QString kCollectionFilter = QStringLiteral("Pictavo Files (*.PVX)|*.pvx");

// The highlight frame: a navy two-pixel rectangle filled with the strip colour.
class ShapeFrame : public QFrame {
public:
    explicit ShapeFrame(QWidget* parent) : QFrame(parent) {}
    QColor fill = Qt::white;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), fill);
        p.setPen(QPen(QColor(0, 0, 128), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
};

// Whether the file reads back as exactly these entries.
bool collectionHolds(const QString& path, const QList<CollectionEntry>& entries)
{
    try {
        return readCollectionAll(path) == entries;
    } catch (const AppError&) {
        return false;
    }
}

void setBackground(QWidget* w, const QColor& c)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, c);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}
} // namespace

void MainWindow::reportError(const QString& text)
{
    QWidget* parent = QApplication::activeWindow();
    dialogs().error(parent ? parent : frmMain, text);
}

template <typename F> void MainWindow::guarded(F&& f)
{
    runCommand(std::forward<F>(f));
}

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    frmMain = this;
    setObjectName(QStringLiteral("frmMain"));
    buildContents();
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(this);
    if (frmMain == this)
        frmMain = nullptr;
}

void MainWindow::buildContents()
{
    Texts = ProgramTexts();
    Viewer.CurrentSlot = 1;
    Viewer.FollowsCursor = false;

    setWindowTitle(Texts.TitleText);
    setWindowIcon(appIcon());
    QFont base(QStringLiteral("DejaVu Sans"));
    base.setPixelSize(11);
    setFont(base);

    m_central = new QWidget(this);
    m_central->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(m_central);
    m_central->installEventFilter(this);

    m_btnUp = new QToolButton(m_central);
    m_btnUp->setObjectName(QStringLiteral("BtnUp"));
    m_btnUp->setAutoRaise(true);
    m_btnUp->setIcon(pvIcon(QStringLiteral("up")));
    m_btnUp->setGeometry(2, 9, 161, 16);
    m_btnUp->setToolTip(QStringLiteral("Key Up or Backspace"));
    m_btnUp->setStatusTip(m_btnUp->toolTip());
    m_btnUp->setFocusPolicy(Qt::NoFocus);
    m_btnUp->setEnabled(false);
    connect(m_btnUp, &QToolButton::clicked, this, [this] { guarded([this] { scrollUp(); }); });

    m_btnDown = new QToolButton(m_central);
    m_btnDown->setObjectName(QStringLiteral("BtnDown"));
    m_btnDown->setAutoRaise(true);
    m_btnDown->setIcon(pvIcon(QStringLiteral("down")));
    m_btnDown->setToolTip(QStringLiteral("Key Down or Space"));
    m_btnDown->setStatusTip(m_btnDown->toolTip());
    m_btnDown->setFocusPolicy(Qt::NoFocus);
    m_btnDown->setEnabled(false);
    connect(m_btnDown, &QToolButton::clicked, this, [this] { guarded([this] { scrollDown(); }); });

    m_stripPanel = new QWidget(m_central);
    m_stripPanel->setObjectName(QStringLiteral("Panel1"));
    setBackground(m_stripPanel, Qt::white);

    auto* shape = new ShapeFrame(m_stripPanel);
    shape->setObjectName(QStringLiteral("ShapeCur"));
    shape->setGeometry(6, 6, 149, 149);
    shape->hide();
    m_highlight = shape;

    m_imageScroller = new QScrollArea(m_central);
    m_imageScroller->setObjectName(QStringLiteral("BordShape"));
    m_imageScroller->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_imageScroller->setLineWidth(1);
    m_imageScroller->setWidgetResizable(false);
    m_imageScroller->setContextMenuPolicy(Qt::CustomContextMenu);
    setBackground(m_imageScroller->viewport(), Qt::white);
    m_mainImage = new MainImage;
    m_imageScroller->setWidget(m_mainImage);
    m_mainImage->setContextMenuPolicy(Qt::NoContextMenu);

    m_commentLabel = new LongTextLabel(m_central);
    m_commentLabel->setObjectName(QStringLiteral("LabelComent"));
    m_commentLabel->setAlignment(Qt::AlignCenter);
    m_commentLabel->setTextFormat(Qt::PlainText);
    QFont commentFont(QStringLiteral("Verdana"));
    commentFont.setPixelSize(13);
    m_commentLabel->setFont(commentFont);

    m_statusBar = new QWidget(m_central);
    m_statusBar->setObjectName(QStringLiteral("StatusBar"));
    for (int i = 0; i < 3; ++i) {
        auto* l = new LongTextLabel(m_statusBar); // hints carry whole comments
        l->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setTextFormat(Qt::PlainText);
        l->setIndent(2);
        m_statusPanels[i] = l;
    }

    m_slideTimer = new QTimer(this);
    m_slideTimer->setObjectName(QStringLiteral("TimerSlide"));
    m_slideTimer->setInterval(5000);
    connect(m_slideTimer, &QTimer::timeout, this, [this] { guarded([this] { nextSlide(); }); });

    createActions();
    createMenus();
    createToolBar();

    // Disabled until a collection is open.
    setCollectionCommandsEnabled(false);
    setUndoEnabled(false);

    connect(m_imageScroller, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        m_imageMenu->popup(m_imageScroller->mapToGlobal(pos));
    });

    // The design's client area is 616 x 535 below the menu bar.
    const int menuH = menuBar()->sizeHint().height();
    setMinimumSize(600 - FrameWidth, 400 - NonClientHeight + menuH);
    resize(616, 535 + menuH);
    move(209, 115);

    // Slots for the design height; the layout routine keeps them in step.
    createSlots(1, std::min(MaxSlots, stripPanelHeight() / 130));
    relayout();

    qApp->installEventFilter(this);
}

QAction* MainWindow::makeAction(const char* name, const QString& caption, const QString& shortcut,
                              const QString& hint, void (MainWindow::*handler)())
{
    auto* a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty()) {
        a->setShortcut(QKeySequence(shortcut));
        a->setShortcutContext(Qt::WindowShortcut);
    }
    a->setStatusTip(hint);
    a->setToolTip(hint);
    if (handler)
        connect(a, &QAction::triggered, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    return a;
}

QAction* MainWindow::action(const char* name) const
{
    return findChild<QAction*>(QString::fromLatin1(name));
}

QToolButton* MainWindow::toolButton(const char* name) const
{
    return findChild<QToolButton*>(QString::fromLatin1(name));
}

void MainWindow::createActions()
{
    using M = MainWindow;
    makeAction("mnuNew", "New Collection...", "Ctrl+N", "Create New Collection...", &M::newCollection);
    makeAction("mnuOpen", "&Open Collection...", "Ctrl+O", "Open Collection...", &M::openCollectionFile);
    makeAction("mnuAdd", "Add / Delete image...", "Ins", "Add / Delete image...", &M::editCollection);
    makeAction("Exit1", "&Exit", "F10", "Exit", &M::quit);
    makeAction("mnuUndo", "Undo", "Ctrl+Z", "Undo last effect", &M::undo);
    makeAction("mnuZoomIn", "Zoom In", "F11", "Zoom In", &M::zoomIn);
    makeAction("mnuZoomOut", "Zoom Out", "F12", "Zoom Out", &M::zoomOut);
    makeAction("mnuOriginalSize", "Original Size", "Ctrl+F11", "Original Size", &M::showActualSize);
    makeAction("mnuRotateLeft", "Rotate Left", "Ctrl+L", "Rotate Image Left", &M::rotateLeft);
    makeAction("mnuRotateRight", "Rotate Right", "Ctrl+R", "Rotate Image Right", &M::rotateRight);
    makeAction("mnuEffects", "&Effects...            ", "Ctrl+E", "Add effects to image(s)", &M::showEffects);
    makeAction("AsIs1", "&As Is", "F2", "As Is", &M::showActualSize);
    makeAction("Proportional2", "&Proportional    ", "F3", "Proportional", &M::fitCentred);
    makeAction("Stretch1", "Stret&ch", "F4", "Stretch", &M::stretchToFit);
    makeAction("mnuFullScreen1", "Full &Screen", "Ctrl+S", "Full Screen", &M::toggleFullScreen);
    QAction* follows = makeAction("mnuFollows", "&Main image follows cursor", "Ctrl+M",
                                  "Main Image will be follows the Up and Down events", &M::toggleFollowMode);
    follows->setCheckable(true);
    // The toggle itself flips the check mark; keep it under program control.
    disconnect(follows, &QAction::triggered, nullptr, nullptr);
    connect(follows, &QAction::triggered, this, [this, follows] {
        follows->setChecked(Viewer.FollowsCursor); // undo Qt's own toggle first
        guarded([this] { toggleFollowMode(); });
    });
    makeAction("mnuSlideShow", "Start / Stop S&lide Show", "F5", "Start / Stop Slide Show", &M::toggleSlideShow);
    makeAction("mnuComments", "Show / Hide comments window", "Ctrl+C", "Show / Hide comments window",
               &M::toggleComments);
    makeAction("mnuSettings", "Set&tings...", "Ctrl+T", "Program settings", &M::showSettings);
    makeAction("mnuHelp1", "Help         ", "F1", "Help", &M::showHelp);
    makeAction("mnuAbout", "About...", "", "About", &M::showAbout);

    // Context-menu and drop-down twins: same operations, no shortcuts of their own.
    makeAction("mnuUndo1", "Undo", "", "Undo last effect", &M::undo);
    makeAction("mnuZoomIn1", "Zoom In", "", "Zoom In", &M::zoomIn);
    makeAction("mnuZoomOut1", "Zoom Out", "", "Zoom Out", &M::zoomOut);
    makeAction("mnuOriginalSize1", "Original Size", "", "Original Size", &M::showActualSize);
    makeAction("RotateLeft2", "Rotate Left", "", "Rotate Image Left", &M::rotateLeft);
    makeAction("RotateRight1", "Rotate Right", "", "Rotate Image Right", &M::rotateRight);
    makeAction("mnuEffects1", "Effects...            ", "", "Add effects to image(s)", &M::showEffects);
    makeAction("AsIs2", "&As Is", "", "As Is", &M::showActualSize);
    makeAction("Proportional3", "&Proportional    ", "", "Proportional", &M::fitCentred);
    makeAction("Stretch2", "Stret&ch", "", "Stretch", &M::stretchToFit);
    makeAction("mnuFullScreen3", "Full &Screen", "", "Full Screen", &M::toggleFullScreen);
    makeAction("AddDeleteimage1", "Add / Delete image...", "", "Add / Delete image...", &M::editCollection);
    makeAction("mnuAsIs", "&As Is", "", "As Is", &M::showActualSize);
    makeAction("Proportional1", "&Proportional     ", "", "Proportional", &M::fitTopLeft);
    makeAction("Stretch3", "Stret&ch", "", "Stretch", &M::stretchToFit);
    makeAction("mnuFullScreen2", "Full &Screen", "", "Full Screen", &M::toggleFullScreen);
}

void MainWindow::createMenus()
{
    auto a = [this](const char* n) { return action(n); };
    QMenuBar* bar = menuBar();

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuMain"));
    file->addAction(a("mnuNew"));
    file->addAction(a("mnuOpen"));
    file->addSeparator();
    file->addAction(a("mnuAdd"));
    file->addSeparator();
    file->addAction(a("Exit1"));

    QMenu* image = bar->addMenu(QStringLiteral("&Image"));
    image->setObjectName(QStringLiteral("mnuImage"));
    image->addAction(a("mnuUndo"));
    image->addSeparator();
    image->addAction(a("mnuZoomIn"));
    image->addAction(a("mnuZoomOut"));
    image->addAction(a("mnuOriginalSize"));
    image->addSeparator();
    image->addAction(a("mnuRotateLeft"));
    image->addAction(a("mnuRotateRight"));
    image->addSeparator();
    image->addAction(a("mnuEffects"));
    image->addSeparator();
    QMenu* view = image->addMenu(QStringLiteral("View"));
    view->setObjectName(QStringLiteral("mnuImgViewMenu"));
    view->menuAction()->setObjectName(QStringLiteral("mnuImgView"));
    view->menuAction()->setStatusTip(QStringLiteral("Change view mode"));
    view->addAction(a("AsIs1"));
    view->addAction(a("Proportional2"));
    view->addAction(a("Stretch1"));
    view->addSeparator();
    view->addAction(a("mnuFullScreen1"));

    QMenu* options = bar->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("Options1"));
    options->addAction(a("mnuFollows"));
    options->addAction(a("mnuSlideShow"));
    options->addAction(a("mnuComments"));
    options->addSeparator();
    options->addAction(a("mnuSettings"));

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    help->addAction(a("mnuHelp1"));
    help->addAction(a("mnuAbout"));

    m_imageMenu = new QMenu(this);
    m_imageMenu->setObjectName(QStringLiteral("PopupMenu1"));
    m_imageMenu->addAction(a("mnuUndo1"));
    m_imageMenu->addSeparator();
    m_imageMenu->addAction(a("mnuZoomIn1"));
    m_imageMenu->addAction(a("mnuZoomOut1"));
    m_imageMenu->addAction(a("mnuOriginalSize1"));
    m_imageMenu->addSeparator();
    m_imageMenu->addAction(a("RotateLeft2"));
    m_imageMenu->addAction(a("RotateRight1"));
    m_imageMenu->addSeparator();
    m_imageMenu->addAction(a("mnuEffects1"));
    m_imageMenu->addSeparator();
    QMenu* view1 = m_imageMenu->addMenu(QStringLiteral("View"));
    view1->setObjectName(QStringLiteral("mnuImgView1Menu"));
    view1->menuAction()->setObjectName(QStringLiteral("mnuImgView1"));
    view1->menuAction()->setStatusTip(QStringLiteral("Change view mode"));
    view1->addAction(a("AsIs2"));
    view1->addAction(a("Proportional3"));
    view1->addAction(a("Stretch2"));
    view1->addSeparator();
    view1->addAction(a("mnuFullScreen3"));
    m_imageMenu->addSeparator();
    m_imageMenu->addAction(a("AddDeleteimage1"));

    m_viewModeMenu = new QMenu(this);
    m_viewModeMenu->setObjectName(QStringLiteral("ImgStyle"));
    m_viewModeMenu->addAction(a("mnuAsIs"));
    m_viewModeMenu->addAction(a("Proportional1"));
    m_viewModeMenu->addAction(a("Stretch3"));
    m_viewModeMenu->addSeparator();
    m_viewModeMenu->addAction(a("mnuFullScreen2"));
}

QToolButton* MainWindow::makeToolButton(const char* name, const QString& hint, const QIcon& icon,
                                      void (MainWindow::*handler)(), int x)
{
    auto* b = new QToolButton(m_toolBar);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoRaise(true);
    b->setIcon(icon);
    b->setIconSize(QSize(18, 18));
    b->setToolTip(hint);
    b->setStatusTip(hint);
    b->setFocusPolicy(Qt::NoFocus);
    b->setGeometry(x, 0, 27, 25);
    if (handler)
        connect(b, &QToolButton::clicked, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    return b;
}

void MainWindow::createToolBar()
{
    m_toolBar = new QWidget(m_central);
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setGeometry(168, 5, 439, 25);
    using M = MainWindow;
    const int sep = 8;
    int x = 0;
    auto next = [&](int extra = 0) {
        const int at = x;
        x += 27 + extra;
        return at;
    };
    makeToolButton("ToolButton2", "Create New Collection...", pvIcon("new"), &M::newCollection, next());
    makeToolButton("ToolButton1", "Open Collection...", pvIcon("open"), &M::openCollectionFile, next());
    makeToolButton("btnAdd", "Add / Delete image...", pvIcon("add"), &M::editCollection, next());
    x += sep;
    makeToolButton("btnSettings", "Program settings", pvIcon("settings"), &M::showSettings, next());
    makeToolButton("btnSlideShow", "Start / Stop Slide Show", pvIcon("slideshow"), &M::toggleSlideShow, next());
    x += sep;
    makeToolButton("btnLeft", "Rotate Image Left", pvIcon("left"), &M::rotateLeft, next());
    makeToolButton("btnRight", "Rotate Image Right", pvIcon("right"), &M::rotateRight, next());
    makeToolButton("btnEffect", "Add effects to image(s)", pvIcon("effects"), &M::showEffects, next());
    makeToolButton("butUndo", "Undo last effect", pvIcon("undo"), &M::undo, next());
    x += sep;
    QToolButton* follow = makeToolButton("btnFollow", "Main Image will be follows the Up and Down events",
                                         pvIcon("follow"), nullptr, next());
    follow->setCheckable(true);
    connect(follow, &QToolButton::clicked, this, [this] { guarded([this] { toggleFollowModeFromButton(); }); });
    QToolButton* view = makeToolButton("btnImgView", "Change view mode", pvIcon("view"), nullptr, next(12));
    view->resize(39, 25);
    view->setMenu(m_viewModeMenu);
    view->setPopupMode(QToolButton::InstantPopup);
    x += sep;
    makeToolButton("btnAbout", "Help", pvIcon("help"), &M::showHelp, next());
}

void MainWindow::createSlots(int from, int to)
{
    for (int i = from; i <= to; ++i) {
        auto* s = new ThumbSlot(i, m_stripPanel);
        s->move(8, 8 + 153 * (i - 1));
        s->setEnabled(false);
        s->show();
        connect(s, &ThumbSlot::clicked, this, [this](int n) { guarded([this, n] { selectSlot(n); }); });
        m_slots.append(s);
    }
}

int MainWindow::stripPanelHeight() const { return m_central->height() + NonClientHeight - 130; }

void MainWindow::setOuterSize(int W, int H)
{
    resize(W - FrameWidth, H - NonClientHeight + (height() - m_central->height()));
}

QSize MainWindow::outerSize() const
{
    return QSize(m_central->width() + FrameWidth, m_central->height() + NonClientHeight);
}

void MainWindow::setCollectionCommandsEnabled(bool on)
{
    static const char* const names[] = {
        "mnuAdd",        "btnAdd",          "AddDeleteimage1",  "btnEffect",     "mnuEffects",
        "mnuEffects1",   "mnuRotateLeft",   "mnuRotateRight",   "btnLeft",       "btnRight",
        "RotateLeft2",   "RotateRight1",    "mnuZoomIn",        "mnuZoomOut",    "mnuOriginalSize",
        "mnuZoomIn1",    "mnuZoomOut1",     "mnuOriginalSize1", "mnuSlideShow",  "btnSlideShow",
        "mnuComments",   "mnuImgView",      "mnuImgView1",      "btnImgView",    "AsIs1",
        "Proportional2", "Stretch1",        "mnuFullScreen1",   "AsIs2",         "Proportional3",
        "Stretch2",      "mnuFullScreen3",  "mnuAsIs",          "Proportional1", "Stretch3",
        "mnuFullScreen2"};
    for (const char* n : names) {
        const QString name = QString::fromLatin1(n);
        if (QAction* a = findChild<QAction*>(name))
            a->setEnabled(on);
        else if (QWidget* w = findChild<QWidget*>(name))
            w->setEnabled(on);
    }
    if (QMenu* image = findChild<QMenu*>(QStringLiteral("mnuImage")))
        image->menuAction()->setEnabled(on);
    // A running slide show keeps Effects locked.
    if (on && m_slideTimer->isActive())
        setLockedBySlideShow(true);
}

void MainWindow::setUndoEnabled(bool on)
{
    action("mnuUndo")->setEnabled(on);
    action("mnuUndo1")->setEnabled(on);
    toolButton("butUndo")->setEnabled(on);
}

void MainWindow::setLockedBySlideShow(bool locked)
{
    action("mnuEffects")->setEnabled(!locked);
    action("mnuEffects1")->setEnabled(!locked);
    toolButton("btnEffect")->setEnabled(!locked);
    action("mnuFollows")->setEnabled(!locked);
    toolButton("btnFollow")->setEnabled(!locked);
}

// ---------------------------------------------------------------- layout

void MainWindow::relayout()
{
    const int cw = m_central->width();
    const int ch = m_central->height();
    const int W = cw + FrameWidth;
    const int P = stripPanelHeight();

    m_stripPanel->setGeometry(2, 32, 161, std::max(P, 0));
    m_btnDown->setGeometry(2, P + 32, 161, 16);
    m_commentLabel->setGeometry(0, ch - 17 - 19, cw, 19);
    m_statusBar->setGeometry(0, ch - 17, cw, 17);
    m_statusPanels[0]->setGeometry(0, 0, 163, 17);
    m_statusPanels[1]->setGeometry(163, 0, 80, 17);
    m_statusPanels[2]->setGeometry(243, 0, std::max(cw - 243, 50), 17);
    scrollArea(m_fullScreen);
    if (!m_mainImage->autoSize()) {
        // The window manager may deliver the full-screen size only after the
        // switch: keep the fitted picture filling the area then too.
        if (m_fullScreen)
            m_mainImage->resize(m_imageScroller->size() - QSize(2, 2));
        else
            m_mainImage->resize(std::max(W - 180, 0), std::max(P - 4, 0));
    }

    Viewer.CurrentSlot = 1;
    placeShape(1);

    const int old = SlotCount();
    const int count = std::clamp(P / 130, 0, int(MaxSlots));
    if (count > old)
        createSlots(old + 1, count);
    while (SlotCount() > count)
        delete m_slots.takeLast();

    // A picture that can't be read leaves its slot empty; the other slots
    // and the steps after them still get done.
    QStringList failures;
    for (int i = 1; i <= SlotCount(); ++i) {
        ThumbSlot* s = slot(i);
        const int e = Viewer.FirstIndex + i;
        if (e <= Viewer.EntryCount) {
            s->setHint(Viewer.entry(e).Comment);
            s->setEnabled(true);
            try {
                s->loadPicture(Viewer.entry(e).FileName, m_exifOrientation);
            } catch (const AppError& error) {
                failures << error.text();
            }
        }
    }
    if (!Viewer.CollectionFileName.isEmpty() && Viewer.EntryCount > 0)
        showSlot(1);
    updateNavButtons();

    // A resize comes as a stream of events: each failure is told once, for
    // as long as it lasts.
    QStringList news;
    for (const QString& f : std::as_const(failures))
        if (!m_layoutFailures.contains(f))
            news << f;
    m_layoutFailures = failures;
    if (!news.isEmpty())
        throw AppError(news.join(QLatin1Char('\n')));
}

void MainWindow::scrollArea(bool fullScreen)
{
    const int cw = m_central->width();
    const int ch = m_central->height();
    if (fullScreen)
        m_imageScroller->setGeometry(0, 0, cw, std::max(ch - 19 - 17, 0));
    else
        m_imageScroller->setGeometry(168, 32, std::max(cw + FrameWidth - 176, 0), std::max(stripPanelHeight(), 0));
    m_imageScroller->raise();
    if (!fullScreen) {
        m_stripPanel->raise();
        m_toolBar->raise();
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) { QMainWindow::resizeEvent(event); }

// ---------------------------------------------------------------- texts

void MainWindow::placeShape(int slotNumber) { m_highlight->move(6, 6 + 153 * (slotNumber - 1)); }

void MainWindow::updateNavButtons()
{
    const int c = Viewer.currentEntry();
    const bool open = Viewer.EntryCount > 0;
    m_btnUp->setEnabled(open && c > 1);
    m_btnDown->setEnabled(open && c < Viewer.EntryCount);
}

void MainWindow::updatePositionTexts(int entry)
{
    m_statusPanels[1]->setText(Texts.ImagePrefix + QString::number(entry) + QStringLiteral(" / ") +
                               QString::number(Viewer.EntryCount));
    m_statusPanels[2]->setText(entry >= 1 && entry <= Viewer.EntryCount ? Viewer.entry(entry).FileName : QString());
}

void MainWindow::applyWindowTitle()
{
    setWindowTitle(Viewer.CollectionFileName.isEmpty() ? Texts.TitleText
                                                        : Viewer.CollectionFileName + QStringLiteral(" - ") +
                                                              Texts.TitleText);
}

void MainWindow::showSlot(int n)
{
    if (n < 1 || n > SlotCount())
        return;
    ThumbSlot* s = slot(n);
    if (s->picture().isEmpty())
        m_mainImage->clearPicture();
    else
        m_mainImage->setPicture(s->picture());
    m_commentLabel->setText(s->hint());
    if (frmComments)
        frmComments->setCommentText(s->hint());
    updatePositionTexts(Viewer.FirstIndex + n);
}

// ---------------------------------------------------------------- collection

void MainWindow::clearUndo()
{
    undoPicture = Picture();
    undoSlot = 0;
    undoFirstIndex = 0;
    setUndoEnabled(false);
}

void MainWindow::openCollectionFile()
{
    // Slide-show ticks and resizes wait until the open has ended.
    const QScopedValueRollback opening(m_opening, true);
    std::exception_ptr failure;
    try {
        openCollection();
    } catch (...) {
        failure = std::current_exception();
    }
    m_opening = false;
    if (std::exchange(m_resizePending, false)) {
        try {
            relayout();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (failure)
        std::rethrow_exception(failure);
}

void MainWindow::openCollection()
{
    QString path = Viewer.CollectionFileName;
    if (!Viewer.ReopenWithoutDialog) {
        const QString chosen = dialogs().openFile(this, kCollectionFilter, QString());
        if (!chosen.isEmpty())
            path = chosen;
    }
    Viewer.ReopenWithoutDialog = false;
    if (path.isEmpty())
        return;
    // The snapshot belongs to a picture of what was open: never write it
    // into whatever this open brings.
    clearUndo();

    // A file that can't be read changes nothing at all: the open collection
    // stays as it was, strip and list included.
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        if (fd < 0)
            throw AppError(ioErrorText(errno, path));
        ::close(fd);
        if (QFileInfo(path).isDir())
            throw AppError(ioErrorText(EISDIR, path));
    }

    Viewer.CollectionFileName = path;
    Viewer.FirstIndex = 0;
    Viewer.CurrentSlot = 1;
    placeShape(1);
    m_btnUp->setEnabled(false);
    m_layoutFailures.clear();
    CollectionListModel* list = frmNewCollection ? frmNewCollection->list() : nullptr;
    if (list)
        list->clear();
    if (frmNewCollection)
        frmNewCollection->setListSource(path);
    Viewer.Entries.clear();
    Viewer.EntryCount = 0;

    // Only a long read (a huge collection) lets the window repaint on the
    // way: first after a second, then four times a second.
    QElapsedTimer sinceSync;
    sinceSync.start();
    bool synced = false;
    auto syncWindow = [&] {
        if (list)
            list->flush();
        updateNavButtons();
        if (Viewer.EntryCount > 0)
            updatePositionTexts(1);
        m_commentLabel->setText(SlotCount() >= 1 ? slot(1)->hint() : QString());
    };

    // A picture that can't be read ends the collection in memory there; the
    // editor's list still gets every entry, so that no save can drop the rest.
    std::exception_ptr pictureFailure;
    const auto takeEntry = [&](int k, const CollectionEntry& e) {
        if (list)
            list->appendDeferred(e);
        if (pictureFailure)
            return;
        if (k <= SlotCount()) {
            ThumbSlot* s = slot(k);
            s->setEnabled(false);
            s->setHint(e.Comment);
            try {
                s->loadPicture(e.FileName, m_exifOrientation);
            } catch (...) {
                pictureFailure = std::current_exception();
                return;
            }
            s->setEnabled(true);
        }
        Viewer.Entries.append(e);
        Viewer.EntryCount = k;
        if (k == 1) {
            setCollectionCommandsEnabled(true);
            setUndoEnabled(false);
            applyWindowTitle();
            m_highlight->show();
            // Not showSlot(): opening leaves the comments window's text alone.
            if (SlotCount() >= 1 && !slot(1)->picture().isEmpty())
                m_mainImage->setPicture(slot(1)->picture());
            showActualSize();
        }
    };

    std::exception_ptr failure;
    try {
        readCollection(path, [&](int k, const CollectionEntry& e) {
            takeEntry(k, e);
            // Keep the window alive on huge collections without letting
            // user input run commands in the middle of a read.
            if (k <= SlotCount() || sinceSync.elapsed() > (synced ? m_syncLaterMs : m_syncFirstMs)) {
                syncWindow();
                if (k > SlotCount()) {
                    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                    sinceSync.restart();
                    synced = true;
                }
            }
        });
    } catch (...) {
        failure = std::current_exception();
    }
    for (int i = Viewer.EntryCount + 1; i <= SlotCount(); ++i) {
        slot(i)->clearPicture();
        slot(i)->setHint(QString());
        slot(i)->setEnabled(false);
    }
    applyWindowTitle();
    if (Viewer.EntryCount == 0) {
        // Nothing to show, nothing to act on, and no position to tell.
        setCollectionCommandsEnabled(false);
        m_highlight->hide();
        m_mainImage->clearPicture();
        m_commentLabel->clear();
        m_statusPanels[1]->clear();
        m_statusPanels[2]->clear();
    }
    syncWindow();
    if (failure)
        std::rethrow_exception(failure);
    if (pictureFailure)
        std::rethrow_exception(pictureFailure);
}

void MainWindow::newCollection()
{
    if (!frmNewCollection)
        return;
    frmNewCollection->setWindowTitle(Texts.NewCollectionCaption);
    Viewer.NewCollectionMode = true;
    frmNewCollection->clearPreview();
    CollectionListModel* list = frmNewCollection->list();
    // Only while the list still holds the open collection may it be written
    // back: rows of an unsaved new collection never replace its entries.
    // An unchanged list is not written, so what the reader skips survives.
    if (!Viewer.CollectionFileName.isEmpty() && list->entryCount() > 0 &&
        frmNewCollection->listHoldsCollection(Viewer.CollectionFileName) &&
        !collectionHolds(Viewer.CollectionFileName, list->entries()))
        writeCollection(Viewer.CollectionFileName, list->entries());
    list->clear();
    frmNewCollection->markListAsNew();
    frmNewCollection->show();
    frmNewCollection->raise();
    frmNewCollection->activateWindow();
}

void MainWindow::editCollection()
{
    if (!frmNewCollection || Viewer.CollectionFileName.isEmpty())
        return;
    frmNewCollection->setWindowTitle(Texts.AddDeleteCaption);
    CollectionListModel* list = frmNewCollection->list();
    for (int e = 1; e <= Viewer.EntryCount; ++e)
        list->appendDeferred(Viewer.entry(e));
    list->flush();
    Viewer.NewCollectionMode = false;
    frmNewCollection->show();
    frmNewCollection->raise();
    frmNewCollection->activateWindow();
    if (list->entryCount() > 0 && !list->entry(0).FileName.isEmpty()) {
        frmNewCollection->enableDelete(true);
        frmNewCollection->previewRow(0);
        Viewer.ReopenWithoutDialog = true;
        openCollectionFile();
    }
}

// ---------------------------------------------------------------- navigation

void MainWindow::scrollDown()
{
    const int c = Viewer.currentEntry();
    if (Viewer.EntryCount < 1 || c >= Viewer.EntryCount)
        return;
    if (c == Viewer.EntryCount - 1)
        m_btnDown->setEnabled(false);
    if (Viewer.CurrentSlot >= SlotCount()) {
        Viewer.FirstIndex += 1;
        m_btnUp->setEnabled(true);
        for (int i = 1; i <= SlotCount() - 1; ++i) {
            slot(i)->takePicture(*slot(i + 1));
            slot(i)->setHint(Viewer.entry(Viewer.FirstIndex + i).Comment);
        }
        ThumbSlot* last = slot(SlotCount());
        const CollectionEntry& e = Viewer.entry(Viewer.FirstIndex + SlotCount());
        last->setHint(e.Comment);
        last->loadPicture(e.FileName, m_exifOrientation);
    } else {
        Viewer.CurrentSlot += 1;
        placeShape(Viewer.CurrentSlot);
        m_btnUp->setEnabled(true);
    }
    if (Viewer.FollowsCursor)
        showSlot(Viewer.CurrentSlot);
}

void MainWindow::scrollUp()
{
    const int c = Viewer.currentEntry();
    if (Viewer.EntryCount < 1 || c <= 1)
        return;
    if (c == 2)
        m_btnUp->setEnabled(false);
    if (Viewer.CurrentSlot <= 1) {
        Viewer.FirstIndex -= 1;
        m_btnDown->setEnabled(true);
        for (int i = SlotCount(); i >= 2; --i) {
            slot(i)->takePicture(*slot(i - 1));
            slot(i)->setHint(Viewer.entry(Viewer.FirstIndex + i).Comment);
        }
        ThumbSlot* first = slot(1);
        const CollectionEntry& e = Viewer.entry(Viewer.FirstIndex + 1);
        first->setHint(e.Comment);
        first->loadPicture(e.FileName, m_exifOrientation);
    } else {
        Viewer.CurrentSlot -= 1;
        placeShape(Viewer.CurrentSlot);
        m_btnDown->setEnabled(true);
    }
    if (Viewer.FollowsCursor)
        showSlot(Viewer.CurrentSlot);
}

void MainWindow::selectSlot(int n)
{
    if (n < 1 || n > SlotCount() || !slot(n)->isEnabled())
        return;
    showActualSize();
    showSlot(n);
    Viewer.CurrentSlot = n;
    placeShape(n);
    updateNavButtons();
    updatePositionTexts(Viewer.FirstIndex + n);
}

void MainWindow::toggleFollowMode()
{
    Viewer.FollowsCursor = !Viewer.FollowsCursor;
    action("mnuFollows")->setChecked(Viewer.FollowsCursor);
    toolButton("btnFollow")->setChecked(Viewer.FollowsCursor);
}

void MainWindow::toggleFollowModeFromButton()
{
    toggleFollowMode();
    toolButton("btnFollow")->setChecked(action("mnuFollows")->isChecked());
}

bool MainWindow::handleKey(int key, Qt::KeyboardModifiers modifiers)
{
    const bool keypad = modifiers & Qt::KeypadModifier;
    switch (key) {
    case Qt::Key_Plus:
        if (!keypad)
            return false;
        zoomIn();
        return true;
    case Qt::Key_Minus:
        if (!keypad)
            return false;
        zoomOut();
        return true;
    case Qt::Key_Down:
    case Qt::Key_Space:
        if (m_btnDown->isEnabled())
            scrollDown();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Backspace:
        if (m_btnUp->isEnabled())
            scrollUp();
        return true;
    case Qt::Key_Escape:
        if (m_fullScreen)
            toggleFullScreen();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!Viewer.CollectionFileName.isEmpty() && Viewer.EntryCount > 0)
            showSlot(Viewer.CurrentSlot);
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------- view modes

void MainWindow::showActualSize()
{
    m_imageScroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_imageScroller->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mainImage->setAutoSize(true);
    m_mainImage->setStretch(false);
}

void MainWindow::stretchToFit()
{
    m_mainImage->setAutoSize(false);
    m_mainImage->resize(m_imageScroller->width() - 2, m_imageScroller->height() - 2);
    m_imageScroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_imageScroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_mainImage->setStretch(true);
    m_mainImage->setProportional(false);
}

void MainWindow::fitTopLeft()
{
    m_mainImage->setAutoSize(false);
    m_mainImage->resize(m_imageScroller->width() - 2, m_imageScroller->height() - 2);
    m_imageScroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_imageScroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_mainImage->setProportional(true);
}

void MainWindow::fitCentred()
{
    m_mainImage->setCenter(true);
    fitTopLeft();
}

void MainWindow::zoomIn()
{
    m_zoomStep = std::min(m_zoomStep + 10, 200);
    m_mainImage->setCenter(false);
    m_mainImage->setStretch(true);
    m_mainImage->setProportional(true);
    m_mainImage->setAutoSize(false);
    m_mainImage->resize(m_mainImage->width() + m_zoomStep, m_mainImage->height() + m_zoomStep);
}

void MainWindow::zoomOut()
{
    if (m_mainImage->height() < 20)
        return;
    m_zoomStep += 10;
    m_mainImage->setCenter(false);
    m_mainImage->setStretch(true);
    m_mainImage->setProportional(true);
    m_mainImage->setAutoSize(false);
    // A widget can't be smaller than nothing; the picture then just vanishes.
    m_mainImage->resize(std::max(m_mainImage->width() - m_zoomStep, 0), std::max(m_mainImage->height() - m_zoomStep, 0));
}

void MainWindow::toggleFullScreen()
{
    // A picture the layout can't read is told after the switch is complete.
    std::exception_ptr failure;
    try {
        if (!m_fullScreen) {
            m_normalGeometry = geometry();
            m_fullScreen = true;
            showFullScreen();
            relayout();
        } else {
            m_fullScreen = false;
            showNormal();
            if (m_normalGeometry.isValid())
                setGeometry(m_normalGeometry);
            relayout();
        }
    } catch (...) {
        failure = std::current_exception();
    }
    scrollArea(m_fullScreen);
    fitTopLeft();
    if (!Viewer.FollowsCursor)
        toggleFollowMode();
    if (failure)
        std::rethrow_exception(failure);
}

// ---------------------------------------------------------------- other commands

void MainWindow::toggleComments()
{
    if (!frmComments)
        return;
    if (frmComments->isVisible()) {
        frmComments->hide();
    } else {
        frmComments->show();
        frmComments->raise();
    }
}

void MainWindow::showHelp() { showHelpContents(this); }

void MainWindow::showAbout()
{
    if (!frmAbout)
        return;
    frmAbout->show();
    frmAbout->raise();
    frmAbout->activateWindow();
}

void MainWindow::quit() { close(); }

void MainWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    // Closing the main window ends the program, hidden windows included.
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

// ---------------------------------------------------------------- colours and fonts

void MainWindow::setStripColor(const QColor& color)
{
    setBackground(m_stripPanel, color);
    static_cast<ShapeFrame*>(m_highlight)->fill = color;
    m_highlight->update();
}

void MainWindow::setMainColor(const QColor& color) { setBackground(m_imageScroller->viewport(), color); }

void MainWindow::setCommentFont(const QFont& font, const QColor& color)
{
    m_commentLabel->setFont(font);
    QPalette pal = m_commentLabel->palette();
    pal.setColor(QPalette::WindowText, color);
    m_commentLabel->setPalette(pal);
}

// ---------------------------------------------------------------- events

bool MainWindow::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        m_statusPanels[0]->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_central && event->type() == QEvent::Resize) {
        if (m_opening)
            m_resizePending = true;
        else
            guarded([this] { relayout(); });
        return false;
    }
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && !QApplication::activePopupWidget()) {
        auto* w = static_cast<QWidget*>(watched);
        if (w->window() == this) {
            auto* ke = static_cast<QKeyEvent*>(event);
            bool handled = false;
            guarded([&] { handled = handleKey(ke->key(), ke->modifiers()); });
            if (handled)
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
