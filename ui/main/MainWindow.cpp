#include "ui/main/MainWindow.h"

#include "ui/common/AboutBox.h"
#include "app/Application.h"
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
    FormCreate();
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(this);
    if (frmMain == this)
        frmMain = nullptr;
}

void MainWindow::FormCreate()
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
    connect(m_btnUp, &QToolButton::clicked, this, [this] { guarded([this] { BtnUpClick(); }); });

    m_btnDown = new QToolButton(m_central);
    m_btnDown->setObjectName(QStringLiteral("BtnDown"));
    m_btnDown->setAutoRaise(true);
    m_btnDown->setIcon(pvIcon(QStringLiteral("down")));
    m_btnDown->setToolTip(QStringLiteral("Key Down or Space"));
    m_btnDown->setStatusTip(m_btnDown->toolTip());
    m_btnDown->setFocusPolicy(Qt::NoFocus);
    m_btnDown->setEnabled(false);
    connect(m_btnDown, &QToolButton::clicked, this, [this] { guarded([this] { BtnDownClick(); }); });

    m_panel1 = new QWidget(m_central);
    m_panel1->setObjectName(QStringLiteral("Panel1"));
    setBackground(m_panel1, Qt::white);

    auto* shape = new ShapeFrame(m_panel1);
    shape->setObjectName(QStringLiteral("ShapeCur"));
    shape->setGeometry(6, 6, 149, 149);
    shape->hide();
    m_shapeCur = shape;

    m_bordShape = new QScrollArea(m_central);
    m_bordShape->setObjectName(QStringLiteral("BordShape"));
    m_bordShape->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_bordShape->setLineWidth(1);
    m_bordShape->setWidgetResizable(false);
    m_bordShape->setContextMenuPolicy(Qt::CustomContextMenu);
    setBackground(m_bordShape->viewport(), Qt::white);
    m_image1 = new MainImage;
    m_bordShape->setWidget(m_image1);
    m_image1->setContextMenuPolicy(Qt::NoContextMenu);

    m_labelComent = new LongTextLabel(m_central);
    m_labelComent->setObjectName(QStringLiteral("LabelComent"));
    m_labelComent->setAlignment(Qt::AlignCenter);
    m_labelComent->setTextFormat(Qt::PlainText);
    QFont commentFont(QStringLiteral("Verdana"));
    commentFont.setPixelSize(13);
    m_labelComent->setFont(commentFont);

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

    m_timerSlide = new QTimer(this);
    m_timerSlide->setObjectName(QStringLiteral("TimerSlide"));
    m_timerSlide->setInterval(5000);
    connect(m_timerSlide, &QTimer::timeout, this, [this] { guarded([this] { TimerSlideTimer(); }); });

    createActions();
    createMenus();
    createToolBar();

    // Disabled until a collection is open.
    setCollectionCommandsEnabled(false);
    setUndoEnabled(false);

    connect(m_bordShape, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        m_popupMenu1->popup(m_bordShape->mapToGlobal(pos));
    });

    // The design's client area is 616 x 535 below the menu bar.
    const int menuH = menuBar()->sizeHint().height();
    setMinimumSize(600 - FrameWidth, 400 - NonClientHeight + menuH);
    resize(616, 535 + menuH);
    move(209, 115);

    // Slots for the design height; the layout routine keeps them in step.
    createSlots(1, std::min(MaxSlots, stripPanelHeight() / 130));
    FormResize();

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
    makeAction("mnuNew", "New Collection...", "Ctrl+N", "Create New Collection...", &M::mnuNewClick);
    makeAction("mnuOpen", "&Open Collection...", "Ctrl+O", "Open Collection...", &M::mnuOpenClick);
    makeAction("mnuAdd", "Add / Delete image...", "Ins", "Add / Delete image...", &M::mnuAddClick);
    makeAction("Exit1", "&Exit", "F10", "Exit", &M::Exit1Click);
    makeAction("mnuUndo", "Undo", "Ctrl+Z", "Undo last effect", &M::mnuUndoClick);
    makeAction("mnuZoomIn", "Zoom In", "F11", "Zoom In", &M::mnuZoomInClick);
    makeAction("mnuZoomOut", "Zoom Out", "F12", "Zoom Out", &M::mnuZoomOutClick);
    makeAction("mnuOriginalSize", "Original Size", "Ctrl+F11", "Original Size", &M::mnuOriginalSizeClick);
    makeAction("mnuRotateLeft", "Rotate Left", "Ctrl+L", "Rotate Image Left", &M::mnuRotateLeftClick);
    makeAction("mnuRotateRight", "Rotate Right", "Ctrl+R", "Rotate Image Right", &M::mnuRotateRightClick);
    makeAction("mnuEffects", "&Effects...            ", "Ctrl+E", "Add effects to image(s)", &M::mnuEffectsClick);
    makeAction("AsIs1", "&As Is", "F2", "As Is", &M::AsIs1Click);
    makeAction("Proportional2", "&Proportional    ", "F3", "Proportional", &M::Proportional2Click);
    makeAction("Stretch1", "Stret&ch", "F4", "Stretch", &M::Stretch1Click);
    makeAction("mnuFullScreen1", "Full &Screen", "Ctrl+S", "Full Screen", &M::mnuFullScreen1Click);
    QAction* follows = makeAction("mnuFollows", "&Main image follows cursor", "Ctrl+M",
                                  "Main Image will be follows the Up and Down events", &M::mnuFollowsClick);
    follows->setCheckable(true);
    // The toggle itself flips the check mark; keep it under program control.
    disconnect(follows, &QAction::triggered, nullptr, nullptr);
    connect(follows, &QAction::triggered, this, [this, follows] {
        follows->setChecked(Viewer.FollowsCursor); // undo Qt's own toggle first
        guarded([this] { mnuFollowsClick(); });
    });
    makeAction("mnuSlideShow", "Start / Stop S&lide Show", "F5", "Start / Stop Slide Show", &M::mnuSlideShowClick);
    makeAction("mnuComments", "Show / Hide comments window", "Ctrl+C", "Show / Hide comments window",
               &M::mnuCommentsClick);
    makeAction("mnuSettings", "Set&tings...", "Ctrl+T", "Program settings", &M::mnuSettingsClick);
    makeAction("mnuHelp1", "Help         ", "F1", "Help", &M::mnuHelp1Click);
    makeAction("mnuAbout", "About...", "", "About", &M::mnuAboutClick);

    // Context-menu and drop-down twins: same operations, no shortcuts of their own.
    makeAction("mnuUndo1", "Undo", "", "Undo last effect", &M::mnuUndoClick);
    makeAction("mnuZoomIn1", "Zoom In", "", "Zoom In", &M::mnuZoomInClick);
    makeAction("mnuZoomOut1", "Zoom Out", "", "Zoom Out", &M::mnuZoomOutClick);
    makeAction("mnuOriginalSize1", "Original Size", "", "Original Size", &M::mnuOriginalSizeClick);
    makeAction("RotateLeft2", "Rotate Left", "", "Rotate Image Left", &M::mnuRotateLeftClick);
    makeAction("RotateRight1", "Rotate Right", "", "Rotate Image Right", &M::mnuRotateRightClick);
    makeAction("mnuEffects1", "Effects...            ", "", "Add effects to image(s)", &M::mnuEffectsClick);
    makeAction("AsIs2", "&As Is", "", "As Is", &M::AsIs1Click);
    makeAction("Proportional3", "&Proportional    ", "", "Proportional", &M::Proportional2Click);
    makeAction("Stretch2", "Stret&ch", "", "Stretch", &M::Stretch1Click);
    makeAction("mnuFullScreen3", "Full &Screen", "", "Full Screen", &M::mnuFullScreen1Click);
    makeAction("AddDeleteimage1", "Add / Delete image...", "", "Add / Delete image...", &M::mnuAddClick);
    makeAction("mnuAsIs", "&As Is", "", "As Is", &M::AsIs1Click);
    makeAction("Proportional1", "&Proportional     ", "", "Proportional", &M::Proportional1Click);
    makeAction("Stretch3", "Stret&ch", "", "Stretch", &M::Stretch1Click);
    makeAction("mnuFullScreen2", "Full &Screen", "", "Full Screen", &M::mnuFullScreen1Click);
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

    m_popupMenu1 = new QMenu(this);
    m_popupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    m_popupMenu1->addAction(a("mnuUndo1"));
    m_popupMenu1->addSeparator();
    m_popupMenu1->addAction(a("mnuZoomIn1"));
    m_popupMenu1->addAction(a("mnuZoomOut1"));
    m_popupMenu1->addAction(a("mnuOriginalSize1"));
    m_popupMenu1->addSeparator();
    m_popupMenu1->addAction(a("RotateLeft2"));
    m_popupMenu1->addAction(a("RotateRight1"));
    m_popupMenu1->addSeparator();
    m_popupMenu1->addAction(a("mnuEffects1"));
    m_popupMenu1->addSeparator();
    QMenu* view1 = m_popupMenu1->addMenu(QStringLiteral("View"));
    view1->setObjectName(QStringLiteral("mnuImgView1Menu"));
    view1->menuAction()->setObjectName(QStringLiteral("mnuImgView1"));
    view1->menuAction()->setStatusTip(QStringLiteral("Change view mode"));
    view1->addAction(a("AsIs2"));
    view1->addAction(a("Proportional3"));
    view1->addAction(a("Stretch2"));
    view1->addSeparator();
    view1->addAction(a("mnuFullScreen3"));
    m_popupMenu1->addSeparator();
    m_popupMenu1->addAction(a("AddDeleteimage1"));

    m_imgStyle = new QMenu(this);
    m_imgStyle->setObjectName(QStringLiteral("ImgStyle"));
    m_imgStyle->addAction(a("mnuAsIs"));
    m_imgStyle->addAction(a("Proportional1"));
    m_imgStyle->addAction(a("Stretch3"));
    m_imgStyle->addSeparator();
    m_imgStyle->addAction(a("mnuFullScreen2"));
}

