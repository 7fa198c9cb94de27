#pragma once
// The help binding: requests for the table of contents, a keyword, a topic or
// a context number become calls of a compiled-HTML help viewer. This system
// has no such viewer, so the calls open the program's own help window.
#include "help/HelpRules.h"

#include <QString>
#include <QStringList>

class QWidget;
class HelpWindow;

// Carries out one viewer call; the help window in the program, a recorder
// in tests.
class HelpViewerBackend {
public:
    virtual ~HelpViewerBackend() = default;
    virtual void execute(QWidget* caller, const help::HelpCall& call) = 0;
};

class HelpBinding {
public:
    // Starts with the program's own help window as its backend.
    HelpBinding();

    QString getViewerName() const { return m_viewerName; }
    QString defaultExtension() const { return m_defaultExtension; }

    // The help manager's current help file (empty: none) and the
    // application's help file, set once at start.
    void setManagerHelpFile(const QString& file) { m_managerFile = file; }
    void setApplicationHelpFile(const QString& file) { m_applicationFile = file; }
    QString applicationHelpFile() const { return m_applicationFile; }
    // The program's folder; empty means the running executable's.
    void setProgramDir(const QString& dir) { m_programDir = dir; }
    // nullptr leaves every request unanswered. Not owned.
    void setBackend(HelpViewerBackend* backend) { m_backend = backend; }
    HelpViewerBackend* backend() const { return m_backend; }

    // The help file every request uses, as a local path.
    QString helpFile() const;

    // Questions of the help manager.
    bool canShowTableOfContents() const { return true; }
    int understandsKeyword(const QString& keyword) const;
    QStringList getHelpStrings(const QString& keyword) const;
    bool understandsTopic(const QString& topic) const;
    bool understandsContext(int context) const;
    int selectTableOfContents(const QStringList& viewers) const;
    int selectKeyword(const QStringList& helpStrings) const;

    // Requests. A file that is not a compiled HTML help file is left alone.
    void showTableOfContents(QWidget* caller);
    void showHelp(QWidget* caller, const QString& helpString);
    void showTopic(QWidget* caller, const QString& topic);
    void showContext(QWidget* caller, int context);
    void shutDown();

private:
    void send(QWidget* caller, const help::HelpCall& call);
    bool isHtmlHelp() const { return help::isHtmlHelpFile(helpFile()); }

    QString m_viewerName = QString::fromLatin1(help::kViewerName);
    QString m_defaultExtension = QString::fromLatin1(help::kDefaultTopicExtension);
    QString m_managerFile;
    QString m_applicationFile = QString::fromLatin1(help::kFixedHelpPath);
    QString m_programDir;
    HelpViewerBackend* m_backend = nullptr;
};

// The program's viewer.
HelpBinding& helpBinding();
// The backend that opens the help window; a help file that cannot be read is
// reported through the dialogs seam.
HelpViewerBackend& helpWindowBackend();
// The help window once a request has opened it, else nullptr.
HelpWindow* openHelpWindow();

// Entry points for the main window (F1, Help menu, Help button) and others.
void showHelpContents(QWidget* parent);
void showHelpKeyword(QWidget* parent, const QString& keyword);
void showHelpTopic(QWidget* parent, const QString& topic);
// Closes every help window (program end).
void closeHelp();
