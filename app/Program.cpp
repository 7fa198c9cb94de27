#include "app/Program.h"

#include "core/TextEncoding.h"
#include "platform/SystemColors.h"
#include "settings/SettingsStore.h"
#include "ui/common/AboutBox.h"
#include "ui/common/CommentsWindow.h"
#include "ui/common/RunCommand.h"
#include "ui/common/UiTextWidgets.h"
#include "ui/editor/CollectionEditor.h"
#include "ui/effects/EffectsDialog.h"
#include "ui/help/HelpBinding.h"
#include "ui/main/MainCommands.h"
#include "ui/main/MainImage.h"
#include "ui/main/MainWindow.h"
#include "ui/settings/SettingsDialog.h"
#include "viewer/FolderPictures.h"
#include "viewer/ViewerSession.h"

#include <QEvent>
#include <QFileInfo>
#include <QTimer>

#include <functional>

namespace {

// The keyboard goes back to the main window when one of the windows it
// opened is closed, not to whatever the desktop picks.
class FocusReturn : public QObject {
public:
    FocusReturn(QWidget* home, std::initializer_list<QWidget*> windows) : QObject(home), m_home(home)
    {
        for (QWidget* w : windows)
            w->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && m_home->isVisible() &&
            static_cast<QWidget*>(watched)->isWindow())
            m_home->activateWindow();
        return false;
    }

private:
    QWidget* m_home;
};

// Runs `work` once `window` has painted its first frame: the collection
// read at start then shows in a window that is already on the screen.
class AfterFirstFrame : public QObject {
public:
    AfterFirstFrame(QWidget* window, std::function<void()> work) : QObject(window), m_work(std::move(work))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // Queued, so the frame is flushed to the screen first.
            QTimer::singleShot(0, this, [this] {
                m_work();
                deleteLater();
            });
        }
        return false;
    }

private:
    std::function<void()> m_work;
};

} // namespace

Program::Program(const QString& settingsPath, const QStringList& commandLine)
    : m_settings(std::make_unique<SettingsStore>(settingsPath)),
      m_session(std::make_unique<ViewerSession>(*m_settings)), m_help(std::make_unique<HelpBinding>())
{
    // A collection named on the command line is read with the settings'
    // code page and orientation already in force.
    setLegacyCodePage(m_settings->values().codePage);
    m_session->setExifOrientation(m_settings->values().autoOrient ? ExifOrientation::Apply
                                                                  : ExifOrientation::Ignore);
    m_session->setColorManaged(m_settings->values().colorManaged);
    // The windows in their order; each may use those made before it.
    m_main = std::make_unique<MainWindow>(*m_session);
    MainWindow* main = m_main.get();
    m_effects = new EffectsDialog(
        *m_session, [main] { return main->mainImage()->picture(); }, main);
    m_editor = std::make_unique<CollectionEditor>(*m_session);
    main->setPeers({m_effects, m_editor.get(), nullptr, nullptr, nullptr, m_help.get()});
    const WindowSettings& remembered = m_settings->window();
    main->restore(remembered);
    openAtStart(commandLine, remembered);
    m_about = new AboutBox(main);
    m_settingsDialog = std::make_unique<SettingsDialog>(*m_settings, m_session->texts());
    applyVisualSettings();
    applyLanguage();
    m_comments = std::make_unique<CommentsWindow>(m_settings->values(),
                                                  main->commands().action(ViewerCommand::Comments));
    main->setPeers(
        {m_effects, m_editor.get(), m_about, m_settingsDialog.get(), m_comments.get(), m_help.get()});
    QObject::connect(m_settingsDialog.get(), &SettingsDialog::applied, main,
                     [this] { applyVisualSettings(); });
    new FocusReturn(main, {m_editor.get(), m_settingsDialog.get(), m_comments.get()});
}

Program::~Program() = default;

void Program::openAtStart(const QStringList& commandLine, const WindowSettings& remembered)
{
    MainWindow* main = m_main.get();
    // A path with blanks arrives split by the shell: join it again.
    const QString named = commandLine.value(0).isEmpty() ? QString() : commandLine.join(QLatin1Char(' '));
    std::function<void()> open;
    if (!named.isEmpty() && isPictureFile(named)) {
        // A picture by itself ("Open With"): its folder, unsaved, at it.
        open = [main, named] { runCommand([main, named] { main->openPicture(named); }); };
    } else if (!named.isEmpty()) {
        m_session->setCollectionFileName(named);
        open = [this] { runCommand([this] { m_session->requestReopen(); }); };
    } else if (!remembered.collection.isEmpty() && QFileInfo::exists(remembered.collection)) {
        // None named: back where the last run ended.
        m_session->setCollectionFileName(remembered.collection);
        open = [this, main, entry = remembered.entry] {
            runCommand([this] { m_session->requestReopen(); });
            runCommand([main, entry] { main->goToEntry(entry); });
        };
    }
    if (open)
        m_startOpen = new AfterFirstFrame(main, std::move(open));
}

void Program::finish()
{
    m_settings->setWindow(m_main->remembered());
    runCommand([this] { m_settings->save(); });
}

void Program::applyVisualSettings()
{
    const SettingsValues& v = m_settings->values();
    const QFont font = commentFont(v);
    const QColor color = syscolor::toQColor(quint32(v.fontColor));
    m_main->setCommentFont(font, color);
    if (m_comments) {
        m_comments->setCommentFont(font, color);
        m_comments->setAlpha(alphaForSlider(v.alpha));
    }
    m_main->setMainColor(syscolor::toQColor(quint32(v.mainColor)));
    m_main->setStripColor(syscolor::toQColor(quint32(v.previewsColor)));
    m_session->setExifOrientation(v.autoOrient ? ExifOrientation::Apply : ExifOrientation::Ignore);
    m_session->setColorManaged(v.colorManaged);
}

void Program::applyLanguage()
{
    // Every window made so far; the comments window has no texts.
    WidgetTextSink sink({},
                        [this](ProgramText id, const QString& text) { m_session->setProgramText(id, text); });
    ::applyLanguage(m_settings->values().languageSetting, sink);
}
