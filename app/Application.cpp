#include "app/Application.h"

#include "ui/common/AboutBox.h"
#include "ui/common/CommentsWindow.h"
#include "ui/common/Icons.h"
#include "ui/common/RunCommand.h"
#include "ui/main/MainImage.h"
#include "ui/main/MainWindow.h"
#include "ui/editor/CollectionEditor.h"
#include "ui/effects/EffectsDialog.h"
#include "core/Errors.h"
#include "ui/settings/SettingsDialog.h"
#include "settings/SettingsModel.h"
#include "settings/SettingsPath.h"
#include "settings/SettingsTarget.h"

#include <QLabel>

#include <utility>

namespace {

QString g_settingsFile;

ProgramWindows g_windows;

// What the settings dialog pushes into the windows created before and
// after it.
class WindowsSettingsTarget : public SettingsTarget {
public:
    void setCommentFont(const QFont& font, const QColor& color) override
    {
        if (g_windows.main)
            g_windows.main->setCommentFont(font, color);
    }
    void setStripColor(const QColor& color) override
    {
        if (g_windows.main)
            g_windows.main->setStripColor(color);
    }
    void setMainColor(const QColor& color) override
    {
        if (g_windows.main)
            g_windows.main->setMainColor(color);
    }
    void setCommentsWindow(const QFont& font, const QColor& color, std::optional<int> alpha) override
    {
        if (!g_windows.comments)
            return;
        g_windows.comments->setCommentFont(font, color);
        g_windows.comments->setAlpha(alpha);
    }
    void setAutoOrient(bool on) override
    {
        if (g_windows.main)
            g_windows.main->setExifOrientation(on ? ExifOrientation::Apply : ExifOrientation::Ignore);
    }
    void setColorManaged(bool on) override
    {
        if (g_windows.main)
            g_windows.main->setColorManaged(on);
    }
    void setAppliedSettings(const SettingsValues& values) override
    {
        if (g_windows.session)
            g_windows.session->settings = values;
    }
    QString commentLineText() const override
    {
        return g_windows.main ? g_windows.main->LabelComent()->text() : QString();
    }
    QString programText(ProgramText id) const override { return g_windows.session->texts[id]; }
    void setProgramText(ProgramText id, const QString& text) override { g_windows.session->texts[id] = text; }
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
    bool handled = false;
    runCommand([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

void createWindows(const QStringList& commandLine)
{
    const QString settingsPath = g_settingsFile.isEmpty() ? settingsFilePath() : g_settingsFile;
    // Collections named on the command line are read before the settings dialog exists.
    useCodePageSetting(settingsPath);
    ProgramWindows& w = g_windows;
    w.session = new ViewerSession;
    w.main = new MainWindow(*w.session);
    MainWindow* main = w.main;
    w.effects = new EffectsDialog(*w.session, [main] { return main->Image1()->picture(); }, main);
    w.editor = new CollectionEditor(*w.session);
    QObject::connect(w.editor, &CollectionEditor::newCollectionSaved, main, &MainWindow::enableCollectionEditing);
    main->setPeers({w.effects, w.editor, nullptr, nullptr, nullptr});
    if (!commandLine.isEmpty() && !commandLine.first().isEmpty()) {
        // A path with blanks arrives split by the shell: join it again.
        w.session->setCollectionFileName(commandLine.join(QLatin1Char(' ')));
        w.session->reopenWithoutDialog = true;
        runCommand([main] { main->openCollectionFile(); });
    }
    w.about = new AboutBox(main);
    w.settings = new SettingsDialog(&g_settingsTarget, settingsPath);
    w.comments = new CommentsWindow(w.session->settings, main->action("mnuComments"));
    main->setPeers({w.effects, w.editor, w.about, w.settings, w.comments});
}

void setSettingsFile(const QString& path)
{
    g_settingsFile = path;
}

const ProgramWindows& programWindows()
{
    return g_windows;
}

void destroyWindows()
{
    ProgramWindows& w = g_windows;
    delete std::exchange(w.comments, nullptr);
    delete std::exchange(w.settings, nullptr); // writes the settings file
    delete std::exchange(w.editor, nullptr);
    w.effects = nullptr; // the main window owns the effects dialog and the About box
    w.about = nullptr;
    delete std::exchange(w.main, nullptr);
    delete std::exchange(w.session, nullptr);
}
