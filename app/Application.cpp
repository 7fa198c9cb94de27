#include "app/Application.h"

#include "app/About.h"
#include "app/Comments.h"
#include "app/Unit1.h"
#include "collection/NewCollection.h"
#include "effects/Effects.h"
#include "graphics/Errors.h"

PictavoApplication::PictavoApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Pictavo 2006"));
    setOrganizationName(QStringLiteral("Pictavo"));
}

bool PictavoApplication::notify(QObject* receiver, QEvent* event)
{
    // Commands catch their own failures; this is the safety net for
    // anything thrown from an event handler outside a command.
    try {
        return QApplication::notify(receiver, event);
    } catch (const AppError& e) {
        TfrmMain::reportError(e.text());
    } catch (const std::exception& e) {
        TfrmMain::reportError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

bool runCommand(const std::function<void()>& command)
{
    try {
        command();
        return true;
    } catch (const AppError& e) {
        TfrmMain::reportError(e.text());
    } catch (const std::exception& e) {
        TfrmMain::reportError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

void createWindows(const QStringList& commandLine)
{
    Viewer = ViewerState();
    new TfrmMain;
    frmEffects = new TfrmEffects(frmMain);
    frmNewCollection = new TfrmNewCollection;
    if (!commandLine.isEmpty() && !commandLine.first().isEmpty()) {
        // A path with blanks arrives split by the shell: join it again.
        Viewer.CollectionFileName = commandLine.join(QLatin1Char(' '));
        Viewer.ReopenWithoutDialog = true;
        runCommand([] { frmMain->mnuOpenClick(); });
    }
    frmAbout = new TfrmAbout(frmMain);
    frmComments = new TfrmComments;
}

void destroyWindows()
{
    delete frmComments;
    frmComments = nullptr;
    delete frmSettings;
    frmSettings = nullptr;
    delete frmNewCollection;
    frmNewCollection = nullptr;
    delete frmMain; // owns the effects dialog and the About box
    frmEffects = nullptr;
    frmAbout = nullptr;
}
