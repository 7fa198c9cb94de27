#pragma once
// The Help command: the help file's table of contents in the program's own
// help window. The program names the help file by the fixed Windows path it
// was always given; it maps into the data folder.
#include <QPointer>
#include <QString>

class QWidget;
class HelpWindow;

class HelpBinding {
public:
    HelpBinding();
    ~HelpBinding();
    HelpBinding(const HelpBinding&) = delete;
    HelpBinding& operator=(const HelpBinding&) = delete;

    void setApplicationHelpFile(const QString& file) { m_applicationFile = file; }

    // The help file the Help command opens, as a local path.
    QString helpFile() const;

    // Shows the contents in the help window. A file that is not a compiled
    // HTML help file is left alone; one that cannot be read is reported
    // through the dialogs seam.
    void showContents(QWidget* caller);
    // Hides the help window (program end).
    void close();
    // The help window once the Help command has opened it, else nullptr.
    HelpWindow* window() const;

private:
    QString m_applicationFile;
    QPointer<HelpWindow> m_window;
};
