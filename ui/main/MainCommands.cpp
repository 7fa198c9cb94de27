#include "ui/main/MainCommands.h"

#include "ui/common/Icons.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

using C = ViewerCommand;

MainCommands::MainCommands(QWidget* window, std::function<void(ViewerCommand)> run)
    : QObject(window), m_window(window), m_run(std::move(run))
{
    makeAction(C::NewCollection, "mnuNew", "New Collection...", "Ctrl+N", "Create New Collection...");
    makeAction(C::OpenCollection, "mnuOpen", "&Open Collection...", "Ctrl+O", "Open Collection...");
    makeAction(C::EditCollection, "mnuAdd", "Add / Delete image...", "Ins", "Add / Delete image...");
    makeAction(C::Exit, "Exit1", "&Exit", "F10", "Exit");
    makeAction(C::Undo, "mnuUndo", "Undo", "Ctrl+Z", "Undo last effect");
    makeAction(C::ZoomIn, "mnuZoomIn", "Zoom In", "F11", "Zoom In");
    makeAction(C::ZoomOut, "mnuZoomOut", "Zoom Out", "F12", "Zoom Out");
    makeAction(C::ActualSize, "mnuOriginalSize", "Original Size", "Ctrl+F11", "Original Size");
    makeAction(C::RotateLeft, "mnuRotateLeft", "Rotate Left", "Ctrl+L", "Rotate Image Left");
    makeAction(C::RotateRight, "mnuRotateRight", "Rotate Right", "Ctrl+R", "Rotate Image Right");
    makeAction(C::Effects, "mnuEffects", "&Effects...            ", "Ctrl+E", "Add effects to image(s)");
    makeAction(C::AsIs, "AsIs1", "&As Is", "F2", "As Is");
    makeAction(C::FitCentred, "Proportional2", "&Proportional    ", "F3", "Proportional");
    makeAction(C::Stretch, "Stretch1", "Stret&ch", "F4", "Stretch");
    makeAction(C::FullScreen, "mnuFullScreen1", "Full &Screen", "Ctrl+S", "Full Screen");
    makeAction(C::FollowMode, "mnuFollows", "&Main image follows cursor", "Ctrl+M",
               "Main Image will be follows the Up and Down events")
        ->setCheckable(true);
    makeAction(C::SlideShow, "mnuSlideShow", "Start / Stop S&lide Show", "F5", "Start / Stop Slide Show");
    makeAction(C::Comments, "mnuComments", "Show / Hide comments window", "Ctrl+C",
               "Show / Hide comments window");
    makeAction(C::Settings, "mnuSettings", "Set&tings...", "Ctrl+T", "Program settings");
    makeAction(C::Help, "mnuHelp1", "Help         ", "F1", "Help");
    makeAction(C::About, "mnuAbout", "About...", "", "About");
    makeAction(C::MoveToTrash, "mnuTrash", "Move to Trash", "Del", "Move the picture's file to the trash");
    makeAction(C::ShowInFileManager, "mnuShowInFolder", "Show in File Manager", "",
               "Show the picture's file in the file manager");
    makeAction(C::OpenWith, "mnuOpenWith", "Open With...", "", "Open the picture in another program");
    makeAction(C::PictureInfo, "mnuPictureInfo", "Picture Information", "I", "Picture Information")
        ->setShortcuts({QKeySequence(Qt::Key_I), QKeySequence(Qt::ALT | Qt::Key_Return),
                        QKeySequence(Qt::ALT | Qt::Key_Enter)});
    action(C::PictureInfo)->setCheckable(true);
    makeAction(C::Print, "mnuPrint", "Print...", "Ctrl+P", "Print...");
    makeAction(C::CopyPicture, "mnuCopyPicture", "Copy Picture", "Ctrl+Shift+C", "Copy Picture");
    // The drop-down's Proportional is an operation of its own.
    makeAction(C::FitTopLeft, "Proportional1", "&Proportional     ", "", "Proportional");
    makeKeyCommand(C::PreviousEntry, "keyPreviousEntry", {Qt::Key_Left, Qt::Key_PageUp});
    makeKeyCommand(C::NextEntry, "keyNextEntry", {Qt::Key_Right, Qt::Key_PageDown});
    makeKeyCommand(C::FirstEntry, "keyFirstEntry", {Qt::Key_Home});
    makeKeyCommand(C::LastEntry, "keyLastEntry", {Qt::Key_End});
}

