#include "app/Application.h"

#include "ui/common/AboutBox.h"
#include "ui/common/CommentsWindow.h"
#include "ui/common/Icons.h"
#include "ui/main/MainWindow.h"
#include "ui/editor/CollectionEditor.h"
#include "ui/effects/EffectsDialog.h"
#include "core/Errors.h"
#include "ui/settings/SettingsDialog.h"
#include "settings/SettingsModel.h"
#include "settings/SettingsPath.h"
#include "settings/SettingsTarget.h"

#include <QLabel>

namespace {

QString g_settingsFile;

QString& programText(ProgramText id) { return Texts[id]; }

// What the settings dialog pushes into the windows created before and
// after it.
class WindowsSettingsTarget : public SettingsTarget {
public:
    void setCommentFont(const QFont& font, const QColor& color) override
    {
        if (frmMain)
            frmMain->setCommentFont(font, color);
    }
    void setStripColor(const QColor& color) override
    {
        if (frmMain)
            frmMain->setStripColor(color);
    }
    void setMainColor(const QColor& color) override
    {
        if (frmMain)
            frmMain->setMainColor(color);
    }
    void setCommentsWindow(const QFont& font, const QColor& color, std::optional<int> alpha) override
    {
        if (!frmComments)
            return;
        frmComments->setCommentFont(font, color);
        frmComments->setAlpha(alpha);
    }
    void setAutoOrient(bool on) override
    {
        if (frmMain)
            frmMain->setExifOrientation(on ? ExifOrientation::Apply : ExifOrientation::Ignore);
    }
    QString commentLineText() const override { return frmMain ? frmMain->LabelComent()->text() : QString(); }
    QString programText(ProgramText id) const override { return ::programText(id); }
    void setProgramText(ProgramText id, const QString& text) override { ::programText(id) = text; }
};

WindowsSettingsTarget g_settingsTarget;

} // namespace

PictavoApplication::PictavoApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Pictavo 2006"));
    setOrganizationName(QStringLiteral("Pictavo"));
    // Every window, and the desktop entry that the desktop matches it with.
    setWindowIcon(appIcon());
    setDesktopFileName(QStringLiteral("org.pictavo.Pictavo"));
}

bool PictavoApplication::notify(QObject* receiver, QEvent* event)
{
    // Commands catch their own failures; this is the safety net for
    // anything thrown from an event handler outside a command.
    try {
        return QApplication::notify(receiver, event);
    } catch (const AppError& e) {
        MainWindow::reportError(e.text());
    } catch (const std::exception& e) {
        MainWindow::reportError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

void createWindows(const QStringList& commandLine)
{
    const QString settingsPath = g_settingsFile.isEmpty() ? settingsFilePath() : g_settingsFile;
    // Collections named on the command line are read before the settings dialog exists.
    useCodePageSetting(settingsPath);
    Viewer = ViewerState();
    new MainWindow;
    frmEffects = new EffectsDialog(frmMain);
    frmNewCollection = new CollectionEditor;
    if (!commandLine.isEmpty() && !commandLine.first().isEmpty()) {
        // A path with blanks arrives split by the shell: join it again.
        Viewer.CollectionFileName = commandLine.join(QLatin1Char(' '));
        Viewer.ReopenWithoutDialog = true;
        runCommand([] { frmMain->openCollectionFile(); });
    }
    frmAbout = new AboutBox(frmMain);
    frmSettings = new SettingsDialog(&g_settingsTarget, settingsPath);
    frmComments = new CommentsWindow;
}

void setSettingsFile(const QString& path)
{
    g_settingsFile = path;
}

void destroyWindows()
{
    delete frmComments;
    frmComments = nullptr;
    delete frmSettings; // writes the settings file
    frmSettings = nullptr;
    delete frmNewCollection;
    frmNewCollection = nullptr;
    delete frmMain; // owns the effects dialog and the About box
    frmEffects = nullptr;
    frmAbout = nullptr;
}