QToolButton* MainWindow::makeToolButton(const char* name, const QString& hint, const QIcon& icon,
                                      void (MainWindow::*handler)(), int x)
{
    auto* b = new QToolButton(m_toolBar1);
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
    m_toolBar1 = new QWidget(m_central);
    m_toolBar1->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar1->setGeometry(168, 5, 439, 25);
    using M = MainWindow;
    const int sep = 8;
    int x = 0;
    auto next = [&](int extra = 0) {
        const int at = x;
        x += 27 + extra;
        return at;
    };
    makeToolButton("ToolButton2", "Create New Collection...", pvIcon("new"), &M::mnuNewClick, next());
    makeToolButton("ToolButton1", "Open Collection...", pvIcon("open"), &M::mnuOpenClick, next());
    makeToolButton("btnAdd", "Add / Delete image...", pvIcon("add"), &M::mnuAddClick, next());
    x += sep;
    makeToolButton("btnSettings", "Program settings", pvIcon("settings"), &M::mnuSettingsClick, next());
    makeToolButton("btnSlideShow", "Start / Stop Slide Show", pvIcon("slideshow"), &M::mnuSlideShowClick, next());
    x += sep;
    makeToolButton("btnLeft", "Rotate Image Left", pvIcon("left"), &M::mnuRotateLeftClick, next());
    makeToolButton("btnRight", "Rotate Image Right", pvIcon("right"), &M::mnuRotateRightClick, next());
    makeToolButton("btnEffect", "Add effects to image(s)", pvIcon("effects"), &M::mnuEffectsClick, next());
    makeToolButton("butUndo", "Undo last effect", pvIcon("undo"), &M::mnuUndoClick, next());
    x += sep;
    QToolButton* follow = makeToolButton("btnFollow", "Main Image will be follows the Up and Down events",
                                         pvIcon("follow"), nullptr, next());
    follow->setCheckable(true);
    connect(follow, &QToolButton::clicked, this, [this] { guarded([this] { btnFollowClick(); }); });
    QToolButton* view = makeToolButton("btnImgView", "Change view mode", pvIcon("view"), nullptr, next(12));
    view->resize(39, 25);
    view->setMenu(m_imgStyle);
    view->setPopupMode(QToolButton::InstantPopup);
    x += sep;
    makeToolButton("btnAbout", "Help", pvIcon("help"), &M::mnuHelp1Click, next());
}