void MainCommands::makeKeyCommand(ViewerCommand command, const char* name,
                                  std::initializer_list<Qt::Key> keys)
{
    // On no menu: the window itself holds it, so its keys work everywhere in it.
    auto* a = new QAction(m_window);
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcuts(QList<QKeySequence>(keys.begin(), keys.end()));
    a->setShortcutContext(Qt::WindowShortcut);
    connect(a, &QAction::triggered, this, [this, command] { m_run(command); });
    m_window->addAction(a);
    m_actions[std::size_t(command)] = a;
}

QAction* MainCommands::makeAction(ViewerCommand command, const char* name, const char* caption,
                                  const char* shortcut, const char* hint)
{
    auto* a = new QAction(QString::fromLatin1(caption), m_window);
    a->setObjectName(QString::fromLatin1(name));
    if (*shortcut) {
        a->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
        a->setShortcutContext(Qt::WindowShortcut);
    }
    a->setStatusTip(QString::fromLatin1(hint));
    a->setToolTip(a->statusTip());
    connect(a, &QAction::triggered, this, [this, a, command] {
        // A checkable item's mark follows the state, not the click.
        if (a->isCheckable())
            a->setChecked(!a->isChecked());
        m_run(command);
    });
    m_actions[std::size_t(command)] = a;
    return a;
}

QAction* MainCommands::twin(ViewerCommand command, const char* name, const char* caption)
{
    const QAction* main = action(command);
    auto* a = new QAction(QString::fromLatin1(caption), m_window);
    a->setObjectName(QString::fromLatin1(name));
    a->setStatusTip(main->statusTip());
    a->setToolTip(main->toolTip());
    connect(a, &QAction::triggered, this, [this, command] { m_run(command); });
    m_twins[std::size_t(command)].append(a);
    return a;
}

void MainCommands::fill(QMenu* menu, std::initializer_list<QAction*> items)
{
    for (QAction* a : items) {
        if (a)
            menu->addAction(a);
        else
            menu->addSeparator();
    }
}

// The View submenu: its action is named `name`, the menu `name` + "Menu".
QMenu* MainCommands::viewMenu(QMenu* parent, const char* name, std::initializer_list<QAction*> items)
{
    QMenu* view = parent->addMenu(QStringLiteral("View"));
    view->setObjectName(QString::fromLatin1(name) + QStringLiteral("Menu"));
    view->menuAction()->setObjectName(QString::fromLatin1(name));
    view->menuAction()->setStatusTip(QStringLiteral("Change view mode"));
    fill(view, items);
    return view;
}

