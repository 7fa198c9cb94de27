#pragma once
// The application object: its name and icon, and the safety net for
// failures that escape an event handler.
#include <QApplication>

class PictavoApplication : public QApplication {
public:
    PictavoApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
