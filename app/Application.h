#pragma once
// The application object and the one place where an escaped failure is
// shown: the command stops there and the program runs on.
#include <QApplication>
#include <functional>

class PictavoApplication : public QApplication {
public:
    PictavoApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Runs one command; an AppError or other exception shows its text in the
// error box and ends the command. Answers false when the command failed.
bool runCommand(const std::function<void()>& command);

// Creates the six windows in their order. commandLine: the arguments after
// the program name, joined with blanks into a collection path when present.
void createWindows(const QStringList& commandLine);
void destroyWindows();
// The settings file the settings dialog reads at creation and writes when
// destroyed; empty (the default) means the program's own beside it.
void setSettingsFile(const QString& path);
