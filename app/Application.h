#pragma once
// The application object, the safety net for failures that escape an event
// handler, and the windows' creation.
#include "ui/common/RunCommand.h"

#include <QApplication>

class PictavoApplication : public QApplication {
public:
    PictavoApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

class AboutBox;
class CollectionEditor;
class CommentsWindow;
class EffectsDialog;
class HelpBinding;
class MainWindow;
class SettingsDialog;
class ViewerSession;

// The session and the six windows that share it.
struct ProgramWindows {
    ViewerSession* session = nullptr;
    MainWindow* main = nullptr;
    EffectsDialog* effects = nullptr;
    CollectionEditor* editor = nullptr;
    AboutBox* about = nullptr;
    SettingsDialog* settings = nullptr;
    CommentsWindow* comments = nullptr;
    HelpBinding* help = nullptr;
};

// Creates the session and the six windows in their order. commandLine: the
// arguments after the program name, joined with blanks into a collection
// path when present.
void createWindows(const QStringList& commandLine);
void destroyWindows();
// What createWindows made, until destroyWindows (all null outside).
const ProgramWindows& programWindows();
// The settings file the settings dialog reads at creation and writes when
// destroyed; empty (the default) means the program's own beside it.
void setSettingsFile(const QString& path);