void MainWindow::createSlots(int from, int to)
{
    for (int i = from; i <= to; ++i) {
        auto* s = new ThumbSlot(i, m_panel1);
        s->move(8, 8 + 153 * (i - 1));
        s->setEnabled(false);
        s->show();
        connect(s, &ThumbSlot::clicked, this, [this](int n) { guarded([this, n] { ImageClick(n); }); });
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
    if (on && m_timerSlide->isActive())
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

void MainWindow::FormResize()
{
    const int cw = m_central->width();
    const int ch = m_central->height();
    const int W = cw + FrameWidth;
    const int P = stripPanelHeight();

    m_panel1->setGeometry(2, 32, 161, std::max(P, 0));
    m_btnDown->setGeometry(2, P + 32, 161, 16);
    m_labelComent->setGeometry(0, ch - 17 - 19, cw, 19);
    m_statusBar->setGeometry(0, ch - 17, cw, 17);
    m_statusPanels[0]->setGeometry(0, 0, 163, 17);
    m_statusPanels[1]->setGeometry(163, 0, 80, 17);
    m_statusPanels[2]->setGeometry(243, 0, std::max(cw - 243, 50), 17);
    scrollArea(m_fullScreen);
    if (!m_image1->autoSize()) {
        // The window manager may deliver the full-screen size only after the
        // switch: keep the fitted picture filling the area then too.
        if (m_fullScreen)
            m_image1->resize(m_bordShape->size() - QSize(2, 2));
        else
            m_image1->resize(std::max(W - 180, 0), std::max(P - 4, 0));
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
        m_bordShape->setGeometry(0, 0, cw, std::max(ch - 19 - 17, 0));
    else
        m_bordShape->setGeometry(168, 32, std::max(cw + FrameWidth - 176, 0), std::max(stripPanelHeight(), 0));
    m_bordShape->raise();
    if (!fullScreen) {
        m_panel1->raise();
        m_toolBar1->raise();
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) { QMainWindow::resizeEvent(event); }

// ---------------------------------------------------------------- texts

void MainWindow::placeShape(int slotNumber) { m_shapeCur->move(6, 6 + 153 * (slotNumber - 1)); }

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
        m_image1->clearPicture();
    else
        m_image1->setPicture(s->picture());
    m_labelComent->setText(s->hint());
    if (frmComments)
        frmComments->setCommentText(s->hint());
    updatePositionTexts(Viewer.FirstIndex + n);
}

// ---------------------------------------------------------------- collection

void MainWindow::clearUndo()
{
    bitUndo = Picture();
    UndoSlot = 0;
    UndoFirstIndex = 0;
    setUndoEnabled(false);
}

void MainWindow::mnuOpenClick()
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
            FormResize();
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
        m_labelComent->setText(SlotCount() >= 1 ? slot(1)->hint() : QString());
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
            m_shapeCur->show();
            // Not showSlot(): opening leaves the comments window's text alone.
            if (SlotCount() >= 1 && !slot(1)->picture().isEmpty())
                m_image1->setPicture(slot(1)->picture());
            AsIs1Click();
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
        m_shapeCur->hide();
        m_image1->clearPicture();
        m_labelComent->clear();
        m_statusPanels[1]->clear();
        m_statusPanels[2]->clear();
    }
    syncWindow();
    if (failure)
        std::rethrow_exception(failure);
    if (pictureFailure)
        std::rethrow_exception(pictureFailure);
}

void MainWindow::mnuNewClick()
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

void MainWindow::mnuAddClick()
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
        mnuOpenClick();
    }
}

