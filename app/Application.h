#pragma once
// The application object: its name and icon, and the safety net for
// failures that escape an event handler.
#include "ui/common/Dialogs.h"

#include <QApplication>

class PictavoApplication : public QApplication {
public:
    PictavoApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    // The program's boxes, the safety net's among them.
    DialogProvider& dialogs() { return m_dialogs; }

private:
    DialogProvider m_dialogs;
};