void MainCommands::createMenus(QMenuBar* bar)
{
    const auto a = [this](ViewerCommand c) { return action(c); };
    const auto named = [](QMenu* menu, const char* name) {
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    m_fileMenu = named(bar->addMenu(QStringLiteral("&File")), "mnuMain");
    fill(m_fileMenu, {a(C::NewCollection), a(C::OpenCollection), nullptr, a(C::EditCollection), nullptr,
                      a(C::Print), a(C::CopyPicture), nullptr, a(C::MoveToTrash), a(C::ShowInFileManager),
                      a(C::OpenWith), nullptr, a(C::Exit)});
    QMenu* image = named(bar->addMenu(QStringLiteral("&Image")), "mnuImage");
    fill(image, {a(C::Undo), nullptr, a(C::ZoomIn), a(C::ZoomOut), a(C::ActualSize), nullptr,
                 a(C::RotateLeft), a(C::RotateRight), nullptr, a(C::Effects), nullptr});
    QMenu* view = viewMenu(
        image, "mnuImgView",
        {a(C::AsIs), a(C::FitCentred), a(C::Stretch), nullptr, a(C::FullScreen), nullptr, a(C::PictureInfo)});
    fill(named(bar->addMenu(QStringLiteral("&Options")), "Options1"),
         {a(C::FollowMode), a(C::SlideShow), a(C::Comments), nullptr, a(C::Settings)});
    fill(named(bar->addMenu(QStringLiteral("&Help")), "mnuHelp"), {a(C::Help), a(C::About)});
    m_actions[std::size_t(C::ImageMenu)] = image->menuAction();
    m_actions[std::size_t(C::ViewModes)] = view->menuAction();

    // Context-menu and drop-down twins: no shortcuts of their own.
    m_contextMenu = named(new QMenu(m_window), "PopupMenu1");
    fill(m_contextMenu, {twin(C::Undo, "mnuUndo1", "Undo"), nullptr, twin(C::ZoomIn, "mnuZoomIn1", "Zoom In"),
                         twin(C::ZoomOut, "mnuZoomOut1", "Zoom Out"),
                         twin(C::ActualSize, "mnuOriginalSize1", "Original Size"), nullptr,
                         twin(C::RotateLeft, "RotateLeft2", "Rotate Left"),
                         twin(C::RotateRight, "RotateRight1", "Rotate Right"), nullptr,
                         twin(C::Effects, "mnuEffects1", "Effects...            "), nullptr});
    QMenu* contextView =
        viewMenu(m_contextMenu, "mnuImgView1",
                 {twin(C::AsIs, "AsIs2", "&As Is"), twin(C::FitCentred, "Proportional3", "&Proportional    "),
                  twin(C::Stretch, "Stretch2", "Stret&ch"), nullptr,
                  twin(C::FullScreen, "mnuFullScreen3", "Full &Screen")});
    m_twins[std::size_t(C::ViewModes)].append(contextView->menuAction());
    fill(m_contextMenu, {nullptr, twin(C::EditCollection, "AddDeleteimage1", "Add / Delete image..."),
                         nullptr, twin(C::PictureInfo, "mnuPictureInfo1", "Picture Information"),
                         twin(C::CopyPicture, "mnuCopyPicture1", "Copy Picture")});
    fill(m_contextMenu, {nullptr, twin(C::MoveToTrash, "mnuTrash1", "Move to Trash"),
                         twin(C::ShowInFileManager, "mnuShowInFolder1", "Show in File Manager"),
                         twin(C::OpenWith, "mnuOpenWith1", "Open With...")});

    m_viewModeMenu = named(new QMenu(m_window), "ImgStyle");
    fill(m_viewModeMenu,
         {twin(C::AsIs, "mnuAsIs", "&As Is"), a(C::FitTopLeft), twin(C::Stretch, "Stretch3", "Stret&ch"),
          nullptr, twin(C::FullScreen, "mnuFullScreen2", "Full &Screen")});
}

QToolButton* MainCommands::makeButton(QWidget* bar, ViewerCommand command, const char* name, const char* icon,
                                      int x)
{
    auto* b = new QToolButton(bar);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoRaise(true);
    b->setIcon(pvIcon(QString::fromLatin1(icon)));
    b->setIconSize(QSize(18, 18));
    const QString hint =
        command == C::ViewModes ? QStringLiteral("Change view mode") : action(command)->statusTip();
    b->setToolTip(hint);
    b->setStatusTip(hint);
    b->setFocusPolicy(Qt::NoFocus);
    b->setGeometry(x, 0, 27, 25);
    if (command != C::ViewModes)
        connect(b, &QToolButton::clicked, this, [this, command] { m_run(command); });
    m_buttons[std::size_t(command)] = b;
    return b;
}

QWidget* MainCommands::createToolBar(QWidget* parent)
{
    auto* bar = new QWidget(parent);
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setGeometry(168, 5, 439, 25);
    const int sep = 8;
    int x = 0;
    auto next = [&](int extra = 0) {
        const int at = x;
        x += 27 + extra;
        return at;
    };
    makeButton(bar, C::NewCollection, "ToolButton2", "new", next());
    makeButton(bar, C::OpenCollection, "ToolButton1", "open", next());
    makeButton(bar, C::EditCollection, "btnAdd", "add", next());
    x += sep;
    makeButton(bar, C::Settings, "btnSettings", "settings", next());
    makeButton(bar, C::SlideShow, "btnSlideShow", "slideshow", next());
    x += sep;
    makeButton(bar, C::RotateLeft, "btnLeft", "left", next());
    makeButton(bar, C::RotateRight, "btnRight", "right", next());
    makeButton(bar, C::Effects, "btnEffect", "effects", next());
    makeButton(bar, C::Undo, "butUndo", "undo", next());
    x += sep;
    makeButton(bar, C::FollowMode, "btnFollow", "follow", next())->setCheckable(true);
    QToolButton* view = makeButton(bar, C::ViewModes, "btnImgView", "view", next(12));
    view->resize(39, 25);
    view->setMenu(m_viewModeMenu);
    view->setPopupMode(QToolButton::InstantPopup);
    x += sep;
    makeButton(bar, C::Help, "btnAbout", "help", next());
    return bar;
}

void MainCommands::showStates(const std::function<CommandState(ViewerCommand)>& state)
{
    for (int i = 0; i < ViewerCommandCount; ++i) {
        const bool on = state(ViewerCommand(i)).enabled;
        if (QAction* a = m_actions[std::size_t(i)])
            a->setEnabled(on);
        for (QAction* t : std::as_const(m_twins[std::size_t(i)]))
            t->setEnabled(on);
        if (QToolButton* b = m_buttons[std::size_t(i)])
            b->setEnabled(on);
    }
}

void MainCommands::showFollowMode(bool on)
{
    action(C::FollowMode)->setChecked(on);
    button(C::FollowMode)->setChecked(on);
}
