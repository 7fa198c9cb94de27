#pragma once
// The main window's commands, each made once. A command's main-menu item
// is the command; its twins (the context menu's item, the drop-down's item,
// the tool button) run the same operation and follow its enabled and
// checked state. Object names and texts are the form's, for the language
// files and the tests; nothing here looks anything up by them.
#include "viewer/ViewerCommands.h"

#include <QList>
#include <QObject>
#include <Qt>

#include <array>
#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QToolButton;
class QWidget;

class MainCommands : public QObject {
    Q_OBJECT
public:
    // `run` carries out a command; `window` parents every action, so the
    // language files find them under the window.
    MainCommands(QWidget* window, std::function<void(ViewerCommand)> run);

    // The menus "&File", "&Image", "&Options" and "&Help", the main image's
    // context menu and the view modes' drop-down.
    void createMenus(QMenuBar* bar);
    // The tool bar above the main image, at its design place in `parent`.
    QWidget* createToolBar(QWidget* parent);

    // The command's main-menu item (the drop-down's for FitTopLeft).
    QAction* action(ViewerCommand command) const { return m_actions[std::size_t(command)]; }
    QToolButton* button(ViewerCommand command) const { return m_buttons[std::size_t(command)]; }
    QMenu* fileMenu() const { return m_fileMenu; }
    QMenu* contextMenu() const { return m_contextMenu; }

    // Every command, twins and menus enabled as `state` says.
    void showStates(const std::function<CommandState(ViewerCommand)>& state);
    // Follow mode's check mark and pressed button.
    void showFollowMode(bool on);

private:
    QAction* makeAction(ViewerCommand command, const char* name, const char* caption, const char* shortcut,
                        const char* hint);
    void makeKeyCommand(ViewerCommand command, const char* name, std::initializer_list<Qt::Key> keys);
    QAction* twin(ViewerCommand command, const char* name, const char* caption);
    QToolButton* makeButton(QWidget* bar, ViewerCommand command, const char* name, const char* icon, int x);
    void fill(QMenu* menu, std::initializer_list<QAction*> items);
    QMenu* viewMenu(QMenu* parent, const char* name, std::initializer_list<QAction*> items);

    QWidget* m_window;
    std::function<void(ViewerCommand)> m_run;
    std::array<QAction*, ViewerCommandCount> m_actions{};
    std::array<QToolButton*, ViewerCommandCount> m_buttons{};
    std::array<QList<QAction*>, ViewerCommandCount> m_twins;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_contextMenu = nullptr;
    QMenu* m_viewModeMenu = nullptr;
};