// ---------------------------------------------------------------- navigation

void MainWindow::BtnDownClick()
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

void MainWindow::BtnUpClick()
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

void MainWindow::ImageClick(int n)
{
    if (n < 1 || n > SlotCount() || !slot(n)->isEnabled())
        return;
    AsIs1Click();
    showSlot(n);
    Viewer.CurrentSlot = n;
    placeShape(n);
    updateNavButtons();
    updatePositionTexts(Viewer.FirstIndex + n);
}

void MainWindow::mnuFollowsClick()
{
    Viewer.FollowsCursor = !Viewer.FollowsCursor;
    action("mnuFollows")->setChecked(Viewer.FollowsCursor);
    toolButton("btnFollow")->setChecked(Viewer.FollowsCursor);
}

void MainWindow::btnFollowClick()
{
    mnuFollowsClick();
    toolButton("btnFollow")->setChecked(action("mnuFollows")->isChecked());
}

bool MainWindow::FormKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const bool keypad = modifiers & Qt::KeypadModifier;
    switch (key) {
    case Qt::Key_Plus:
        if (!keypad)
            return false;
        mnuZoomInClick();
        return true;
    case Qt::Key_Minus:
        if (!keypad)
            return false;
        mnuZoomOutClick();
        return true;
    case Qt::Key_Down:
    case Qt::Key_Space:
        if (m_btnDown->isEnabled())
            BtnDownClick();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Backspace:
        if (m_btnUp->isEnabled())
            BtnUpClick();
        return true;
    case Qt::Key_Escape:
        if (m_fullScreen)
            mnuFullScreen1Click();
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

void MainWindow::AsIs1Click()
{
    m_bordShape->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_bordShape->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_image1->setAutoSize(true);
    m_image1->setStretch(false);
}

void MainWindow::Stretch1Click()
{
    m_image1->setAutoSize(false);
    m_image1->resize(m_bordShape->width() - 2, m_bordShape->height() - 2);
    m_bordShape->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_bordShape->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_image1->setStretch(true);
    m_image1->setProportional(false);
}

void MainWindow::Proportional1Click()
{
    m_image1->setAutoSize(false);
    m_image1->resize(m_bordShape->width() - 2, m_bordShape->height() - 2);
    m_bordShape->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_bordShape->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_image1->setProportional(true);
}

void MainWindow::Proportional2Click()
{
    m_image1->setCenter(true);
    Proportional1Click();
}

void MainWindow::mnuZoomInClick()
{
    m_zoomStep = std::min(m_zoomStep + 10, 200);
    m_image1->setCenter(false);
    m_image1->setStretch(true);
    m_image1->setProportional(true);
    m_image1->setAutoSize(false);
    m_image1->resize(m_image1->width() + m_zoomStep, m_image1->height() + m_zoomStep);
}

void MainWindow::mnuZoomOutClick()
{
    if (m_image1->height() < 20)
        return;
    m_zoomStep += 10;
    m_image1->setCenter(false);
    m_image1->setStretch(true);
    m_image1->setProportional(true);
    m_image1->setAutoSize(false);
    // A widget can't be smaller than nothing; the picture then just vanishes.
    m_image1->resize(std::max(m_image1->width() - m_zoomStep, 0), std::max(m_image1->height() - m_zoomStep, 0));
}

void MainWindow::mnuOriginalSizeClick() { AsIs1Click(); }

void MainWindow::mnuFullScreen1Click()
{
    // A picture the layout can't read is told after the switch is complete.
    std::exception_ptr failure;
    try {
        if (!m_fullScreen) {
            m_normalGeometry = geometry();
            m_fullScreen = true;
            showFullScreen();
            FormResize();
        } else {
            m_fullScreen = false;
            showNormal();
            if (m_normalGeometry.isValid())
                setGeometry(m_normalGeometry);
            FormResize();
        }
    } catch (...) {
        failure = std::current_exception();
    }
    scrollArea(m_fullScreen);
    Proportional1Click();
    if (!Viewer.FollowsCursor)
        mnuFollowsClick();
    if (failure)
        std::rethrow_exception(failure);
}

// ---------------------------------------------------------------- other commands

void MainWindow::mnuCommentsClick()
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

void MainWindow::mnuHelp1Click() { showHelpContents(this); }

void MainWindow::mnuAboutClick()
{
    if (!frmAbout)
        return;
    frmAbout->show();
    frmAbout->raise();
    frmAbout->activateWindow();
}

void MainWindow::Exit1Click() { close(); }

void MainWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    // Closing the main window ends the program, hidden windows included.
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

// ---------------------------------------------------------------- colours and fonts

void MainWindow::setStripColor(const QColor& color)
{
    setBackground(m_panel1, color);
    static_cast<ShapeFrame*>(m_shapeCur)->fill = color;
    m_shapeCur->update();
}

void MainWindow::setMainColor(const QColor& color) { setBackground(m_bordShape->viewport(), color); }

void MainWindow::setCommentFont(const QFont& font, const QColor& color)
{
    m_labelComent->setFont(font);
    QPalette pal = m_labelComent->palette();
    pal.setColor(QPalette::WindowText, color);
    m_labelComent->setPalette(pal);
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
            guarded([this] { FormResize(); });
        return false;
    }
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && !QApplication::activePopupWidget()) {
        auto* w = static_cast<QWidget*>(watched);
        if (w->window() == this) {
            auto* ke = static_cast<QKeyEvent*>(event);
            bool handled = false;
            guarded([&] { handled = FormKeyDown(ke->key(), ke->modifiers()); });
            if (handled)
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
