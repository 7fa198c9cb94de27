// The main window's commands that change pictures: rotation, effects, undo.
#include "app/Unit1.h"

void TfrmMain::mnuRotateLeftClick() {}
void TfrmMain::mnuRotateRightClick() {}
void TfrmMain::mnuEffectsClick() {}
void TfrmMain::mnuUndoClick() {}
