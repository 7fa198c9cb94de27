// The main window's actions, menus and tool bar.
#include "ui/main/MainWindow.h"

#include "ui/common/Icons.h"
#include "ui/common/RunCommand.h"
#include "ui/main/MainImage.h"
#include "ui/main/ThumbSlot.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

#include <initializer_list>

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
        connect(a, &QAction::triggered, this, [this, handler] { runCommand([this, handler] { (this->*handler)(); }); });
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
        follows->setChecked(m_session->followsCursor()); // undo Qt's own toggle first
        runCommand([this] { toggleFollowMode(); });
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

namespace {

// A menu's items by action name; "-" is a separator.
void fillMenu(QMenu* menu, const MainWindow* w, std::initializer_list<const char*> items)
{
    for (const char* name : items) {
        if (name[0] == '-')
            menu->addSeparator();
        else
            menu->addAction(w->action(name));
    }
}

QMenu* named(QMenu* menu, const char* name)
{
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

// The View submenu: its action is named `name`, the menu `name` + "Menu".
void addViewMenu(QMenu* parent, const char* name, const MainWindow* w, std::initializer_list<const char*> items)
{
    QMenu* view = parent->addMenu(QStringLiteral("View"));
    view->setObjectName(QString::fromLatin1(name) + QStringLiteral("Menu"));
    view->menuAction()->setObjectName(QString::fromLatin1(name));
    view->menuAction()->setStatusTip(QStringLiteral("Change view mode"));
    fillMenu(view, w, items);
}

} // namespace

void MainWindow::createMenus()
{
    QMenuBar* bar = menuBar();
    fillMenu(named(bar->addMenu(QStringLiteral("&File")), "mnuMain"), this,
             {"mnuNew", "mnuOpen", "-", "mnuAdd", "-", "Exit1"});
    QMenu* image = named(bar->addMenu(QStringLiteral("&Image")), "mnuImage");
    fillMenu(image, this,
             {"mnuUndo", "-", "mnuZoomIn", "mnuZoomOut", "mnuOriginalSize", "-", "mnuRotateLeft", "mnuRotateRight",
              "-", "mnuEffects", "-"});
    addViewMenu(image, "mnuImgView", this, {"AsIs1", "Proportional2", "Stretch1", "-", "mnuFullScreen1"});
    fillMenu(named(bar->addMenu(QStringLiteral("&Options")), "Options1"), this,
             {"mnuFollows", "mnuSlideShow", "mnuComments", "-", "mnuSettings"});
    fillMenu(named(bar->addMenu(QStringLiteral("&Help")), "mnuHelp"), this, {"mnuHelp1", "mnuAbout"});

    m_imageMenu = named(new QMenu(this), "PopupMenu1");
    fillMenu(m_imageMenu, this,
             {"mnuUndo1", "-", "mnuZoomIn1", "mnuZoomOut1", "mnuOriginalSize1", "-", "RotateLeft2", "RotateRight1",
              "-", "mnuEffects1", "-"});
    addViewMenu(m_imageMenu, "mnuImgView1", this, {"AsIs2", "Proportional3", "Stretch2", "-", "mnuFullScreen3"});
    fillMenu(m_imageMenu, this, {"-", "AddDeleteimage1"});

    m_viewModeMenu = named(new QMenu(this), "ImgStyle");
    fillMenu(m_viewModeMenu, this, {"mnuAsIs", "Proportional1", "Stretch3", "-", "mnuFullScreen2"});
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
    connect(follow, &QToolButton::clicked, this, [this] { runCommand([this] { toggleFollowModeFromButton(); }); });
    QToolButton* view = makeToolButton("btnImgView", "Change view mode", pvIcon("view"), nullptr, next(12));
    view->resize(39, 25);
    view->setMenu(m_viewModeMenu);
    view->setPopupMode(QToolButton::InstantPopup);
    x += sep;
    makeToolButton("btnAbout", "Help", pvIcon("help"), &M::showHelp, next());
}
