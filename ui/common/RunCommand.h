#pragma once
// The one place where a command's failure is shown: the command stops there
// and the program runs on.
#include <functional>

class DialogProvider;
class QString;

// Runs one command; an AppError or other exception shows its text in the
// error box of `dialogs` and ends the command. Answers false when the
// command failed.
bool runCommand(DialogProvider& dialogs, const std::function<void()>& command);
// Shows an escaped failure's text over the active window (else the main
// window) and lets the program run on.
void reportError(DialogProvider& dialogs, const QString& text);
