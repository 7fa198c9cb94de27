// The main window's slide show and its settings command.
#include "app/Unit1.h"

void TfrmMain::mnuSlideShowClick() {}
void TfrmMain::TimerSlideTimer() {}
void TfrmMain::mnuSettingsClick() {}
